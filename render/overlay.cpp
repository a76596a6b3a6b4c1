// The text over the scene: telemetry, outcome message, key help and credits. The lines are built by
// functions that return strings, so they can be checked without a window; `aide` only draws them.
#include "render.h"

#include <GL/glut.h>
#include <cmath>
#include <cstdio>

#include "sim.h"

using namespace sim;

// ---- Formatting ----

std::string vfmtline(const char* format, va_list args) {
    char buf[kLineMax + 1];
    // vsnprintf never writes past the buffer and stops at kLineMax characters: the cut is built in.
    if (std::vsnprintf(buf, sizeof buf, format, args) < 0)
        return std::string();
    return std::string(buf);
}

std::string fmtline(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = vfmtline(format, args);
    va_end(args);
    return line;
}

std::vector<std::string> telemetry(double t, double x, double y, double z, double xp, double yp, double zp,
                                   int pc) {
    const double speed = std::pow(xp * xp + yp * yp + zp * zp, 0.5);
    // Measured from (0, -1, 0), a point inside the target just behind its docking port.
    const double distance = std::pow(x * x + (y + 1.0) * (y + 1.0) + z * z, 0.5);
    const double reserve = pc;
    return {
        fmtline("temps = %7.3lf vitesse = %6.3lf distance = %7.3lf reserve  = %4.2lf", t, speed, distance,
                reserve),
        fmtline("x  = %7.3lf y  = %7.3lf z  = %7.3lf ", x, y, z),
        fmtline("xp= %7.3lf yp= %7.3lf zp= %7.3lf ", xp, yp, zp),
    };
}

std::string outcomeMessage(int coll) {
    // Padded so that the second sentence starts in the same column whatever the outcome.
    switch (coll) {
    case 1:
        return "collision, perdu.       Appuyer sur 'k' pour recommencer";
    case 2:
        return "Arrimage OK, trop vite. Appuyer sur 'k' pour recommencer";
    case 3:
        return "Arrimage OK, gagn'e.    Appuyer sur 'k' pour recommencer";
    case 4:
        return "Perdu dans l'espace.    Appuyer sur 'k' pour recommencer";
    default:
        return std::string();
    }
}

const std::vector<OverlayLine>& helpBlock() {
    static const std::vector<OverlayLine> lines = {
        {-1.0, -1.5, 12,
         "pour avancer: fl`eche avant, aller `a droite fl`eche droite, reculer fl`eche gauche, etc"},
        {-1.0, -1.75, 12, "pageUp, pageDown: monter, descendre"},
        {-1.0, -2.0, 12, "k: remet `a z'ero le calcul"},
        {-1.0, -2.25, 12, "l: vue du chasseur/ vue du paysage"},
        {-1.0, -2.5, 12, "p: pause/go"},
        {-1.0, -2.75, 12, "esc: pour quitter"},
        {-1.0, -3.0, 12, "h: aide/ pas d'aide"},
    };
    return lines;
}

const std::string& credits() {
    static const std::string line =
        "rendezvous.example.org *   equipe@rendezvous.example.org "
        "*** 10/04 *** Clic droit: modification de la simulation et de la vue ** *";
    return line;
}

std::vector<OverlayLine> overlayLines(double x, double y, double z, double xp, double yp, double zp) {
    std::vector<OverlayLine> lines;
    if (help == 1)
        lines = helpBlock();
    lines.push_back({-4.0, -4.0, 12, credits()});
    const std::vector<std::string> tele = telemetry(t, x, y, z, xp, yp, zp, pc);
    lines.push_back({-3.5, 3.9, 18, tele[0]});
    lines.push_back({-3.5, 3.6, 18, tele[1]});
    lines.push_back({-3.5, 3.3, 18, tele[2]});
    const std::string message = outcomeMessage(coll);
    if (!message.empty())
        lines.push_back({-2.0, 3.0, 18, message});
    return lines;
}

// ---- Drawing ----

namespace {
// Characters one by one from (x, y, 0); each advances the raster position by its width.
void drawline(void* font, double x, double y, const std::string& text) {
    glRasterPos3f(static_cast<float>(x), static_cast<float>(y), 0.0f);
    for (const char c : text)
        glutBitmapCharacter(font, static_cast<unsigned char>(c));
}
} // namespace

void drawstr18(double x, double y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = vfmtline(format, args);
    va_end(args);
    drawline(GLUT_BITMAP_HELVETICA_18, x, y, line);
}

void drawstr12(double x, double y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = vfmtline(format, args);
    va_end(args);
    drawline(GLUT_BITMAP_HELVETICA_12, x, y, line);
}

void aide(double x, double y, double z, double xp, double yp, double zp) {
    lamp();
    glPushMatrix();
    MateriauP(); // every line takes the lit red of this material at its raster position
    for (const OverlayLine& line : overlayLines(x, y, z, xp, yp, zp)) {
        if (line.font == 18)
            drawstr18(line.x, line.y, "%s", line.text.c_str());
        else
            drawstr12(line.x, line.y, "%s", line.text.c_str());
    }
    glPopMatrix();
}
