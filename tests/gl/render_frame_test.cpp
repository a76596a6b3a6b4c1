// The whole frame as the GL receives it: what comes in which order, the camera of each view mode on
// top of the overlay plane, the scene light under the camera, the outcome judged once the overlay is
// drawn, the spacecraft and the planet where they belong, and the trail with its colours.
#include <GL/glut.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "feedback.h"
#include "render.h"
#include "sim.h"

using namespace sim;

namespace {
using Mat = std::array<double, 16>; // column-major, as the GL stores it

Mat identity() {
    Mat m{};
    m[0] = m[5] = m[10] = m[15] = 1.0;
    return m;
}

Mat times(const Mat& a, const Mat& b) {
    Mat m{};
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            for (int k = 0; k < 4; k++)
                m[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return m;
}

Mat translation(double x, double y, double z) {
    Mat m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

// A turn of `degrees` about the x (axis 0) or z (axis 2) axis, counter-clockwise seen from its tip.
Mat turn(double degrees, int axis) {
    const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    Mat m = identity();
    m[4 * u + u] = c;
    m[4 * u + v] = s;
    m[4 * v + u] = -s;
    m[4 * v + v] = c;
    return m;
}

// The view from `eye` towards `centre` with `up` roughly upwards, worked out here apart from GLU.
Mat lookAt(std::array<double, 3> eye, std::array<double, 3> centre, std::array<double, 3> up) {
    auto unit = [](std::array<double, 3> v) {
        const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return std::array<double, 3>{v[0] / n, v[1] / n, v[2] / n};
    };
    auto cross = [](std::array<double, 3> a, std::array<double, 3> b) {
        return std::array<double, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                     a[0] * b[1] - a[1] * b[0]};
    };
    const auto f = unit({centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]});
    const auto s = unit(cross(f, up));
    const auto u = cross(s, f);
    Mat m = identity();
    for (int i = 0; i < 3; i++) {
        m[4 * i + 0] = s[i];
        m[4 * i + 1] = u[i];
        m[4 * i + 2] = -f[i];
    }
    return times(m, translation(-eye[0], -eye[1], -eye[2]));
}

Mat modelview() {
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    Mat out;
    std::copy(m, m + 16, out.begin());
    return out;
}

void expectMatrix(const Mat& got, const Mat& want) {
    for (int k = 0; k < 16; k++)
        EXPECT_NEAR(got[k], want[k], 1e-4) << "entry " << k;
}

// A run in progress: the chaser at (0, -8, 0) coming in along +y, a short history in view.
void setRun(double chaserY) {
    X = 0.0;
    Y = chaserY;
    Z = 0.0;
    Xp = 0.0;
    Yp = 0.1;
    Zp = 0.0;
    pc = 100;
    coll = 0;
    tcalc = 0.05;
    t = 0.0;
    para_phy.nx = 5;
    x.assign(6, 0.0);
    y = {chaserY - 3.0, chaserY - 1.0, chaserY - 0.75, chaserY - 0.5, chaserY, chaserY};
    z.assign(6, 0.0);
    look = 1;
    rot = 1;
    help = 0;
}

// One whole frame in an 800 x 800 window, captured.
std::vector<feedback::Item> frame() {
    InitGL();
    ReSizeGLScene(800, 800);
    return feedback::capture(DrawGLScene);
}

int count(const std::vector<feedback::Item>& items, GLenum token) {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const feedback::Item& i) {
        return i.token == token || (token == GL_LINE_TOKEN && i.token == GL_LINE_RESET_TOKEN);
    }));
}

size_t characters(const std::vector<OverlayLine>& lines) {
    size_t n = 0;
    for (const OverlayLine& l : lines)
        n += l.text.size();
    return n;
}

// The lines of a capture that join two different points.
std::vector<feedback::Item> segments(const std::vector<feedback::Item>& items) {
    std::vector<feedback::Item> out;
    for (const auto& i : items)
        if ((i.token == GL_LINE_TOKEN || i.token == GL_LINE_RESET_TOKEN) &&
            (i.corners[0].x != i.corners[1].x || i.corners[0].y != i.corners[1].y))
            out.push_back(i);
    return out;
}
} // namespace

