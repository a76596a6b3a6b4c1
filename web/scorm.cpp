// The learning platform's seam: what scorm.js asks of the program when the page runs inside a
// platform (Moodle and the like) that grades its flights. It keeps the scenario the page was opened
// with, which alone earns a grade, and reads sim's state; it never writes it. Everything runs on the
// page's one thread, in web.js's hooks, between frames.
#include <emscripten/emscripten.h>
#include <string>

#include "plan.h"
#include "sim.h"

namespace {

sim::ParaPhy launched; // the scenario the page was opened with, as a reset puts it in force
bool known = false;    // whether `launched` holds one

} // namespace

extern "C" {

// The text of the scenario the page was opened with (its first scenario, `?cas=N`'s or a link's), read
// as the reset reads it. 1 when it is a whole scenario; 0, and then no flight is graded, otherwise.
EMSCRIPTEN_KEEPALIVE int scorm_launch(const char* text) {
    sim::ParaPhy read;
    size_t pos = 0;
    known = true;
    for (const sim::ScenarioItem& item : sim::readScenario(text, &pos, &read))
        known = known && item.read;
    read.dt *= sim::speed;
    launched = read;
    return known ? 1 : 0;
}

// The outcome code of the run (0 while under way), read once a frame.
EMSCRIPTEN_KEEPALIVE int scorm_outcome() {
    return sim::coll;
}

// 1 when the run since the last reset may be graded: a person's flight of the scenario the page was
// opened with, from its start (plan::graded).
EMSCRIPTEN_KEEPALIVE int scorm_graded() {
    return known && plan::graded(sim::vol, launched) ? 1 : 0;
}
}
