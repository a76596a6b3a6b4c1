// A start of one's own on the simulator's page: the start of a student drawn from the class's link (its
// scenario, spread and code word) and the student's name by plan::ownStart, the same draw as the class
// view and rendezvous-replay make again, handed to start.js as a scenario file's text, which the page
// then brings in as it brings any scenario (scenario.js). Nothing here writes the program's state: the
// planner holds it while it flies its trials, and gives it back.
#include <emscripten/emscripten.h>
#include <string>

#include "plan.h"
#include "sim.h"

namespace {

std::string answer; // the last text handed to the page, alive until the next call

} // namespace

extern "C" {

// The start of `name` in the scenario file's text `scenario`, spread up to `spread` and drawn from the
// code word `code`, as JSON {text, draw, start: [X0, Y0, Z0], advised}: the scenario file with that
// start (every number exact), the draw kept (-1 when none docked and the scenario's own start stands) and
// the reserve the planner's plan from there uses; or {fault} for a scenario the page would not take.
EMSCRIPTEN_KEEPALIVE const char* start_own(const char* scenario, double spread, const char* code,
                                           const char* name) {
    sim::ParaPhy sc;
    sim::ScenarioItem bad;
    if (plan::exerciseScenario(scenario, &sc, &bad) != sim::ScenarioOk) {
        answer = "{\"fault\":true}";
        return answer.c_str();
    }
    const plan::OwnStart own = plan::ownStart(sc, spread, code, name);
    const sim::ParaPhy& s = own.scenario;
    answer = "{\"text\":" + plan::json(sim::scenarioText(s)) +
             plan::fmt(",\"draw\":%d,\"start\":[%.17g,%.17g,%.17g],\"advised\":%d}", own.draw, s.X0, s.Y0,
                       s.Z0, own.advised);
    return answer.c_str();
}
}
