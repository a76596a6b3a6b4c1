// The keyboard, mouse and menu handlers, called directly without a window, and the help page opener.
#include <gtest/gtest.h>

#include <GL/glut.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "app.h"
#include "render.h"
#include "sim.h"

using namespace sim;
namespace fs = std::filesystem;

namespace {
std::vector<std::string> opened; // paths given to the help opener while a test runs
void recordOpen(const char* path) {
    opened.emplace_back(path);
}

// Everything an input handler may write, to check that a key changed exactly what it should.
auto snapshot() {
    return std::make_tuple(look, rot, spin_x, spin_y, sdepth, help, sim::pause, slow, Omo, para_phy.Omega, px,
                           py, pz, pc, t, std::string(nomfichier), opened.size());
}

class Input : public ::testing::Test {
  protected:
    void SetUp() override {
        opened.clear();
        openHelp = recordOpen;
        nomfichier = "data/fo1.in"; // Omega 0.10
        ::testing::internal::CaptureStdout();
        raz();
        ::testing::internal::GetCapturedStdout();
        Omo = -1.0;
        look = 1;
        rot = 1;
        spin_x = -35.0f;
        spin_y = -45.0f;
        sdepth = 35.0f;
        old_x = old_y = 0;
        help = 0;
        sim::pause = 0;
        slow = 8;
        t = 0.0;
    }
    void TearDown() override { openHelp = openInBrowser; }

    // Runs f and returns what it printed.
    template <class F> static std::string printed(F f) {
        ::testing::internal::CaptureStdout();
        f();
        return ::testing::internal::GetCapturedStdout();
    }
    static void keys(const std::string& ks) {
        for (const char k : ks)
            Keyboard(static_cast<unsigned char>(k), 0, 0);
    }
};
} // namespace

// ---- Keyboard ----

TEST_F(Input, TogglesFlipBetweenTwoValues) {
    keys("p");
    EXPECT_EQ(sim::pause, 1);
    keys("p");
    EXPECT_EQ(sim::pause, 0);
    sim::pause = 5; // any value other than 0 counts as paused
    keys("p");
    EXPECT_EQ(sim::pause, 0);

    keys("l");
    EXPECT_EQ(look, 0);
    keys("l");
    EXPECT_EQ(look, 1);
    look = 7;
    keys("l");
    EXPECT_EQ(look, 0);
}

TEST_F(Input, HelpOpensThePageOnlyWhenSwitchedOn) {
    keys("h");
    EXPECT_EQ(help, 1);
    EXPECT_EQ(opened, std::vector<std::string>{"data/aide.html"});
    keys("h");
    EXPECT_EQ(help, 0);
    EXPECT_EQ(opened.size(), 1u);
    keys("h");
    EXPECT_EQ(help, 1);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Input, CameraKeys) {
    keys("t");
    EXPECT_EQ(rot, 0);
    EXPECT_EQ(spin_x, 0.0f);
    EXPECT_EQ(spin_y, 0.0f);
    EXPECT_EQ(look, 1); // t leaves the chaser view alone
    keys("r");
    EXPECT_EQ(rot, 1);
    keys("r");
    EXPECT_EQ(rot, 1); // set, not toggled

    keys("++-");
    EXPECT_EQ(sdepth, 37.0f);
    parsekey_special(GLUT_KEY_HOME, 0, 0);
    EXPECT_EQ(sdepth, 35.0f);
    parsekey_special(GLUT_KEY_END, 0, 0);
    parsekey_special(GLUT_KEY_END, 0, 0);
    EXPECT_EQ(sdepth, 39.0f);

    spin_x = 12.0f;
    spin_y = 3.0f;
    rot = 0;
    keys("v");
    EXPECT_EQ(std::make_tuple(look, rot, spin_x, spin_y, sdepth), std::make_tuple(0, 1, 0.0f, 0.0f, 50.0f));
}

