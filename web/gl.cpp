// OpenGL 1.x immediate mode, materials and the raster position, as the program uses them, over
// emscripten's GL emulation. The emulation streams glBegin/glEnd vertices as they come and so needs
// every vertex to carry the same attributes; the program sets a colour once for two trail vertices
// and no normal at all for the gauges, as OpenGL allows. Here each vertex takes the current colour
// and normal, and a primitive is handed to the emulation whole, as arrays, at glEnd. Polygons, quads
// and quad strips, which WebGL does not draw, become fans, triangles and strips. The emulation also
// has no emission, back material or raster position: those are kept here.
#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

#include "web.h"

WebRaster webRaster;

namespace {

struct Vertex {
    float position[3];
    float normal[3];
    unsigned char colour[4];
};

struct Material {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
};

struct Light {                                    // light 0, the only one the program lights with
    float position[4] = {0.0f, 0.0f, 1.0f, 0.0f}; // in eye coordinates, as set
    float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

constexpr float kModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f}; // OpenGL's global ambient, never changed

GLenum mode = 0;              // primitive being built, as given to glBegin
bool building = false;        // between glBegin and glEnd
std::vector<Vertex> vertices; // of the primitive being built
Vertex current = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {255, 255, 255, 255}}; // colour and normal
Material front;
Light light0;
bool lighting = false, light0On = false;

unsigned char byte(float c) {
    return static_cast<unsigned char>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
}

void copy4(float* to, const float* from) {
    std::copy(from, from + 4, to);
}

// The modelview matrix, column-major.
void modelview(float m[16]) {
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
}

void transform(const float m[16], const float v[4], float out[4]) {
    for (int r = 0; r < 4; ++r)
        out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}

} // namespace

// ---- The emulation's own entry points (web.js) ----

extern "C" {
void webEmuDraw(GLenum mode, const void* data, int count, int stride); // interleaved client arrays
void webEmuMaterial(const float* ambient, const float* diffuse, const float* specular, const float* emission,
                    float shininess);
void webEmuLightfv(GLenum light, GLenum pname, const float* params);
void webEmuEnable(GLenum cap, int on);
}

// ---- State switches ----

extern "C" void glEnable(GLenum cap) {
    lighting = lighting || cap == GL_LIGHTING;
    light0On = light0On || cap == GL_LIGHT0;
    if (cap != GL_COLOR_MATERIAL) // the emulation has no colour material; the models use their own
        webEmuEnable(cap, 1);
}

extern "C" void glDisable(GLenum cap) {
    lighting = lighting && cap != GL_LIGHTING;
    light0On = light0On && cap != GL_LIGHT0;
    if (cap != GL_COLOR_MATERIAL)
        webEmuEnable(cap, 0);
}

extern "C" void glShadeModel(GLenum) {} // WebGL shades smoothly, as the program asks

// ---- Materials and light ----

extern "C" void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    // The emulation lights front faces only: a back material is kept by no one.
    if (face == GL_BACK)
        return;
    switch (pname) {
    case GL_AMBIENT:
        copy4(front.ambient, params);
        break;
    case GL_DIFFUSE:
        copy4(front.diffuse, params);
        break;
    case GL_SPECULAR:
        copy4(front.specular, params);
        break;
    case GL_EMISSION:
        copy4(front.emission, params);
        break;
    case GL_AMBIENT_AND_DIFFUSE:
        copy4(front.ambient, params);
        copy4(front.diffuse, params);
        break;
    case GL_SHININESS:
        front.shininess = params[0];
        break;
    default:
        return;
    }
    webEmuMaterial(front.ambient, front.diffuse, front.specular, front.emission, front.shininess);
}

extern "C" void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    glMaterialfv(face, pname, &param);
}

extern "C" void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (light == GL_LIGHT0) {
        if (pname == GL_POSITION) {
            float m[16];
            modelview(m);
            transform(m, params, light0.position);
        } else if (pname == GL_AMBIENT) {
            copy4(light0.ambient, params);
        } else if (pname == GL_DIFFUSE) {
            copy4(light0.diffuse, params);
        } else if (pname == GL_SPECULAR) {
            copy4(light0.specular, params);
        }
    }
    webEmuLightfv(light, pname, params);
}

// ---- Immediate mode ----

namespace {

// Draws a run of vertices in a mode that WebGL has, in pieces that fit the emulation's buffers.
void draw(GLenum how, const Vertex* v, size_t count) {
    // A piece starts where the one before left off: one vertex back for a line strip, two for a
    // triangle strip (an even piece keeps the strip's order); lists are cut at a whole primitive.
    constexpr size_t piece = 30000;
    const size_t back = how == GL_LINE_STRIP ? 1 : how == GL_TRIANGLE_STRIP ? 2 : 0;
    const bool cuttable = how == GL_POINTS || how == GL_LINES || how == GL_TRIANGLES || back > 0;
    for (size_t at = 0; at < count;) {
        const size_t n = cuttable ? std::min(piece, count - at) : count - at;
        webEmuDraw(how, v + at, int(n), int(sizeof(Vertex)));
        if (at + n >= count)
            break;
        at += n - back;
    }
}

} // namespace

extern "C" void glBegin(GLenum m) {
    mode = m;
    building = true;
    vertices.clear();
}

