// render — the scene: fixed GL state, light and materials, the frame with its camera modes and trail,
// the spacecraft and the planet, the text overlay and the gauges.
//
// State owned here: the light globals (constant), the two spacecraft models (loaded on the first
// frame, kept until exit), and the view state and help flag, which live here because every frame
// reads them; the input handlers in app/ are their only writers. Everything runs on the one GUI
// thread inside GLUT callbacks.
#pragma once

#include <string>

#include "glm.h"

// ---- View state (written by the keyboard, mouse and menu handlers) ----
extern int look;        // 1: chaser view; 0: landscape view
extern int rot;         // landscape view: 1 rotating, 0 translating
extern float spin_x;    // rotating: degrees about z; translating: 10 x the x offset
extern float spin_y;    // rotating: degrees about x; translating: 10 x the y offset
extern float sdepth;    // landscape view: distance of the scene from the eye along z
extern float sdepth27;  // distance the view reset restores; never changed
extern int old_x, old_y; // window position of the last mouse event, pixels, y downward
extern int help;        // 1: the overlay shows the key help

// ---- GL state, light and materials ----
extern float pos[4]; // light 0 position (directional, from +z of the frame current when set)
extern float lKa[4]; // light 0 ambient
extern float lKd[4]; // light 0 diffuse
extern float lKs[4]; // light 0 specular
void InitGL();
void ReSizeGLScene(int width, int height);
void lamp();
void MateriauP(); // red: text and fuel bar
void MateriauB(); // blue: speed bar and speed limit
void MateriauT(); // blue: planet
void MateriauT2(); // pale: planet grid

// ---- The frame ----
void DrawGLScene(); // the display callback
