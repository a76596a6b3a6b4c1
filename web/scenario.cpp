// The page's check of a scenario file by the program's own reader and rules, before the page puts it
// in place. Nothing here writes the simulator's state.
#include <emscripten/emscripten.h>
#include <fstream>
#include <iterator>
#include <string>

#include "sim.h"

namespace {

const char* fault = ""; // the item the last check found at fault

} // namespace

extern "C" {

// 0 when the scenario file at `path` is one the program takes as it stands; otherwise what is wrong,
// as sim::ScenarioRule numbers it: 1 an item missing, misspelt or not a finite number, 2 an nx out of
// range, 3 a dt not above 0, 4 a dt so small that one integrator call would make too many sub-steps,
// 5 a dt longer than a whole call. webScenarioFault() then names the item.
EMSCRIPTEN_KEEPALIVE int webScenarioCheck(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    sim::ParaPhy record;
    size_t pos = 0;
    for (const sim::ScenarioItem& item : sim::readScenario(text, &pos, &record)) {
        fault = item.key;
        if (!item.read)
            return sim::ScenarioItemBad;
    }
    // The rules take the dt in force, after the reset's speed factor.
    const sim::ScenarioRule rule = sim::scenarioRule(record.nx, record.dt * sim::speed);
    fault = rule == sim::ScenarioNx ? "nx" : rule == sim::ScenarioOk ? "" : "dt";
    return rule;
}

EMSCRIPTEN_KEEPALIVE const char* webScenarioFault() {
    return fault;
}
}