extern "C" void glEnd() {
    if (!building)
        return;
    building = false;
    switch (mode) {
    case GL_POLYGON:
        draw(GL_TRIANGLE_FAN, vertices.data(), vertices.size());
        break;
    case GL_QUAD_STRIP:
        draw(GL_TRIANGLE_STRIP, vertices.data(), vertices.size());
        break;
    case GL_QUADS: {
        std::vector<Vertex> triangles;
        for (size_t q = 0; q + 4 <= vertices.size(); q += 4)
            for (const size_t k : {0, 1, 2, 0, 2, 3})
                triangles.push_back(vertices[q + k]);
        draw(GL_TRIANGLES, triangles.data(), triangles.size());
        break;
    }
    default:
        draw(mode, vertices.data(), vertices.size());
        break;
    }
}

extern "C" void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!building)
        return;
    Vertex v = current;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    vertices.push_back(v);
}

extern "C" void glVertex3fv(const GLfloat* v) {
    glVertex3f(v[0], v[1], v[2]);
}

extern "C" void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    current.normal[0] = x;
    current.normal[1] = y;
    current.normal[2] = z;
}

extern "C" void glNormal3fv(const GLfloat* n) {
    glNormal3f(n[0], n[1], n[2]);
}

extern "C" void glColor3ub(GLubyte r, GLubyte g, GLubyte b) {
    current.colour[0] = r;
    current.colour[1] = g;
    current.colour[2] = b;
    current.colour[3] = 255;
}

extern "C" void glColor3fv(const GLfloat* c) {
    glColor3ub(byte(c[0]), byte(c[1]), byte(c[2]));
}

// The program never draws with a texture in the browser: the coordinates are taken and not kept.
extern "C" void glTexCoord2fv(const GLfloat*) {}

// ---- Raster position ----

namespace {

// The colour that lighting gives a point whose normal faces the eye, as the raster position takes it
// from the current material and light 0.
void litColour(const float eye[4], float out[4]) {
    const Material& m = front;
    float l[3] = {light0.position[0], light0.position[1], light0.position[2]};
    if (light0.position[3] != 0.0f)
        for (int k = 0; k < 3; ++k)
            l[k] = light0.position[k] / light0.position[3] - eye[k];
    const float len = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    const float nl = len > 0.0f ? std::max(l[2] / len, 0.0f) : 0.0f;
    float h[3] = {len > 0.0f ? l[0] / len : 0.0f, len > 0.0f ? l[1] / len : 0.0f, nl + 1.0f};
    const float hlen = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
    const float spec = nl > 0.0f && hlen > 0.0f ? std::pow(h[2] / hlen, m.shininess) : 0.0f;
    for (int k = 0; k < 3; ++k) {
        float c = m.emission[k] + kModelAmbient[k] * m.ambient[k];
        if (light0On)
            c += light0.ambient[k] * m.ambient[k] + nl * light0.diffuse[k] * m.diffuse[k] +
                 spec * light0.specular[k] * m.specular[k];
        out[k] = std::clamp(c, 0.0f, 1.0f);
    }
    out[3] = m.diffuse[3];
}

} // namespace

extern "C" void glRasterPos3f(GLfloat x, GLfloat y, GLfloat z) {
    float mv[16], proj[16], eye[4], clip[4];
    const float point[4] = {x, y, z, 1.0f};
    modelview(mv);
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    transform(mv, point, eye);
    transform(proj, eye, clip);
    const float w = clip[3];
    webRaster.valid =
        w > 0.0f && std::fabs(clip[0]) <= w && std::fabs(clip[1]) <= w && std::fabs(clip[2]) <= w;
    if (!webRaster.valid)
        return;
    const int* vp = webRaster.viewport;
    glGetIntegerv(GL_VIEWPORT, webRaster.viewport);
    webRaster.x = float(vp[0]) + (clip[0] / w + 1.0f) * 0.5f * float(vp[2]);
    webRaster.y = float(vp[1]) + (clip[1] / w + 1.0f) * 0.5f * float(vp[3]);
    webRaster.z = clip[2] / w;
    if (lighting) {
        litColour(eye, webRaster.rgba);
    } else {
        for (int k = 0; k < 4; ++k)
            webRaster.rgba[k] = current.colour[k] / 255.0f;
    }
}

void webDrawBitmap(const float* cells, int count) {
    const int* vp = webRaster.viewport;
    if (count <= 0 || vp[2] <= 0 || vp[3] <= 0)
        return;
    // Pixel centres from the raster position's pixel, in normalised device coordinates.
    const float x0 = std::floor(webRaster.x) + 0.5f - float(vp[0]),
                y0 = std::floor(webRaster.y) + 0.5f - float(vp[1]);
    Vertex v = {{0.0f, 0.0f, webRaster.z}, {0.0f, 0.0f, 1.0f}, {}};
    for (int k = 0; k < 4; ++k)
        v.colour[k] = byte(webRaster.rgba[k]);
    std::vector<Vertex> points(static_cast<size_t>(count), v);
    for (int i = 0; i < count; ++i) {
        points[size_t(i)].position[0] = (x0 + cells[2 * i]) / float(vp[2]) * 2.0f - 1.0f;
        points[size_t(i)].position[1] = (y0 + cells[2 * i + 1]) / float(vp[3]) * 2.0f - 1.0f;
    }
    const bool lit = lighting;
    if (lit)
        webEmuEnable(GL_LIGHTING, 0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    draw(GL_POINTS, points.data(), points.size());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    if (lit)
        webEmuEnable(GL_LIGHTING, 1);
}
