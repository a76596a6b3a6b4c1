// The overlay's text, built without a window: telemetry, outcome messages, help, credits, the cut
// of long lines, and the reserve clamp the gauges apply.
#include <gtest/gtest.h>

#include <string>

#include "render.h"
#include "sim.h"

using namespace sim;

TEST(OverlayText, TelemetryOfTheStartPosition) {
    const auto lines = telemetry(0.0, 0.0, -8.0, 0.0, 0.0, 0.1, 0.0, 100);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "temps =   0.000 vitesse =  0.100 distance =   7.000 reserve  = 100.00");
    EXPECT_EQ(lines[1], "x  =   0.000 y  =  -8.000 z  =   0.000 ");
    EXPECT_EQ(lines[2], "xp=   0.000 yp=   0.100 zp=   0.000 ");
}

TEST(OverlayText, TelemetryValues) {
    // A whole reserve still shows two decimals; the distance is taken from (0, -1, 0).
    EXPECT_EQ(telemetry(12.3456, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 37)[0],
              "temps =  12.346 vitesse =  0.000 distance =   0.000 reserve  = 37.00");
    // speed 5 from (3, 0, 4); distance 13 from (3, 11, 4) + (0, 1, 0) = (3, 12, 4)
    EXPECT_EQ(telemetry(0.0, 3.0, 11.0, 4.0, 3.0, 0.0, -4.0, 0)[0],
              "temps =   0.000 vitesse =  5.000 distance =  13.000 reserve  = 0.00");
    EXPECT_EQ(telemetry(0.0, -0.5, 1234.5678, -0.0004, -0.25, 0.0, 1.0, 0)[1],
              "x  =  -0.500 y  = 1234.568 z  =  -0.000 ");
    EXPECT_EQ(telemetry(0.0, 0.0, 0.0, 0.0, -0.25, 0.0, 1.0, 0)[2], "xp=  -0.250 yp=   0.000 zp=   1.000 ");
}

TEST(OverlayText, OutcomeMessages) {
    EXPECT_EQ(outcomeMessage(0), "");
    EXPECT_EQ(outcomeMessage(1), "collision, perdu.       Appuyer sur 'k' pour recommencer");
    EXPECT_EQ(outcomeMessage(2), "Arrimage OK, trop vite. Appuyer sur 'k' pour recommencer");
    EXPECT_EQ(outcomeMessage(3), "Arrimage OK, gagn'e.    Appuyer sur 'k' pour recommencer");
    EXPECT_EQ(outcomeMessage(4), "Perdu dans l'espace.    Appuyer sur 'k' pour recommencer");
    EXPECT_EQ(outcomeMessage(5), "");
    EXPECT_EQ(outcomeMessage(-1), "");
    // The second sentence starts in the same column for every outcome.
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(outcomeMessage(c).find("Appuyer"), 24u) << c;
}

TEST(OverlayText, HelpAndCredits) {
    const auto& h = helpBlock();
    ASSERT_EQ(h.size(), 7u);
    const char* const texts[7] = {
        "pour avancer: fl`eche avant, aller `a droite fl`eche droite, reculer fl`eche gauche, etc",
        "pageUp, pageDown: monter, descendre",
        "k: remet `a z'ero le calcul",
        "l: vue du chasseur/ vue du paysage",
        "p: pause/go",
        "esc: pour quitter",
        "h: aide/ pas d'aide",
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(h[i].text, texts[i]);
        EXPECT_DOUBLE_EQ(h[i].x, -1.0);
        EXPECT_DOUBLE_EQ(h[i].y, -1.5 - 0.25 * i);
        EXPECT_EQ(h[i].font, 12);
    }
    const std::string tail = " *** 10/04 *** Clic droit: modification de la simulation et de la vue ** *";
    const std::string& c = credits();
    ASSERT_GT(c.size(), tail.size());
    EXPECT_EQ(c.substr(c.size() - tail.size()), tail);
    const std::size_t star = c.find(" *   ");
    ASSERT_NE(star, std::string::npos);
    EXPECT_EQ(c.substr(0, star), "rendezvous.example.org");
    EXPECT_EQ(c.substr(star + 5, c.size() - tail.size() - star - 5), "equipe@rendezvous.example.org");
    EXPECT_EQ(c.find('%'), std::string::npos); // the line is a printf format of its own
}

