// The page's check of a scenario file by the program's own reader, before the page puts it in place.
// Nothing here writes the simulator's state.
#include <climits>
#include <cmath>
#include <emscripten/emscripten.h>

#include "sim.h"

namespace {

constexpr double kCall = 0.05; // simulated time per integrator call, as the reset sets it

const char* fault = ""; // the item the last check found at fault

// Reads the file into `r` as a reset would, leaving the process's record and flags as they were.
void readInto(const char* path, sim::ParaPhy& r, int nx) {
    r.dt = r.Omega = r.trois = r.X0 = r.Y0 = r.Z0 = r.Xp0 = r.Yp0 = r.Zp0 = r.p = NAN;
    r.nx = nx;
    const bool read = sim::scenarioRead;
    sim::Lit2(path, &r);
    sim::scenarioRead = read;
}

} // namespace

extern "C" {

// 0 when the scenario file at `path` is one the program takes as it stands; otherwise what is wrong:
// 1 an item missing, misspelt or not a finite number, 2 an nx out of range, 3 a dt not above 0, 4 a
// dt so small that one integrator call would make too many sub-steps, 5 a dt longer than a whole
// call. webScenarioFault() then names the item. The reader keeps an item's old value when it cannot
// read it: a real item is never NaN, which it refuses, and nx, read from INT_MIN and from INT_MAX,
// keeps neither.
EMSCRIPTEN_KEEPALIVE int webScenarioCheck(const char* path) {
    sim::ParaPhy a, b;
    readInto(path, a, INT_MIN);
    readInto(path, b, INT_MAX);
    const struct {
        const char* key;
        bool read;
    } items[] = {
        {"dt", std::isfinite(a.dt)},       {"nx", a.nx == b.nx},          {"trois", std::isfinite(a.trois)},
        {"Omega", std::isfinite(a.Omega)}, {"X0", std::isfinite(a.X0)},   {"Y0", std::isfinite(a.Y0)},
        {"Z0", std::isfinite(a.Z0)},       {"Xp0", std::isfinite(a.Xp0)}, {"Yp0", std::isfinite(a.Yp0)},
        {"Zp0", std::isfinite(a.Zp0)},     {"p", std::isfinite(a.p)}};
    for (const auto& item : items) {
        fault = item.key;
        if (!item.read)
            return 1;
    }
    // The reset would bring such an nx into range with a message of its own: the file is not as it stands.
    fault = "nx";
    if (a.nx < sim::kNxMin || a.nx > sim::kNxMax)
        return 2;
    // The integrator makes kCall / dt sub-steps per call, and no more than kSubStepMax; none at all
    // for a dt above kCall, and the clock would stand still.
    fault = "dt";
    const double dt = a.dt * sim::speed;
    if (!(dt > 0.0))
        return 3;
    if (kCall / dt > sim::kSubStepMax)
        return 4;
    if (dt > kCall)
        return 5;
    // Positions, velocities, rates and the thrust may be any finite number: the program flies them
    // all, and one far away is soon "lost in space".
    fault = "";
    return 0;
}

EMSCRIPTEN_KEEPALIVE const char* webScenarioFault() {
    return fault;
}
}
