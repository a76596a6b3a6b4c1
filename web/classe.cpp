// The class view's seam: a class's flight files read, replayed, checked and scored by the same reader,
// replay, check and score as rendezvous-replay and the simulator's page, in a program of its own
// (classe-core) that is sim/ and plan/ compiled without GL and runs in the class page's Web Workers
// (classe-worker.js). Each worker holds the teacher's exercise and the start drawn for each name it
// met; the replays hold sim's state and give it back, as the planner's do. One thread per worker.
#include <cmath>
#include <cstdlib>
#include <emscripten/emscripten.h>
#include <map>
#include <string>
#include <vector>

#include "plan.h"
#include "sim.h"

namespace {

std::string answer;                           // the last text handed to the worker, alive until the next call
bool exercised = false;                       // the teacher set a scenario
plan::Exercise exercise;                      // and this is it
std::map<std::string, plan::OwnStart> starts; // each name's own start, by the name as read, drawn once
std::vector<float> path;                      // the last flight's path: X, Y of the start, then of calls

// A number for JSON, which has none for infinities and NaN: null.
std::string number(double v) {
    return std::isfinite(v) ? plan::fmt("%.17g", v) : "null";
}

// A start as the key of its advice: the head's eleven items and the reserve, exact (hexadecimal floats).
std::string startKey(const sim::Vol& f) {
    const sim::ParaPhy& h = f.head;
    return plan::fmt("%a %d %a %a %a %a %a %a %a %a %a %d", h.dt, h.nx, h.trois, h.Omega, h.X0, h.Y0, h.Z0,
                     h.Xp0, h.Yp0, h.Zp0, h.p, f.reserve);
}

const char* checkName(plan::Verdict c) {
    static const char* const names[] = {"verifie", "falsifie", "autre-scenario", "depart-different"};
    return names[c];
}

// The start drawn for a name in the exercise, drawn once per name.
const plan::OwnStart& ownStartOf(const std::string& name) {
    const std::string who = plan::normalName(name);
    const auto found = starts.find(who);
    if (found != starts.end())
        return found->second;
    return starts[who] = plan::ownStart(exercise.scenario, exercise.spread, exercise.code, name);
}

} // namespace