TEST(Frame, DrawsGaugesTextSceneThenTrail) {
    setRun(-8.0);
    const auto items = frame();
    ASSERT_FALSE(items.empty());
    // The bars come first (in red and blue, pieces of them once clipped); the text's characters
    // next, one bitmap each.
    size_t k = 0;
    for (; k < items.size() && items[k].token == GL_POLYGON_TOKEN; k++)
        for (const auto& v : items[k].corners)
            EXPECT_EQ(v.g, 0.0f) << "not a gauge";
    EXPECT_GE(k, 3u);
    const size_t text = k;
    while (k < items.size() && items[k].token == GL_BITMAP_TOKEN)
        k++;
    EXPECT_EQ(k - text, characters(overlayLines(X, Y, Z, Xp, Yp, Zp)));
    // Then the spacecraft, then what shows of the planet and its grid.
    const size_t scene = k;
    while (k < items.size() && items[k].token == GL_POLYGON_TOKEN)
        k++;
    EXPECT_GT(k - scene, 500u) << "the spacecraft are missing";
    // The trail comes last, unlit: pure white lines, samples 4 to 1, three segments of length.
    auto white = [](const feedback::Item& i) {
        return i.token != GL_POLYGON_TOKEN && i.token != GL_BITMAP_TOKEN && i.corners[0].r == 1.0f &&
               i.corners[0].g == 1.0f && i.corners[0].b == 1.0f && i.corners[1].r == 1.0f &&
               i.corners[1].g == 1.0f && i.corners[1].b == 1.0f;
    };
    size_t trail = items.size();
    while (trail > k && white(items[trail - 1]))
        trail--;
    EXPECT_EQ(segments({items.begin() + trail, items.end()}).size(), 3u);
    EXPECT_EQ(std::count_if(items.begin(), items.end(), white), static_cast<long>(items.size() - trail));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    ASSERT_NE(pmodel, nullptr);
    ASSERT_NE(pmodel2, nullptr);
}

TEST(Frame, OutcomeIsJudgedAfterTheOverlay) {
    // Docked at 0.1: the frame that finds it still shows no message, the next one does.
    setRun(-1.45);
    const int before = count(frame(), GL_BITMAP_TOKEN);
    EXPECT_EQ(coll, 3);
    EXPECT_EQ(tcalc, 0.0);
    const int after = count(frame(), GL_BITMAP_TOKEN);
    EXPECT_EQ(after - before, static_cast<int>(outcomeMessage(3).size()));
    EXPECT_EQ(coll, 3);
}

TEST(Frame, ModelsAreReadOnce) {
    setRun(-8.0);
    frame();
    const GlmModel* chaser = pmodel;
    const GlmModel* target = pmodel2;
    ASSERT_NE(chaser, nullptr);
    frame();
    EXPECT_EQ(pmodel, chaser);
    EXPECT_EQ(pmodel2, target);
}

TEST(Frame, CameraModesOnTopOfTheOverlayPlane) {
    setRun(-8.0);
    X = 0.5;
    Z = -0.25;
    const Mat plane = translation(0.0, 0.0, -10.0);

    frame();
    expectMatrix(modelview(),
                 times(plane, lookAt({X + 0.75, Y + 3.0, Z + 1.0}, {0.0, 0.0, -1.0}, {0.0, 0.0, 1.0})));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "the models must leave the matrix stack as they found it";

    // The chaser view ignores the landscape's angles.
    spin_x = 20.0f;
    spin_y = -60.0f;
    sdepth = 30.0f;
    frame();
    expectMatrix(modelview(),
                 times(plane, lookAt({X + 0.75, Y + 3.0, Z + 1.0}, {0.0, 0.0, -1.0}, {0.0, 0.0, 1.0})));

    look = 0;
    rot = 1;
    frame();
    const Mat rotating =
        times(times(times(plane, translation(0.0, 0.0, -30.0)), turn(-60.0, 0)), turn(20.0, 2));
    expectMatrix(modelview(), rotating);
    // The scene light was set under the camera: it comes from the scene's +z, turned with it.
    float light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    EXPECT_NEAR(light[0], rotating[8], 1e-5);
    EXPECT_NEAR(light[1], rotating[9], 1e-5);
    EXPECT_NEAR(light[2], rotating[10], 1e-5);
    EXPECT_EQ(light[3], 0.0f);

    rot = 0;
    frame();
    expectMatrix(modelview(), times(plane, translation(2.0, -6.0, -30.0)));

    look = 1;
    spin_x = -35.0f;
    spin_y = -45.0f;
    sdepth = 35.0f;
}

