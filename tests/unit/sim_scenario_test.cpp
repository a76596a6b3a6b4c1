// The scenario reader and the reset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include "sim.h"

using namespace sim;

namespace {

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

const char* kComplete = "dt=0.004              \n"
                        "nx=010               \n"
                        "trois=2.5           \n"
                        "Omega=0.25           \n"
                        "X0=1.0              \n"
                        "Y0=-20.0              \n"
                        "Z0=0.5              \n"
                        "Xp0=0.01             \n"
                        "Yp0=0.2             \n"
                        "Zp0=-0.03             \n"
                        "p=1.5               \n";

// Runs raz on the file at path and returns what it wrote to stdout and stderr.
std::string razOn(const std::string& path) {
    static std::string keep;
    keep = path;
    nomfichier = keep.c_str();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    raz();
    return testing::internal::GetCapturedStdout() + "|" + testing::internal::GetCapturedStderr();
}

} // namespace

TEST(Scenario, CompleteFileSetsEveryField) {
    para_phy = ParaPhy{};
    t = 3.25;
    pc = -4;
    coll = 3;
    tcalc = 0.0;
    it_t = 77;
    px = py = pz = 1.0;
    const std::string path = writeFile("complete.in", kComplete);
    const std::string out = razOn(path);
    EXPECT_EQ(out, "fichier de donnees:   " + path + "!   \n|");
    EXPECT_EQ(para_phy.dt, 0.004);
    EXPECT_EQ(para_phy.nx, 8); // %i reads 010 as octal
    EXPECT_EQ(para_phy.trois, 2.5);
    EXPECT_EQ(para_phy.Omega, 0.25);
    EXPECT_EQ(para_phy.p, 1.5);
    EXPECT_EQ(X, 1.0);
    EXPECT_EQ(Y, -20.0);
    EXPECT_EQ(Z, 0.5);
    EXPECT_EQ(Xp, 0.01);
    EXPECT_EQ(Yp, 0.2);
    EXPECT_EQ(Zp, -0.03);
    EXPECT_EQ(pc, 100);
    EXPECT_EQ(coll, 0);
    EXPECT_EQ(tcalc, 0.05);
    EXPECT_EQ(it_t, 0);
    EXPECT_EQ(px + py + pz, 0.0);
    EXPECT_EQ(t, 3.25); // a reset keeps the time
    ASSERT_EQ(x.size(), 9u);
    for (int i = 0; i <= 8; i++) {
        EXPECT_EQ(x[i], 1.0);
        EXPECT_EQ(y[i], -20.0);
        EXPECT_EQ(z[i], 0.5);
    }
}

TEST(Scenario, BlankLinesAndIndentationBetweenItemsReadTheSame) {
    std::string spaced = kComplete;
    for (size_t at = spaced.find('\n'); at != std::string::npos; at = spaced.find('\n', at + 5))
        spaced.insert(at + 1, "\n\t  ");
    razOn(writeFile("spaced.in", spaced));
    EXPECT_EQ(para_phy.nx, 8);
    EXPECT_EQ(para_phy.p, 1.5);
    EXPECT_EQ(Zp, -0.03);
}

TEST(Scenario, HexAndDecimalCounts) {
    std::string s = kComplete;
    s.replace(s.find("010"), 3, "0x10");
    razOn(writeFile("hex.in", s));
    EXPECT_EQ(para_phy.nx, 16);
}

TEST(Scenario, MissingFileKeepsRecordButResetsStepAndThrust) {
    razOn(writeFile("first.in", kComplete));
    para_phy.p = 9.0;
    const std::string out = razOn(testing::TempDir() + "no-such-file.in");
    EXPECT_NE(out.find("fichier de donnees:   "), std::string::npos);
    EXPECT_NE(out.find(": can't open data file \""), std::string::npos);
    EXPECT_EQ(para_phy.dt, 0.005);
    EXPECT_EQ(para_phy.p, 2.0);
    EXPECT_EQ(para_phy.nx, 8); // the previous scenario's values stay
    EXPECT_EQ(Y, -20.0);
}

TEST(Scenario, BadItemsKeepTheirValueAndAreReportedWithTheirText) {
    // Each case spoils one line of a complete file; the item keeps the value it had, the lines after
    // it are still read, and the message names the item and, escaped, the text found.
    struct Case {
        const char *line, *spoilt, *said;
        double ParaPhy::*field;
    } cases[] = {
        {"trois=2.5", "trois=abc", "\"trois=\" has no valid finite number (\"abc\")", &ParaPhy::trois},
        {"Yp0=0.2", "Yp0=0.2x", "\"Yp0=\" has no valid finite number (\"0.2x\")", &ParaPhy::Yp0},
        {"dt=0.004", "dt=nan", "\"dt=\" has no valid finite number (\"nan\")", &ParaPhy::dt},
        {"Omega=0.25", "Omega=-inf", "(\"-inf\")", &ParaPhy::Omega},
        {"X0=1.0", "X0=1e999", "(\"1e999\")", &ParaPhy::X0},
        {"p=1.5", "p=\x1b[2J", "(\"\\x1b[2J\")", &ParaPhy::p},
        {"Z0=0.5              \n", "", "\"Z0=\" missing", &ParaPhy::Z0},
    };
    for (const Case& c : cases) {
        std::string s = kComplete;
        s.replace(s.find(c.line), std::strlen(c.line), c.spoilt);
        para_phy = ParaPhy{};
        para_phy.*c.field = 7.0;
        const std::string out = razOn(writeFile("spoilt.in", s));
        EXPECT_EQ(para_phy.*c.field, c.field == &ParaPhy::dt  ? 0.005
                                     : c.field == &ParaPhy::p ? 2.0
                                                              : 7.0)
            << c.spoilt;
        EXPECT_EQ(para_phy.Zp0, c.field == &ParaPhy::Zp0 ? 7.0 : -0.03) << c.spoilt; // read on
        EXPECT_NE(out.find(c.said), std::string::npos) << out;
        EXPECT_EQ(out.find('\x1b'), std::string::npos) << "raw escape echoed for " << c.spoilt;
    }
}

