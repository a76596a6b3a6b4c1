// The flight file: its reader, its writer and its replay. The program, rendezvous-replay, the page and
// the class view all read, write and replay flights through these three, so that a flight means one
// thing everywhere.
//
// A flight file (".vol") is UTF-8 text, at most kVolBytesMax bytes, with no control character but
// tab, CR and LF; lines end in LF or CR LF, and a UTF-8 byte-order mark before the first line is
// passed over. Line by line:
//
//   # vol rendez-vous 1
//       The first line, exactly (blanks after it are allowed).
//   dt=0.005  nx=1500  trois=3  Omega=0.25  X0=0  Y0=-10  Z0=0  Xp0=0  Yp0=0  Zp0=0  p=1
//       The scenario in force at the reset, its eleven items in this order and in a scenario file's
//       own syntax, read by the scenario reader itself (one a line as written, but any white space
//       parts them); blank lines and "#" lines may come before dt=. dt is the sub-step in force (a
//       scenario's dt times the speed factor). Every item must be there with a finite number, nx
//       within 2..1000000, and dt above 0, not longer than a call (0.05) and not so small that a call
//       would make more than 10000 sub-steps.
//   temps=0                the time at the reset (default 0)
//   Omo=-1                 the rate saved by 'o' at the reset, negative when none (default -1)
//   reserve=100            the reserve at the reset, a whole number from 0 (default 100)
//   images                 the "vide" lines below are all the clamps the gauge made (a recorded
//                          flight); without it the clamp applies just before each call
//   depart-non-juge        the outcome rules did not judge the start before call 1 (written only
//                          where judging it would have changed the flight: a start inside the
//                          target's box or beyond 100); without it the start is judged
//   nom: Alice Martin      the pilot's name
//   code: orbite           the code word of the class's link that drew the pilot's own start from the
//                          name (a start of one's own); the class view and rendezvous-replay draw it
//                          again from the teacher's code word and the name, and trust neither line
//   scenario: data/fo2.in  the file the scenario came from
//       The lines of the head after the eleven items: each at most once, in any order, all before the
//       first press or switch. Numbers are written so that they read back to the same bits.
//   note 25.100 Un tour plus tard, le chasseur revient sur l'axe.
//       A note to show at that time (the screen's), anywhere between the head and "fin".
//   0.000 1 Down 2
//       TEMPS APPEL TOUCHE NOMBRE: NOMBRE presses (1 to 1000000) of the key TOUCHE (Up, Down, Left,
//       Right, PageUp, PageDown) in a row before integrator call APPEL (1 is the first after the
//       reset); TEMPS is the screen's time when they were made, with 3 decimals. Lines follow the
//       order of the presses: "Down then Up before one call" is two lines.
//   25.100 503 o           the orbital rate switched off ('o') or back on ('O') before call APPEL
//   30.250 606 vide        the gauge found the reserve overdrawn before call APPEL: reserve 0, p 0
//       Presses, switches and clamps come in the order made, their APPEL never going back; APPEL is
//       at most APPELS + 1, the calls of "fin" plus one: those after the last call were made and not
//       yet taken when the file was written, and a replay spends them without making that call.
//   fin 1006 arrime 50.300000000000004 0.01 -1.45 0 -0.001 0.04 0 83
//       The last line: fin APPELS ISSUE TEMPS X Y Z XP YP ZP RESERVE. APPELS, the integrator calls
//       since the reset (2000000 at most); ISSUE, the outcome: en-vol, collision, trop-vite, arrime or
//       perdu (codes 0 to 4); the time, position and velocity at the end, written with %.17g (inf and
//       nan are read); RESERVE, the reserve left, never below 0. Blank lines may follow; nothing else.
//   # ...                  a comment, anywhere before "fin"; blank lines too
//
// A flight is replayed from its head: the events of call k in order, then call k, then the outcome
// rules, for k = 1 to APPELS (after a contact the calls make no sub-step, as in the program), then the
// events of call APPELS + 1. It conforms where the replay's end is the "fin" line to the last bit.
//
// Bounds, whatever a file says: its bytes (kVolBytesMax) bound its lines and events; the calls
// (kVolCallsMax), the presses of one line (kVolCountMax) and of the whole flight (kVolPressesMax), and
// the sub-steps, calls times sub-steps per call (kVolSubStepsMax), bound the replay. A file past any
// of them is refused as "too long" at the line that goes past, before anything is replayed.
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

