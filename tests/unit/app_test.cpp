// The input handlers called without a window: where keys and menus do more than set a value, the
// pacing of the idle loop, and the help page opener.
#include <gtest/gtest.h>

#include <GL/glut.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>

#include "app.h"
#include "render.h"
#include "sim.h"

using namespace sim;
namespace fs = std::filesystem;

namespace {
int opened = 0; // help pages opened while a test runs

class Input : public ::testing::Test {
  protected:
    void SetUp() override {
        openHelp = [](const char*) { opened++; };
        act("@1"); // scenario 1: Omega 0.10
        Omo = -1.0;
        look = rot = 1;
        spin_x = -35.0f;
        spin_y = -45.0f;
        sdepth = 35.0f;
        old_x = old_y = help = sim::pause = 0;
        slow = 8;
        t = 0.0;
    }
    void TearDown() override { openHelp = openInBrowser; }

    // Keys in turn; "#n" is the main menu's value n, "@n" the scenario menu's. Returns what was printed.
    static std::string act(const std::string& keys) {
        testing::internal::CaptureStdout();
        for (size_t i = 0; i < keys.size(); i++) {
            const char k = keys[i];
            if (k == '#' || k == '@')
                (k == '#' ? setMain : M_menu_select)(keys[++i] - '0');
            else
                Keyboard(static_cast<unsigned char>(k), 0, 0);
        }
        return testing::internal::GetCapturedStdout();
    }
};
} // namespace

TEST_F(Input, OrbitalRateSwitchAcrossKeysAndMenus) {
    // o saves the rate only when nothing is saved, O puts it back only when a positive one is; k
    // forgets it, the menus' resets keep it. Scenario 1 has the rate 0.10, scenario 2 0.25, 0 none.
    const struct {
        const char* keys;
        double omega, omo, omegaAfter, omoAfter;
    } cases[] = {{"o", 0.1, -1, 0.0, 0.1},    {"oo", 0.1, -1, 0.0, 0.1},  {"oO", 0.1, -1, 0.1, -1},
                 {"O", 0.1, -1, 0.1, -1},     {"o", 0.0, -1, 0.0, 0.0},   {"oO", 0.3, 0.0, 0.3, 0.0},
                 {"k", 0.3, 0.0, 0.1, -1},    {"ok", 0.1, -1, 0.1, -1},   {"o#3", 0.1, -1, 0.1, 0.1},
                 {"o#3o", 0.1, -1, 0.1, 0.1}, {"o@2O", 0.1, -1, 0.1, -1}, {"o#0", 0.1, -1, 0.0, 0.1}};
    for (const auto& c : cases) {
        act("@1");
        para_phy.Omega = c.omega;
        Omo = c.omo;
        act(c.keys);
        EXPECT_EQ(para_phy.Omega, c.omegaAfter) << c.keys << " from " << c.omega << ", " << c.omo;
        EXPECT_EQ(Omo, c.omoAfter) << c.keys << " from " << c.omega << ", " << c.omo;
    }
}

TEST_F(Input, TogglesAndPace) {
    // Any value but 0 counts as paused and as the landscape view; the pace steps by 2, floored at 1.
    const struct {
        const char* keys;
        int* value;
        int before, after;
    } cases[] = {{"p", &sim::pause, 0, 1}, {"p", &sim::pause, 5, 0},
                 {"l", &look, 0, 1},       {"l", &look, 7, 0},
                 {"#5", &look, 7, 0},      {"S", &slow, 8, 6},
                 {"SSSS", &slow, 8, 1},    {"S", &slow, 1, 1},
                 {"ss", &slow, 1, 5},      {"s", &slow, INT_MAX - 1, INT_MAX - 1}};
    for (const auto& c : cases) {
        *c.value = c.before;
        act(c.keys);
        EXPECT_EQ(*c.value, c.after) << c.keys << " from " << c.before;
    }
}

