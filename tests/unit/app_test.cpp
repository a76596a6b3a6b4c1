// The input handlers called without a window, where keys and menus do more than set a value; the
// pacing of the idle loop; the help page opener.
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
// Keys in turn; "#n" is the main menu's value n, "@n" the scenario menu's. Returns what was printed.
std::string act(const std::string& keys) {
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
} // namespace

TEST(KeysAndMenus, OrbitalRateSwitch) {
    // Keys, then Omega and the saved rate before and after. o saves the rate only when nothing is
    // saved, O puts it back only when a positive one is; k forgets it, the menus' resets keep it.
    // Scenario 1 has the rate 0.10, scenario 2 0.25, scenario 0 none.
    const std::tuple<const char*, double, double, double, double> cases[] = {
        {"o", 0.1, -1, 0.0, 0.1},    {"oo", 0.1, -1, 0.0, 0.1},  {"oO", 0.1, -1, 0.1, -1},
        {"O", 0.1, -1, 0.1, -1},     {"o", 0.0, -1, 0.0, 0.0},   {"oO", 0.3, 0.0, 0.3, 0.0},
        {"k", 0.3, 0.0, 0.1, -1},    {"ok", 0.1, -1, 0.1, -1},   {"o#3", 0.1, -1, 0.1, 0.1},
        {"o#3o", 0.1, -1, 0.1, 0.1}, {"o@2O", 0.1, -1, 0.1, -1}, {"o#0", 0.1, -1, 0.0, 0.1}};
    for (const auto& [keys, omega, omo, omegaAfter, omoAfter] : cases) {
        act("@1");
        para_phy.Omega = omega;
        Omo = omo;
        act(keys);
        EXPECT_EQ(std::make_pair(para_phy.Omega, Omo), std::make_pair(omegaAfter, omoAfter))
            << keys << " from " << omega << ", " << omo;
    }
}

TEST(KeysAndMenus, TogglesAndPace) {
    // Any value but 0 counts as paused and as the landscape view; the pace steps by 2, floored at 1.
    const std::tuple<const char*, int*, int, int> cases[] = {
        {"p", &sim::pause, 0, 1}, {"p", &sim::pause, 5, 0},
        {"l", &look, 0, 1},       {"l", &look, 7, 0},
        {"#5", &look, 7, 0},      {"S", &slow, 8, 6},
        {"SSSS", &slow, 8, 1},    {"S", &slow, 1, 1},
        {"ss", &slow, 1, 5},      {"s", &slow, INT_MAX - 1, INT_MAX - 1}};
    for (const auto& [keys, value, before, after] : cases) {
        *value = before;
        act(keys);
        EXPECT_EQ(*value, after) << keys << " from " << before;
    }
}

TEST(KeysAndMenus, ValuesOutsideTheTablesDoNothing) {
    const auto state = [] {
        return std::make_tuple(look, rot, spin_x, spin_y, sdepth, help, sim::pause, slow, Omo, para_phy.Omega,
                               px, py, pz, pc, t, std::string(nomfichier));
    };
    act("@1");
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

TEST(Thrusters, SetTheirAxisAndSpendInEveryState) {
    // Paused, docked, with the reserve empty or the thrust cut: each press assigns its component and
    // spends one unit; only the count never wraps round to a full reserve.
    const std::tuple<int, double*, double> keys[] = {
        {GLUT_KEY_LEFT, &px, -1}, {GLUT_KEY_UP, &py, 1},      {GLUT_KEY_RIGHT, &px, 1},
        {GLUT_KEY_DOWN, &py, -1}, {GLUT_KEY_PAGE_UP, &pz, 1}, {GLUT_KEY_PAGE_DOWN, &pz, -1}};
    const std::tuple<int, int, int, double> states[] = {// pause, coll, pc, p
                                                        {0, 0, 100, 2.0},
                                                        {1, 0, 50, 2.0},
                                                        {0, 3, 7, 2.0},
                                                        {0, 0, 0, 2.0},
                                                        {0, 0, -1, 0.0}};
    for (const auto& [key, axis, sign] : keys)
        for (const auto& state : states) {
            std::tie(sim::pause, coll, pc, para_phy.p) = state;
            px = py = pz = 0.0;
            parsekey_special(key, 0, 0);
            parsekey_special(key, 0, 0); // assigned, not added
            EXPECT_EQ(*axis, sign * para_phy.p) << key;
            EXPECT_EQ(px * px + py * py + pz * pz, para_phy.p * para_phy.p) << key << ": one axis only";
            EXPECT_EQ(pc, std::get<2>(state) - 2) << key;
        }
    pc = INT_MIN;
    parsekey_special(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(pc, INT_MIN);
}

TEST(Mouse, DragStartsWhereThePressWas) {
    spin_x = spin_y = 0.0f;
    mouseAt(100, 200);
    EXPECT_EQ(spin_x, 0.0f); // a press alone does not turn the view
    dragTo(110, 190);
    EXPECT_EQ(std::make_pair(spin_x, spin_y), std::make_pair(10.0f, -10.0f));
    dragTo(INT_MIN, INT_MAX); // the difference of extreme positions does not overflow (UBSan watches)
    EXPECT_EQ(std::make_pair(old_x, old_y), std::make_pair(INT_MIN, INT_MAX));
}

TEST(Idle, OneIntegratorCallEverySlowRunningIdleCalls) {
    // The idle counter before, the pace, the pause, idle calls, integrator calls they make. A pause
    // holds the count, so the cadence goes on where it stopped (5 -> 8); a new pace takes effect at
    // its next multiple (10 -> 12 at pace 6); near INT_MAX the count folds without losing a beat.
    const std::tuple<int, int, int, int, int> cases[] = {{0, 8, 0, 7, 0},
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
    for (const auto& [from, pace, paused, calls, integrations] : cases) {
        para_phy = {0.005, 100}; // every integrator call shows as one more count in it_t
        x = y = z = std::vector<double>(101, 0.0);
        std::tie(it_t, tcalc, slow, sim::pause, it) = std::make_tuple(0, 0.05, pace, paused, from);
        for (int k = 0; k < calls; k++) {
            idleFunc();
            ASSERT_GE(it, 0);
        }
        EXPECT_EQ(it_t, integrations) << from << " at pace " << pace;
        EXPECT_EQ(it == from, paused == 1); // only a pause holds the count
    }
    sim::pause = 0;
}

TEST(HelpOpener, StartsTheDesktopOpenerWithoutWaitingOrAShell) {
    const fs::path dir = fs::temp_directory_path() / ("fake_opener_" + std::to_string(getpid()));
    const std::string log = (dir / "log").string();
    fs::create_directories(dir);
    // A slow opener that reports its arguments and where its output goes.
    std::ofstream(dir / "xdg-open")
        << "#!/bin/sh\nout=$(readlink /proc/$$/fd/1)\nprintf '%s|%s|%s\\n' \"$#\" "
        << "\"$1\" \"$out\" > '" << log << ".tmp'\nmv '" << log << ".tmp' '" << log << "'\nsleep 1\n";
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