TEST_F(Input, PaceStepsByTwoAndNeverGoesBelowOne) {
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        keys("S");
        seen.push_back(slow);
    }
    EXPECT_EQ(seen, (std::vector<int>{6, 4, 2, 1, 1}));
    keys("ss");
    EXPECT_EQ(slow, 5);
    slow = INT_MAX - 1;
    keys("s"); // would overflow
    EXPECT_EQ(slow, INT_MAX - 1);
    keys("S");
    EXPECT_EQ(slow, INT_MAX - 3);
}

TEST_F(Input, OrbitalRateSwitch) {
    keys("o");
    EXPECT_EQ(Omo, 0.10);
    EXPECT_EQ(para_phy.Omega, 0.0);
    keys("o"); // a second o keeps the saved rate
    EXPECT_EQ(Omo, 0.10);
    keys("O");
    EXPECT_EQ(para_phy.Omega, 0.10);
    EXPECT_EQ(Omo, -1.0);
    keys("O"); // nothing saved: nothing to put back
    EXPECT_EQ(para_phy.Omega, 0.10);

    keys("o");
    keys("k"); // k forgets the saved rate and reads the file's rate again
    EXPECT_EQ(Omo, -1.0);
    EXPECT_EQ(para_phy.Omega, 0.10);
    keys("o");
    EXPECT_EQ(Omo, 0.10);
}

TEST_F(Input, OrbitalRateSwitchStuckAtZeroUntilK) {
    nomfichier = "data/fo.in"; // Omega 0.00
    printed([] { keys("k"); });
    keys("o");
    EXPECT_EQ(Omo, 0.0);
    para_phy.Omega = 0.3; // neither key may touch it now
    keys("oO");
    EXPECT_EQ(Omo, 0.0);
    EXPECT_EQ(para_phy.Omega, 0.3);
    printed([] { keys("k"); });
    EXPECT_EQ(Omo, -1.0);
}

