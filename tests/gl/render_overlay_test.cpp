// The text overlay as the GL receives it: one bitmap per character at raster positions in the
// overlay plane, and the red pixels of the help block in the frame.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <map>

#include "feedback.h"
#include "render.h"
#include "sim.h"

using namespace sim;

namespace {
struct DrawnLine {
    float x = 0.0f, y = 0.0f; // window position of the first character
    std::size_t chars = 0;    // bitmaps drawn on this line
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

// Groups the bitmaps of one capture into lines by their window height, top line first.
std::vector<DrawnLine> linesOf(const std::vector<feedback::Item>& items) {
    std::map<float, DrawnLine, std::greater<float>> by_y;
    for (const auto& item : items) {
        if (item.token != GL_BITMAP_TOKEN)
            continue;
        const auto& v = item.corners[0];
        auto found = by_y.find(v.y);
        if (found == by_y.end())
            found = by_y.emplace(v.y, DrawnLine{v.x, v.y, 0, v.r, v.g, v.b}).first;
        ++found->second.chars;
    }
    std::vector<DrawnLine> lines;
    for (const auto& entry : by_y)
        lines.push_back(entry.second);
    return lines;
}

std::vector<DrawnLine> drawOverlay() {
    InitGL();
    ReSizeGLScene(800, 800);
    return linesOf(feedback::capture([] {
        drawjau(0.0, 0.1, 0.0);
        aide(0.0, -8.0, 0.0, 0.0, 0.1, 0.0);
    }));
}

void expectAt(const DrawnLine& line, double x, double y, std::size_t chars) {
    double wx, wy;
    feedback::project(x, y, 800, 800, &wx, &wy);
    EXPECT_NEAR(line.x, wx, 0.01);
    EXPECT_NEAR(line.y, wy, 0.01);
    EXPECT_EQ(line.chars, chars);
    EXPECT_GT(line.r, 0.5f); // the lit red of MateriauP
    EXPECT_EQ(line.g, 0.0f);
    EXPECT_EQ(line.b, 0.0f);
}
} // namespace

TEST(Overlay, TelemetryAndCredits) {
    t = 0.0;
    pc = 100;
    coll = 0;
    help = 0;
    const auto lines = drawOverlay();
    ASSERT_EQ(lines.size(), 4u);
    const auto tele = telemetry(0.0, 0.0, -8.0, 0.0, 0.0, 0.1, 0.0, 100);
    expectAt(lines[0], -3.5, 3.9, tele[0].size());
    expectAt(lines[1], -3.5, 3.6, tele[1].size());
    expectAt(lines[2], -3.5, 3.3, tele[2].size());
    expectAt(lines[3], -4.0, -4.0, credits().size());
}

TEST(Overlay, HelpBlockAndOutcomeMessage) {
    t = 0.0;
    pc = 100;
    coll = 3;
    help = 1;
    const auto lines = drawOverlay();
    ASSERT_EQ(lines.size(), 12u);
    expectAt(lines[3], -2.0, 3.0, outcomeMessage(3).size());
    for (int i = 0; i < 7; ++i)
        expectAt(lines[4 + i], -1.0, -1.5 - 0.25 * i, helpBlock()[i].text.size());
    expectAt(lines[11], -4.0, -4.0, credits().size());
    help = 0;
    coll = 0;
}

TEST(Overlay, LongLineIsCutAt255Characters) {
    InitGL();
    ReSizeGLScene(800, 800);
    const std::string text(400, 'i'); // narrow, so most of it lies inside the window
    const auto lines = linesOf(feedback::capture([&] {
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -10.0f);
        drawstr12(-4.0, 0.0, "%s", text.c_str());
        drawstr18(-4.0, 1.0, "%s%s", text.c_str(), "tail");
    }));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].chars, kLineMax);
    EXPECT_EQ(lines[1].chars, kLineMax);
    glLoadIdentity();
}

TEST(Overlay, HelpBlockPixels) {
    // Red pixels where the help block stands, in the lower middle of the window, only while help is 1.
    auto redInHelpArea = [] {
        InitGL();
        ReSizeGLScene(800, 800);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        drawjau(0.0, 0.1, 0.0);
        aide(0.0, -8.0, 0.0, 0.0, 0.1, 0.0);
        glFinish();
        // From x = -1.0 rightwards, y = -3.05 to -1.2 in the overlay plane: x 303 on, y 100 to 285.
        std::vector<unsigned char> rgb(500 * 185 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(300, 100, 500, 185, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int red = 0;
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            if (rgb[i] > 100 && rgb[i + 1] < 40 && rgb[i + 2] < 40)
                ++red;
        return red;
    };
    pc = 100;
    coll = 0;
    help = 0;
    EXPECT_EQ(redInHelpArea(), 0);
    help = 1;
    EXPECT_GT(redInHelpArea(), 1000);
    help = 0;
}
