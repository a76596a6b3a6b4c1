// The deck's seam: what the page's deck (deck.js) reads of the program, and the planner run for it.
// It reads sim's and app's state and never writes it but for the record's name, code and scenario lines,
// which are the page's; the planner and the record's replay hold sim's state and put it all back
// before they return. Everything runs on the page's one thread, between frames or inside the
// page's hooks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <emscripten/emscripten.h>
#include <sstream>
#include <string>
#include <vector>

#include "app.h"
#include "plan.h"
#include "render.h"
#include "sim.h"

namespace {

// What deck_state fills, one slot each, in the order deck.js names them.
double live[30];
// The numbers the screen shows, as it shows them: temps, vitesse, distance, reserve, x, y, z, xp, yp, zp.
std::string shown;

std::string answer;     // the last text handed to the page, alive until the next call
plan::Plan advice;      // the last plan that docks, for the saved picture
double adviceAt = -1.0; // the time it was asked from; -1 when none
int adviceUse = 0;      // the reserve the plan from the run's start uses, 0 when none docks

// The numbers of the screen's telemetry lines, blank separated, each as drawn.
std::string screenNumbers() {
    std::string out;
    for (const std::string& line :
         telemetry(sim::t, sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp, sim::pc)) {
        size_t at = 0;
        while ((at = line.find('=', at)) != std::string::npos) {
            at = line.find_first_not_of(' ', at + 1);
            const size_t end = line.find(' ', at);
            out += (out.empty() ? "" : " ") + line.substr(at, end - at);
        }
    }
    return out;
}

std::string numbers(const plan::Moment& m) {
    return plan::fmt("[%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%d]", m.t, m.X, m.Y, m.Z, m.Xp, m.Yp, m.Zp,
                     m.reserve);
}

// Why no plan comes from the moment, as deck.js names the reasons.
const char* noPlan(const plan::Moment& from) {
    switch (sim::coll) {
    case 1:
        return "collision";
    case 2:
    case 3:
        return "arrime";
    case 4:
        return "perdu";
    default:
        break;
    }
    if (sim::para_phy.p == 0.0 || from.reserve <= 0)
        return "reserve";
    // A plan that a far larger reserve would find says the reserve is what is short.
    plan::Moment rich = from;
    rich.reserve = 100 * sim::pcmax;
    return plan::planFrom(sim::para_phy, rich).outcome == 3 ? "reserve" : "aucun";
}

} // namespace

