// What the GL emits for a piece of drawing, read back through feedback mode (GL_3D_COLOR, RGBA).
#pragma once

#include <GL/gl.h>
#include <cmath>
#include <functional>
#include <vector>

namespace feedback {

struct Vertex {
    float x, y, z;    // window coordinates, y upward from the bottom of the viewport
    float r, g, b, a; // the colour, after lighting
};

struct Item {
    GLenum token;                // GL_POLYGON_TOKEN, GL_BITMAP_TOKEN, ...
    std::vector<Vertex> corners; // the polygon's corners, or the one raster position of a bitmap
};

// Runs draw() in feedback mode and splits the buffer into items.
inline std::vector<Item> capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buf(1 << 18);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D_COLOR, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<Item> items;
    if (n < 0) // overflow: an empty answer makes every check fail
        return items;
    GLint i = 0;
    auto vertex = [&] {
        Vertex v{buf[i], buf[i + 1], buf[i + 2], buf[i + 3], buf[i + 4], buf[i + 5], buf[i + 6]};
        i += 7;
        return v;
    };
    while (i < n) {
        Item item{static_cast<GLenum>(buf[i++]), {}};
        int count = 0;
        switch (item.token) {
        case GL_POLYGON_TOKEN:
            count = static_cast<int>(buf[i++]);
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            count = 2;
            break;
        case GL_PASS_THROUGH_TOKEN:
            ++i;
            break;
        default: // point, bitmap, draw-pixel, copy-pixel: one vertex
            count = 1;
        }
        for (int k = 0; k < count; ++k)
            item.corners.push_back(vertex());
        items.push_back(item);
    }
    return items;
}

// Window position of the overlay-plane point (x, y), 10 units before the eye, for a 45-degree
// perspective over a width x height viewport; worked out here apart from GLU.
inline void project(double x, double y, int width, int height, double* wx, double* wy) {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double aspect = static_cast<double>(width) / height;
    *wx = (1.0 + f * x / (aspect * 10.0)) * width / 2.0;
    *wy = (1.0 + f * y / 10.0) * height / 2.0;
}

} // namespace feedback
