// The rules that end a run (collision, docking too fast, docking, lost in space) and the rules of the
// thruster press and the fuel reserve.
#include "sim.h"

#include <climits>
#include <cmath>

namespace sim {

void collision(double X, double Y, double Z, double Xp, double Yp, double Zp) {
    const double v = std::pow(Xp * Xp + Yp * Yp + Zp * Zp, 0.5);
    // The target is a box of half-widths 0.4, 1.5, 0.4; its docking port is the face at Y = -1.5,
    // and a docking counts within 0.1 of the port's centre, under the speed limit 0.12.
    if (std::fabs(Y) < 1.5 && std::fabs(X) < 0.4 && std::fabs(Z) < 0.4) {
        tcalc = 0.0;
        coll = 1;
        if (std::fabs(Y + 1.5) < 0.1 && std::fabs(X) < 0.1 && std::fabs(Z) < 0.1) {
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
