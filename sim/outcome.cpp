// The rules that end a run: collision, docking too fast, docking, lost in space.
#include "sim.h"

#include <cmath>

namespace sim {

int outcome(double X, double Y, double Z, double Xp, double Yp, double Zp, int before, bool* contact) {
    // sqrt rather than pow(..., 0.5): IEEE 754 rounds sqrt exactly, so it is the correctly rounded
    // pow(x, 0.5) for every x >= 0, while the C libraries' pow need not round alike, and a flight
    // replayed in the browser must end as it did on the desktop.
    const double v = std::sqrt(Xp * Xp + Yp * Yp + Zp * Zp);
    int code = before;
    *contact = false;
    // Inside the target's box; in its port's window, a docking, under the speed limit 0.12.
    if (std::fabs(Y) < kBoxY && std::fabs(X) < kBoxX && std::fabs(Z) < kBoxZ) {
        *contact = true;
        code = 1;
        if (std::fabs(Y - kPortY) < kDockWindow && std::fabs(X) < kDockWindow && std::fabs(Z) < kDockWindow) {
            code = 2;
            if (v < 0.12)
                code = 3;
        }
    }
    if (X * X + Y * Y + Z * Z > 10000.0)
        code = 4;
    return code;
}

void collision(double X, double Y, double Z, double Xp, double Yp, double Zp) {
    bool contact = false;
    coll = outcome(X, Y, Z, Xp, Yp, Zp, coll, &contact);
    if (contact)
        tcalc = 0.0;
    // A frame drawn before the first call judged the start; in the page the first idle after a reset
    // may make that call first.
    if (calls == 0)
        vol.judged = true;
}

} // namespace sim