TEST(Frame, FarRotatingViewClipsTheTargetButKeepsTheOverlay) {
    setRun(-8.0);
    look = 0;
    rot = 1;
    spin_x = 0.0f;
    spin_y = 0.0f;
    // Looking down on the scene from 10 + sdepth above the origin, which lies at the window's centre.
    auto nearCentre = [](const std::vector<feedback::Item>& items) {
        int n = 0;
        for (const auto& i : items)
            if (i.token == GL_POLYGON_TOKEN)
                for (const auto& v : i.corners)
                    n += std::hypot(v.x - 400.0f, v.y - 400.0f) < 150.0f;
        return n;
    };
    sdepth = 35.0f;
    EXPECT_GT(nearCentre(frame()), 100) << "the spacecraft should show at 45 from the eye";
    sdepth = 95.0f; // the origin 105 from the eye, beyond the far plane
    const auto items = frame();
    EXPECT_EQ(nearCentre(items), 0);
    EXPECT_EQ(count(items, GL_BITMAP_TOKEN), static_cast<int>(characters(overlayLines(X, Y, Z, Xp, Yp, Zp))));
    EXPECT_GE(count(items, GL_POLYGON_TOKEN), 3) << "the gauges are gone";
    look = 1;
    spin_x = -35.0f;
    spin_y = -45.0f;
    sdepth = 35.0f;
}

// ---- The spacecraft and the planet, seen straight down the scene's z axis (orthographic) ----

