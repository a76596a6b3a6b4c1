// What only the GL shows: where the spacecraft and the planet stand, the trail's range and colours,
// and the reserve rule that each frame's gauge applies.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "render.h"
#include "sim.h"

namespace {
struct Corner {
    double x, y;   // scene coordinates
    float r, g, b; // colour, lit while lighting is on
};

struct Shape {
    GLfloat token;               // GL_POLYGON_TOKEN, GL_LINE_TOKEN, GL_LINE_RESET_TOKEN, ...
    std::vector<Corner> corners; // a polygon's corners, a line's two ends, or one point
};

// What draw() emits, read back in feedback mode, seen straight down the scene's z axis over the
// square of side `span` whose lower left corner is (left, bottom); lighting on, light 0 from +z.
std::vector<Shape> fromAbove(double left, double bottom, double span, const std::function<void()>& draw) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity(); // InitGL sets the light under it
    InitGL();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, left + span, bottom, bottom + span, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    std::vector<GLfloat> buf(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D_COLOR, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER); // negative on overflow: then nothing is read
    std::vector<Shape> shapes;
    for (GLint i = 0; i < n;) {
        Shape s{buf[i++], {}};
        int k = s.token == GL_POLYGON_TOKEN ? static_cast<int>(buf[i++]) : 1;
        if (s.token == GL_LINE_TOKEN || s.token == GL_LINE_RESET_TOKEN)
            k = 2;
        for (; k > 0; k--, i += 7)
            s.corners.push_back({left + buf[i] * span / 800.0, bottom + buf[i + 1] * span / 800.0, buf[i + 3],
                                 buf[i + 4], buf[i + 5]});
        shapes.push_back(s);
    }
    ReSizeGLScene(800, 800);
    return shapes;
}
} // namespace

TEST(Models, ProbeMeetsThePortAtTheDockedPositionAboveThePlanet) {
    // The chaser where a docking counts: its yellow probe, the only part with little blue, is its
    // front, towards the target.
    double tip = -1e9, rest = -1e9;
    for (const Shape& s : fromAbove(-2.0, -3.45, 4.0, [] { drawmodel(0.0, -1.45, 0.0); }))
        for (const Corner& c : s.corners) {
            double& front = c.b < 0.5f * c.r ? tip : rest;
            front = std::max(front, c.y);
        }
    EXPECT_GT(tip, rest + 0.1) << "the probe is not the chaser's front";
    // The target at the origin: its port, pale with a trace of blue, is its rear and touches the
    // probe's tip. The planet's surface passes 40 beyond it along -x.
    double port = 1e9, back = 1e9, planet = -1e9;
    for (const Shape& s : fromAbove(-44.0, -24.0, 48.0, [] { drawmodel2(0.0, 0.0, 0.0); }))
        for (const Corner& c : s.token == GL_POLYGON_TOKEN ? s.corners : std::vector<Corner>()) { // no grid
            double& rear = c.g > c.r + 0.005f && std::fabs(c.g - c.b) < 0.005f ? port : back;
            if (c.x < -2.0)
                planet = std::max(planet, c.x);
            else
                rear = std::min(rear, c.y);
        }
    EXPECT_LT(port, back) << "the port is not the target's rear";
    EXPECT_GE(port - tip, 0.0);
    EXPECT_LE(port - tip, 0.05);
    EXPECT_NEAR(planet, -40.0, 0.01);
}

TEST(Trail, FromTheNewestSampleBackToSampleOneColouredByHeight) {
    // The segments of a trail of nx samples (x, z), unlit, in a current colour of green.
    const auto segments = [](const std::vector<double>& xs, const std::vector<double>& zs, int nx) {
        std::vector<Shape> out;
        for (const Shape& s : fromAbove(0.0, 0.0, 800.0, [&] {
                 glDisable(GL_LIGHTING);
                 glColor3ub(0, 255, 0);
                 drawtrail(xs, xs, zs, nx);
             }))
            if (s.corners.size() == 2 && s.corners[0].x != s.corners[1].x)
                out.push_back(s);
        return out;
    };
    // Samples 1 to 6 at x = 150 ... 400; the start (0) and the repeated newest (7) far off, unused.
    // Each segment takes the colour chosen by its lower sample: 5 -> green kept at exactly 0.2, 4
    // white, 3 white kept at exactly -0.2, 2 red, 1 blue.
    const std::vector<double> xs = {20, 150, 200, 250, 300, 350, 400, 780};
    const auto lines = segments(xs, {0.9, -0.21, 0.21, -0.2, 0.1, 0.2, 0.5, 0.5}, 7);
    const std::vector<std::vector<float>> want = {{0, 1, 0}, {1, 1, 1}, {1, 1, 1}, {1, 0, 0}, {0, 0, 1}};
    ASSERT_EQ(lines.size(), want.size());
    for (size_t k = 0; k < lines.size(); k++)
        for (const Corner& c : lines[k].corners) {
            EXPECT_EQ((std::vector<float>{c.r, c.g, c.b}), want[k]) << k;
            EXPECT_TRUE(c.x == xs[6 - k] || c.x == xs[5 - k]) << k << ": " << c.x;
        }
    EXPECT_EQ(segments({150, 200, 250}, {0, 0, 0}, 5).size(), 0u); // a history shorter than nx is not read
}

TEST(Gauges, EachFrameClampsAnOverdrawnReserve) {
    // The press that empties the reserve keeps its full thrust; only the next one takes it below 0.
    const std::tuple<int, int, double> cases[] = {
        {-1, 0, 0.0}, {INT_MIN, 0, 0.0}, {0, 0, 2.0}, {55, 55, 2.0}};
    for (const auto& [pc, pcAfter, pAfter] : cases) {
        std::tie(sim::pc, sim::para_phy.p) = std::make_tuple(pc, 2.0);
        glLoadIdentity();
        drawjau(0.0, 0.0, 0.0);
        EXPECT_EQ(std::make_pair(sim::pc, sim::para_phy.p), std::make_pair(pcAfter, pAfter)) << pc;
    }
    glLoadIdentity();
}
