// render — the scene: fixed GL state, light and materials, the frame with its camera modes and trail,
// the spacecraft and the planet, the text overlay and the gauges.
//
// State owned here: the light globals (constant), the two spacecraft models (loaded on the first
// frame, kept until exit), and the view state and help flag, which live here because every frame
// reads them; the input handlers in app/ are their only writers. Everything runs on the one GUI
// thread inside GLUT callbacks.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "glm.h"

// ---- View state (view.cpp; written by the keyboard, mouse and menu handlers) ----
extern int look;         // 1: chaser view; 0: landscape view
extern int rot;          // landscape view: 1 rotating, 0 translating
extern float spin_x;     // rotating: degrees about z; translating: 10 x the x offset
extern float spin_y;     // rotating: degrees about x; translating: 10 x the y offset
extern float sdepth;     // landscape view: distance of the scene from the eye along z
extern float sdepth27;   // distance the view reset restores; never changed
extern int old_x, old_y; // window position of the last mouse event, pixels, y downward
extern int help;         // 1: the overlay shows the key help

// ---- GL state, light and materials (glstate.cpp) ----
extern float pos[4]; // light 0 position (directional, from +z of the frame current when set)
extern float lKa[4]; // light 0 ambient
extern float lKd[4]; // light 0 diffuse
extern float lKs[4]; // light 0 specular

extern bool oversize; // the window is beyond the driver's largest viewport: frames are skipped

void InitGL();                             // the fixed state, once, right after the window exists
void ReSizeGLScene(int width, int height); // reshape: viewport and 45-degree perspective
void lamp();                               // light 0 from the globals, under the current modelview
void MateriauP();                          // red: text and fuel bar
void MateriauB();                          // blue: speed bar and speed limit
void MateriauT();                          // blue: planet
void MateriauT2();                         // pale: planet grid

// ---- Gauges (gauges.cpp) ----
// Fuel, speed and speed-limit bars at the lower left. Switches lighting on, and leaves the overlay
// plane's translation (0, 0, -10) on the modelview for the text and the camera drawn after it.
// Each frame's gauge is where the reserve rule (sim::clampReserve) is applied.
void drawjau(double xp, double yp, double zp);

// ---- Text overlay (overlay.cpp) ----
constexpr std::size_t kLineMax = 255; // characters of one drawn line; a longer line is cut

// One line of the overlay, at its raster position in the overlay plane.
struct OverlayLine {
    double x = 0.0, y = 0.0; // raster position, overlay-plane units, y upward
    int font = 12;           // Helvetica bitmap size: 12 or 18 points
    std::string text;        // at most kLineMax characters
};

std::string fmtline(const char* format, ...) __attribute__((format(printf, 1, 2))); // printf, cut
std::string vfmtline(const char* format, va_list args);
std::vector<std::string> telemetry(double t, double x, double y, double z, double xp, double yp, double zp,
                                   int pc);  // the three lines, top first
std::string outcomeMessage(int coll);        // empty while the run is under way or for an unknown code
const std::vector<OverlayLine>& helpBlock(); // the key help, top first
const std::string& credits();                // the line at the bottom left
// Every line of one frame's overlay from the chaser's state and the globals t, pc, help, coll.
std::vector<OverlayLine> overlayLines(double x, double y, double z, double xp, double yp, double zp);

void drawstr18(double x, double y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void drawstr12(double x, double y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void aide(double x, double y, double z, double xp, double yp, double zp); // the whole overlay

// ---- Spacecraft and planet (models.cpp) ----
extern GlmModel* pmodel;  // the chaser, read on its first drawing, kept until exit
extern GlmModel* pmodel2; // the target, read on its first drawing, kept until exit

// The chaser at (x, y, z), its probe towards the target. Reads data/chasseur.obj on first use.
void drawmodel(double x, double y, double z);
// The target at (x, y, z), its port towards -y, and the planet 40 below it along -x with its wire
// grid turning with the simulated time. Reads data/cible.obj on first use.
void drawmodel2(double x, double y, double z);

// ---- The frame (frame.cpp) ----
void DrawGLScene(); // the display callback
// The camera of the current view mode (look, rot, spin_x, spin_y, sdepth), applied on top of the
// modelview matrix in force.
void camera(double x, double y, double z);
// The chaser's trail as one line strip, from sample nx - 1 back to sample 1, white within 0.2 of the
// orbital plane, red above, blue below. Draws nothing when the history holds fewer than nx samples.
void drawtrail(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& z,
               int nx);