const char* const kFirstLine = "# vol rendez-vous 1";
const char* const kOutcomes[] = {"en-vol", "collision", "trop-vite", "arrime", "perdu"}; // by code
const char* const kKeys[] = {"Up", "Down", "Left", "Right", "PageUp", "PageDown"};       // by Thruster

// The length of the character at s[i] if it is valid UTF-8 and no control character but tab, CR or
// LF; 0 otherwise. C1 controls (U+0080 to U+009F) are control characters too.
size_t textChar(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return (c >= 0x20 && c != 0x7f) || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
    size_t n = 0;
    unsigned long code = 0, least = 0;
    if ((c & 0xE0) == 0xC0)
        n = 2, code = c & 0x1F, least = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, code = c & 0x0F, least = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, code = c & 0x07, least = 0x10000;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; k++) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (d & 0x3F);
    }
    // Overlong forms, surrogates, beyond Unicode, C1 controls.
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
        (code >= 0x80 && code <= 0x9F))
        return 0;
    return n;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && blank(s[a]))
        a++;
    while (b > a && blank(s[b - 1]))
        b--;
    return s.substr(a, b - a);
}

// A token for a message: at most 40 characters, cut at a character's boundary.
std::string clip(const std::string& s) {
    size_t chars = 0, i = 0;
    for (; i < s.size() && chars < 40; i++)
        chars += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        i++;
    return i < s.size() ? s.substr(0, i) + "..." : s;
}

// One line of text for the file: control characters become blanks, bytes that are not UTF-8 go.
std::string oneLine(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = textChar(s, i);
        if (n == 0 || n == 1) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            out += n == 1 && c >= 0x20 ? s[i] : ' ';
            i++;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return trim(out);
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    for (size_t i = 0; i < line.size();) {
        while (i < line.size() && blank(line[i]))
            i++;
        const size_t from = i;
        while (i < line.size() && !blank(line[i]))
            i++;
        if (i > from)
            out.push_back(line.substr(from, i - from));
    }
    return out;
}

bool number(const std::string& token, double* v, bool finite = true) {
    if (token.empty())
        return false;
    char* end = nullptr;
    *v = std::strtod(token.c_str(), &end);
    return *end == '\0' && (!finite || std::isfinite(*v));
}

// A whole number written in decimal digits, up to 18 of them: no sign, no base.
bool whole(const std::string& token, long long* v) {
    if (token.empty() || token.size() > 18)
        return false;
    *v = 0;
    for (const char c : token) {
        if (c < '0' || c > '9')
            return false;
        *v = *v * 10 + (c - '0');
    }
    return true;
}

// The shortest of %.15g, %.16g and %.17g that reads back to the same bits.
std::string exact(double v) {
    char text[40];
    for (const int digits : {15, 16, 17}) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        if (std::strtod(text, nullptr) == v || digits == 17)
            break;
    }
    return text;
}

