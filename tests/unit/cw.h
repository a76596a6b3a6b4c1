// The closed-form Clohessy-Wiltshire solution, for checking the integrator and for steering tests.
#pragma once

#include <cmath>

struct CwState {
    double x, y, z, xp, yp, zp;
};

// The state after time dt from s, under x'' = 3w^2 x + 2w y', y'' = -2w x', z'' = -w^2 z.
inline CwState cwPropagate(const CwState& s, double w, double dt) {
    if (w == 0.0)
        return {s.x + s.xp * dt, s.y + s.yp * dt, s.z + s.zp * dt, s.xp, s.yp, s.zp};
    const double c = std::cos(w * dt), sn = std::sin(w * dt), wt = w * dt;
    CwState r;
    r.x = (4 - 3 * c) * s.x + sn / w * s.xp + 2 / w * (1 - c) * s.yp;
    r.y = 6 * (sn - wt) * s.x + s.y - 2 / w * (1 - c) * s.xp + (4 * sn - 3 * wt) / w * s.yp;
    r.z = c * s.z + sn / w * s.zp;
    r.xp = 3 * w * sn * s.x + c * s.xp + 2 * sn * s.yp;
    r.yp = -6 * w * (1 - c) * s.x - 2 * sn * s.xp + (4 * c - 3) * s.yp;
    r.zp = -w * sn * s.z + c * s.zp;
    return r;
}
