// The replay's seam: the one piece of web/ that writes the program's state. It reads a flight file with
// the program's own reader, starts the program on the flight's head, and hands each press and switch to
// the program's own key entry just before the integrator call that took it, so that the simulator
// flies the same flight at the pace in force; « Aller à la fin » makes the remaining calls at once
// through the program's own idle path, doing what each frame does (the gauge's clamp, the outcome
// rules) without drawing. replay.js drives it; everything runs on the page's one thread, in web.js's
// hooks, between frames.
#include <GL/glut.h>
#include <climits>
#include <cmath>
#include <cstdio>
#include <emscripten/emscripten.h>
#include <string>

#include "app.h"
#include "plan.h"
#include "sim.h"

namespace {

// Where the flight's head waits as a scenario file, so that `k` after taking over starts it again.
const char* const kHead = "data/vol.in";

sim::Vol loaded;        // the flight last read
sim::VolEnd loadedEnd;  // its file's last line
bool replaying = false; // its presses are being handed to the program
size_t next = 0;        // the next of its events to hand over
std::string answer;     // the last text handed to the page, alive until the next call

std::string endJson(const sim::VolEnd& e) {
    const double speed = std::sqrt(e.Xp * e.Xp + e.Yp * e.Yp + e.Zp * e.Zp);
    return plan::fmt(
        "{\"calls\":%lld,\"coll\":%d,\"issue\":\"%s\",\"t\":%.17g,\"speed\":%.17g,\"reserve\":%d}", e.calls,
        e.coll, sim::volOutcomeName(e.coll), e.t, speed, e.reserve);
}

// The GLUT code of a thruster, as the keyboard hands it over.
int glutKey(char kind) {
    static const int codes[] = {GLUT_KEY_UP,    GLUT_KEY_DOWN,    GLUT_KEY_LEFT,
                                GLUT_KEY_RIGHT, GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN};
    return codes[static_cast<int>(kind)];
}

// The events of the flight that the call `call` takes, handed over as the person did them: the keys
// through the program's key handlers, the gauge's clamps as the gauge does them. A flight that says
// nothing of frames has the clamp just before the call.
void handOver(long long call) {
    for (; next < loaded.events.size() && loaded.events[next].call == call; next++) {
        const sim::VolEvent& e = loaded.events[next];
        if (e.kind >= sim::Up && e.kind <= sim::PageDown)
            for (int i = 0; i < e.count; i++)
                parsekey_special(glutKey(e.kind), 0, 0);
        else if (e.kind == 'o' || e.kind == 'O')
            Keyboard(static_cast<unsigned char>(e.kind), 0, 0);
        else if (e.kind == 'v')
            sim::clampReserve();
    }
    if (!loaded.frames && call <= loadedEnd.calls)
        sim::clampReserve();
}

// Whether the coming idle call makes an integrator call, as idleFunc counts.
bool idleCalls() {
    if (sim::pause != 0)
        return false;
    const int now = it == INT_MAX ? it % sim::slow : it;
    return (now + 1) % sim::slow == 0;
}

// The presses made after the flight's last call, which no call took: spent, and the replay done.
void finish() {
    handOver(loadedEnd.calls + 1);
    replaying = false;
}

} // namespace

