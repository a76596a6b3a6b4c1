// What the browser's GLUT lacks and the program draws: the Helvetica bitmap fonts and the spheres.
#include <GL/glut.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "web.h"

// The fonts are told apart by the address of these, as GLUT's headers name them.
void* glutBitmapHelvetica12 = nullptr;
void* glutBitmapHelvetica18 = nullptr;

extern "C" {
// The browser draws one character in its Helvetica (or nearest sans-serif) of `size` pixels: the lit
// pixels as x, y pairs from the pen, y upward, up to `room` pairs; returns their count and sets the
// pen's advance (web.js).
int webGlyph(int size, int code, short* pixels, int room, int* advance);
}

// ---- Bitmap text ----

namespace {

struct Glyph {
    int advance = 0;          // pixels the raster position moves on
    std::vector<float> cells; // lit pixels as x, y pairs from the raster position
};

const Glyph& glyph(int size, unsigned char code) {
    static std::map<std::pair<int, unsigned char>, Glyph> drawn; // each glyph is made once
    const auto key = std::make_pair(size, code);
    const auto found = drawn.find(key);
    if (found != drawn.end())
        return found->second;
    Glyph& g = drawn[key];
    std::vector<short> pixels(size_t(size) * size * 4);
    const int room = int(pixels.size() / 2);
    const int lit = std::min(webGlyph(size, code, pixels.data(), room, &g.advance), room);
    g.cells.assign(pixels.begin(), pixels.begin() + 2 * lit);
    return g;
}

} // namespace

void glutBitmapCharacter(void* font, int character) {
    if (character < 0 || character > 255)
        return;
    const int size = font == GLUT_BITMAP_HELVETICA_18 ? 18 : 12;
    const Glyph& g = glyph(size, static_cast<unsigned char>(character));
    // As a bitmap does, a character at an invalid raster position draws nothing and moves nothing.
    if (!webRaster.valid)
        return;
    webDrawBitmap(g.cells.data(), int(g.cells.size() / 2));
    webRaster.x += float(g.advance);
}

// ---- Spheres ----

namespace {

// A point of the sphere of radius r at polar angle theta from +z and azimuth phi, with its normal.
void spherePoint(double r, double theta, double phi) {
    const float nx = float(std::sin(theta) * std::cos(phi)), ny = float(std::sin(theta) * std::sin(phi)),
                nz = float(std::cos(theta));
    glNormal3f(nx, ny, nz);
    glVertex3f(float(r) * nx, float(r) * ny, float(r) * nz);
}

} // namespace

void glutSolidSphere(double radius, GLint slices, GLint stacks) {
    // One strip of triangles a stack, from the +z pole down.
    for (int i = 0; i < stacks && slices > 0; ++i) {
        const double t0 = M_PI * i / stacks, t1 = M_PI * (i + 1) / stacks;
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            const double phi = 2.0 * M_PI * j / slices;
            spherePoint(radius, t0, phi);
            spherePoint(radius, t1, phi);
        }
        glEnd();
    }
}

void glutWireSphere(double radius, GLint slices, GLint stacks) {
    // The circles of latitude between the poles, then the meridians from pole to pole.
    for (int i = 1; i < stacks && slices > 0; ++i) {
        glBegin(GL_LINE_LOOP);
        for (int j = 0; j < slices; ++j)
            spherePoint(radius, M_PI * i / stacks, 2.0 * M_PI * j / slices);
        glEnd();
    }
    for (int j = 0; j < slices && stacks > 0; ++j) {
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i <= stacks; ++i)
            spherePoint(radius, M_PI * i / stacks, 2.0 * M_PI * j / slices);
        glEnd();
    }
}
