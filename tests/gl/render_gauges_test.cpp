// The gauges as the GL receives them: the bars' corners in window coordinates, their lit colours,
// the overlay plane left on the modelview, and the clamp of an overdrawn reserve.
#include <GL/glut.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "feedback.h"
#include "render.h"
#include "sim.h"

using namespace sim;
using testing::FloatNear;

namespace {
// Lit colours of the bars facing the viewer under the one light (ambient, diffuse and specular
// 0.2) and the default global ambient 0.2: emission + 0.2 ambient + 0.2 ambient + 0.2 diffuse +
// 0.2 specular.
constexpr float kRed = 0.01f + 0.2f * (0.99f + 0.99f + 0.99f + 0.99f); // MateriauP
constexpr float kBlue = 0.1f + 0.2f * (0.99f + 0.99f + 0.9f + 0.9f);   // MateriauB

std::vector<feedback::Item> drawGauges(int width, int height, double xp, double yp, double zp) {
    InitGL();
    ReSizeGLScene(width, height);
    glDisable(GL_LIGHTING); // drawjau must switch it back on
    glDisable(GL_LIGHT0);
    glNormal3f(1.0f, 0.0f, 0.0f); // a normal left by earlier drawing must not change the bars
    auto items = feedback::capture([&] { drawjau(xp, yp, zp); });
    return items;
}

// Every polygon corner of a capture. The GL may hand a bar back as two triangles (or more once
// clipped), so bars are checked through the corners they contribute.
std::vector<feedback::Vertex> corners(const std::vector<feedback::Item>& items) {
    std::vector<feedback::Vertex> all;
    for (const auto& item : items)
        if (item.token == GL_POLYGON_TOKEN)
            all.insert(all.end(), item.corners.begin(), item.corners.end());
    return all;
}

bool isRed(const feedback::Vertex& v) {
    return v.r > 0.0f && v.b == 0.0f;
}

// The bar's four corners are among the captured ones, in the bar's colour.
void expectBar(const std::vector<feedback::Vertex>& all, bool red, double left, double right, double bottom,
               double top, int width, int height) {
    const double xs[4] = {left, left, right, right};
    const double ys[4] = {bottom, top, top, bottom};
    for (int k = 0; k < 4; ++k) {
        double wx, wy;
        feedback::project(xs[k], ys[k], width, height, &wx, &wy);
        bool found = false;
        for (const auto& v : all)
            found = found || (isRed(v) == red && std::fabs(v.x - wx) < 0.01 && std::fabs(v.y - wy) < 0.01);
        EXPECT_TRUE(found) << "no corner at (" << xs[k] << ", " << ys[k] << ") = window (" << wx << ", " << wy
                           << ")";
    }
}

// Window box of the corners of one colour: left, right, bottom, top.
std::vector<float> box(const std::vector<feedback::Vertex>& all, bool red) {
    std::vector<float> b = {1e9f, -1e9f, 1e9f, -1e9f};
    for (const auto& v : all)
        if (isRed(v) == red) {
            b[0] = std::min(b[0], v.x);
            b[1] = std::max(b[1], v.x);
            b[2] = std::min(b[2], v.y);
            b[3] = std::max(b[3], v.y);
        }
    return b;
}
} // namespace