TEST_F(Input, ThrustersSetTheirAxisAndSpendInEveryState) {
    // Paused, docked, with the reserve empty or the thrust cut: each press assigns its component and
    // spends one unit; only the count never wraps round to a full reserve.
    const struct {
        int key;
        double* axis;
        double sign;
    } keys[] = {{GLUT_KEY_LEFT, &px, -1}, {GLUT_KEY_UP, &py, 1},      {GLUT_KEY_RIGHT, &px, 1},
                {GLUT_KEY_DOWN, &py, -1}, {GLUT_KEY_PAGE_UP, &pz, 1}, {GLUT_KEY_PAGE_DOWN, &pz, -1}};
    const struct {
        int pause, coll, pc;
        double p;
    } states[] = {{0, 0, 100, 2.0}, {1, 0, 50, 2.0}, {0, 3, 7, 2.0}, {0, 0, 0, 2.0}, {0, 0, -1, 0.0}};
    for (const auto& k : keys)
        for (const auto& s : states) {
            std::tie(sim::pause, coll, pc, para_phy.p) = std::tie(s.pause, s.coll, s.pc, s.p);
            px = py = pz = 0.0;
            parsekey_special(k.key, 0, 0);
            parsekey_special(k.key, 0, 0); // assigned, not added
            EXPECT_EQ(*k.axis, k.sign * s.p) << k.key;
            EXPECT_EQ(px * px + py * py + pz * pz, s.p * s.p) << k.key << ": one axis only";
            EXPECT_EQ(pc, s.pc - 2) << k.key;
        }
    pc = INT_MIN;
    parsekey_special(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(pc, INT_MIN);
}

TEST_F(Input, KeysAndMenuValuesOutsideTheTablesDoNothing) {
    const auto state = [] {
        return std::make_tuple(look, rot, spin_x, spin_y, sdepth, help, sim::pause, slow, Omo, para_phy.Omega,
                               px, py, pz, pc, t, std::string(nomfichier), opened);
    };
    const auto before = state();
    EXPECT_EQ(act("KPHLqfxz0 #8#9@6@9"), ""); // keys are compared by their exact code
    Keyboard(200, 0, 0);
    for (const int v : {-1, INT_MIN}) {
        setMain(v);
        M_menu_select(v);
    }
    parsekey_special(GLUT_KEY_F1, 0, 0);
    parsekey_special(GLUT_KEY_INSERT, 0, 0);
    EXPECT_EQ(state(), before);
}

TEST_F(Input, MenusResetTheRunAndTheView) {
    t = 2.0;
    for (int n = 0; n < 6; n++) {
        const std::string file = "data/fo" + (n ? std::to_string(n) : "") + ".in";
        EXPECT_EQ(act("@" + std::to_string(n)),
                  std::to_string(n) + "\nfichier de donnees:   " + file + "!   \n");
    }
    EXPECT_EQ(t, 2.0); // a scenario choice keeps the time; the complete reset alone sets it to 0
    EXPECT_EQ(act("#3"), "fichier de donnees:   data/fo5.in!   \n");
    look = rot = 1;
    spin_x = spin_y = sdepth = 1.0f;
    EXPECT_EQ(act("#0"), "fichier de donnees:   data/fo.in!   \n");
    EXPECT_EQ(std::make_tuple(t, look, rot, spin_x, spin_y, sdepth),
              std::make_tuple(0.0, 0, 1, -35.0f, -45.0f, 35.0f));
    // Unlike their keys r and t, the menu's view entries also leave the chaser view.
    look = 1;
    act("#1");
    EXPECT_EQ(std::make_tuple(look, rot), std::make_tuple(0, 1));
    look = 1;
    act("#2");
    EXPECT_EQ(std::make_tuple(look, rot, spin_x, spin_y), std::make_tuple(0, 0, 0.0f, 45.0f));
}

TEST_F(Input, DragStartsWhereThePressWas) {
    mouseAt(100, 200);
    EXPECT_EQ(spin_x, -35.0f); // a press alone does not turn the view
    dragTo(110, 190);
    EXPECT_EQ(std::make_pair(spin_x, spin_y), std::make_pair(-25.0f, -55.0f));
    dragTo(INT_MIN, INT_MAX); // the difference of extreme positions does not overflow (UBSan watches)
    EXPECT_EQ(std::make_pair(old_x, old_y), std::make_pair(INT_MIN, INT_MAX));
}

// ---- Idle pacing ----

TEST(Idle, OneIntegratorCallEverySlowRunningIdleCalls) {
    // From the counter `it` at `from`: integrator calls made by `calls` idle calls. A pause holds the
    // count, so the cadence goes on where it stopped (5 -> 8); a new pace takes effect at its next
    // multiple (10 -> 12 at pace 6); near INT_MAX the count folds without losing a beat.
    const struct {
        int from, slow, pause, calls, integrations;
    } cases[] = {{0, 8, 0, 7, 0},
                 {0, 8, 0, 8, 1},
                 {0, 8, 0, 24, 3},
                 {5, 8, 1, 50, 0},
                 {5, 8, 0, 2, 0},
                 {5, 8, 0, 3, 1},
                 {10, 6, 0, 1, 0},
                 {10, 6, 0, 2, 1},
                 {INT_MAX - 3, 1, 0, 10, 10},
                 {INT_MAX - 7, 3, 0, 30, 10},
                 {INT_MAX - 17, 8, 0, 80, 10},
                 {INT_MAX - 15839, 7919, 0, 79190, 10}};
    for (const auto& c : cases) {
        para_phy = {0.005, 100}; // every integrator call shows as one more count in it_t
        x.assign(101, 0.0);
        y = z = x;
        it_t = 0;
        tcalc = 0.05;
        slow = c.slow;
        sim::pause = c.pause;
        it = c.from;
        for (int k = 0; k < c.calls; k++) {
            idleFunc();
            ASSERT_GE(it, 0);
        }
        EXPECT_EQ(it_t, c.integrations) << c.from << " at pace " << c.slow;
        EXPECT_EQ(it == c.from, c.pause == 1); // only a pause holds the count
    }
    sim::pause = 0;
}

// ---- The help page opener ----

TEST(HelpOpener, StartsTheDesktopOpenerWithoutWaitingOrAShell) {
    const fs::path dir = fs::temp_directory_path() / ("fake_opener_" + std::to_string(getpid()));
    const fs::path log = dir / "log";
    fs::create_directories(dir);
    // A slow opener that reports its arguments and where its output goes.
    std::ofstream(dir / "xdg-open")
        << "#!/bin/sh\nout=$(readlink /proc/$$/fd/1)\nprintf '%s|%s|%s\\n' \"$#\" \"$1\" \"$out\" > '"
        << log.string() << ".tmp'\nmv '" << log.string() << ".tmp' '" << log.string() << "'\nsleep 1\n";
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (dir.string() + ":/usr/bin:/bin").c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    openInBrowser("data/aide.html; touch pwned");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    setenv("PATH", path.c_str(), 1);
    for (int i = 0; i < 100 && !fs::exists(log); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string line;
    std::getline(std::ifstream(log), line);
    // One argument, absolute, passed through untouched: no shell ever parsed it.
    EXPECT_EQ(line, "1|" + (fs::current_path() / "data/aide.html; touch pwned").string() + "|/dev/null");
    EXPECT_FALSE(fs::exists("pwned"));

    // Once the opener has ended, the next idle call collects it, paused or not.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sim::pause = 1;
    idleFunc();
    sim::pause = 0;
    EXPECT_TRUE(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD);
    fs::remove_all(dir);
}
