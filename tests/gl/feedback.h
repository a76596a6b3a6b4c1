// What the GL emits for a piece of drawing, read back through feedback mode (GL_3D_COLOR, RGBA).
#pragma once

#include <GL/gl.h>
#include <functional>
#include <vector>

namespace feedback {

struct Vertex {
    float x, y, z;    // window coordinates, y upward from the bottom of the viewport
    float r, g, b, a; // the colour, after lighting
};

struct Item {
    GLenum token;                // GL_POLYGON_TOKEN, GL_LINE_TOKEN, ...
    std::vector<Vertex> corners; // the polygon's corners, the line's two ends, or one point
};

// Runs draw() in feedback mode and splits the buffer into items; an overflow gives none.
inline std::vector<Item> capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buf(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D_COLOR, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<Item> items;
    for (GLint i = 0; i < n;) {
        Item item{static_cast<GLenum>(buf[i++]), {}};
        int count = 1; // point, bitmap, pixels
        if (item.token == GL_POLYGON_TOKEN)
            count = static_cast<int>(buf[i++]);
        else if (item.token == GL_LINE_TOKEN || item.token == GL_LINE_RESET_TOKEN)
            count = 2;
        else if (item.token == GL_PASS_THROUGH_TOKEN)
            count = 0, ++i;
        for (int k = 0; k < count; ++k, i += 7)
            item.corners.push_back(
                {buf[i], buf[i + 1], buf[i + 2], buf[i + 3], buf[i + 4], buf[i + 5], buf[i + 6]});
        items.push_back(item);
    }
    return items;
}

} // namespace feedback
