// rendezvous-replay: flight files replayed through the simulator's integrator and outcome rules, each
// checked against its last line.
//
//   rendezvous-replay [--csv] [--write OUT] [--scenario FILE [--code WORD --spread S]] [--lang CODE] FILE...
//
// One line a file on standard output, in the language --lang names or the environment's locale names
// (as rendezvous-plan speaks), French otherwise; --csv prints the same in every language. A file that
// cannot be read gets one line on standard error and the others are still replayed. --write seals one
// flight: written to OUT with the end of its replay, its own "fin" line needing only its calls.
// --scenario checks each flight against a class's exercise as the class view does: its head must be
// that scenario, and, with --code and --spread, its start the one drawn for its name.
// Status 0: every file conforms (and passes the exercise's check); 1: one does not; 2: a file could not
// be read, or a bad argument.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plan.h"

namespace {

// The languages that --lang takes, as "fr, en".
std::string languageList() {
    std::string names;
    for (const std::string& code : plan::languages())
        names += (names.empty() ? "" : ", ") + code;
    return names;
}

int bad(const std::string& what) {
    std::fprintf(stderr, "%s\n%s", plan::tr("replay.error", {what}).c_str(),
                 plan::tr("replay.usage", {languageList()}).c_str());
    return 2;
}

// A flight file's fault in words, naming the file and the line.
std::string faultText(const std::string& file, const sim::VolFault& f) {
    const std::string what = plan::faultWords(f);
    return f.line ? plan::tr("replay.error.line", {file, std::to_string(f.line), what})
                  : plan::tr("replay.error.file", {file, what});
}

// What the line of a file says: the replay's end, whether the file's own end is the same, and how the
// flight stands against the exercise.
struct Replayed {
    std::string file;
    sim::Vol flight;
    sim::VolEnd end;
    bool conforms = false;
    plan::Verdict check = plan::Verified;
};

// The class's exercise that --scenario, --code and --spread give; none without --scenario.
bool exercised = false;
plan::Exercise exercise;
std::map<std::string, plan::OwnStart> starts; // each name's start, drawn once, by the name as read

// How the flight stands: whether it conforms, and against the exercise where one is given.
plan::Verdict checked(const Replayed& r) {
    if (!exercised)
        return r.conforms ? plan::Verified : plan::Falsified;
    plan::OwnStart own;
    if (!exercise.code.empty()) {
        const std::string who = plan::normalName(r.flight.name);
        const auto found = starts.find(who);
        own = found != starts.end() ? found->second
                                    : (starts[who] = plan::ownStart(exercise.scenario, exercise.spread,
                                                                    exercise.code, r.flight.name));
    }
    return plan::checkFlight(r.flight, r.conforms, exercise, own);
}

// Reads and replays one file; false, with its line on standard error, when it is not a flight.
bool replay(const std::string& file, bool sealing, Replayed* out) {
    std::string text;
    sim::VolFault fault;
    sim::VolEnd said;
    if (!sim::readFile(file.c_str(), sim::kVolBytesMax + 1, &text)) {
        std::fprintf(stderr, "%s\n",
                     plan::tr("replay.error.file", {file, plan::tr("replay.error.open")}).c_str());
        return false;
    }
    if (!sim::readVol(text, &out->flight, &said, &fault, sealing)) {
        std::fprintf(stderr, "%s\n", faultText(file, fault).c_str());
        return false;
    }
    out->file = file;
    out->end = sim::replayVol(out->flight, said.calls);
    out->conforms = sim::sameEnd(out->end, said);
    return true;
}

int presses(const sim::Vol& f) {
    long long n = 0;
    for (const sim::VolEvent& e : f.events)
        if (e.kind >= 0 && e.kind <= sim::PageDown)
            n += e.count;
    return static_cast<int>(std::min<long long>(n, sim::kVolPressesMax));
}

double speedOf(const sim::VolEnd& e) {
    return std::sqrt(e.Xp * e.Xp + e.Yp * e.Yp + e.Zp * e.Zp);
}

// The check's name, the same in every language: « conforme » for a flight that ends on its own last line
// and passes the exercise's check.
const char* verdictName(plan::Verdict c) {
    static const char* const names[] = {"conforme", "non conforme", "autre scénario", "départ différent"};
    return names[c];
}

std::string humanLine(const Replayed& r) {
    const int n = presses(r.flight);
    const std::string count = n == 0   ? plan::tr("replay.presses.none")
                              : n == 1 ? plan::tr("replay.presses.one")
                                       : plan::tr("replay.presses.many", {std::to_string(n)});
    const std::string outcome =
        plan::fmt("replay.outcome.%d", r.end.coll >= 0 && r.end.coll <= 4 ? r.end.coll : 0);
    return plan::tr("replay.line",
                    {r.file, r.flight.name.empty() ? plan::tr("replay.no-name") : r.flight.name,
                     plan::tr(outcome.c_str()), plan::fmt("%.3f", r.end.t), plan::fmt("%.3f", speedOf(r.end)),
                     std::to_string(r.end.reserve), count, verdictName(r.check)}) +
           "\n";
}

// A field of CSV, quoted as RFC 4180 asks where it holds a comma, a quote or a line break.
std::string field(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (const char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string csvLine(const Replayed& r) {
    return field(r.file) + "," + field(r.flight.name) + "," + sim::volOutcomeName(r.end.coll) + "," +
           plan::fmt("%.3f,%.3f,%d,%d,", r.end.t, speedOf(r.end), r.end.reserve, presses(r.flight)) +
           verdictName(r.check) + "\n";
}

bool writeFile(const char* path, const std::string& text) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

// The exercise's scenario file, read as the class page reads one.
bool readExercise(const char* path) {
    std::string text;
    sim::ScenarioItem bad;
    return sim::readFile(path, 65536, &text) &&
           plan::exerciseScenario(text, &exercise.scenario, &bad) == sim::ScenarioOk;
}

} // namespace

int main(int argc, char** argv) {
    bool csv = false;
    const char* out = nullptr;
    const char* scenario = nullptr;
    const char* spread = nullptr;
    std::vector<std::string> files;
    plan::setLanguage(plan::environmentLanguage());
    for (int i = 1; i + 1 < argc; i++)
        if (std::strcmp(argv[i], "--lang") == 0 && plan::setLanguage(argv[i + 1]))
            break;
    const std::string names = languageList();
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(plan::tr("replay.usage", {names}).c_str(), stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--csv") == 0) {
            csv = true;
        } else if (std::strcmp(argv[i], "--lang") == 0) {
            if (++i == argc)
                return bad(plan::tr("plan.error.lang-missing", {names}));
            const std::vector<std::string> all = plan::languages();
            if (std::find(all.begin(), all.end(), argv[i]) == all.end())
                return bad(plan::tr("plan.error.lang-unknown", {argv[i], names}));
        } else if (std::strcmp(argv[i], "--write") == 0) {
            if (++i == argc)
                return bad(plan::tr("replay.error.write-missing"));
            out = argv[i];
        } else if (std::strcmp(argv[i], "--scenario") == 0) {
            if (++i == argc)
                return bad(plan::tr("replay.error.scenario-missing"));
            scenario = argv[i];
        } else if (std::strcmp(argv[i], "--code") == 0) {
            if (++i == argc || plan::normalName(argv[i]).empty())
                return bad(plan::tr("replay.error.code-missing"));
            exercise.code = argv[i];
        } else if (std::strcmp(argv[i], "--spread") == 0) {
            if (++i == argc)
                return bad(plan::tr("replay.error.spread", {"", plan::fmt("%g", plan::kSpreadMax)}));
            spread = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return bad(plan::tr("plan.error.option", {argv[i]}));
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty())
        return bad(plan::tr("replay.error.no-file"));
    if (out && files.size() != 1)
        return bad(plan::tr("replay.error.write-one"));
    // A start of one's own takes the code word and the spread together, both drawn in the scenario.
    if ((spread != nullptr) != !exercise.code.empty() || (!scenario && spread))
        return bad(plan::tr("replay.error.own"));
    if (spread && !plan::parseSpread(spread, &exercise.spread))
        return bad(plan::tr("replay.error.spread", {spread, plan::fmt("%g", plan::kSpreadMax)}));
    if (scenario && !readExercise(scenario))
        return bad(plan::tr("plan.error.scenario", {scenario}));
    exercised = scenario != nullptr;

    if (csv)
        std::fputs("fichier,nom,issue,temps,vitesse,reserve,pressions,verification\n", stdout);
    int status = 0;
    for (const std::string& file : files) {
        Replayed r;
        if (!replay(file, out != nullptr, &r)) {
            status = 2;
            continue;
        }
        if (out) {
            // Sealed: the flight with its replay's end, read back and replayed as any file is.
            const std::string text = sim::writeVol(r.flight, r.end);
            if (!writeFile(out, text)) {
                std::fprintf(stderr, "%s\n",
                             plan::tr("replay.error", {plan::tr("replay.error.write", {out})}).c_str());
                return 2;
            }
            sim::VolEnd said;
            sim::VolFault fault;
            if (!sim::readVol(text, &r.flight, &said, &fault)) {
                std::fprintf(stderr, "%s\n", faultText(out, fault).c_str());
                return 2;
            }
            r.file = out;
            r.end = sim::replayVol(r.flight, said.calls);
            r.conforms = sim::sameEnd(r.end, said);
        }
        r.check = checked(r);
        std::fputs((csv ? csvLine(r) : humanLine(r)).c_str(), stdout);
        if (r.check != plan::Verified && status == 0)
            status = 1;
    }
    return status;
}
