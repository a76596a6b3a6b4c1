// The planner's words: the plan in French for a person, in lines for a machine, and the moment a
// person types in from the screen.
#include "plan.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace plan {

namespace {

// The keys as the simulator's help names them.
const char* frenchKey(Key key) {
    switch (key) {
    case Up:
        return "fl`eche avant";
    case Down:
        return "fl`eche arri`ere";
    case Left:
        return "fl`eche gauche";
    case Right:
        return "fl`eche droite";
    case PageUp:
        return "pageUp";
    case PageDown:
        return "pageDown";
    case Check:
        break;
    }
    return "pause";
}

// Text cut into lines of at most `width` characters at blanks, lines after the first indented.
std::string wrap(const std::string& text, size_t width, const std::string& indent) {
    std::string out, line;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line = indent;
        }
        line += (line.empty() || line == indent ? "" : " ") + word;
    }
    return out + line + "\n";
}

std::string state(const Moment& m) {
    return fmt("x = %.3f y = %.3f z = %.3f, xp = %.3f yp = %.3f zp = %.3f, reserve = %d", m.X, m.Y, m.Z, m.Xp,
               m.Yp, m.Zp, m.reserve);
}

} // namespace

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

std::string stepText(const Step& s) {
    if (s.key == Check)
        return fmt("  temps >= %8.2f        pause ('p') : lire l''ecran et redemander avec --from\n", s.t) +
               fmt("                           on devrait lire `a peu pr`es %s\n", state(s.expect).c_str());
    return fmt("  temps >= %8.2f        %d x %s (%s)\n", s.t, s.count, frenchKey(s.key), keyName(s.key));
}

std::string arrivalText(const Plan& plan) {
    return fmt(
        "Arrimage pr'evu vers temps = %.2f, `a la vitesse %.3f, avec une r'eserve de %d (%d pressions).\n",
        plan.arrival, plan.speed, plan.reserve, plan.presses);
}

std::string describe(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file) {
    std::string out;
    out += fmt("Sc'enario %s : Omega = %.3f, une pression donne %.3f de vitesse sur son axe.\n", file.c_str(),
               sc.Omega, plan.pulse);
    out += fmt("Depuis temps = %.3f : %s.\n\n", from.t, state(from).c_str());
    if (plan.outcome != 3) {
        out += "Aucun plan trouv'e qui m`ene `a l'arrimage depuis ce moment. Appuyer sur 'k' pour "
               "recommencer.\n";
        return out;
    }
    for (size_t i = 0; i < plan.method.size(); i++)
        out += wrap(fmt("%zu. %s", i + 1, plan.method[i].c_str()), 100, "   ");
    out += "\n";
    out += "Quand l''ecran montre      faire\n";
    for (const Step& s : plan.steps)
        out += stepText(s);
    out += "\n" + arrivalText(plan);
    out +=
        fmt("Les pressions d'une m^eme ligne : une tous les 4 `a 6 pas de calcul, soit tous les 0.20 `a 0.30 "
            "de temps.\nChaque ligne peut venir jusqu'`a %.1f de temps en retard.\n",
            kLateMax);
    return out;
}

} // namespace plan