extern "C" {

// The language of the reasons a file is refused, as the page's switch chose it.
EMSCRIPTEN_KEEPALIVE void classe_language(const char* code) {
    plan::setLanguage(code);
}

// The text of the simulator's scenario n (0 to 5), the files of its menu, built in here.
EMSCRIPTEN_KEEPALIVE const char* classe_builtin(int n) {
    answer.clear();
    const std::string path = n == 0 ? "data/fo.in" : plan::fmt("data/fo%d.in", n);
    if (n < 0 || n > 5 || !sim::readFile(path.c_str(), 65536, &answer))
        answer.clear();
    return answer.c_str();
}

// The teacher's exercise: the scenario file's text ("" for none), the spread and the code word ("" for
// none). "" when taken, or JSON {fault, item}: what is wrong with the scenario, as the page's words name
// it (missing, not-finite, nx-range, dt-not-positive, dt-too-small, dt-too-long).
EMSCRIPTEN_KEEPALIVE const char* classe_exercise(const char* scenario, double spread, const char* code) {
    answer.clear();
    starts.clear();
    exercised = scenario[0] != '\0';
    exercise = plan::Exercise{};
    if (!exercised)
        return answer.c_str();
    sim::ScenarioItem bad;
    static const char* const rules[] = {"", "", "nx-range", "dt-not-positive", "dt-too-small", "dt-too-long"};
    const sim::ScenarioRule rule = plan::exerciseScenario(scenario, &exercise.scenario, &bad);
    if (rule != sim::ScenarioOk) {
        exercised = false;
        const char* fault = rule != sim::ScenarioItemBad ? rules[rule]
                            : bad.missing                ? "missing"
                                                         : "not-finite";
        answer = plan::fmt("{\"fault\":\"%s\",\"item\":", fault) + plan::json(bad.key) + "}";
        return answer.c_str();
    }
    exercise.spread = std::isfinite(spread) ? spread : 0.0;
    exercise.code = plan::normalName(code).empty() ? "" : code;
    return answer.c_str();
}

// Reads, replays and checks one flight file's n bytes, as they came. JSON: {name, who, code, scenario,
// coll, t0, t, speed, reserve, used, presses, conforms, check, key, advised, score, start, own} or
// {fault, line, why}. `advised` and `score` are -1 where the flight's start is not one whose advice is
// known here (its own start's); the page asks classe_advised once per start. classe_path() then holds
// the path, at most about `most` points.
EMSCRIPTEN_KEEPALIVE const char* classe_flight(const char* bytes, int n, int most) {
    path.clear();
    sim::Vol f;
    sim::VolEnd said;
    sim::VolFault fault;
    if (!sim::readVol(std::string(bytes, static_cast<size_t>(n)), &f, &said, &fault)) {
        answer =
            plan::fmt("{\"fault\":\"%s\",\"line\":%zu,\"why\":", sim::volErrorName(fault.code), fault.line) +
            plan::json(plan::faultWords(fault)) + "}";
        return answer.c_str();
    }
    std::vector<sim::VolPoint> points;
    const sim::VolEnd end = sim::replayVol(f, said.calls, &points);
    const bool conforms = sim::sameEnd(end, said);
    const size_t every = most > 0 && points.size() > static_cast<size_t>(most) ? points.size() / most + 1 : 1;
    for (size_t i = 0; i < points.size(); i++)
        if (i % every == 0 || i + 1 == points.size())
            path.push_back(static_cast<float>(points[i].X)), path.push_back(static_cast<float>(points[i].Y));

    long long presses = 0;
    for (const sim::VolEvent& e : f.events)
        if (e.kind >= sim::Up && e.kind <= sim::PageDown)
            presses += e.count;
    const int used = f.reserve - end.reserve;
    std::string check = checkName(conforms ? plan::Verified : plan::Falsified), own;
    int advised = -1, score = -1;
    if (exercised) {
        const plan::OwnStart& start = exercise.code.empty() ? plan::OwnStart{} : ownStartOf(f.name);
        check = checkName(plan::checkFlight(f, conforms, exercise, start));
        if (!exercise.code.empty()) {
            const sim::ParaPhy& s = start.scenario;
            own = ",\"own\":[" + number(s.X0) + "," + number(s.Y0) + "," + number(s.Z0) +
                  plan::fmt("],\"draw\":%d", start.draw);
            // A flight from the very start drawn for its name: its advice came with the draw.
            if (plan::checkFlight(f, true, plan::Exercise{s, 0.0, ""}, start) == plan::Verified &&
                start.draw >= 0) {
                advised = start.advised;
                score = plan::score(end.coll, used, advised);
            }
        }
    }
    const sim::ParaPhy& h = f.head;
    answer =
        "{\"name\":" + plan::json(f.name) + ",\"who\":" + plan::json(plan::normalName(f.name)) +
        ",\"code\":" + plan::json(f.code) + ",\"scenario\":" + plan::json(f.scenario) +
        plan::fmt(",\"coll\":%d,\"t0\":", end.coll) + number(f.t0) + ",\"t\":" + number(end.t) +
        ",\"speed\":" + number(std::sqrt(end.Xp * end.Xp + end.Yp * end.Yp + end.Zp * end.Zp)) +
        plan::fmt(",\"reserve\":%d,\"used\":%d,\"presses\":%lld,\"conforms\":%s,\"check\":\"%s\","
                  "\"advised\":%d,\"score\":%d,",
                  end.reserve, used, presses, conforms ? "true" : "false", check.c_str(), advised, score) +
        "\"key\":" + plan::json(startKey(f)) + ",\"start\":[" + number(h.X0) + "," + number(h.Y0) + "," +
        number(h.Z0) + "]" + own + "}";
    return answer.c_str();
}

// The path of the flight last read: X, Y pairs from its start.
EMSCRIPTEN_KEEPALIVE const float* classe_path() {
    return path.data();
}

EMSCRIPTEN_KEEPALIVE int classe_path_floats() {
    return static_cast<int>(path.size());
}

// « conseil » from a start given as classe_flight's key: the reserve the planner's plan from there uses,
// 0 when no plan docks.
EMSCRIPTEN_KEEPALIVE int classe_advised(const char* key) {
    sim::Vol f;
    sim::ParaPhy& h = f.head;
    double* const items[] = {&h.dt, nullptr, &h.trois, &h.Omega, &h.X0, &h.Y0,
                             &h.Z0, &h.Xp0,  &h.Yp0,   &h.Zp0,   &h.p};
    const char* at = key;
    char* end = nullptr;
    for (double* item : items) {
        if (item)
            *item = std::strtod(at, &end);
        else
            h.nx = static_cast<int>(std::strtol(at, &end, 10));
        at = end;
    }
    f.reserve = static_cast<int>(std::strtol(at, &end, 10));
    return plan::advised(f);
}

// The one score of a flight, out of 100 (plan::score).
EMSCRIPTEN_KEEPALIVE int classe_score(int coll, int used, int advised) {
    return plan::score(coll, used, advised);
}
}