TEST(Gauges, BarsInTheOverlayPlane) {
    pc = 100;
    para_phy.p = 2.0;
    // A wide window shows the fuel bar whole; speed 0.5 from (0.3, 0.4, 0).
    const auto all = corners(drawGauges(1600, 800, 0.3, 0.4, 0.0));
    ASSERT_FALSE(all.empty());
    expectBar(all, true, -4.15, -4.0, -3.0, 2.0, 1600, 800); // a full reserve is 5 units high
    expectBar(all, false, -4.0, -3.85, -3.0, -2.5, 1600, 800);
    expectBar(all, false, -3.85, -3.7, -3.0, -2.88, 1600, 800);
    // Nothing else is drawn: the red corners span the fuel bar, the blue ones the other two.
    double l, b, r, t;
    feedback::project(-4.15, -3.0, 1600, 800, &l, &b);
    feedback::project(-4.0, 2.0, 1600, 800, &r, &t);
    EXPECT_THAT(box(all, true), testing::ElementsAre(FloatNear(l, 0.01), FloatNear(r, 0.01),
                                                     FloatNear(b, 0.01), FloatNear(t, 0.01)));
    feedback::project(-4.0, -3.0, 1600, 800, &l, &b);
    feedback::project(-3.7, -2.5, 1600, 800, &r, &t);
    EXPECT_THAT(box(all, false), testing::ElementsAre(FloatNear(l, 0.01), FloatNear(r, 0.01),
                                                      FloatNear(b, 0.01), FloatNear(t, 0.01)));
    for (const auto& v : all) {
        if (isRed(v)) {
            EXPECT_NEAR(v.r, kRed, 2e-3);
            EXPECT_EQ(v.g, 0.0f);
            EXPECT_EQ(v.a, 1.0f);
        } else {
            EXPECT_EQ(v.r, 0.0f);
            EXPECT_EQ(v.g, 0.0f);
            EXPECT_NEAR(v.b, kBlue, 2e-3);
        }
    }
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    ReSizeGLScene(800, 800);
}

TEST(Gauges, FuelFollowsTheReserveAndTheSquareWindowCutsItsEdge) {
    pc = 37;
    const auto all = corners(drawGauges(800, 800, 0.0, 0.0, 0.0));
    // In a square window the view reaches 4.14 to the left: the bar's left sliver is clipped at x = 0.
    double r, b, t;
    feedback::project(-4.0, -3.0, 800, 800, &r, &b);
    feedback::project(-4.0, 37 / 20.0 - 3.0, 800, 800, &r, &t);
    EXPECT_THAT(box(all, true), testing::ElementsAre(FloatNear(0.0, 0.01), FloatNear(r, 0.01),
                                                     FloatNear(b, 0.01), FloatNear(t, 0.01)));
    // At rest the speed bar has no height; the speed-limit block stays and is the top of the blue.
    expectBar(all, false, -4.0, -3.85, -3.0, -3.0, 800, 800);
    expectBar(all, false, -3.85, -3.7, -3.0, -2.88, 800, 800);
    double l;
    feedback::project(-4.0, -3.0, 800, 800, &l, &b);
    feedback::project(-3.7, -2.88, 800, 800, &r, &t);
    EXPECT_THAT(box(all, false), testing::ElementsAre(FloatNear(l, 0.01), FloatNear(r, 0.01),
                                                      FloatNear(b, 0.01), FloatNear(t, 0.01)));
}

TEST(Gauges, OverlayPlaneStaysOnTheModelview) {
    InitGL();
    glLoadIdentity();
    drawjau(0.0, 0.1, 0.0);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_THAT(std::vector<float>(m, m + 16),
                testing::ElementsAre(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    // The light was set before the shift, in eye coordinates: it comes from the viewer.
    float light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    EXPECT_THAT(std::vector<float>(light, light + 4), testing::ElementsAre(0, 0, 1, 0));
    glLoadIdentity();
}

TEST(Gauges, OverdrawnReserveIsClampedBeforeTheBarIsDrawn) {
    pc = -1;
    para_phy.p = 2.0;
    const auto all = corners(drawGauges(1600, 800, 0.0, 0.0, 0.0));
    EXPECT_EQ(pc, 0);
    EXPECT_EQ(para_phy.p, 0.0);
    // Empty, not reaching below the base line.
    double l, r, b;
    feedback::project(-4.15, -3.0, 1600, 800, &l, &b);
    feedback::project(-4.0, -3.0, 1600, 800, &r, &b);
    EXPECT_THAT(box(all, true), testing::ElementsAre(FloatNear(l, 0.01), FloatNear(r, 0.01),
                                                     FloatNear(b, 0.01), FloatNear(b, 0.01)));
    ReSizeGLScene(800, 800);
}