bool sameBits(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// The reader's state over the lines after the eleven items.
struct Reader {
    Vol* flight;
    VolEnd* end;
    VolFault* fault;
    bool sealing;
    std::vector<std::string> seen; // head lines given so far
    std::vector<size_t> eventLine; // the line of each event
    long long presses = 0;
    bool ended = false;

    bool fail(VolError code, size_t line, const std::string& detail = "") {
        *fault = {code, line, clip(detail)};
        return false;
    }

    bool headLine(const std::string& key, size_t line) {
        if (!flight->events.empty())
            return fail(VolHeadLate, line, key);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return fail(VolHeadTwice, line, key);
        seen.push_back(key);
        return true;
    }

    // "temps=", "Omo=" or "reserve=" and one number.
    bool item(const std::string& text, size_t eq, size_t line) {
        const std::string key = text.substr(0, eq), value = trim(text.substr(eq + 1));
        if (key != "temps" && key != "Omo" && key != "reserve")
            return fail(VolBadLine, line, key + "=");
        if (!headLine(key, line))
            return false;
        double v = 0.0;
        long long n = 0;
        if (key == "reserve") {
            if (!whole(value, &n) || n > 2147483647LL)
                return fail(VolBadNumber, line, value);
            flight->reserve = static_cast<int>(n);
            return true;
        }
        if (!number(value, &v))
            return fail(VolBadNumber, line, value);
        (key == "temps" ? flight->t0 : flight->omo) = v;
        return true;
    }

    bool event(const std::vector<std::string>& w, size_t line) {
        double t = 0.0;
        long long call = 0;
        if (!number(w[0], &t))
            return fail(std::isdigit(static_cast<unsigned char>(w[0][0])) || w[0][0] == '-' ? VolBadNumber
                                                                                            : VolBadLine,
                        line, w[0]);
        if (w.size() < 3)
            return fail(VolBadLine, line, w[0]);
        if (!whole(w[1], &call))
            return fail(VolBadNumber, line, w[1]);
        if (call > kVolCallsMax + 1)
            return fail(VolTooLong, line, w[1]);
        if (call < 1 || (!flight->events.empty() && call < flight->events.back().call))
            return fail(VolCallOrder, line, w[1]);
        VolEvent e{call, t, 0, 1};
        const std::string& key = w[2];
        const auto thruster = std::find(std::begin(kKeys), std::end(kKeys), key);
        if (thruster != std::end(kKeys)) {
            long long count = 0;
            if (w.size() < 4)
                return fail(VolBadCount, line, "");
            if (!whole(w[3], &count) || count < 1 || count > kVolCountMax)
                return fail(VolBadCount, line, w[3]);
            if (w.size() > 4)
                return fail(VolBadLine, line, w[4]);
            presses += count;
            if (presses > kVolPressesMax)
                return fail(VolTooLong, line, w[3]);
            e.kind = static_cast<char>(thruster - std::begin(kKeys));
            e.count = static_cast<int>(count);
        } else if (key == "o" || key == "O" || key == "vide") {
            if (w.size() > 3)
                return fail(VolBadLine, line, w[3]);
            e.kind = key == "vide" ? 'v' : key[0];
        } else {
            return fail(VolUnknownKey, line, key);
        }
        flight->events.push_back(e);
        eventLine.push_back(line);
        return true;
    }

    bool fin(const std::vector<std::string>& w, size_t line) {
        ended = true;
        long long calls = 0;
        if (w.size() < 2 || !whole(w[1], &calls))
            return fail(VolBadEnd, line, w.size() < 2 ? "fin" : w[1]);
        if (calls > kVolCallsMax)
            return fail(VolTooLong, line, w[1]);
        end->calls = calls;
        for (size_t i = 0; i < flight->events.size(); i++)
            if (flight->events[i].call > calls + 1)
                return fail(VolCallPastEnd, eventLine[i], std::to_string(flight->events[i].call));
        // The sub-steps the replay would make, at most: after a contact a call makes none.
        const double perCall = std::floor(kCall / flight->head.dt);
        if (static_cast<double>(calls) * perCall > static_cast<double>(kVolSubStepsMax))
            return fail(VolTooLong, line, w[1]);
        if (sealing)
            return true;
        if (w.size() != 11)
            return fail(VolBadEnd, line, w.size() > 11 ? w[11] : w.back());
        const auto issue = std::find(std::begin(kOutcomes), std::end(kOutcomes), w[2]);
        if (issue == std::end(kOutcomes))
            return fail(VolBadEnd, line, w[2]);
        end->coll = static_cast<int>(issue - std::begin(kOutcomes));
        double* const values[] = {&end->t, &end->X, &end->Y, &end->Z, &end->Xp, &end->Yp, &end->Zp};
        for (int i = 0; i < 7; i++)
            if (!number(w[3 + i], values[i], false))
                return fail(VolBadNumber, line, w[3 + i]);
        long long reserve = 0;
        if (!whole(w[10], &reserve) || reserve > 2147483647LL)
            return fail(VolBadNumber, line, w[10]);
        end->reserve = static_cast<int>(reserve);
        return true;
    }

    bool line(const std::string& text, size_t at) {
        const std::vector<std::string> w = words(text);
        if (w.empty())
            return true;
        if (ended)
            return fail(VolAfterEnd, at, w[0]);
        if (w[0][0] == '#')
            return true;
        const std::string first = w[0];
        if (first == "fin")
            return fin(w, at);
        if (first == "note") {
            double t = 0.0;
            if (w.size() < 2 || !number(w[1], &t))
                return fail(VolBadNumber, at, w.size() < 2 ? "note" : w[1]);
            const size_t at = text.find(w[1], text.find("note") + 4) + w[1].size();
            flight->notes.push_back({t, trim(text.substr(at)), flight->events.size()});
            return true;
        }
        if (first == "images" || first == "depart-non-juge") {
            if (w.size() > 1)
                return fail(VolBadLine, at, w[1]);
            if (!headLine(first, at))
                return false;
            if (first == "images")
                flight->frames = true;
            else
                flight->judged = false;
            return true;
        }
        const std::string t = trim(text);
        for (const auto& [key, value] :
             {std::pair{"nom:", &flight->name}, {"code:", &flight->code}, {"scenario:", &flight->scenario}})
            if (t.compare(0, std::strlen(key), key) == 0) {
                if (!headLine(key, at))
                    return false;
                *value = trim(t.substr(std::strlen(key)));
                return true;
            }
        if (const size_t eq = first.find('='); eq != std::string::npos && eq > 0 && w.size() <= 2)
            return item(t, t.find('='), at);
        return event(w, at);
    }
};

size_t lineAt(const std::string& text, size_t at) {
    return 1 + static_cast<size_t>(std::count(
                   text.begin(), text.begin() + static_cast<long>(std::min(at, text.size())), '\n'));
}

} // namespace

