// The simulation core: the scenario reader and the reset, the integrator against the closed-form Hill
// solution, the trajectory history, and the outcome rules.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "sim.h"

using namespace sim;
using V = std::vector<double>;

namespace {
// Every item, with white space after some as in the shipped files.
const char* kComplete = "dt=0.004  \nnx=010\ntrois=2.5 \nOmega=0.25\nX0=1.0\nY0=-20.0\nZ0=0.5\nXp0=0.01 \n"
                        "Yp0=0.2\nZp0=-0.03\np=1.5   \n";

// Writes the complete file with its line `line`, if any, replaced by `by`; returns its path.
std::string scenario(const char* line = nullptr, const std::string& by = "") {
    std::string s = kComplete;
    const std::string path =
        testing::TempDir() + testing::UnitTest::GetInstance()->current_test_info()->name();
    std::ofstream(path) << (line ? s.replace(s.find(line), std::strlen(line), by) : s);
    return path;
}

// Runs raz on the file at path; returns what it wrote to stdout and to stderr.
std::pair<std::string, std::string> razOn(const std::string& path) {
    static std::string keep;
    nomfichier = (keep = path).c_str();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    raz();
    const std::string out = testing::internal::GetCapturedStdout();
    return {out, testing::internal::GetCapturedStderr()};
}
} // namespace

TEST(Scenario, ResetFromACompleteFile) {
    std::tie(t, pc, coll, tcalc, it_t, px, py, pz) = std::make_tuple(3.25, -4, 3, 0.0, 77, 1.0, 1.0, 1.0);
    const std::string path = scenario();
    EXPECT_EQ(razOn(path), std::make_pair("fichier de donnees:   " + path + "!   \n", std::string()));
    // nx is read as "%i" reads it: 010 is octal. A reset keeps the time.
    EXPECT_EQ((V{para_phy.dt, double(para_phy.nx), para_phy.trois, para_phy.Omega, para_phy.p, X, Y, Z, Xp,
                 Yp, Zp, double(pc), double(coll), double(it_t), tcalc, px + py + pz, t}),
              (V{0.004, 8, 2.5, 0.25, 1.5, 1.0, -20.0, 0.5, 0.01, 0.2, -0.03, 100, 0, 0, 0.05, 0, 3.25}));
    EXPECT_EQ((std::vector<V>{x, y, z}), (std::vector<V>{V(9, 1.0), V(9, -20.0), V(9, 0.5)}));
}

TEST(Scenario, BadItemsKeepTheirValueAndAreReportedWithTheirText) {
    // One line changed in a complete file: a bad item keeps its value (dt and p the reset's), the
    // items after it are read, and the message names the item and, escaped, its text. After a leading
    // blank line nothing matches; blank lines and indentation between items are passed over.
    const std::tuple<const char*, const char*, const char*, double ParaPhy::*, double> cases[] = {
        {"trois=2.5", "trois=abc", "\"trois=\" has no valid finite number (\"abc\")", &ParaPhy::trois, 7.0},
        {"Yp0=0.2", "Yp0=0.2x", "\"Yp0=\" has no valid finite number (\"0.2x\")", &ParaPhy::Yp0, 7.0},
        {"dt=0.004", "dt=nan", "\"dt=\" has no valid finite number (\"nan\")", &ParaPhy::dt, 0.005},
        {"Omega=0.25", "Omega=-inf", "(\"-inf\")", &ParaPhy::Omega, 7.0},
        {"X0=1.0", "X0=1e999", "(\"1e999\")", &ParaPhy::X0, 7.0},
        {"p=1.5", "p=\x1b[2J", "(\"\\x1b[2J\")", &ParaPhy::p, 2.0},
        {"Z0=0.5\n", "", "\"Z0=\" missing", &ParaPhy::Z0, 7.0},
        {"dt=0.004", "\ndt=0.004", "\"p=\" missing", &ParaPhy::p, 2.0},
        {"trois=2.5", "\n \t\n  trois=2.5", "", &ParaPhy::trois, 2.5},
    };
    for (const auto& [line, by, said, field, want] : cases) {
        para_phy = ParaPhy{};
        para_phy.*field = 7.0;
        const std::string err = razOn(scenario(line, by)).second;
        EXPECT_EQ(para_phy.*field, want) << by;
        EXPECT_EQ(para_phy.p, field == &ParaPhy::p ? want : 1.5) << by; // read on
        EXPECT_TRUE(*said ? err.find(said) != std::string::npos : err.empty()) << err;
        EXPECT_EQ(err.find('\x1b'), std::string::npos) << "raw escape echoed for " << by;
    }
}