TEST_F(Input, KeysAreCaseSensitive) {
    const auto before = snapshot();
    keys("KPHLqfxz0 ");
    Keyboard(200, 0, 0);
    parsekey_special(GLUT_KEY_F1, 0, 0);
    parsekey_special(GLUT_KEY_INSERT, 0, 0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Input, KResetsTheRunButKeepsTimeAndView) {
    t = 12.5;
    X = 99.0;
    pc = 3;
    spin_x = 7.0f;
    EXPECT_EQ(printed([] { keys("k"); }), "fichier de donnees:   data/fo1.in!   \n");
    EXPECT_EQ(X, para_phy.X0);
    EXPECT_EQ(pc, 100);
    EXPECT_EQ(t, 12.5);
    EXPECT_EQ(spin_x, 7.0f);
    EXPECT_EQ(std::string(nomfichier), "data/fo1.in");
}

// ---- Thrusters ----

TEST_F(Input, ThrustersAssignTheirAxisAndSpendOneUnitEach) {
    para_phy.p = 2.0;
    const struct {
        int key;
        double* axis;
        double value;
    } table[] = {{GLUT_KEY_LEFT, &px, -2.0}, {GLUT_KEY_UP, &py, 2.0},      {GLUT_KEY_RIGHT, &px, 2.0},
                 {GLUT_KEY_DOWN, &py, -2.0}, {GLUT_KEY_PAGE_UP, &pz, 2.0}, {GLUT_KEY_PAGE_DOWN, &pz, -2.0}};
    int expected = 100;
    for (const auto& row : table) {
        parsekey_special(row.key, 0, 0);
        EXPECT_EQ(*row.axis, row.value) << row.key;
        EXPECT_EQ(pc, --expected) << row.key;
    }
    // Assigned, not added: presses on one axis before a step act as one.
    parsekey_special(GLUT_KEY_UP, 0, 0);
    parsekey_special(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(py, 2.0);
    EXPECT_EQ(pc, expected - 2);
}

TEST_F(Input, ThrustersSpendWhateverTheState) {
    sim::pause = 1;
    coll = 3;
    pc = 0;
    parsekey_special(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_EQ(px, para_phy.p); // the press that empties the reserve still has full thrust
    EXPECT_EQ(pc, -1);
    para_phy.p = 0.0; // what the gauge does at the next frame
    pc = 0;
    parsekey_special(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(px, 0.0);
    EXPECT_EQ(pc, -1);
    pc = INT_MIN; // the count never wraps round to a full reserve
    parsekey_special(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(pc, INT_MIN);
}

// ---- Quit ----

TEST(InputDeathTest, EscAndQSayGoodbyeMenuExitIsSilent) {
    EXPECT_EXIT(Keyboard(27, 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(Keyboard('Q', 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(setMain(7), ::testing::ExitedWithCode(0), "");
}

// ---- Mouse ----

TEST_F(Input, PressRecordsTheDragStartsFromIt) {
    mouseAt(100, 200);
    EXPECT_EQ(std::make_pair(old_x, old_y), std::make_pair(100, 200));
    EXPECT_EQ(spin_x, -35.0f); // a press alone does not move the view
    dragTo(110, 190);
    EXPECT_EQ(spin_x, -25.0f);
    EXPECT_EQ(spin_y, -55.0f);
    dragTo(400, 190);
    EXPECT_EQ(spin_x, 265.0f); // not wrapped
    EXPECT_EQ(std::make_pair(old_x, old_y), std::make_pair(400, 190));
    dragTo(INT_MIN, INT_MAX); // extreme positions do not overflow the difference
    EXPECT_EQ(old_x, INT_MIN);
}

// ---- Menus ----

TEST_F(Input, MainMenuCompleteReset) {
    nomfichier = "data/fo3.in";
    t = 4.0;
    look = 1;
    rot = 0;
    spin_x = spin_y = 1.0f;
    sdepth = 3.0f;
    keys("o");
    EXPECT_EQ(printed([] { setMain(0); }), "fichier de donnees:   data/fo.in!   \n");
    EXPECT_EQ(std::make_tuple(look, rot, spin_x, spin_y, sdepth),
              std::make_tuple(0, 1, -35.0f, -45.0f, 35.0f));
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(std::string(nomfichier), "data/fo.in");
    EXPECT_EQ(Omo, 0.10); // the saved rate survives
}

TEST_F(Input, MainMenuRunResetKeepsTheSavedRate) {
    t = 4.0;
    keys("o");
    EXPECT_EQ(printed([] { setMain(3); }), "fichier de donnees:   data/fo1.in!   \n");
    EXPECT_EQ(para_phy.Omega, 0.10); // the file's rate is in force
    EXPECT_EQ(Omo, 0.10);            // and still saved: o does nothing
    keys("o");
    EXPECT_EQ(para_phy.Omega, 0.10);
    EXPECT_EQ(t, 4.0);
}

TEST_F(Input, MainMenuViewEntriesDifferFromTheirKeys) {
    setMain(1); // r, and also the landscape view
    EXPECT_EQ(std::make_tuple(look, rot), std::make_tuple(0, 1));

    look = 1;
    setMain(2); // t sets both angles to 0 and leaves look alone
    EXPECT_EQ(std::make_tuple(look, rot, spin_x, spin_y), std::make_tuple(0, 0, 0.0f, 45.0f));

    look = 1;
    rot = 0;
    spin_x = 5.0f;
    sdepth = 1.0f;
    setMain(4); // the same as v
    EXPECT_EQ(std::make_tuple(look, rot, spin_x, spin_y, sdepth), std::make_tuple(0, 1, 0.0f, 0.0f, 50.0f));

    setMain(5); // the same as l
    EXPECT_EQ(look, 1);
    setMain(5);
    EXPECT_EQ(look, 0);
}

TEST_F(Input, MainMenuHelpIsTheKeyH) {
    setMain(6);
    EXPECT_EQ(help, 1);
    EXPECT_EQ(opened.size(), 1u);
    setMain(6);
    EXPECT_EQ(help, 0);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(Input, MenusIgnoreUnknownValues) {
    const auto before = snapshot();
    EXPECT_EQ(printed([] {
                  for (const int v : {-1, 8, 100, INT_MIN}) {
                      setMain(v);
                      M_menu_select(v);
                  }
                  M_menu_select(6);
              }),
              "");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Input, ScenarioMenuPrintsItsDigitThenReadsItsFile) {
    const char* files[] = {"data/fo.in",  "data/fo1.in", "data/fo2.in",
                           "data/fo3.in", "data/fo4.in", "data/fo5.in"};
    const double rates[] = {0.0, 0.10, 0.25, 0.25, 0.25, 0.25};
    t = 2.0;
    keys("o");
    for (int n = 0; n < 6; ++n) {
        std::ostringstream want;
        want << n << "\nfichier de donnees:   " << files[n] << "!   \n";
        EXPECT_EQ(printed([n] { M_menu_select(n); }), want.str());
        EXPECT_EQ(std::string(nomfichier), files[n]);
        EXPECT_EQ(para_phy.Omega, rates[n]);
        EXPECT_EQ(X, para_phy.X0);
    }
    // Entries 3 and 4 look alike in the menu but start from different places.
    M_menu_select(3);
    const double x3 = X;
    M_menu_select(4);
    EXPECT_NE(X, x3);
    EXPECT_EQ(t, 2.0);
    EXPECT_EQ(Omo, 0.10); // O now puts the earlier scenario's rate into this run
    keys("O");
    EXPECT_EQ(para_phy.Omega, 0.10);
}

// ---- The browser opener ----

namespace {
// Runs f with PATH set to dir alone.
template <class F> void withPath(const std::string& dir, F f) {
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", dir.c_str(), 1);
    f();
    setenv("PATH", saved.c_str(), 1);
}

fs::path scratchDir(const char* name) {
    const fs::path dir = fs::temp_directory_path() / (name + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

bool noChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}
} // namespace

TEST(HelpOpener, NoOpenerOnThePathIsHarmless) {
    const fs::path empty = scratchDir("no_opener_");
    withPath(empty.string(), [] {
        openInBrowser("data/aide.html");
        EXPECT_TRUE(noChildLeft());
        // The key still switches the help on.
        help = 0;
        toggleHelp();
        EXPECT_EQ(help, 1);
        help = 0;
    });
    fs::remove_all(empty);
}

TEST(HelpOpener, StartsTheDesktopOpenerWithoutWaitingOrAShell) {
    const fs::path dir = scratchDir("fake_opener_");
    const fs::path log = dir / "log";
    {
        // A slow opener that reports its arguments and where its output goes.
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\n"
               << "out=$(readlink /proc/$$/fd/1)\n"
               << "printf '%s|%s|%s\\n' \"$#\" \"$1\" \"$out\" > '" << log.string() << ".tmp'\nmv '"
               << log.string() << ".tmp' '" << log.string() << "'\nsleep 1\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);

    withPath(dir.string() + ":/usr/bin:/bin", [] {
        const auto start = std::chrono::steady_clock::now();
        openInBrowser("data/aide.html; touch pwned");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    });
    for (int i = 0; i < 100 && !fs::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string line;
    std::getline(std::ifstream(log), line);
    // One argument, absolute, passed through untouched: no shell ever parsed it.
    const std::string target = (fs::current_path() / "data/aide.html; touch pwned").string();
    EXPECT_EQ(line, "1|" + target + "|/dev/null");
    EXPECT_FALSE(fs::exists("pwned"));

    // Once the opener has ended, the next idle call collects it, paused or not.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sim::pause = 1;
    idleFunc();
    sim::pause = 0;
    EXPECT_TRUE(noChildLeft());
    fs::remove_all(dir);
}

TEST(HelpPage, IsAFrenchHtmlPageCoveringTheKeysAndRules) {
    std::ifstream in(std::string(SOURCE_DIR) + "/data/aide.html");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string page = text.str();
    for (const char* needed : {"<!DOCTYPE html>", "lang=\"fr\"", "charset=\"utf-8\"", "<svg", "0,12", "Omega",
                               "[Esc] Exit", "cas initiaux", "PageUp", "fo5.in", "kenavo"})
        EXPECT_NE(page.find(needed), std::string::npos) << needed;
}