const char* volOutcomeName(int coll) {
    return kOutcomes[coll >= 0 && coll <= 4 ? coll : 0];
}

const char* volErrorName(VolError code) {
    static const char* const names[] = {
        "ok",         "too-large",       "not-text",     "not-flight",  "head-item",
        "nx",         "dt-not-positive", "dt-too-small", "dt-too-long", "head-twice",
        "head-late",  "bad-line",        "bad-number",   "unknown-key", "bad-count",
        "call-order", "call-past-end",   "too-long",     "no-end",      "after-end",
        "bad-end"};
    return code >= VolOk && code <= VolBadEnd ? names[code] : "bad-line";
}

bool readVol(const std::string& text, Vol* flight, VolEnd* end, VolFault* fault, bool sealing) {
    *flight = Vol{};
    flight->reserve = pcmax;
    *end = VolEnd{};
    *fault = VolFault{};
    Reader r{flight, end, fault, sealing, {}, {}, 0, false};
    if (text.size() > kVolBytesMax)
        return r.fail(VolTooLarge, 0);
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = pos; i < text.size();) {
        const size_t n = textChar(text, i);
        if (n == 0)
            return r.fail(VolNotText, lineAt(text, i));
        i += n;
    }
    size_t eol = std::min(text.find('\n', pos), text.size());
    if (trim(text.substr(pos, eol - pos)) != kFirstLine)
        return r.fail(VolNotFlight, 1);

    // The eleven items, by the scenario reader; blank and comment lines may come before them.
    pos = eol;
    while (pos < text.size()) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            pos++;
        if (pos >= text.size() || text[pos] != '#')
            break;
        pos = std::min(text.find('\n', pos), text.size());
    }
    const std::vector<ScenarioItem> items = readScenario(text, &pos, &flight->head);
    size_t nxAt = 0, dtAt = 0;
    for (const ScenarioItem& item : items) {
        if (!item.read)
            return r.fail(VolHeadItem, lineAt(text, item.at), item.key);
        if (std::strcmp(item.key, "nx") == 0)
            nxAt = item.at;
        if (std::strcmp(item.key, "dt") == 0)
            dtAt = item.at;
    }
    switch (scenarioRule(flight->head.nx, flight->head.dt)) {
    case ScenarioNx:
        return r.fail(VolNx, lineAt(text, nxAt), "nx");
    case ScenarioDtNotPositive:
        return r.fail(VolDtNotPositive, lineAt(text, dtAt), "dt");
    case ScenarioDtTooSmall:
        return r.fail(VolDtTooSmall, lineAt(text, dtAt), "dt");
    case ScenarioDtTooLong:
        return r.fail(VolDtTooLong, lineAt(text, dtAt), "dt");
    default:
        break;
    }

    // The rest, line by line: what follows the last item on its line counts as a line.
    size_t number = lineAt(text, pos);
    while (pos < text.size()) {
        eol = std::min(text.find('\n', pos), text.size());
        if (!r.line(text.substr(pos, eol - pos), number))
            return false;
        pos = eol + 1;
        number++;
    }
    if (!r.ended)
        return r.fail(VolNoEnd, number > 1 ? number - 1 : 1);
    return true;
}

std::string scenarioText(const ParaPhy& h) {
    return "dt=" + exact(h.dt) + "\nnx=" + std::to_string(h.nx) + "\ntrois=" + exact(h.trois) +
           "\nOmega=" + exact(h.Omega) + "\nX0=" + exact(h.X0) + "\nY0=" + exact(h.Y0) +
           "\nZ0=" + exact(h.Z0) + "\nXp0=" + exact(h.Xp0) + "\nYp0=" + exact(h.Yp0) +
           "\nZp0=" + exact(h.Zp0) + "\np=" + exact(h.p) + "\n";
}

