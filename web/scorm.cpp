// The learning platform's seam: what scorm.js asks of the program when the page runs inside a
// platform (Moodle and the like) that grades its flights. It keeps the exercise the page was opened
// with (its scenario, and the student's own start where the link gives a code word), which alone earns
// a grade, and reads sim's state; it never writes it. Everything runs on the page's one thread, in
// web.js's hooks, between frames.
#include <emscripten/emscripten.h>
#include <string>

#include "plan.h"
#include "sim.h"

namespace {

plan::Exercise exercise; // the exercise the page was opened with
bool known = false;      // whether `exercise` holds one
bool drawn = false;      // whether `own` is drawn, for the name `drawnFor`
std::string drawnFor;    // the name whose own start `own` is: drawn once a name
plan::OwnStart own;      // that start, where the exercise has a code word

} // namespace

extern "C" {

// The text of the scenario the page was opened with (its first scenario, `?cas=N`'s or a link's), read
// as the reset reads it, with the link's spread and code word ("" for none). 1 when the scenario is one
// the page takes; 0, and then no flight is graded, otherwise.
EMSCRIPTEN_KEEPALIVE int scorm_launch(const char* text, double spread, const char* code) {
    sim::ScenarioItem bad;
    known = plan::exerciseScenario(text, &exercise.scenario, &bad) == sim::ScenarioOk;
    exercise.spread = spread;
    exercise.code = code;
    drawn = false;
    return known ? 1 : 0;
}

// The outcome code of the run (0 while under way), read once a frame.
EMSCRIPTEN_KEEPALIVE int scorm_outcome() {
    return sim::coll;
}

// 1 when the run since the last reset may be graded: a person's flight of the exercise the page was
// opened with (plan::graded), from the own start of `name` where the exercise has a code word. The name
// is the platform's, or the one typed where the platform gave none.
EMSCRIPTEN_KEEPALIVE int scorm_graded(const char* name) {
    if (!known)
        return 0;
    if (!exercise.code.empty() && (!drawn || drawnFor != name)) {
        own = plan::ownStart(exercise.scenario, exercise.spread, exercise.code, name);
        drawn = true;
        drawnFor = name;
    }
    return plan::graded(sim::vol, exercise, own) ? 1 : 0;
}
}