namespace {
// Scene (x, y) of a window position under glOrtho(left, left + 800 s, bottom, bottom + 800 s).
struct Top {
    double left, bottom, s;
    double x(const feedback::Vertex& v) const { return left + v.x * s; }
    double y(const feedback::Vertex& v) const { return bottom + v.y * s; }
};

std::vector<feedback::Item> fromAbove(const Top& top, const std::function<void()>& draw) {
    ReSizeGLScene(800, 800);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(top.left, top.left + 800 * top.s, top.bottom, top.bottom + 800 * top.s, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    auto items = feedback::capture(draw);
    ReSizeGLScene(800, 800);
    return items;
}

// Scene box (x0, x1, y0, y1) of every polygon corner.
std::array<double, 4> extent(const Top& top, const std::vector<feedback::Item>& items) {
    std::array<double, 4> b = {1e9, -1e9, 1e9, -1e9};
    for (const auto& i : items)
        if (i.token == GL_POLYGON_TOKEN)
            for (const auto& v : i.corners) {
                b[0] = std::min(b[0], top.x(v));
                b[1] = std::max(b[1], top.x(v));
                b[2] = std::min(b[2], top.y(v));
                b[3] = std::max(b[3], top.y(v));
            }
    return b;
}
} // namespace

TEST(Models, ChaserAtItsPlaceProbeTowardsTheTarget) {
    const Top top{-2.0, -10.0, 0.005}; // x -2..2, y -10..-6
    const auto items = fromAbove(top, [] { drawmodel(0.0, -8.0, 0.0); });
    EXPECT_EQ(modelview(), identity());
    // Panels across x, 2 wide; the probe's tip 0.70 in front (+y), the nozzle 0.70 behind.
    EXPECT_THAT(extent(top, items),
                testing::ElementsAre(testing::DoubleNear(-1.0, 0.01), testing::DoubleNear(1.0, 0.01),
                                     testing::DoubleNear(-8.70, 0.01), testing::DoubleNear(-7.30, 0.01)));
}

TEST(Models, TargetPortTowardsTheChaser) {
    const Top top{-2.0, -2.0, 0.005};
    const auto items = fromAbove(top, [] { drawmodel2(0.0, 0.0, 0.0); });
    EXPECT_THAT(extent(top, items),
                testing::ElementsAre(testing::DoubleNear(-1.0, 0.01), testing::DoubleNear(1.0, 0.01),
                                     testing::DoubleNear(-0.72, 0.01), testing::DoubleNear(0.72, 0.01)));
}

TEST(Models, PlanetSurfacePasses40BelowTheTarget) {
    // Around (-40, 0): the solid sphere reaches x = -40 exactly; nothing of it lies beyond.
    const Top top{-42.0, -2.0, 0.005};
    const auto items = fromAbove(top, [] { drawmodel2(0.0, 0.0, 0.0); });
    double right = -1e9;
    int planet = 0;
    for (const auto& i : items)
        if (i.token == GL_POLYGON_TOKEN)
            for (const auto& v : i.corners)
                if (top.x(v) < -2.0) { // not the target, which spans -1..1
                    right = std::max(right, top.x(v));
                    planet++;
                }
    EXPECT_GT(planet, 0);
    EXPECT_NEAR(right, -40.0, 0.01);
}

TEST(Models, GridTurnsClockwiseWithTime) {
    // Seen from above the planet's centre, the grid's meridians run out from it like spokes. After
    // 0.5 units of time they have turned 5 degrees clockwise.
    auto spokes = [](double time) {
        t = time;
        const Top top{-450.0, -10.0, 0.025}; // x -450..-430, y -10..10, centre at (-440, 0)
        std::vector<double> angles;
        for (const auto& i : fromAbove(top, [] { drawmodel2(0.0, 0.0, 0.0); }))
            if (i.token == GL_LINE_TOKEN || i.token == GL_LINE_RESET_TOKEN)
                for (const auto& v : i.corners) {
                    const double dx = top.x(v) + 440.0, dy = top.y(v);
                    if (std::hypot(dx, dy) > 5.0) // the outer end of a spoke
                        angles.push_back(std::fmod(std::atan2(dy, dx) * 180.0 / M_PI + 360.0, 7.5));
                }
        return angles;
    };
    const auto before = spokes(0.0);
    const auto after = spokes(0.5);
    t = 0.0;
    ASSERT_GT(before.size(), 40u);
    ASSERT_GT(after.size(), 40u);
    // 48 meridians, 7.5 degrees apart: every spoke shares one phase within the 7.5-degree period.
    for (double a : before)
        EXPECT_NEAR(std::fmod(a - before[0] + 7.5 + 0.01, 7.5), 0.01, 0.02);
    for (double a : after)
        EXPECT_NEAR(std::fmod(a - before[0] + 5.0 + 7.5 + 0.01, 7.5), 0.01, 0.02);
}

// ---- The trail ----

namespace {
// The trail in window coordinates equal to the scene's x and y, lighting off.
std::vector<feedback::Item> trail(const std::vector<double>& xs, const std::vector<double>& ys,
                                  const std::vector<double>& zs, int nx) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 800.0, 0.0, 800.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor3ub(0, 255, 0); // what an exact +-0.2 keeps
    auto items = feedback::capture([&] { drawtrail(xs, ys, zs, nx); });
    ReSizeGLScene(800, 800);
    return items;
}

std::vector<double> ramp(int n) {
    std::vector<double> v;
    for (int i = 0; i < n; i++)
        v.push_back(100.0 + 50.0 * i);
    return v;
}

std::vector<float> colour(const feedback::Vertex& v) {
    return {v.r, v.g, v.b};
}
} // namespace

