// A start of its own for each student, the check of a class's flights against the exercise, the one
// score of a flight, and which flights a learning platform grades.
//
// A teacher gives a scenario, a spread and a code word; each student's start is the scenario's moved by
// up to the spread, drawn from the code word and the student's name, the same on every machine: the
// draw is integer hashing, and the start's numbers are whole thousandths, rounded as IEEE rounds. A start is
// kept only if the planner docks from it; otherwise the next draw is taken. The class view and
// rendezvous-replay draw each name's start again from what the teacher gives them, and check each flight's
// head against it.
#include "plan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace plan {

namespace {

// The Latin letters with a mark, from U+00C0 on, as the plain letters they are read as; "" for a sign
// that is no letter (× and ÷). Enough for the names of French and European classes.
const char* const kLatin1[64] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i", // U+00C0
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i", // U+00E0
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",
};
// U+0100 to U+017F, one letter each (Āā Ăă Ąą Ćć … Žž ſ); "?" where two letters stand for one (Ĳ, Œ).
const char* const kLatinA = "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiii"
                            "ii??jjkkkllllllllllnnnnnnnnnoooooo??rrrrrrssssss"
                            "ssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

// The code point at s[i], and i moved past it; an invalid byte reads as nothing.
std::uint32_t next(const std::string& s, std::size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (more < 0)
        return 0;
    std::uint32_t cp = c & (0x3F >> more);
    for (int k = 0; k < more; k++) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

// 64-bit FNV-1a of the bytes, then SplitMix64's finaliser so that near keys draw far apart.
std::uint64_t hash(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : s)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    h ^= h >> 30, h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27, h *= 0x94d049bb133111ebull;
    return h ^ (h >> 31);
}

// `from` moved by a whole number of thousandths, drawn evenly from -spread to +spread by bits of h, and
// written as the number of thousandths it is nearest to, so that a flight file's head reads it short.
double draw(double from, std::uint64_t h, int shift, double spread) {
    const long long most = std::llround(spread * 1000.0);
    const std::uint64_t span = static_cast<std::uint64_t>(2 * most + 1);
    const long long k = static_cast<long long>(((h >> shift) & 0xFFFFF) % span) - most;
    return std::round(from * 1000.0 + static_cast<double>(k)) / 1000.0;
}

} // namespace

