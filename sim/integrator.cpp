// The Hill (Clohessy-Wiltshire) equations and the midpoint integrator that advances them.
#include "sim.h"

#include <climits>
#include <cstdio>

namespace sim {

bool subStepsWarned = false;

double Fx(double X, double, double, double, double Yp, double, double px) {
    const double W = para_phy.Omega;
    return W * W * para_phy.trois * X + (W + W) * Yp + px;
}

double Fy(double, double, double, double Xp, double, double, double py) {
    const double W = para_phy.Omega;
    return (0.0 - (W + W) * Xp) + py;
}

double Fz(double, double, double Z, double, double, double, double pz) {
    const double W = para_phy.Omega;
    return (-W) * W * Z + pz;
}

void nextD() {
    static double h, X1, Y1, Z1, X1p, Y1p, Z1p;
    h = para_phy.dt;
    if (it_t == 0)
        subStepsWarned = false;
    // A dt of 0 or a tiny one would ask for endless sub-steps: stop at kSubStepMax. A negative or NaN
    // quotient makes no sub-step at all, since the comparison fails at once.
    for (int i = 1; i <= tcalc / h; i++) {
        if (i > kSubStepMax) {
            if (!subStepsWarned) {
                std::fprintf(stderr, "nextD: dt = %g asks for %g sub-steps per call; making %d.\n", h,
                             tcalc / h, kSubStepMax);
                subStepsWarned = true;
            }
            break;
        }
        t = t + h;
        X1p = Xp + Fx(X, Y, Z, Xp, Yp, Zp, px) * h * 0.5;
        Y1p = Yp + Fy(X, Y, Z, Xp, Yp, Zp, py) * h * 0.5;
        Z1p = Zp + Fz(X, Y, Z, Xp, Yp, Zp, pz) * h * 0.5;
        X1 = X + h * 0.5 * X1p;
        Y1 = Y + h * 0.5 * Y1p;
        Z1 = Z + h * 0.5 * Z1p;
        Xp = Xp + Fx(X1, Y1, Z1, X1p, Y1p, Z1p, px) * h;
        Yp = Yp + Fy(X1, Y1, Z1, X1p, Y1p, Z1p, py) * h;
        Zp = Zp + Fz(X1, Y1, Z1, X1p, Y1p, Z1p, pz) * h;
        X = X + h * Xp;
        Y = Y + h * Yp;
        Z = Z + h * Zp;
    }
    px = py = pz = 0.0;
    if (calls < LLONG_MAX)
        calls = calls + 1;

    const int N = para_phy.nx;
    // Once the history is full only "it_t < N" matters, so the count stops at N and never overflows.
    if (it_t < N)
        it_t = it_t + 1;
    else
        it_t = N;
    // raz keeps N within the arrays; a replay keeps a history shorter than N, and no trail, and a test
    // or caller that sets nx by hand is held to the arrays' size.
    if (N < 1 || static_cast<size_t>(N) >= x.size())
        return;
    if (it_t < N) {
        for (int i = it_t; i <= N; i++) {
            x[i] = X;
            y[i] = Y;
            z[i] = Z;
        }
    } else {
        x[N] = X;
        y[N] = Y;
        z[N] = Z;
        for (int i = 1; i <= N - 1; i++) {
            x[i] = x[i + 1];
            y[i] = y[i + 1];
            z[i] = z[i + 1];
        }
    }
}

} // namespace sim
