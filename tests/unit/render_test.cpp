// The overlay's text, built without a window: the telemetry and the outcome messages.
#include <gtest/gtest.h>

#include <string>

#include "render.h"

TEST(Overlay, TelemetryLines) {
    // The distance is taken from (0, -1, 0); the reserve, a whole number, shows two decimals; numbers
    // too long for a line are cut, never written past it.
    const struct {
        double t, x, y, z, xp, yp, zp;
        int pc, line;
        std::string text;
    } cases[] = {
        {0, 0, -8, 0, 0, 0.1, 0, 100, 0,
         "temps =   0.000 vitesse =  0.100 distance =   7.000 reserve  = 100.00"},
        {0, 0, -8, 0, 0, 0.1, 0, 100, 1, "x  =   0.000 y  =  -8.000 z  =   0.000 "},
        {0, 0, -8, 0, 0, 0.1, 0, 100, 2, "xp=   0.000 yp=   0.100 zp=   0.000 "},
        {12.3456, 0, -1, 0, 0, 0, 0, 37, 0,
         "temps =  12.346 vitesse =  0.000 distance =   0.000 reserve  = 37.00"},
        {0, 3, 11, 4, 3, 0, -4, 0, 0, "temps =   0.000 vitesse =  5.000 distance =  13.000 reserve  = 0.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(telemetry(c.t, c.x, c.y, c.z, c.xp, c.yp, c.zp, c.pc)[c.line], c.text);
    EXPECT_EQ(telemetry(1e300, 1e300, 1e300, 1e300, 0.0, 0.0, 0.0, 0)[1].size(), kLineMax);
}

TEST(Overlay, OutcomeMessages) {
    // One message per outcome, its second sentence in the same column for all; none otherwise.
    const char* const start[] = {"collision", "Arrimage OK, trop vite", "Arrimage OK, gagn'e", "Perdu"};
    for (int coll = -1; coll <= 5; coll++) {
        const std::string m = outcomeMessage(coll);
        const bool shown = coll >= 1 && coll <= 4;
        EXPECT_TRUE(shown ? m.rfind(start[coll - 1], 0) == 0 : m.empty()) << coll << ": " << m;
        EXPECT_EQ(m.find("Appuyer sur 'k' pour recommencer"), shown ? 24u : std::string::npos) << m;
    }
}