TEST(Trail, NothingForTwoSamplesOneSegmentForThree) {
    EXPECT_TRUE(trail(ramp(3), ramp(3), std::vector<double>(3, 0.0), 2).empty());
    const auto one = trail(ramp(4), ramp(4), std::vector<double>(4, 0.0), 3);
    ASSERT_EQ(one.size(), 1u);
    // From sample 2 to sample 1, white in the orbital plane.
    EXPECT_FLOAT_EQ(one[0].corners[0].x, 200.0f);
    EXPECT_FLOAT_EQ(one[0].corners[1].x, 150.0f);
    EXPECT_THAT(colour(one[0].corners[0]), testing::ElementsAre(1, 1, 1));
    EXPECT_THAT(colour(one[0].corners[1]), testing::ElementsAre(1, 1, 1));
}

TEST(Trail, ColoursByHeightAndExactBoundariesKeepTheColour) {
    //                 0    1      2     3     4    5    6    7 (= nx)
    const std::vector<double> zs = {0.9, -0.21, -0.2, 0.21, 0.2, 0.1, 0.5, 0.5};
    const auto lines = segments(trail(ramp(8), ramp(8), zs, 7));
    // From sample 6 down to sample 1: five segments, each in the colour of its lower sample.
    ASSERT_EQ(lines.size(), 5u);
    const std::vector<std::vector<float>> want = {
        {1, 1, 1}, // 6 -> 5: |0.1| < 0.2, white
        {1, 1, 1}, // 5 -> 4: exactly 0.2, white carries on
        {1, 0, 0}, // 4 -> 3: 0.21, red
        {1, 0, 0}, // 3 -> 2: exactly -0.2, red carries on
        {0, 0, 1}, // 2 -> 1: -0.21, blue
    };
    for (size_t k = 0; k < lines.size(); k++) {
        SCOPED_TRACE(k);
        EXPECT_FLOAT_EQ(lines[k].corners[0].x, 100.0f + 50.0f * (6 - k));
        EXPECT_FLOAT_EQ(lines[k].corners[1].x, 100.0f + 50.0f * (5 - k));
        EXPECT_EQ(colour(lines[k].corners[0]), want[k]);
        EXPECT_EQ(colour(lines[k].corners[1]), want[k]);
    }
}

TEST(Trail, FirstSegmentAtExactlyPointTwoKeepsTheCurrentColour) {
    const std::vector<double> zs = {0.0, -0.2, 0.0, 0.0};
    const auto lines = segments(trail(ramp(4), ramp(4), zs, 3));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(colour(lines[0].corners[0]), testing::ElementsAre(0, 1, 0));
}

TEST(Trail, SampleRangeLeavesOutTheStartAndTheDuplicateNewest) {
    // Samples 0 and nx sit far apart from the others: no vertex may land on them.
    std::vector<double> xs = ramp(6), ys = ramp(6);
    xs[0] = ys[0] = 20.0;
    xs[5] = ys[5] = 780.0;
    const auto items = trail(xs, ys, std::vector<double>(6, 0.0), 5);
    ASSERT_FALSE(items.empty());
    float lo = 1e9f, hi = -1e9f;
    for (const auto& i : items)
        for (const auto& v : i.corners) {
            lo = std::min(lo, v.x);
            hi = std::max(hi, v.x);
        }
    EXPECT_FLOAT_EQ(lo, 150.0f); // sample 1
    EXPECT_FLOAT_EQ(hi, 300.0f); // sample 4 = nx - 1
    EXPECT_EQ(segments(items).size(), 3u);
}

TEST(Trail, StartOfRunShowsNothingAndShortHistoryIsNotRead) {
    // Right after a reset every sample is the start: segments of no length only.
    const auto still =
        trail(std::vector<double>(6, 300.0), std::vector<double>(6, 300.0), std::vector<double>(6, 0.0), 5);
    EXPECT_TRUE(segments(still).empty());
    // A history shorter than nx samples, or an nx below 1, draws nothing rather than reading past it.
    EXPECT_TRUE(trail(ramp(3), ramp(3), ramp(3), 5).empty());
    EXPECT_TRUE(trail(ramp(3), ramp(3), ramp(3), 0).empty());
    EXPECT_TRUE(trail({}, {}, {}, 1).empty());
}
