// rendezvous-plan: what to press, and when, to dock in a scenario of the simulator.
//
//   rendezvous-plan [--keys] [--from "TEMPS X Y Z XP YP ZP RESERVE"] [--svg PICTURE] [--vol FLIGHT]
//                   [--name NAME --code WORD --spread S] [--lang CODE] FILE
//
// It speaks the language --lang names, or else the one the environment's locale names (LC_ALL,
// LC_MESSAGES, LANG), French where none of those has a table; --keys prints the same in every language.
// --vol writes the flight the planner flew to check its plan as a flight file, which rendezvous-replay
// replays: a demonstration, with the plan's steps as its notes. --name, --code and --spread plan from a
// student's own start, the one a class's link draws for that name, and the flight carries the name and
// the code word as the student's page writes them.
// Status 0: the plan docks; 1: no plan docks from there; 2: a bad argument or an unreadable file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "plan.h"

namespace {

// The languages that --lang takes, as "fr, en".
std::string languageList() {
    std::string names;
    for (const std::string& code : plan::languages())
        names += (names.empty() ? "" : ", ") + code;
    return names;
}

std::string usage() {
    return plan::tr("plan.usage", {languageList()});
}

int bad(const std::string& what) {
    std::fprintf(stderr, "%s\n%s", plan::tr("plan.error", {what}).c_str(), usage().c_str());
    return 2;
}

// Reads the scenario through the simulator's own reset. The items start as NaN, so one the reader
// leaves alone shows; its line "fichier de donnees" goes to standard error, keeping the plan alone on
// standard output.
bool readScenario(const char* path) {
    const double unset = std::nan("");
    sim::para_phy.Omega = sim::para_phy.trois = unset;
    sim::para_phy.X0 = sim::para_phy.Y0 = sim::para_phy.Z0 = unset;
    sim::para_phy.Xp0 = sim::para_phy.Yp0 = sim::para_phy.Zp0 = unset;
    sim::nomfichier = path;
    std::fflush(stdout);
    const int out = dup(1);
    dup2(2, 1);
    sim::raz();
    std::fflush(stdout);
    dup2(out, 1);
    close(out);
    const sim::ParaPhy& s = sim::para_phy;
    for (const double v : {s.dt, s.Omega, s.trois, s.X0, s.Y0, s.Z0, s.Xp0, s.Yp0, s.Zp0, s.p})
        if (!std::isfinite(v))
            return false;
    return sim::scenarioRead && s.Omega >= 0.0;
}

// The plan's own flight, with the scenario it came from and each step as a note at its time, placed
// before the presses made from then on.
sim::Vol demonstration(const plan::Plan& p, const char* file) {
    sim::Vol v = p.vol;
    v.scenario = file;
    for (const plan::Step& s : p.steps) {
        size_t at = 0;
        while (at < v.events.size() && v.events[at].t < s.t - 1e-9)
            at++;
        const std::string what =
            s.key == plan::Check
                ? plan::tr("replay.note.check")
                : plan::tr("replay.note.step",
                           {std::to_string(s.count),
                            plan::tr((std::string("plan.key.") + plan::keyName(s.key)).c_str()),
                            plan::keyName(s.key)});
        v.notes.push_back({s.t, what, at});
    }
    return v;
}

bool writeFile(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    bool keys = false;
    const char* from = nullptr;
    const char* picture = nullptr;
    const char* flight = nullptr;
    const char* file = nullptr;
    const char* name = nullptr;
    const char* code = nullptr;
    const char* spread = nullptr;
    // The language first, so that every message after it speaks it: --lang, or the environment's.
    plan::setLanguage(plan::environmentLanguage());
    for (int i = 1; i + 1 < argc; i++)
        if (std::strcmp(argv[i], "--lang") == 0 && plan::setLanguage(argv[i + 1]))
            break;
    const std::string names = languageList();
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(usage().c_str(), stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--keys") == 0) {
            keys = true;
        } else if (std::strcmp(argv[i], "--lang") == 0) {
            if (++i == argc)
                return bad(plan::tr("plan.error.lang-missing", {names}));
            const std::vector<std::string> all = plan::languages();
            if (std::find(all.begin(), all.end(), argv[i]) == all.end())
                return bad(plan::tr("plan.error.lang-unknown", {argv[i], names}));
        } else if (std::strcmp(argv[i], "--from") == 0) {
            if (++i == argc)
                return bad(plan::tr("plan.error.from-missing"));
            from = argv[i];
        } else if (std::strcmp(argv[i], "--svg") == 0) {
            if (++i == argc)
                return bad(plan::tr("plan.error.svg-missing"));
            picture = argv[i];
        } else if (std::strcmp(argv[i], "--vol") == 0) {
            if (++i == argc)
                return bad(plan::tr("plan.error.vol-missing"));
            flight = argv[i];
        } else if (std::strcmp(argv[i], "--name") == 0 || std::strcmp(argv[i], "--code") == 0 ||
                   std::strcmp(argv[i], "--spread") == 0) {
            const char*& to = argv[i][2] == 'n' ? name : argv[i][2] == 'c' ? code : spread;
            if (++i == argc)
                return bad(plan::tr("plan.error.own"));
            to = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return bad(plan::tr("plan.error.option", {argv[i]}));
        } else if (file) {
            return bad(plan::tr("plan.error.one-file", {argv[i]}));
        } else {
            file = argv[i];
        }
    }
    if (!file)
        return bad(plan::tr("plan.error.no-file"));
    if (!readScenario(file))
        return bad(plan::tr("plan.error.scenario", {file}));
    // A student's own start: the three together, or none.
    double spreadValue = 0.0;
    if ((name || code || spread) && !(name && code && spread))
        return bad(plan::tr("plan.error.own"));
    if (spread && !plan::parseSpread(spread, &spreadValue))
        return bad(plan::tr("replay.error.spread", {spread, plan::fmt("%g", plan::kSpreadMax)}));
    if (name)
        sim::para_phy = plan::ownStart(sim::para_phy, spreadValue, code, name).scenario;

    plan::Moment moment{0.0,
                        sim::para_phy.X0,
                        sim::para_phy.Y0,
                        sim::para_phy.Z0,
                        sim::para_phy.Xp0,
                        sim::para_phy.Yp0,
                        sim::para_phy.Zp0,
                        sim::pcmax};
    if (from && !plan::parseMoment(from, &moment))
        return bad(plan::tr("plan.error.from", {from}));

    const plan::Plan p = plan::planFrom(sim::para_phy, moment);
    if (picture && !writeFile(picture, plan::svg(p, sim::para_phy, moment, file)))
        return bad(plan::tr("plan.error.write", {picture}));
    sim::Vol demo = demonstration(p, file);
    demo.name = name ? name : "";
    demo.code = code ? code : "";
    if (flight && p.outcome == 3 && !writeFile(flight, sim::writeVol(demo, p.end)))
        return bad(plan::tr("plan.error.write-vol", {flight}));
    std::fputs(keys ? plan::keysText(p).c_str() : plan::describe(p, sim::para_phy, moment, file).c_str(),
               stdout);
    return p.outcome == 3 ? 0 : 1;
}
