// The Hill equations, the midpoint sub-steps and the trajectory history.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "cw.h"
#include "sim.h"

using namespace sim;

namespace {

// A run with the given rate and history length, at rest at the origin, time 0.
void start(double omega, int nx) {
    para_phy = ParaPhy{};
    para_phy.dt = 0.005;
    para_phy.trois = 3.0;
    para_phy.Omega = omega;
    para_phy.p = 2.0;
    para_phy.nx = nx;
    X = Y = Z = Xp = Yp = Zp = px = py = pz = 0.0;
    t = 0.0;
    tcalc = 0.05;
    it_t = 0;
    x.assign(nx + 1, 0.0);
    y.assign(nx + 1, 0.0);
    z.assign(nx + 1, 0.0);
}

} // namespace

TEST(Integrator, EquationsOfMotion) {
    para_phy.Omega = 0.5;
    para_phy.trois = 3.0;
    EXPECT_DOUBLE_EQ(Fx(2.0, 7.0, 9.0, 5.0, 1.0, 4.0, 0.1), 0.25 * 3.0 * 2.0 + 1.0 * 1.0 + 0.1);
    EXPECT_DOUBLE_EQ(Fy(2.0, 7.0, 9.0, 3.0, 1.0, 4.0, 0.2), -1.0 * 3.0 + 0.2);
    EXPECT_DOUBLE_EQ(Fz(2.0, 7.0, 8.0, 5.0, 1.0, 4.0, -0.3), -0.25 * 8.0 - 0.3);
    para_phy.Omega = 0.0; // no orbital terms: trois has no effect
    EXPECT_EQ(Fx(2.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0), 0.0);
}

TEST(Integrator, SubStepCountFollowsTheQuotient) {
    start(0.0, 10);
    nextD();
    EXPECT_NEAR(t, 0.05, 1e-15); // 10 sub-steps of 0.005
    start(0.0, 10);
    para_phy.dt = 0.003;
    nextD();
    EXPECT_NEAR(t, 0.048, 1e-15); // 16 sub-steps: 16 <= 16.67 < 17
    start(0.0, 10);
    para_phy.dt = 0.06; // larger than tcalc: the chaser never moves
    Yp = 1.0;
    for (int k = 0; k < 5; k++)
        nextD();
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(Y, 0.0);
}

TEST(Integrator, StoppedByContactStillClearsThrustAndRecords) {
    start(0.25, 5);
    X = 1.0;
    Yp = 0.3;
    tcalc = 0.0;
    py = 2.0;
    nextD();
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(X, 1.0);
    EXPECT_EQ(Yp, 0.3);
    EXPECT_EQ(py, 0.0);
    EXPECT_EQ(it_t, 1);
    EXPECT_EQ(x[1], 1.0);
    EXPECT_EQ(x[5], 1.0);
}

TEST(Integrator, StraightLineWithoutOrbitOrThrust) {
    start(0.0, 10);
    para_phy.trois = 7.0;
    X = 1.0;
    Xp = 0.2;
    Yp = -0.1;
    Zp = 0.05;
    for (int k = 0; k < 100; k++)
        nextD();
    EXPECT_NEAR(X, 1.0 + 0.2 * 5.0, 1e-12);
    EXPECT_NEAR(Y, -0.1 * 5.0, 1e-12);
    EXPECT_NEAR(Z, 0.05 * 5.0, 1e-12);
    EXPECT_EQ(Xp, 0.2);
}

TEST(Integrator, ThrustPulseLastsOneCall) {
    start(0.0, 10);
    py = para_phy.p;
    py = para_phy.p; // two presses on one axis act as one
    px = -para_phy.p;
    nextD();
    EXPECT_NEAR(Yp, 0.1, 1e-12);
    EXPECT_NEAR(Xp, -0.1, 1e-12);
    EXPECT_EQ(px + py + pz, 0.0);
    nextD();
    EXPECT_NEAR(Yp, 0.1, 1e-12);
}