TEST(Scenario, PathsThatAreNotRegularFilesAreRefusedLikeMissingOnes) {
    // A FIFO without a writer would block the start for good, /dev/zero never ends, a directory has
    // no items: each is reported as a file that cannot be opened, and the record is kept.
    const std::string fifo = testing::TempDir() + "scenario-fifo.in";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), testing::TempDir()}) {
        razOn(writeFile("first.in", kComplete));
        const std::string out = razOn(path);
        EXPECT_NE(out.find(": can't open data file \"" + path + "\""), std::string::npos) << out;
        EXPECT_EQ(para_phy.nx, 8) << path;
        EXPECT_EQ(Y, -20.0) << path;
    }
    std::remove(fifo.c_str());
}

TEST(Scenario, FirstKeyMustStartTheFile) {
    para_phy = ParaPhy{};
    const std::string out = razOn(writeFile("leading-blank.in", std::string("\n") + kComplete));
    EXPECT_EQ(para_phy.dt, 0.005);  // nothing matched: the reset's defaults
    EXPECT_EQ(para_phy.nx, kNxMin); // and a usable history
    EXPECT_EQ(x.size(), size_t(kNxMin) + 1);
    EXPECT_NE(out.find("\"p=\" missing"), std::string::npos);
}

TEST(Scenario, CountOutOfRangeIsBroughtInsideTheHistory) {
    for (const char* bad : {"0", "-5", "1", "2147483647", "99999999999"}) {
        std::string s = kComplete;
        s.replace(s.find("010"), 3, bad);
        const std::string out = razOn(writeFile("nx.in", s));
        EXPECT_GE(para_phy.nx, kNxMin) << bad;
        EXPECT_LE(para_phy.nx, kNxMax) << bad;
        EXPECT_EQ(x.size(), size_t(para_phy.nx) + 1) << bad;
        EXPECT_EQ(z.size(), x.size()) << bad;
        EXPECT_NE(out.find("nx"), std::string::npos) << bad << ": " << out;
        for (int k = 0; k < 5; k++)
            nextD(); // stays inside the arrays (ASan watches)
    }
}

TEST(Scenario, LargerHistoryAfterSmallerOne) {
    razOn(writeFile("small.in", kComplete));
    EXPECT_EQ(x.size(), 9u);
    std::string s = kComplete;
    s.replace(s.find("010"), 3, "500");
    razOn(writeFile("large.in", s));
    EXPECT_EQ(x.size(), 501u);
    EXPECT_EQ(y[500], -20.0);
}

TEST(Scenario, ShippedScenariosMatchTheirMenuLabels) {
    const double rates[] = {0.0, 0.10, 0.25, 0.25, 0.25, 0.25};
    ParaPhy seen[6];
    for (int n = 0; n < 6; n++) {
        const std::string path = std::string(SOURCE_DIR) + "/data/fo" + (n ? std::to_string(n) : "") + ".in";
        const std::string out = razOn(path);
        EXPECT_EQ(out.find("|") + 1, out.size()) << "complaints for " << path << ": " << out;
        seen[n] = para_phy;
        EXPECT_EQ(para_phy.Omega, rates[n]) << path;
        EXPECT_EQ(para_phy.trois, 3.0) << path;
        EXPECT_GE(para_phy.nx, 100) << path;
    }
    for (int n = 0; n < 3; n++) { // in the plane, on the approach axis, behind the port
        EXPECT_EQ(seen[n].X0, 0.0);
        EXPECT_EQ(seen[n].Z0, 0.0);
        EXPECT_LT(seen[n].Y0, -1.5);
    }
    for (int n = 3; n < 5; n++) { // in the plane, off the axis
        EXPECT_NE(seen[n].X0, 0.0);
        EXPECT_EQ(seen[n].Z0, 0.0);
        EXPECT_EQ(seen[n].Zp0, 0.0);
    }
    EXPECT_TRUE(seen[3].X0 != seen[4].X0 || seen[3].Y0 != seen[4].Y0);
    EXPECT_NE(seen[5].Z0, 0.0); // out of the plane and off the axis
    EXPECT_NE(seen[5].X0, 0.0);
}