TEST(OverlayText, LinesOfAFrame) {
    t = 0.0;
    pc = 100;
    coll = 0;
    help = 0;
    auto lines = overlayLines(0.0, -8.0, 0.0, 0.0, 0.1, 0.0);
    ASSERT_EQ(lines.size(), 4u); // credits and telemetry only
    EXPECT_EQ(lines[0].text, credits());
    EXPECT_DOUBLE_EQ(lines[0].x, -4.0);
    EXPECT_DOUBLE_EQ(lines[0].y, -4.0);
    EXPECT_EQ(lines[0].font, 12);
    const double ys[3] = {3.9, 3.6, 3.3};
    const auto tele = telemetry(0.0, 0.0, -8.0, 0.0, 0.0, 0.1, 0.0, 100);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[1 + i].text, tele[i]);
        EXPECT_DOUBLE_EQ(lines[1 + i].x, -3.5);
        EXPECT_DOUBLE_EQ(lines[1 + i].y, ys[i]);
        EXPECT_EQ(lines[1 + i].font, 18);
    }

    help = 1;
    coll = 2;
    t = 1.5;
    pc = 37;
    lines = overlayLines(0.0, -8.0, 0.0, 0.0, 0.1, 0.0);
    ASSERT_EQ(lines.size(), 12u); // help, credits, telemetry, message
    EXPECT_EQ(lines[0].text, helpBlock()[0].text);
    EXPECT_EQ(lines[6].text, helpBlock()[6].text);
    EXPECT_EQ(lines[8].text, "temps =   1.500 vitesse =  0.100 distance =   7.000 reserve  = 37.00");
    EXPECT_EQ(lines[11].text, outcomeMessage(2));
    EXPECT_DOUBLE_EQ(lines[11].x, -2.0);
    EXPECT_DOUBLE_EQ(lines[11].y, 3.0);
    EXPECT_EQ(lines[11].font, 18);

    help = 2; // only 1 shows the help
    coll = 7;
    EXPECT_EQ(overlayLines(0.0, -8.0, 0.0, 0.0, 0.1, 0.0).size(), 4u);
    help = 0;
    coll = 0;
}

TEST(OverlayText, LongLinesAreCut) {
    const std::string long_text(1000, 'a');
    const std::string line = fmtline("%s%d", long_text.c_str(), 42);
    EXPECT_EQ(line, std::string(kLineMax, 'a'));
    EXPECT_EQ(fmtline("%s", std::string(kLineMax, 'b').c_str()).size(), kLineMax);
    EXPECT_EQ(fmtline("%s!", std::string(kLineMax - 1, 'b').c_str()), std::string(kLineMax - 1, 'b') + "!");
    EXPECT_EQ(fmtline("%7.3lf|%-4d|", -1.0, 7), " -1.000|7   |");
    // Huge numbers in the telemetry are cut too, never overrun.
    const auto lines = telemetry(1e300, 1e300, 1e300, 1e300, 0.0, 0.0, 0.0, 0);
    EXPECT_EQ(lines[1].size(), kLineMax);
    EXPECT_EQ(lines[0].size(), kLineMax);
}

TEST(Reserve, OverdrawnReserveIsClampedAndCutsThrust) {
    para_phy.p = 2.0;
    pc = 0;
    clampReserve();
    EXPECT_EQ(pc, 0);
    EXPECT_EQ(para_phy.p, 2.0); // an empty reserve alone does not cut the thrust
    pc = -1;
    clampReserve();
    EXPECT_EQ(pc, 0);
    EXPECT_EQ(para_phy.p, 0.0);
    pc = 55;
    para_phy.p = 2.0;
    clampReserve();
    EXPECT_EQ(pc, 55);
    EXPECT_EQ(para_phy.p, 2.0);
}