TEST(Integrator, HistoryLayoutWithFiveSlots) {
    start(0.0, 5);
    Yp = 1.0; // each call moves Y by 0.05
    nextD();
    for (int i = 1; i <= 5; i++)
        EXPECT_NEAR(y[i], 0.05, 1e-12) << i;
    EXPECT_EQ(y[0], 0.0);
    for (int k = 2; k <= 5; k++)
        nextD();
    for (int i = 1; i <= 4; i++)
        EXPECT_NEAR(y[i], 0.05 * (i + 1), 1e-12) << i; // calls 2..5
    EXPECT_EQ(y[5], y[4]);
    nextD();
    for (int i = 1; i <= 4; i++)
        EXPECT_NEAR(y[i], 0.05 * (i + 2), 1e-12) << i; // calls 3..6
    EXPECT_EQ(y[5], y[4]);
    EXPECT_EQ(y[0], 0.0); // the start is never overwritten
}

TEST(Integrator, CallCounterStopsAtHistoryLength) {
    start(0.0, 5);
    for (int k = 0; k < 50; k++)
        nextD();
    EXPECT_EQ(it_t, 5);
}

TEST(Integrator, DegenerateStepsEndEveryCall) {
    const double steps[] = {0.0, 1e-300, -0.005, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
    for (double dt : steps) {
        start(0.0, 5);
        para_phy.dt = dt;
        Yp = 1.0;
        testing::internal::CaptureStderr();
        nextD();
        nextD();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(std::isfinite(Y)) << dt;
        if (dt >= 0.0 && dt < 1e-6) {
            // The bound bites: kSubStepMax sub-steps, reported once.
            EXPECT_NE(err.find("nextD: dt = "), std::string::npos) << dt;
            EXPECT_EQ(err.find("nextD", 5), std::string::npos) << dt;
        } else {
            EXPECT_EQ(Y, 0.0) << dt; // a negative, NaN or infinite step makes no sub-step
            EXPECT_EQ(err, "") << dt;
        }
    }
}

namespace {
// Flies one orbit from s0 with sub-step dt; returns the largest position and velocity errors
// against the closed form, checked after every integrator call.
void orbitErrors(double dt, double& posErr, double& velErr) {
    const double omega = 0.25;
    start(omega, 10);
    para_phy.dt = dt;
    const CwState s0{1.0, -6.0, 0.5, 0.05, 0.1, -0.08};
    X = s0.x, Y = s0.y, Z = s0.z, Xp = s0.xp, Yp = s0.yp, Zp = s0.zp;
    posErr = velErr = 0.0;
    const int calls = static_cast<int>(std::ceil(2.0 * M_PI / omega / 0.05));
    for (int k = 0; k < calls; k++) {
        nextD();
        const CwState e = cwPropagate(s0, omega, t);
        posErr = std::max(posErr, std::sqrt((X - e.x) * (X - e.x) + (Y - e.y) * (Y - e.y) + (Z - e.z) * (Z - e.z)));
        velErr = std::max(velErr, std::sqrt((Xp - e.xp) * (Xp - e.xp) + (Yp - e.yp) * (Yp - e.yp) +
                                            (Zp - e.zp) * (Zp - e.zp)));
    }
}
} // namespace

TEST(Integrator, OneOrbitAgainstClosedForm) {
    double pos1, vel1, pos2, vel2;
    orbitErrors(0.005, pos1, vel1);
    orbitErrors(0.0025, pos2, vel2);
    std::printf("one orbit at Omega 0.25: dt 0.005 -> position error %.4g, velocity error %.4g; "
                "dt 0.0025 -> %.4g, %.4g\n", pos1, vel1, pos2, vel2);
    // The start swings the chaser over several units in one orbit, so a wrong sign or a dropped
    // term misses by far more than these bounds.
    EXPECT_LT(pos1, 0.06);
    EXPECT_LT(vel1, 0.0125);
    // The positions take the updated velocities, a first-order step: halving dt halves the error.
    EXPECT_NEAR(pos2 / pos1, 0.5, 0.05);
    EXPECT_NEAR(vel2 / vel1, 0.5, 0.05);
}