std::string writeVol(const Vol& f, const VolEnd& end) {
    const ParaPhy& h = f.head;
    std::string out = std::string(kFirstLine) + "\n" + scenarioText(h);
    out += "temps=" + exact(f.t0) + "\nOmo=" + exact(f.omo) +
           "\nreserve=" + std::to_string(std::max(f.reserve, 0)) + "\n";
    if (f.frames)
        out += "images\n";
    bool contact = false;
    if (!f.judged && outcome(h.X0, h.Y0, h.Z0, h.Xp0, h.Yp0, h.Zp0, 0, &contact) != 0)
        out += "depart-non-juge\n";
    if (const std::string name = oneLine(f.name); !name.empty())
        out += "nom: " + name + "\n";
    if (const std::string code = oneLine(f.code); !code.empty())
        out += "code: " + code + "\n";
    if (const std::string scenario = oneLine(f.scenario); !scenario.empty())
        out += "scenario: " + scenario + "\n";
    char line[400];
    size_t note = 0;
    const auto notesUpTo = [&](size_t events) {
        for (; note < f.notes.size() && f.notes[note].at <= events; note++) {
            std::snprintf(line, sizeof line, "note %.3f ", f.notes[note].t);
            out += line + oneLine(f.notes[note].text) + "\n";
        }
    };
    for (size_t i = 0; i < f.events.size(); i++) {
        notesUpTo(i);
        const VolEvent& e = f.events[i];
        const char* const kind = e.kind >= 0 && e.kind <= PageDown ? kKeys[static_cast<int>(e.kind)]
                                 : e.kind == 'v'                   ? "vide"
                                 : e.kind == 'O'                   ? "O"
                                                                   : "o";
        if (e.kind >= 0 && e.kind <= PageDown)
            std::snprintf(line, sizeof line, "%.3f %lld %s %d\n", e.t, e.call, kind, e.count);
        else
            std::snprintf(line, sizeof line, "%.3f %lld %s\n", e.t, e.call, kind);
        out += line;
    }
    notesUpTo(static_cast<size_t>(-1));
    std::snprintf(line, sizeof line, "fin %lld %s %.17g %.17g %.17g %.17g %.17g %.17g %.17g %d\n", end.calls,
                  volOutcomeName(end.coll), end.t, end.X, end.Y, end.Z, end.Xp, end.Yp, end.Zp,
                  std::max(end.reserve, 0));
    return out + line;
}

VolEnd replayVol(const Vol& flight, long long n, std::vector<VolPoint>* path) {
    n = std::clamp(n, 0LL, kVolCallsMax);
    // A copy first: the flight may be the live record itself, which hold() puts aside.
    const Vol f = flight;
    Held saved = hold();
    razFlight(f, false);
    if (f.judged)
        collision(X, Y, Z, Xp, Yp, Zp);
    if (path) {
        path->clear();
        path->push_back({t, X, Y, Z});
    }
    size_t e = 0;
    // The events taken by calls up to `call`, through what the keys and the gauge do.
    const auto act = [&](long long call) {
        for (; e < f.events.size() && f.events[e].call <= call; e++) {
            const VolEvent& ev = f.events[e];
            if (ev.kind >= 0 && ev.kind <= PageDown)
                for (int i = 0; i < std::min(ev.count, kVolCountMax); i++)
                    thrust(static_cast<Thruster>(ev.kind));
            else if (ev.kind == 'o')
                orbitOff();
            else if (ev.kind == 'O')
                orbitOn();
            else if (ev.kind == 'v')
                clampReserve();
        }
    };
    for (long long k = 1; k <= n; k++) {
        act(k);
        if (!f.frames)
            clampReserve();
        nextD();
        collision(X, Y, Z, Xp, Yp, Zp);
        if (path)
            path->push_back({t, X, Y, Z});
    }
    act(n + 1);
    const VolEnd end = volEnd();
    giveBack(saved);
    return end;
}

bool sameEnd(const VolEnd& a, const VolEnd& b) {
    return a.calls == b.calls && a.coll == b.coll && a.reserve == b.reserve && sameBits(a.t, b.t) &&
           sameBits(a.X, b.X) && sameBits(a.Y, b.Y) && sameBits(a.Z, b.Z) && sameBits(a.Xp, b.Xp) &&
           sameBits(a.Yp, b.Yp) && sameBits(a.Zp, b.Zp);
}

} // namespace sim
