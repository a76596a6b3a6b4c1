// The record of a run, as the program fills it: flights flown through the real handlers (the keys,
// the menu's reset, the idle loop, and each frame's gauge and outcome rules), written, read back and
// replayed, must end where the live run ended, to the bit.
#include <gtest/gtest.h>

#include <GL/glut.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app.h"
#include "plan.h"
#include "sim.h"

using namespace sim;

namespace {

// What a frame does to the state: the gauge's clamp of the reserve, then the outcome rules.
void frame() {
    clampReserve();
    collision(X, Y, Z, Xp, Yp, Zp);
}

// Flies a script from a first reset of `scenario`, at pace 1 (an idle call is an integrator call).
// Words, blank separated, each with an optional count before it: U D L R P N the thrusters (P PageUp,
// N PageDown); o O k the keys; #3 the main menu's entry 3, @1 the scenario menu's 1; "." an idle call then a
// frame, as the desktop and the page alternate them; "i" an idle call alone; "f" a frame alone.
void fly(const std::string& scenario, const std::string& script) {
    static std::string keep;
    keep = scenario;
    nomfichier = keep.c_str();
    slow = 1, it = 0, sim::pause = 0, Omo = -1.0, t = 0.0;
    testing::internal::CaptureStdout();
    raz();
    size_t at = 0;
    while (at < script.size()) {
        while (at < script.size() && script[at] == ' ')
            at++;
        int n = 0;
        while (at < script.size() && script[at] >= '0' && script[at] <= '9')
            n = n * 10 + (script[at++] - '0');
        if (at >= script.size())
            break;
        const char c = script[at++];
        for (int k = 0; k < (n ? n : 1); k++) {
            const char* const thrusters = "UDLRPN";
            const int keys[] = {GLUT_KEY_UP,    GLUT_KEY_DOWN,    GLUT_KEY_LEFT,
                                GLUT_KEY_RIGHT, GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN};
            if (const char* key = std::strchr(thrusters, c))
                parsekey_special(keys[key - thrusters], 0, 0);
            else if (c == 'o' || c == 'O' || c == 'k')
                Keyboard(static_cast<unsigned char>(c), 0, 0);
            else if (c == '#' || c == '@')
                (c == '#' ? setMain : M_menu_select)(script[at] - '0');
            if (c == '.' || c == 'i')
                idleFunc();
            if (c == '.' || c == 'f')
                frame();
        }
        at += c == '#' || c == '@';
    }
    testing::internal::GetCapturedStdout();
}

std::string file(const char* name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

std::string scenarioText(const char* start) {
    return std::string("dt=0.005\nnx=50\ntrois=3.0\nOmega=0.25\n") + start + "p=1.0\n";
}

} // namespace

TEST(FlightRecord, ReplaysEndWhereTheLiveRunEnded) {
    const std::string orbit = std::string(SOURCE_DIR) + "/data/fo2.in";
    // Near the port, closing at 0.05 with no orbit: docked after about 30 time units.
    const std::string port =
        file("port.in", "dt=0.005\nnx=50\ntrois=3.0\nOmega=0.0\nX0=0.0\nY0=-3.0\nZ0=0.0\n"
                        "Xp0=0.0\nYp0=0.05\nZp0=0.0\np=1.0\n");
    // Inside the target's box: a frame before the first call stops it there, a first call before any
    // frame (the page's idle comes first) moves it once.
    const std::string inside =
        file("inside.in", scenarioText("X0=0.0\nY0=-1.0\nZ0=0.0\nXp0=0.0\nYp0=0.3\nZp0=0.0\n"));
    const struct {
        const char* name;
        const std::string& scenario;
        const char* script;
    } cases[] = {
        {"up then down before one call", orbit, "f 10. U D 30."},
        {"down then up before one call", orbit, "f 10. D U 30."},
        {"the reserve run dry, a frame between the last presses", orbit, "f 100U . U f U 20."},
        {"the reserve run dry, no frame between them", orbit, "f 100U . U U 20."},
        {"o then O", orbit, "f 20. o 20. L 10. O 20."},
        {"o alone", orbit, "f 20. o 20. L 30."},
        {"a reset by k mid-flight, then more flight", orbit, "f 30. U 10. o 5. k f 20. D 3U 10."},
        {"the menu's reset keeps the rate saved by o", orbit, "f 5. o 5. #3 f 5. O 20."},
        {"a rate saved by o brought to another scenario", orbit, "f 5. o 5. @1 f 5. O L 20."},
        {"the other scenario with its own rate", orbit, "f 5. o 5. @1 f 5. L 20."},
        {"presses after a docking", port, "f 700. U U L 5. N"},
        {"presses after the last call", orbit, "f 20. U D N"},
        {"a start judged by a frame", inside, "f 5."},
        {"a start not judged before the first call", inside, "i f 5."},
    };
    std::vector<VolEnd> ends;
    for (const auto& c : cases) {
        fly(c.scenario, c.script);
        const VolEnd live = volEnd();
        ends.push_back(live);
        const std::string text = writeVol(vol, live);
        Vol read;
        VolEnd said;
        VolFault fault;
        ASSERT_TRUE(readVol(text, &read, &said, &fault))
            << c.name << ": " << volErrorName(fault.code) << " at line " << fault.line << "\n"
            << text;
        EXPECT_EQ(writeVol(read, said), text) << c.name; // the flight as written reads back the same
        const VolEnd replayed = replayVol(read, said.calls);
        EXPECT_TRUE(sameEnd(replayed, live)) << c.name << "\n"
                                             << text << "replayed: " << writeVol(read, replayed);
        // The replay holds the live run and gives it back whole; it replays the live record itself too.
        EXPECT_TRUE(sameEnd(volEnd(), live)) << c.name;
        EXPECT_TRUE(sameEnd(replayVol(vol, live.calls), live)) << c.name;
    }
    // Each pair shows that what its cases differ in reaches the end, so that the replay had to get it
    // right: the order of the presses, where the frames fell, the switch back, the rate a reset kept,
    // the start's judgement.
    for (const auto& [a, b] : {std::pair{0, 1}, {2, 3}, {4, 5}, {8, 9}, {12, 13}})
        EXPECT_FALSE(sameEnd(ends[a], ends[b])) << cases[a].name << " / " << cases[b].name;
    EXPECT_EQ(ends[10].coll, 3);
    EXPECT_EQ(ends[10].reserve, 96); // the presses after the docking still spent the reserve
    EXPECT_EQ(ends[11].reserve, 97); // and so did those no call took yet
    EXPECT_EQ(ends[6].calls, 30);    // the record starts at the reset
}

TEST(FlightRecord, TrialFlightsLeaveTheLiveRunAndItsRecordAlone) {
    // Without an orbit, 'o' saves a rate of 0, which neither 'o' nor 'O' changes again: a saved rate
    // that the planner's resets (which forget it) must not touch.
    fly(std::string(SOURCE_DIR) + "/data/fo.in", "f 10. o 5. U");
    const std::string before = writeVol(vol, volEnd());
    const std::vector<double> trail = y;
    const plan::Plan p = plan::planFrom(para_phy, {t, X, Y, Z, Xp, Yp, Zp, pc});
    Vol read;
    VolEnd said;
    VolFault fault;
    ASSERT_TRUE(readVol(before, &read, &said, &fault));
    replayVol(read, said.calls);
    ASSERT_EQ(p.outcome, 3);
    EXPECT_FALSE(p.vol.events.empty()); // the planner flew, and recorded its own flight apart
    // From the live record's own head, which the planner's hold puts aside, as the deck's score asks.
    const ParaPhy head = vol.head;
    const plan::Moment start{vol.t0, head.X0, head.Y0, head.Z0, head.Xp0, head.Yp0, head.Zp0, vol.reserve};
    const plan::Plan fromRecord = plan::planFrom(vol.head, start);
    EXPECT_EQ(fromRecord.outcome, 3);
    EXPECT_EQ(fromRecord.reserve, plan::planFrom(head, start).reserve);
    EXPECT_EQ(writeVol(vol, volEnd()), before);
    EXPECT_EQ(y, trail);
    EXPECT_EQ(Omo, 0.0);
    // The live flight started again from its own head: at its start, with its name.
    vol.name = "Alice";
    razFlight(vol);
    EXPECT_EQ((std::vector<double>{t, Y, Yp, double(pc), double(calls)}),
              (std::vector<double>{read.t0, read.head.Y0, read.head.Yp0, double(read.reserve), 0.0}));
    EXPECT_EQ(vol.name, "Alice");
}
