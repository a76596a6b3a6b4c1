// The fixed GL state of the window, the projection, the one light and the material presets.
#include "render.h"

#include <GL/glu.h>
#include <GL/glut.h>
#include <algorithm>
#include <cstdio>

float pos[4] = {0.0f, 0.0f, 1.0f, 0.0f};
float lKa[4] = {0.2f, 0.2f, 0.2f, 1.0f};
float lKd[4] = {0.2f, 0.2f, 0.2f, 1.0f};
float lKs[4] = {0.2f, 0.2f, 0.2f, 1.0f};
bool oversize = false;

namespace {
constexpr double kFovy = 45.0; // vertical field of view, degrees
constexpr double kNear = 0.1;
constexpr double kFar = 100.0;

// One front material; the back material is left to the models' own materials.
void material(const float ambient[4], const float diffuse[4], const float specular[4],
              const float emission[4]) {
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_EMISSION, emission);
    glMaterialf(GL_FRONT, GL_SHININESS, 28.0f);
}
} // namespace

void InitGL() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    // The cull mode is set but culling stays off: both sides of every polygon are drawn.
    glFrontFace(GL_CCW);
    glCullFace(GL_FRONT);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovy, 1.0, kNear, kFar);
    glMatrixMode(GL_MODELVIEW);

    lamp();
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
}

void ReSizeGLScene(int width, int height) {
    // A window larger than the driver's largest viewport can crash the software rasteriser on its
    // first clear: such a window is asked back to the largest size drawn, and frames are skipped
    // until the window system has done so.
    GLint most[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, most);
    oversize = most[0] > 0 && most[1] > 0 && (width > most[0] || height > most[1]);
    if (oversize) {
        static bool told = false;
        const int w = std::min(width, static_cast<int>(most[0])),
                  h = std::min(height, static_cast<int>(most[1]));
        if (!told)
            std::fprintf(stderr,
                         "ReSizeGLScene: a window of %d x %d is beyond what the GL driver draws; "
                         "bringing it back to %d x %d.\n",
                         width, height, w, h);
        told = true;
        glutReshapeWindow(w, h);
        return;
    }
    glViewport(0, 0, std::max(width, 0), std::max(height, 0));
    // A minimised window reports a zero size: it shows nothing, so the projection in force is kept
    // rather than built from an infinite or zero aspect; the next real size rebuilds it.
    if (width > 0 && height > 0) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(kFovy, static_cast<float>(width) / static_cast<float>(height), kNear, kFar);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void lamp() {
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lKa);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lKd);
    glLightfv(GL_LIGHT0, GL_SPECULAR, lKs);
}

void MateriauP() {
    static const float ambient[4] = {0.99f, 0.0f, 0.0f, 1.0f};
    static const float diffuse[4] = {0.99f, 0.0f, 0.0f, 1.0f};
    static const float specular[4] = {0.99f, 0.0f, 0.0f, 1.0f};
    static const float emission[4] = {0.01f, 0.0f, 0.0f, 1.0f};
    material(ambient, diffuse, specular, emission);
}

void MateriauB() {
    static const float ambient[4] = {0.0f, 0.0f, 0.99f, 1.0f};
    static const float diffuse[4] = {0.0f, 0.0f, 0.9f, 1.0f};
    static const float specular[4] = {0.0f, 0.0f, 0.9f, 0.6f};
    static const float emission[4] = {0.0f, 0.0f, 0.1f, 0.0f};
    material(ambient, diffuse, specular, emission);
}

void MateriauT() {
    static const float ambient[4] = {0.0f, 0.2f, 1.0f, 1.0f};
    static const float diffuse[4] = {0.0f, 0.2f, 0.9f, 1.0f};
    static const float specular[4] = {0.0f, 0.2f, 0.9f, 0.6f};
    static const float emission[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    material(ambient, diffuse, specular, emission);
}

void MateriauT2() {
    static const float ambient[4] = {0.7f, 0.7f, 1.0f, 1.0f};
    static const float diffuse[4] = {0.7f, 0.7f, 0.9f, 1.0f};
    static const float specular[4] = {0.0f, 0.2f, 0.9f, 0.6f};
    static const float emission[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    material(ambient, diffuse, specular, emission);
}
