// What only the GL shows: where the spacecraft and the planet stand, the trail's range and colours,
// a minimised window, and the reserve rule applied by each frame's gauge.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "feedback.h"
#include "render.h"
#include "sim.h"

namespace {
struct Corner {
    double x, y;   // scene coordinates
    float r, g, b; // lit colour
};

// The polygon corners of draw(), seen straight down the scene's z axis over the square of side
// `span` whose lower left corner is (left, bottom).
std::vector<Corner> fromAbove(double left, double bottom, double span, void (*draw)()) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, left + span, bottom, bottom + span, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    lamp();
    std::vector<Corner> out;
    for (const auto& item : feedback::capture(draw))
        if (item.token == GL_POLYGON_TOKEN)
            for (const auto& v : item.corners)
                out.push_back({left + v.x * span / 800.0, bottom + v.y * span / 800.0, v.r, v.g, v.b});
    ReSizeGLScene(800, 800);
    return out;
}
} // namespace

TEST(Models, ProbeMeetsThePortAtTheDockedPositionAboveThePlanet) {
    // The chaser where a docking counts: its yellow probe, the only part with little blue, is its
    // front, towards the target, and on the line of approach.
    const auto chaser = fromAbove(-2.0, -3.45, 4.0, [] { drawmodel(0.0, -1.45, 0.0); });
    ASSERT_GT(chaser.size(), 500u);
    double tip = -1e9, rest = -1e9;
    for (const Corner& c : chaser) {
        double& front = c.b < 0.5f * c.r ? tip : rest;
        front = std::max(front, c.y);
    }
    EXPECT_GT(tip, rest + 0.1) << "the probe is not the chaser's front";
    double off = 0.0; // how far the probe's tip lies from the line of approach
    for (const Corner& c : chaser)
        if (c.b < 0.5f * c.r && c.y > tip - 0.01)
            off = std::max(off, std::fabs(c.x));
    EXPECT_LT(off, 0.1);
    // The target at the origin: its port, pale with a trace of blue, is its rear and touches the
    // probe's tip. The planet's surface passes 40 beyond it along -x.
    const auto target = fromAbove(-44.0, -24.0, 48.0, [] { drawmodel2(0.0, 0.0, 0.0); });
    double port = 1e9, back = 1e9, planet = -1e9;
    for (const Corner& c : target) {
        const bool pale = c.g > c.r + 0.005f && std::fabs(c.g - c.b) < 0.005f;
        double& rear = pale ? port : back;
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

namespace {
// The trail's lines that join two different points, in window coordinates equal to the scene's x
// and y, lighting off; the current colour is green, which a height of exactly +-0.2 keeps.
std::vector<feedback::Item> trail(const std::vector<double>& xs, const std::vector<double>& zs, int nx) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 800.0, 0.0, 800.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor3ub(0, 255, 0);
    std::vector<feedback::Item> lines;
    for (const auto& i : feedback::capture([&] { drawtrail(xs, xs, zs, nx); }))
        if (i.corners.size() == 2 && i.corners[0].x != i.corners[1].x)
            lines.push_back(i);
    ReSizeGLScene(800, 800);
    return lines;
}
} // namespace

TEST(Trail, FromTheNewestSampleBackToSampleOneColouredByHeight) {
    // Samples 1 to 6 at x = 150 ... 400; the start (0) and the repeated newest (7) far off, unused.
    const std::vector<double> xs = {20, 150, 200, 250, 300, 350, 400, 780};
    const std::vector<double> zs = {0.9, -0.21, 0.21, -0.2, 0.1, 0.2, 0.5, 0.5};
    const auto lines = trail(xs, zs, 7);
    // Each segment takes the colour chosen by its lower sample: 5 -> green kept, 4 white, 3 white
    // kept, 2 red, 1 blue.
    const std::vector<std::vector<float>> want = {{0, 1, 0}, {1, 1, 1}, {1, 1, 1}, {1, 0, 0}, {0, 0, 1}};
    ASSERT_EQ(lines.size(), want.size());
    for (size_t k = 0; k < lines.size(); k++)
        for (const auto& v : lines[k].corners) {
            EXPECT_EQ((std::vector<float>{v.r, v.g, v.b}), want[k]) << k;
            EXPECT_TRUE(v.x == xs[6 - k] || v.x == xs[5 - k]) << k << ": " << v.x;
        }
    // Two samples make no segment, three one; a history shorter than nx is not read.
    const std::vector<double> three = {150, 200, 250};
    EXPECT_EQ(trail(three, {0, 0, 0}, 2).size(), 0u);
    EXPECT_EQ(trail({150, 200, 250, 300}, {0, 0, 0, 0}, 3).size(), 1u);
    EXPECT_EQ(trail(three, {0, 0, 0}, 5).size(), 0u);
    EXPECT_EQ(trail(three, {0, 0, 0}, 0).size(), 0u);
}

TEST(GlState, AMinimisedWindowKeepsTheProjection) {
    InitGL();
    ReSizeGLScene(1600, 800);
    std::vector<float> before(16), after(16);
    glGetFloatv(GL_PROJECTION_MATRIX, before.data());
    ReSizeGLScene(1600, 0);
    ReSizeGLScene(0, 0);
    glGetFloatv(GL_PROJECTION_MATRIX, after.data());
    EXPECT_EQ(after, before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ReSizeGLScene(800, 800);
}

TEST(Gauges, EachFrameClampsAnOverdrawnReserve) {
    sim::pc = -1;
    sim::para_phy.p = 2.0;
    glLoadIdentity();
    drawjau(0.0, 0.0, 0.0);
    EXPECT_EQ(sim::pc, 0);
    EXPECT_EQ(sim::para_phy.p, 0.0);
    glLoadIdentity();
}
