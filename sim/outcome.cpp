// The rules that end a run (collision, docking too fast, docking, lost in space) and the rules of the
// thruster press and the fuel reserve.
#include "sim.h"

#include <climits>
#include <cmath>

namespace sim {

void collision(double X, double Y, double Z, double Xp, double Yp, double Zp) {
    const double v = std::pow(Xp * Xp + Yp * Yp + Zp * Zp, 0.5);
    // Inside the target's box; in its port's window, a docking, under the speed limit 0.12.
    if (std::fabs(Y) < kBoxY && std::fabs(X) < kBoxX && std::fabs(Z) < kBoxZ) {
        tcalc = 0.0;
        coll = 1;
        if (std::fabs(Y - kPortY) < kDockWindow && std::fabs(X) < kDockWindow && std::fabs(Z) < kDockWindow) {
            coll = 2;
            if (v < 0.12)
                coll = 3;
        }
    }
    if (X * X + Y * Y + Z * Z > 10000.0)
        coll = 4;
}

void fire(double& component, double value) {
    component = value;
    // The floor only keeps the count from wrapping.
    if (pc > INT_MIN)
        pc -= 1;
}

void clampReserve() {
    if (pc < 0) {
        pc = 0;
        para_phy.p = 0.0;
    }
}

} // namespace sim