TEST(Scenario, PathsThatAreNotRegularFilesAreRefusedLikeMissingOnes) {
    // Missing, a FIFO without a writer (it would block the start), /dev/zero (endless), a directory:
    // each is reported as a file that cannot be opened; the record stays but for the reset's dt and p.
    const std::string fifo = testing::TempDir() + "fifo" + std::to_string(getpid()) + ".in";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path :
         {testing::TempDir() + "no-such-file.in", fifo, std::string("/dev/zero"), testing::TempDir()}) {
        razOn(scenario());
        const auto [out, err] = razOn(path);
        EXPECT_EQ(out, "fichier de donnees:   " + path + "!   \n");
        EXPECT_NE(err.find(": can't open data file \"" + path + "\""), std::string::npos) << err;
        EXPECT_EQ((V{para_phy.dt, para_phy.p, Y, double(para_phy.nx)}), (V{0.005, 2.0, -20.0, 8})) << path;
    }
    std::remove(fifo.c_str());
}

TEST(Scenario, HistoryLengthIsReadWithItsBaseAndKeptInBounds) {
    // The written count, the one in force, and whether a change is reported. Beyond int, the text is
    // refused and the record's 0 kept; the history follows every change of size.
    const std::tuple<const char*, int, bool> cases[] = {{"10", 10, false},   {"0x10", 16, false},
                                                        {"0", kNxMin, true}, {"-5", kNxMin, true},
                                                        {"1", kNxMin, true}, {"2147483647", kNxMax, true},
                                                        {"500", 500, false}, {"99999999999", kNxMin, true}};
    for (const auto& [nx, want, said] : cases) {
        para_phy = ParaPhy{};
        const std::string err = razOn(scenario("nx=010", std::string("nx=") + nx)).second;
        EXPECT_EQ(para_phy.nx, want) << nx;
        EXPECT_EQ(err.find("nx") != std::string::npos, said) << nx << ": " << err;
        ASSERT_EQ((std::vector<size_t>{x.size(), z.size()}), (std::vector<size_t>(2, want + 1))) << nx;
        for (int k = 0; k < 5; k++)
            nextD(); // stays inside the arrays (ASan watches)
    }
}

namespace {
// A run with the given rate and history length, at rest at the origin, time 0.
void start(double omega, int nx) {
    para_phy = {0.005, nx, omega, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 2.0}; // dt, nx, Omega, trois, ..., p
    X = Y = Z = Xp = Yp = Zp = px = py = pz = t = 0.0;
    tcalc = 0.05;
    it_t = 0;
    x = y = z = V(nx + 1, 0.0);
}

// The closed-form solution of x'' = 3w^2 x + 2w y', y'' = -2w x', z'' = -w^2 z after time dt.
V hill(const V& s, double w, double dt) { // s: x, y, z, xp, yp, zp
    const double c = std::cos(w * dt), sn = std::sin(w * dt), wt = w * dt;
    return {(4 - 3 * c) * s[0] + sn / w * s[3] + 2 / w * (1 - c) * s[4],
            6 * (sn - wt) * s[0] + s[1] - 2 / w * (1 - c) * s[3] + (4 * sn - 3 * wt) / w * s[4],
            c * s[2] + sn / w * s[5],
            3 * w * sn * s[0] + c * s[3] + 2 * sn * s[4],
            -6 * w * (1 - c) * s[0] - 2 * sn * s[3] + (4 * c - 3) * s[4],
            -w * sn * s[2] + c * s[5]};
}

// The largest position and velocity errors against the closed form over one orbit with sub-step dt.
V orbitErrors(double dt) {
    const double w = 0.25;
    start(w, 10);
    para_phy.dt = dt;
    const V s0{1.0, -6.0, 0.5, 0.05, 0.1, -0.08};
    std::tie(X, Y, Z, Xp, Yp, Zp) = std::tie(s0[0], s0[1], s0[2], s0[3], s0[4], s0[5]);
    V err{0.0, 0.0};
    for (int k = 0; k < static_cast<int>(std::ceil(2.0 * M_PI / w / 0.05)); k++) {
        nextD();
        const V e = hill(s0, w, t);
        err[0] = std::max(err[0], std::hypot(X - e[0], Y - e[1], Z - e[2]));
        err[1] = std::max(err[1], std::hypot(Xp - e[3], Yp - e[4], Zp - e[5]));
    }
    return err;
}
} // namespace

TEST(Integrator, OneOrbitAgainstTheClosedForm) {
    const auto coarse = orbitErrors(0.005), fine = orbitErrors(0.0025);
    // The start swings the chaser over several units in one orbit, so a wrong sign or a dropped
    // term misses by far more than these bounds.
    EXPECT_LT(coarse[0], 0.06);
    EXPECT_LT(coarse[1], 0.0125);
    // The positions take the updated velocities, a first-order step: halving dt halves the error.
    EXPECT_NEAR(fine[0] / coarse[0], 0.5, 0.05);
    EXPECT_NEAR(fine[1] / coarse[1], 0.5, 0.05);
}