extern "C" {

// Reads a flight file's `n` bytes, as they came; JSON: {name, scenario, end: {...}, notes: [{t, text}],
// presses} or {fault, line, why}: the fault's name, its line (0 for the whole file) and why, in the page's
// words.
EMSCRIPTEN_KEEPALIVE const char* replay_read(const char* bytes, int n) {
    sim::Vol v;
    sim::VolEnd e;
    sim::VolFault f;
    if (!sim::readVol(std::string(bytes, static_cast<size_t>(n)), &v, &e, &f)) {
        answer = plan::fmt("{\"fault\":\"%s\",\"line\":%zu,\"why\":", sim::volErrorName(f.code), f.line) +
                 plan::json(plan::faultWords(f)) + "}";
        return answer.c_str();
    }
    loaded = v;
    loadedEnd = e;
    long long presses = 0;
    for (const sim::VolEvent& ev : v.events)
        if (ev.kind >= sim::Up && ev.kind <= sim::PageDown)
            presses += ev.count;
    answer = "{\"name\":" + plan::json(v.name) + ",\"scenario\":" + plan::json(v.scenario) +
             ",\"end\":" + endJson(e) +
             plan::fmt(",\"presses\":%lld,\"t0\":%.17g,\"notes\":[", presses, v.t0);
    for (size_t i = 0; i < v.notes.size(); i++)
        answer += plan::fmt("%s{\"t\":%.17g,\"text\":", i ? "," : "", v.notes[i].t) +
                  plan::json(v.notes[i].text) + "}";
    answer += "]}";
    return answer.c_str();
}

// Starts the program on the flight last read: its scenario, time, saved rate and reserve, as a reset
// would leave them, the scenario also written where `k` finds it. With `fly`, its presses follow, each
// before the call that took it; without, the person flies it again (against its ghost).
EMSCRIPTEN_KEEPALIVE void replay_start(int fly) {
    if (FILE* f = std::fopen(kHead, "w")) {
        std::fputs(sim::scenarioText(loaded.head).c_str(), f);
        std::fclose(f);
        sim::nomfichier = kHead;
    }
    sim::razFlight(loaded);
    next = 0;
    replaying = fly != 0;
    // Its presses are the file's, whoever takes the controls later: no grade takes such a run.
    sim::vol.replayed = replaying;
    if (!replaying)
        return;
    // The outcome rules saw the start before the first call, or, as the record says, did not.
    if (loaded.judged)
        sim::collision(sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp);
    if (loadedEnd.calls == 0)
        finish();
}

// Just before each idle call: when it makes an integrator call, that call's events go in first. 1
// while the replay goes on.
EMSCRIPTEN_KEEPALIVE int replay_before_idle() {
    if (!replaying)
        return 0;
    if (sim::calls >= loadedEnd.calls) {
        finish();
        return 0;
    }
    if (idleCalls())
        handOver(sim::calls + 1);
    return 1;
}

// The remaining calls at once, each after its events and followed by what a frame does.
EMSCRIPTEN_KEEPALIVE void replay_to_end() {
    const int paused = sim::pause;
    sim::pause = 0;
    while (replaying && sim::calls < loadedEnd.calls) {
        handOver(sim::calls + 1);
        for (const long long before = sim::calls; sim::calls == before;)
            idleFunc();
        sim::clampReserve();
        sim::collision(sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp);
    }
    sim::pause = paused;
    if (replaying)
        finish();
}

// The person takes the controls where the replay stands; the record keeps what was handed over.
EMSCRIPTEN_KEEPALIVE void replay_stop() {
    replaying = false;
}

// Where the replay stands, as JSON: {replaying, paused, calls, t, end: the live end, same: whether it
// is the file's last line to the bit}.
EMSCRIPTEN_KEEPALIVE const char* replay_state() {
    const sim::VolEnd now = sim::volEnd();
    answer = plan::fmt("{\"replaying\":%s,\"paused\":%s,\"calls\":%lld,\"t\":%.17g,\"same\":%s,\"end\":",
                       replaying ? "true" : "false", sim::pause ? "true" : "false", sim::calls, sim::t,
                       sim::sameEnd(now, loadedEnd) ? "true" : "false") +
             endJson(now) + "}";
    return answer.c_str();
}

// The flight last read as its replay flies it: t, X, Y, Z of the start and after each call, at most
// about `most` points (every k-th call, the last one kept), for the deck's ghost.
EMSCRIPTEN_KEEPALIVE const char* replay_path(int most) {
    std::vector<sim::VolPoint> path;
    sim::replayVol(loaded, loadedEnd.calls, &path);
    const size_t every = most > 0 && path.size() > static_cast<size_t>(most) ? path.size() / most + 1 : 1;
    answer = "[";
    for (size_t i = 0; i < path.size(); i++)
        if (i % every == 0 || i + 1 == path.size()) {
            const sim::VolPoint& p = path[i];
            answer += plan::fmt("%s%.6g,%.6g,%.6g,%.6g", answer.size() > 1 ? "," : "", p.t, p.X, p.Y, p.Z);
        }
    answer += "]";
    return answer.c_str();
}
}
