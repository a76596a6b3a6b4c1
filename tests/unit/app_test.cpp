// The input handlers called without a window, where keys and menus do more than set a value; the
// pacing of the idle loop; the help page opener.
#include <gtest/gtest.h>

#include <GL/glut.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

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
    // Keys, then Omega and the saved rate before and after: o saves only when nothing is saved, O puts
    // back only a positive rate, k forgets it, the menus keep it. Scenario 1's rate is 0.10, 2's 0.25.
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
    EXPECT_EQ(act("KPHLqfxz0 \xc8#8#9@6@9"), ""); // keys are compared by their exact code
    for (const int v : {-1, INT_MIN}) {
        setMain(v);
        M_menu_select(v);
    }
    for (const int key : {GLUT_KEY_F1, GLUT_KEY_INSERT})
        parsekey_special(key, 0, 0);
    EXPECT_EQ(state(), before);
}

TEST(Thrusters, SetTheirAxisAndSpendInEveryState) {
    // Running, paused, docked, with the reserve empty or the thrust cut (pause, coll, pc, p): each
    // press assigns its component and spends one unit; the count never wraps round to a full reserve.
    const std::tuple<int, double*, double> keys[] = {
        {GLUT_KEY_LEFT, &px, -1}, {GLUT_KEY_UP, &py, 1},      {GLUT_KEY_RIGHT, &px, 1},
        {GLUT_KEY_DOWN, &py, -1}, {GLUT_KEY_PAGE_UP, &pz, 1}, {GLUT_KEY_PAGE_DOWN, &pz, -1}};
    const std::tuple<int, int, int, double> states[] = {
        {0, 0, 100, 2.0}, {1, 0, 50, 2.0}, {0, 3, 7, 2.0}, {0, 0, 0, 2.0}, {0, 0, -1, 0.0}};
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
    mouseAt(100, 200); // a press alone does not turn the view
    dragTo(110, 190);
    EXPECT_EQ(std::make_pair(spin_x, spin_y), std::make_pair(10.0f, -10.0f));
    dragTo(INT_MIN, INT_MAX); // the difference of extreme positions does not overflow (UBSan watches)
}

TEST(Idle, OneIntegratorCallEverySlowRunningIdleCalls) {
    // Idle counter before, pace, pause, idle calls, integrator calls made. A pause holds the count (5 -> 8
    // after it); a new pace acts at its next multiple (10 -> 12); near INT_MAX the count folds in step.
    std::vector<std::tuple<int, int, int, int, int>> cases = {
        {0, 8, 0, 7, 0}, {0, 8, 0, 8, 1}, {0, 8, 0, 24, 3}, {5, 8, 1, 50, 0},
        {5, 8, 0, 2, 0}, {5, 8, 0, 3, 1}, {10, 6, 0, 1, 0}, {10, 6, 0, 2, 1}};
    for (const int pace : {1, 3, 8, 7919})
        cases.push_back({INT_MAX - 2 * pace - 1, pace, 0, 10 * pace, 10});
    for (const auto& [from, pace, paused, calls, integrations] : cases) {
        para_phy = {0.005, 100}; // every integrator call shows as one more count in it_t
        x = y = z = std::vector<double>(101, 0.0);
        std::tie(it_t, tcalc, slow, sim::pause, it) = std::make_tuple(0, 0.05, pace, paused, from);
        for (int k = 0; k < calls; k++)
            idleFunc();
        ASSERT_GE(it, 0); // never wrapped round
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
    fs::remove_all(dir);
}
