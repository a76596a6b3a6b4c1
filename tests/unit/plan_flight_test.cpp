// Every scenario docks by the planner's advice, flown as a person flies it: each step, a check
// included, starts up to half a time unit late, presses come 4 to 6 integrator calls apart, the
// telemetry is read as the screen shows it, and the planner is asked at the start and at each check,
// twenty at most. Presses go through the key handler; the integrator, the gauge's reserve rule and
// the outcome rules run as the program runs them, a frame after each integrator call.
#include <gtest/gtest.h>

#include <GL/glut.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "app.h"
#include "plan.h"
#include "render.h"
#include "sim.h"

using namespace sim;

namespace {

constexpr int kSeeds = 10;
constexpr int kChecksMax = 20;

// The moment the screen shows, read back from the telemetry's text: its numbers in the order drawn
// are time, speed, distance, reserve, then the position, then the velocity.
plan::Moment screen() {
    std::vector<double> v;
    for (const std::string& line : telemetry(t, X, Y, Z, Xp, Yp, Zp, pc)) {
        const char* s = line.c_str();
        while (*s) {
            char* end = nullptr;
            const double d = std::strtod(s, &end);
            if (end != s && (*s == ' ' || *s == '-' || (*s >= '0' && *s <= '9')))
                v.push_back(d), s = end;
            else
                s++;
        }
    }
    EXPECT_EQ(v.size(), 10u);
    v.resize(10);
    return {v[0], v[4], v[5], v[6], v[7], v[8], v[9], static_cast<int>(v[3])};
}

int glutKey(plan::Key key) {
    switch (key) {
    case plan::Up:
        return GLUT_KEY_UP;
    case plan::Down:
        return GLUT_KEY_DOWN;
    case plan::Left:
        return GLUT_KEY_LEFT;
    case plan::Right:
        return GLUT_KEY_RIGHT;
    case plan::PageUp:
        return GLUT_KEY_PAGE_UP;
    case plan::PageDown:
        return GLUT_KEY_PAGE_DOWN;
    case plan::Check:
        break;
    }
    return 0;
}

struct Flight {
    int outcome = 0, presses = 0, checks = 0, reserve = 0;
    double time = 0.0, speed = 0.0;
};

Flight fly(const std::string& path, unsigned seed) {
    static std::string keep;
    keep = path;
    nomfichier = keep.c_str();
    testing::internal::CaptureStdout();
    raz();
    testing::internal::GetCapturedStdout();
    t = 0.0; // the time the program starts at, which `rendezvous-plan FILE` plans from
    const ParaPhy scenario = para_phy;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> late(0.0, plan::kLateMax);
    std::uniform_int_distribution<int> gap(plan::kGapMin, plan::kGapMax);

    Flight f;
    plan::Plan p = plan::planFrom(scenario, screen());
    size_t next = 0;
    double startAt = p.steps.empty() ? 1e9 : p.steps[0].t + late(rng);
    int left = 0, key = 0;
    long call = 0, due = 0, last = -100;
    while (coll == 0 && call < 40000) {
        if (left == 0 && next < p.steps.size() && t >= startAt - 1e-9) {
            const plan::Step s = p.steps[next++];
            startAt = next < p.steps.size() ? p.steps[next].t + late(rng) : 1e9;
            if (s.key == plan::Check) {
                if (f.checks < kChecksMax) {
                    f.checks++;
                    p = plan::planFrom(scenario, screen());
                    next = 0;
                    startAt = p.steps.empty() ? 1e9 : p.steps[0].t + late(rng);
                }
                continue;
            }
            left = s.count;
            key = glutKey(s.key);
            due = std::max(call, last + gap(rng));
        }
        if (left > 0 && call >= due) {
            parsekey_special(key, 0, 0);
            f.presses++;
            left--;
            last = call;
            due = call + gap(rng);
        }
        nextD();
        call++;
        clampReserve();
        collision(X, Y, Z, Xp, Yp, Zp);
    }
    f.outcome = coll;
    f.time = t;
    f.speed = std::sqrt(Xp * Xp + Yp * Yp + Zp * Zp);
    f.reserve = pc;
    return f;
}

} // namespace

TEST(Planner, EveryScenarioDocksByItsAdvice) {
    for (int n = 0; n < 6; n++) {
        const std::string name = "fo" + (n ? std::to_string(n) : std::string()) + ".in";
        int docked = 0, checks = 0, pressLo = 1000, pressHi = 0, reserveLo = 1000;
        double speedHi = 0.0, timeLo = 1e9, timeHi = 0.0;
        for (unsigned seed = 1; seed <= kSeeds; seed++) {
            const Flight f = fly(std::string(SOURCE_DIR) + "/data/" + name, seed);
            if (f.outcome != 3)
                continue;
            docked++;
            checks = std::max(checks, f.checks);
            pressLo = std::min(pressLo, f.presses), pressHi = std::max(pressHi, f.presses);
            reserveLo = std::min(reserveLo, f.reserve);
            speedHi = std::max(speedHi, f.speed);
            timeLo = std::min(timeLo, f.time), timeHi = std::max(timeHi, f.time);
        }
        std::printf(
            "scenario %d (%s): docked %d/%d; presses %d-%d, reserve left >= %d, arrival speed <= %.3f, "
            "flight time %.1f-%.1f, checks <= %d\n",
            n, name.c_str(), docked, kSeeds, pressLo, pressHi, reserveLo, speedHi, timeLo, timeHi, checks);
        EXPECT_GE(docked, 9) << name;
    }
}
