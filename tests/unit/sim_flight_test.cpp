// Every shipped scenario can be flown to a docking with thruster pulses only, within the reserve.
//
// The pilot presses keys as a user would: each press sets +-p on one axis for the next integrator
// call and spends one unit of the reserve. The flight then runs nextD and collision as the program
// does (the display judges the outcome between integrator calls).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "cw.h"
#include "sim.h"

using namespace sim;

namespace {

int pulses = 0;

void press(double& component, double sign) {
    component = sign * para_phy.p;
    pc -= 1;
    pulses++;
}

// Presses the key of one axis when v lies beyond `band` from `want`.
void steer(double& component, double v, double want, double band) {
    if (v > want + band)
        press(component, -1.0);
    else if (v < want - band)
        press(component, +1.0);
}

// Holds one axis within a few hundredths of zero with pulses of size q, never letting the speed on
// that axis pass 1.5 q and never firing back and forth.
void hold(double& component, double pos, double v, double q) {
    if (std::fabs(v) > 1.5 * q)
        steer(component, v, 0.0, 0.0);
    else if (pos > 0.03 && v > -0.3 * q)
        press(component, -1.0);
    else if (pos < -0.03 && v < 0.3 * q)
        press(component, +1.0);
    else if (pos * v > 0.0 && std::fabs(v) > 0.6 * q) // drifting away inside the band
        steer(component, v, 0.0, 0.0);
}

CwState now() { return {X, Y, Z, Xp, Yp, Zp}; }

// The velocity that takes the chaser from s to the point `aim` in time T along the free motion.
CwState transfer(const CwState& s, const CwState& aim, double w, double T) {
    CwState v = s;
    if (w == 0.0) {
        v.xp = (aim.x - s.x) / T, v.yp = (aim.y - s.y) / T, v.zp = (aim.z - s.z) / T;
        return v;
    }
    const double c = std::cos(w * T), sn = std::sin(w * T), wt = w * T;
    // In-plane: solve the 2 x 2 system of the closed-form solution for (xp, yp).
    const double a = sn / w, b = 2 / w * (1 - c), cc = -2 / w * (1 - c), d = (4 * sn - 3 * wt) / w;
    const double rx = aim.x - (4 - 3 * c) * s.x, ry = aim.y - 6 * (sn - wt) * s.x - s.y;
    const double det = a * d - b * cc;
    v.xp = (rx * d - b * ry) / det;
    v.yp = (a * ry - cc * rx) / det;
    v.zp = std::fabs(sn) > 1e-3 ? (aim.z - c * s.z) * w / sn : 0.0;
    return v;
}

struct Flight {
    int outcome;
    int pulses;
    double time;
};

// A coasting transfer to a point 1.5 units before the port, its velocity corrected at each call;
// then a slow approach along +Y that first brings X and Z onto the axis and holds them there.
Flight fly(const std::string& path) {
    static std::string keep;
    keep = path;
    nomfichier = keep.c_str();
    testing::internal::CaptureStdout();
    raz();
    testing::internal::GetCapturedStdout();
    t = 0.0;
    pulses = 0;
    const double w = para_phy.Omega;
    const CwState aim{0.0, -3.0, 0.0, 0, 0, 0}; // 1.5 units before the port

    const double q = para_phy.p * tcalc; // velocity change of one pulse
    // The transfer time that needs the least velocity change from the start, favouring short ones.
    double tEnd = 0.0, best = 1e300;
    for (double T = 2.0; T <= 60.0; T += 0.05) {
        const CwState v = transfer(now(), aim, w, T);
        const double cost = std::fabs(v.xp - Xp) + std::fabs(v.yp - Yp) + std::fabs(v.zp - Zp) + 0.002 * T;
        if (cost < best)
            best = cost, tEnd = T;
    }
    bool going = false;
    for (int call = 0; call < 40000 && coll == 0; call++) {
        const double left = tEnd - call * tcalc;
        if (left > 1.0) {
            // Coasting transfer, re-aimed at every call; the last stretch is left to the approach.
            const CwState v = transfer(now(), aim, w, left);
            steer(px, Xp, v.xp, 0.6 * q);
            steer(py, Yp, v.yp, 0.6 * q);
            steer(pz, Zp, v.zp, 0.6 * q);
        } else {
            hold(px, X, Xp, q);
            hold(pz, Z, Zp, q);
            // Go in once on the axis line; stop going in only when well off it, so the pilot does
            // not fire back and forth along Y.
            const double off = std::max(std::fabs(X), std::fabs(Z));
            if (going && off > 0.07)
                going = false;
            if (!going && off < 0.04 && std::fabs(Xp) < 0.6 * q && std::fabs(Zp) < 0.6 * q)
                going = true;
            if (!going)
                steer(py, Yp, 0.0, 0.6 * q);
            else if (Yp < 0.3 * q)
                press(py, +1.0);
            else if (Yp > 1.6 * q)
                press(py, -1.0);
        }
        nextD();
        collision(X, Y, Z, Xp, Yp, Zp);
        if (pc < 0) { // the gauge's clamp, as the next frame would do it
            pc = 0;
            para_phy.p = 0.0;
        }
    }
    return {coll, pulses, t};
}

} // namespace

TEST(Flight, EveryScenarioDocksWithinTheReserve) {
    for (int n = 0; n < 6; n++) {
        const std::string path = std::string(SOURCE_DIR) + "/data/fo" + (n ? std::to_string(n) : "") + ".in";
        const Flight f = fly(path);
        std::printf("scenario %d (%s): outcome %d after %d pulses and %.2f units of simulated time\n", n,
                    path.substr(path.rfind('/') + 1).c_str(), f.outcome, f.pulses, f.time);
        EXPECT_EQ(f.outcome, 3) << path;
        EXPECT_LE(f.pulses, 100) << path;
    }
}