extern "C" {

// The language of the advice and of the saved picture, as the page's switch chose it.
EMSCRIPTEN_KEEPALIVE void deck_language(const char* code) {
    plan::setLanguage(code);
}

// The live state, once a frame: fills the deck's array (t, X, Y, Z, Xp, Yp, Zp, pc, coll, it, slow,
// pause, it_t, p, Omega, px, py, pz, pcmax, X0, Y0, Z0, Xp0, Yp0, Zp0, the screen's numbers' address,
// the record's calls, events, start time and start reserve) and returns its address.
EMSCRIPTEN_KEEPALIVE const double* deck_state() {
    const sim::ParaPhy& s = sim::para_phy;
    const int counts[] = {sim::pc, sim::coll, it, sim::slow, sim::pause, sim::it_t};
    const double values[] = {sim::t, sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp};
    const double more[] = {s.p,  s.Omega, sim::px, sim::py, sim::pz, static_cast<double>(sim::pcmax),
                           s.X0, s.Y0,    s.Z0,    s.Xp0,   s.Yp0,   s.Zp0};
    double* to = std::copy(std::begin(values), std::end(values), live);
    to = std::copy(std::begin(counts), std::end(counts), to);
    std::copy(std::begin(more), std::end(more), to);
    shown = screenNumbers();
    live[25] = static_cast<double>(reinterpret_cast<uintptr_t>(shown.c_str()));
    // The core's record: its calls, its events, and the time of its reset, by which the deck tells a
    // new run from the one it draws.
    live[26] = static_cast<double>(sim::calls);
    live[27] = static_cast<double>(sim::vol.events.size());
    live[28] = sim::vol.t0;
    live[29] = sim::vol.reserve;
    return live;
}

// The words of the screen that the deck explains, as JSON: the telemetry's names in the order drawn
// ("names": ["temps", "vitesse", ...]), and the outcome messages of codes 1 to 4 ("outcomes").
EMSCRIPTEN_KEEPALIVE const char* deck_screen() {
    std::string names;
    for (const std::string& line : telemetry(0, 0, 0, 0, 0, 0, 0, 0)) {
        // A name is the word before a lone "=", or a word that ends in "=" ("xp=").
        std::istringstream words(line);
        std::string word, before;
        while (words >> word) {
            const std::string name = word == "="          ? before
                                     : word.back() == '=' ? word.substr(0, word.size() - 1)
                                                          : "";
            if (!name.empty())
                names += (names.empty() ? "" : ",") + plan::json(name);
            before = word;
        }
    }
    std::string outcomes;
    for (int code = 1; code <= 4; code++)
        outcomes += (code > 1 ? "," : "") + plan::json(outcomeMessage(code));
    answer = "{\"names\":[" + names + "],\"outcomes\":[" + outcomes + "]}";
    return answer.c_str();
}

// The scenario file in use and the outcome's message, "" while under way: two lines.
EMSCRIPTEN_KEEPALIVE const char* deck_words() {
    answer = std::string(sim::nomfichier ? sim::nomfichier : "") + "\n" + outcomeMessage(sim::coll);
    return answer.c_str();
}

// The planner's advice from the moment the screen shows, with the orbital rate in force, as JSON:
// {from, method, steps: [{t, key, count, text, expect}], arrival, flight: [t, X, Y, Z, ...]}, or
// {why} when no plan docks from there.
EMSCRIPTEN_KEEPALIVE const char* deck_advise() {
    const std::string n = screenNumbers();
    // temps, vitesse, distance, reserve, x, y, z, xp, yp, zp: the moment is temps, x ... zp, reserve.
    std::vector<std::string> w;
    for (size_t at = 0, end; at < n.size(); at = end + 1) {
        end = n.find(' ', at);
        end = end == std::string::npos ? n.size() : end;
        w.push_back(n.substr(at, end - at));
    }
    const std::string fromText = w.size() == 10
                                     ? w[0] + " " + w[4] + " " + w[5] + " " + w[6] + " " + w[7] + " " + w[8] +
                                           " " + w[9] + " " + std::to_string(std::max(sim::pc, 0))
                                     : "";
    plan::Moment from;
    if (!plan::parseMoment(fromText, &from)) {
        answer = "{\"why\":\"aucun\"}";
        return answer.c_str();
    }
    const plan::Plan p = sim::coll == 0 ? plan::planFrom(sim::para_phy, from) : plan::Plan{};
    if (sim::coll != 0 || p.outcome != 3) {
        answer = std::string("{\"why\":\"") + noPlan(from) + "\",\"from\":" + plan::json(fromText) + "}";
        return answer.c_str();
    }
    advice = p;
    adviceAt = from.t;
    answer = "{\"from\":" + plan::json(fromText) + ",\"method\":[";
    for (size_t i = 0; i < p.method.size(); i++)
        answer += (i ? "," : "") + plan::json(p.method[i]);
    answer += "],\"steps\":[";
    for (size_t i = 0; i < p.steps.size(); i++) {
        const plan::Step& s = p.steps[i];
        answer += plan::fmt("%s{\"t\":%.17g,\"key\":\"%s\",\"count\":%d,\"text\":", i ? "," : "", s.t,
                            plan::keyName(s.key), s.count) +
                  plan::json(plan::stepText(s)) + ",\"expect\":" + numbers(s.expect) + "}";
    }
    answer += "],\"arrival\":" + plan::json(plan::arrivalText(p)) +
              ",\"pulse\":" + plan::fmt("%.17g", p.pulse) + ",\"flight\":[";
    for (size_t i = 0; i < p.flight.size(); i++) {
        const plan::Sample& s = p.flight[i];
        answer += plan::fmt("%s%.6g,%.6g,%.6g,%.6g", i ? "," : "", s.t, s.X, s.Y, s.Z);
    }
    answer += "]}";
    return answer.c_str();
}

// The path of the run since the last reset, from the core's record replayed: t, X, Y, Z of the start
// and after each call, at most about `most` points (every k-th call, the last one kept).
EMSCRIPTEN_KEEPALIVE const char* deck_path(int most) {
    std::vector<sim::VolPoint> path;
    sim::replayVol(sim::vol, sim::calls, &path);
    const size_t every = most > 0 && path.size() > static_cast<size_t>(most) ? path.size() / most + 1 : 1;
    answer = "[";
    for (size_t i = 0; i < path.size(); i++)
        if (i % every == 0 || i + 1 == path.size())
            answer += plan::fmt("%s%.17g,%.17g,%.17g,%.17g", answer.size() > 1 ? "," : "", path[i].t,
                                path[i].X, path[i].Y, path[i].Z);
    answer += "]";
    return answer.c_str();
}

// The run's score once it has an outcome, as JSON {used, advised, score}: the reserve used against the
// reserve the planner's plan from the run's own start uses, planned once for each start.
EMSCRIPTEN_KEEPALIVE const char* deck_score() {
    static sim::ParaPhy planned;
    static int advisedFor = -1;
    const sim::ParaPhy& h = sim::vol.head;
    if (advisedFor != sim::vol.reserve || !sim::sameScenario(planned, h)) {
        planned = h;
        advisedFor = sim::vol.reserve;
        adviceUse = plan::advised(sim::vol);
    }
    const sim::VolEnd end = sim::volEnd();
    const int used = sim::vol.reserve - end.reserve;
    answer = plan::fmt("{\"used\":%d,\"advised\":%d,\"score\":%d}", used, adviceUse,
                       plan::score(end.coll, used, adviceUse));
    return answer.c_str();
}

// The run since the last reset as its flight file: the core's record, with the pilot's name, the code
// word of the pilot's own start ("" for none) and the scenario's source as the page knows them, and the
// end where the flight stands.
EMSCRIPTEN_KEEPALIVE const char* deck_flight(const char* name, const char* scenario, const char* code) {
    sim::vol.name = name;
    sim::vol.code = code;
    sim::vol.scenario = scenario;
    answer = sim::writeVol(sim::vol, sim::volEnd());
    return answer.c_str();
}

// The run since the last reset as a picture in the planner's style: the path flown, from the core's
// record replayed, each press at the time the screen showed; the advice last asked is drawn dashed when
// it was asked at or after `since`.
EMSCRIPTEN_KEEPALIVE const char* deck_picture(double since) {
    std::vector<sim::VolPoint> path;
    const sim::VolEnd end = sim::replayVol(sim::vol, sim::calls, &path);
    plan::Plan flown;
    for (const sim::VolPoint& p : path)
        flown.flight.push_back({p.t, p.X, p.Y, p.Z});
    for (const sim::VolEvent& e : sim::vol.events)
        if (e.kind >= sim::Up && e.kind <= sim::PageDown)
            flown.steps.push_back(
                {std::round(e.t * 1000.0) / 1000.0, static_cast<plan::Key>(e.kind), e.count, {}});
    const sim::ParaPhy& s = sim::vol.head;
    const plan::Moment start{sim::vol.t0, s.X0, s.Y0, s.Z0, s.Xp0, s.Yp0, s.Zp0, sim::vol.reserve};
    flown.outcome = end.coll;
    flown.arrival = end.t;
    const double speed = std::sqrt(end.Xp * end.Xp + end.Yp * end.Yp + end.Zp * end.Zp);
    const std::string how = plan::fmt("deck.end.%d", end.coll >= 0 && end.coll <= 4 ? end.coll : 0);
    plan::Record record;
    record.outcome = plan::tr("deck.picture.end", {plan::tr(how.c_str()), plan::fmt("%.3f", end.t),
                                                   plan::fmt("%.3f", speed), std::to_string(end.reserve)});
    if (adviceAt >= since)
        record.advice = advice.flight;
    answer = plan::svg(flown, s, start, sim::nomfichier ? sim::nomfichier : "", record);
    return answer.c_str();
}
}