TEST(Integrator, SubStepsFollowTheQuotientWithinABound) {
    // dt, tcalc, sub-steps per call, whether the bound bites (reported once). Two calls from rest, a
    // thrust of 2 along y set before the first: it acts through that call only and is cleared whatever
    // happens. 0.05 / 0.003 makes 16 sub-steps, not 17; a dt beyond tcalc, or no tcalc after a contact,
    // none; a dt of 0 or next to it, kSubStepMax.
    const std::tuple<double, double, int, bool> cases[] = {
        {0.005, 0.05, 10, false},         {0.003, 0.05, 16, false},       {0.06, 0.05, 0, false},
        {0.005, 0.0, 0, false},           {-0.005, 0.05, 0, false},       {std::nan(""), 0.05, 0, false},
        {HUGE_VAL, 0.05, 0, false},       {0.0, 0.05, kSubStepMax, true}, {1e-6, 0.05, kSubStepMax, true},
        {1e-300, 0.05, kSubStepMax, true}};
    for (const auto& [dt, calc, n, bound] : cases) {
        start(0.0, 5);
        std::tie(para_phy.dt, tcalc, py) = std::make_tuple(dt, calc, 2.0);
        testing::internal::CaptureStderr();
        nextD();
        EXPECT_EQ(py, 0.0) << dt;
        nextD();
        const std::string err = testing::internal::GetCapturedStderr();
        const double h = n ? dt : 0.0;
        EXPECT_NEAR(t, 2 * n * h, 1e-12) << dt;
        EXPECT_NEAR(Yp, 2.0 * n * h, 1e-12) << dt;
        EXPECT_EQ((V{double(it_t), y[5]}), (V{2, Y})) << dt;
        EXPECT_EQ(err.find("nextD: dt = ") == 0 && err.find("nextD", 5) == std::string::npos, bound) << err;
        EXPECT_EQ(err.empty(), !bound) << err;
    }
}

TEST(Integrator, HistoryKeepsTheStartAndTheLatestPositions) {
    start(0.0, 5);
    Yp = 1.0; // each call moves Y by 0.05
    nextD();
    for (int i = 1; i <= 5; i++)
        EXPECT_NEAR(y[i], 0.05, 1e-12) << i; // every slot from the newest on holds it
    for (int k = 2; k <= 6; k++)
        nextD();
    for (int i = 1; i <= 4; i++)
        EXPECT_NEAR(y[i], 0.05 * (i + 2), 1e-12) << i; // calls 3 to 6, oldest first
    EXPECT_EQ((V{y[0], y[5]}), (V{0.0, y[4]}));        // the start is kept; slot nx repeats the newest
    for (int k = 0; k < 50; k++)
        nextD();
    EXPECT_EQ(it_t, 5); // held at nx: a long run cannot overflow it
}

TEST(Outcome, TargetBoxPortWindowSpeedLimitAndLoss) {
    // Outcome before, position, speed, outcome after: docked; the speed limit is strict; beside or past
    // the port window; on the box's faces; at 100 not yet lost; a loss stays until a contact.
    const std::tuple<int, double, double, double, double, int> cases[] = {
        {0, 0.05, -1.45, 0.0, 0.11, 3}, {0, 0.05, -1.45, 0.0, 0.12, 2}, {0, 0.2, -1.45, 0.0, 0.0, 1},
        {0, 0.0, -1.35, 0.0, 0.01, 1},  {0, 0.0, -1.5, 0.0, 0.0, 0},    {0, 0.4, -1.0, 0.0, 0.0, 0},
        {0, 0.0, 1.0, -0.4, 0.0, 0},    {0, 0.0, -100.0, 0.0, 0.0, 0},  {0, 0.0, -100.000001, 0.0, 0.0, 4},
        {4, 0.0, -50.0, 0.0, 0.0, 4},   {4, 0.0, -1.45, 0.0, 0.05, 3}};
    for (const auto& [before, cx, cy, cz, v, after] : cases) {
        std::tie(coll, tcalc) = std::make_tuple(before, 0.05);
        collision(cx, cy, cz, 0.0, v, 0.0);
        EXPECT_EQ(coll, after) << cx << ", " << cy << ", " << cz << " at " << v;
        EXPECT_EQ(tcalc, after >= 1 && after <= 3 ? 0.0 : 0.05) << "only a contact stops the motion";
    }
}
