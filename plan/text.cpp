// The planner's text: the plan in words for a person, in the language in use, in lines for a machine,
// and the moment a person types in from the screen.
#include "plan.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace plan {

namespace {

// The keys as the simulator's help names them, in the language in use.
std::string keyWords(Key key) {
    return tr((std::string("plan.key.") + (key == Check ? "Check" : keyName(key))).c_str());
}

// Characters of UTF-8 text, as a terminal shows them: a letter of several bytes counts once.
size_t shown(const std::string& s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Text cut into lines of at most `width` characters at blanks, lines after the first indented.
std::string wrap(const std::string& text, size_t width, const std::string& indent) {
    std::string out, line;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (!line.empty() && shown(line) + 1 + shown(word) > width) {
            out += line + "\n";
            line = indent;
        }
        line += (line.empty() || line == indent ? "" : " ") + word;
    }
    return out + line + "\n";
}

std::string state(const Moment& m) {
    return tr("plan.state", {fmt("%.3f", m.X), fmt("%.3f", m.Y), fmt("%.3f", m.Z), fmt("%.3f", m.Xp),
                             fmt("%.3f", m.Yp), fmt("%.3f", m.Zp), std::to_string(m.reserve)});
}

} // namespace

std::string json(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20)
            out += fmt("\\u%04x", c);
        else
            out += c;
    }
    return out + "\"";
}

std::string fmt(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(s.data(), s.size() + 1, format, again);
    va_end(again);
    return s;
}

const char* keyName(Key key) {
    switch (key) {
    case Up:
        return "Up";
    case Down:
        return "Down";
    case Left:
        return "Left";
    case Right:
        return "Right";
    case PageUp:
        return "PageUp";
    case PageDown:
        return "PageDown";
    case Check:
        break;
    }
    return "check";
}

bool parseMoment(const std::string& text, Moment* m) {
    std::istringstream in(text);
    std::string word;
    double v[8];
    int n = 0;
    while (in >> word) {
        if (n == 8)
            return false;
        char* end = nullptr;
        v[n] = std::strtod(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0' || !std::isfinite(v[n]))
            return false;
        n++;
    }
    // The reserve is a count of presses, shown with two decimals.
    if (n != 8 || v[7] < 0.0 || v[7] > 1e6 || v[7] != std::floor(v[7]))
        return false;
    *m = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], static_cast<int>(v[7])};
    return true;
}

std::string keysText(const Plan& plan) {
    std::string out;
    for (const Step& s : plan.steps)
        out += s.key == Check ? fmt("%.3f check\n", s.t) : fmt("%.3f %s %d\n", s.t, keyName(s.key), s.count);
    return out;
}

std::string faultWords(const sim::VolFault& f) {
    const std::string key = std::string("replay.fault.") + sim::volErrorName(f.code);
    return tr(key.c_str(), {f.detail, std::to_string(sim::kVolBytesMax / 1024), std::to_string(sim::kNxMin),
                            std::to_string(sim::kNxMax), std::to_string(sim::kSubStepMax),
                            std::to_string(sim::kVolCountMax), std::to_string(sim::kVolCallsMax),
                            std::to_string(sim::kVolPressesMax), std::to_string(sim::kVolSubStepsMax)});
}

std::string stepText(const Step& s) {
    const std::string when = fmt("%8.2f", s.t);
    if (s.key == Check)
        return tr("plan.check", {when}) + "\n" + tr("plan.check.expect", {state(s.expect)}) + "\n";
    return tr("plan.step", {when, std::to_string(s.count), keyWords(s.key), keyName(s.key)}) + "\n";
}

std::string arrivalText(const Plan& plan) {
    return tr("plan.arrival", {fmt("%.2f", plan.arrival), fmt("%.3f", plan.speed),
                               std::to_string(plan.reserve), std::to_string(plan.presses)}) +
           "\n";
}

std::string describe(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file) {
    std::string out;
    out += tr("plan.scenario", {file, fmt("%.3f", sc.Omega), fmt("%.3f", plan.pulse)}) + "\n";
    out += tr("plan.from", {fmt("%.3f", from.t), state(from)}) + "\n\n";
    if (plan.outcome != 3)
        return out + tr("plan.none") + "\n";
    for (size_t i = 0; i < plan.method.size(); i++)
        out += wrap(fmt("%zu. %s", i + 1, plan.method[i].c_str()), 100, "   ");
    out += "\n" + tr("plan.table") + "\n";
    for (const Step& s : plan.steps)
        out += stepText(s);
    out += "\n" + arrivalText(plan);
    out += tr("plan.pace", {fmt("%.1f", kLateMax)}) + "\n";
    return out;
}

} // namespace plan