std::string normalName(const std::string& name) {
    // "Nom, Prénom" as platforms write it: the part after the comma first.
    std::string ordered = name;
    if (const std::size_t comma = name.find(','); comma != std::string::npos)
        ordered = name.substr(comma + 1) + " " + name.substr(0, comma);
    std::string plain;
    for (std::size_t i = 0; i < ordered.size();) {
        const std::uint32_t cp = next(ordered, i);
        if ((cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9'))
            plain += static_cast<char>(cp);
        else if (cp >= 'A' && cp <= 'Z')
            plain += static_cast<char>(cp - 'A' + 'a');
        else if (cp >= 0xC0 && cp <= 0xFF)
            plain += kLatin1[cp - 0xC0];
        else if (cp == 0x132 || cp == 0x133)
            plain += "ij";
        else if (cp == 0x152 || cp == 0x153)
            plain += "oe";
        else if (cp >= 0x100 && cp <= 0x17F)
            plain += kLatinA[cp - 0x100];
        else
            plain += ' ';
    }
    std::istringstream words(plain);
    std::string word, out;
    while (words >> word)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

OwnStart ownStart(const sim::ParaPhy& sc, double spread, const std::string& code, const std::string& name) {
    OwnStart out;
    out.scenario = sc;
    const std::string who = normalName(name);
    const std::string word = normalName(code);
    spread = std::isnan(spread) ? 0.0 : std::clamp(spread, 0.0, kSpreadMax);
    // Out of the plane only where the scenario itself leaves it: an in-plane exercise stays in the plane.
    // Off the approach line only where an orbital rate bends the path back to it: with none, a start
    // beside the line is one no plan docks from, and every name would fall back on the scenario's start.
    const bool outOfPlane = sc.Z0 != 0.0 || sc.Zp0 != 0.0;
    const bool radial = sc.Omega != 0.0;
    for (int n = 0; n < kOwnStartTries; n++) {
        const std::uint64_t h = hash(word + "\n" + who + "\n" + std::to_string(n));
        sim::ParaPhy s = sc;
        if (radial)
            s.X0 = draw(sc.X0, h, 0, spread);
        s.Y0 = draw(sc.Y0, h, 20, spread);
        if (outOfPlane)
            s.Z0 = draw(sc.Z0, h, 40, spread);
        const Plan p = planFrom(s, {0.0, s.X0, s.Y0, s.Z0, s.Xp0, s.Yp0, s.Zp0, sim::pcmax});
        if (p.outcome == 3) {
            out.scenario = s;
            out.draw = n;
            out.advised = sim::pcmax - p.reserve;
            return out;
        }
    }
    out.draw = -1;
    return out;
}

bool parseSpread(const std::string& text, double* spread) {
    std::string point = text;
    std::replace(point.begin(), point.end(), ',', '.');
    char* end = nullptr;
    *spread = std::strtod(point.c_str(), &end);
    return !point.empty() && *end == '\0' && *spread >= 0.0 && *spread <= kSpreadMax;
}

int advised(const sim::Vol& f) {
    const sim::ParaPhy& h = f.head;
    const Plan p = planFrom(h, {0.0, h.X0, h.Y0, h.Z0, h.Xp0, h.Yp0, h.Zp0, f.reserve});
    return p.outcome == 3 ? f.reserve - p.reserve : 0;
}

sim::ScenarioRule exerciseScenario(const std::string& text, sim::ParaPhy* sc, sim::ScenarioItem* bad) {
    size_t pos = 0;
    *sc = sim::ParaPhy{};
    for (const sim::ScenarioItem& item : sim::readScenario(text, &pos, sc))
        if (!item.read) {
            *bad = item;
            return sim::ScenarioItemBad;
        }
    sc->dt *= sim::speed;
    return sim::scenarioRule(sc->nx, sc->dt);
}

Verdict checkFlight(const sim::Vol& f, bool conforms, const Exercise& ex, const OwnStart& own) {
    if (!conforms)
        return Falsified;
    const sim::ParaPhy& h = f.head;
    // Every item of the scenario but the start's position, where each student has a start of their own.
    sim::ParaPhy moved = ex.scenario;
    moved.X0 = h.X0, moved.Y0 = h.Y0, moved.Z0 = h.Z0;
    const auto at = [&h](const sim::ParaPhy& start) {
        return h.X0 == start.X0 && h.Y0 == start.Y0 && h.Z0 == start.Z0;
    };
    if (!sim::sameScenario(h, moved) || f.reserve != sim::pcmax || (ex.code.empty() && !at(ex.scenario)))
        return OtherScenario;
    return ex.code.empty() || at(own.scenario) ? Verified : OtherStart;
}

int score(int outcome, int used, int advised) {
    switch (outcome) {
    case 3: {
        // Docking is 60; the rest is economy against the planner's plan from the same start.
        const double economy = advised > 0 ? std::min(1.0, static_cast<double>(advised) / std::max(used, 1))
                                           : std::max(0.0, 1.0 - used / 100.0);
        return 60 + static_cast<int>(std::lround(40.0 * economy));
    }
    case 2: // at the port, but too fast: no docking
        return 20;
    case 1: // reached the target, but hit it
        return 10;
    default: // lost, or still under way
        return 0;
    }
}

bool graded(const sim::Vol& flight, const Exercise& exercise, const OwnStart& own) {
    const bool switched = std::any_of(flight.events.begin(), flight.events.end(),
                                      [](const sim::VolEvent& e) { return e.kind == 'o' || e.kind == 'O'; });
    return !flight.replayed && !switched && checkFlight(flight, true, exercise, own) == Verified;
}

} // namespace plan
