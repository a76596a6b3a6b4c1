// Own starts: a name read the same however a person or a platform writes it, a start drawn the same
// on every machine, within the spread, from which the planner docks; and the one score.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <set>

#include "plan.h"

namespace {

sim::ParaPhy scenario(double Z0) {
    sim::ParaPhy s;
    s.dt = 0.005, s.nx = 100, s.trois = 3, s.Omega = 0.25, s.Y0 = -10, s.Z0 = Z0, s.p = 1;
    return s;
}

} // namespace

TEST(OwnStart, NamesReadAlikeHoweverWritten) {
    const struct {
        const char* written;
        const char* read;
    } cases[] = {
        {"Élise Dupont", "elise dupont"},
        {"  ÉLISE   DUPONT ", "elise dupont"},
        {"Dupont, Élise", "elise dupont"},
        {"DUPONT,elise", "elise dupont"},
        {"Jean-Noël L'Hôte", "jean noel l hote"},
        {"Zoë Œuvray-Ærø", "zoe oeuvray aero"},
        {"Łukasz Żółć", "lukasz zolc"},
        {"Ĳsbrand Ğül", "ijsbrand gul"},
        {"", ""},
        {"\xff\xfe bad", "bad"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plan::normalName(c.written), c.read) << c.written;
}

TEST(OwnStart, DrawnTheSameWithinTheSpreadAndDockable) {
    // In the plane, out of it, and with no orbital rate (closing at 0.3, as the program's first scenario).
    sim::ParaPhy still = scenario(0);
    still.Omega = 0, still.Y0 = -20, still.Yp0 = 0.3, still.p = 2;
    for (const sim::ParaPhy& sc : {scenario(0), scenario(0.8), still}) {
        std::set<std::pair<double, double>> starts;
        for (const char* name : {"Élise Dupont", "Paul Martin", "Ana Silva", "Li Wei", "Sam Okafor"}) {
            const plan::OwnStart a = plan::ownStart(sc, 2.0, "orbite", name);
            ASSERT_GE(a.draw, 0) << name;
            // The same from the platform's way of writing the name, and again: bit for bit.
            const std::string n = name;
            const std::string platform = n.substr(n.find(' ') + 1) + ", " + n.substr(0, n.find(' '));
            const plan::OwnStart b = plan::ownStart(sc, 2.0, "orbite", platform);
            EXPECT_EQ(std::memcmp(&a.scenario, &b.scenario, sizeof a.scenario), 0) << name;
            for (const auto& [moved, from] : {std::pair{a.scenario.X0, sc.X0}, {a.scenario.Y0, sc.Y0}}) {
                EXPECT_LE(std::fabs(moved - from), 2.0 + 1e-12);
                EXPECT_EQ(std::round(moved * 1000.0) / 1000.0, moved) << "not a whole thousandth";
            }
            EXPECT_EQ(a.scenario.Z0 == sc.Z0, sc.Z0 == 0.0)
                << "an in-plane start left the plane, or not the other";
            if (sc.Omega == 0.0) {
                EXPECT_EQ(a.scenario.X0, sc.X0) << "off the axis with no orbit to bring it back";
            }
            EXPECT_EQ(a.scenario.Xp0, sc.Xp0);
            const sim::ParaPhy& s = a.scenario;
            const plan::Plan p = plan::planFrom(s, {0, s.X0, s.Y0, s.Z0, s.Xp0, s.Yp0, s.Zp0, sim::pcmax});
            EXPECT_EQ(p.outcome, 3);
            EXPECT_EQ(a.advised, sim::pcmax - p.reserve);
            starts.insert({a.scenario.X0, a.scenario.Y0});
        }
        EXPECT_EQ(starts.size(), 5u) << "names drew the same start";
        // Another code word, another class: other starts.
        EXPECT_NE(plan::ownStart(sc, 2.0, "soleil", "Paul Martin").scenario.Y0,
                  plan::ownStart(sc, 2.0, "orbite", "Paul Martin").scenario.Y0);
    }
    // No spread: the scenario's own start.
    const plan::OwnStart none = plan::ownStart(scenario(0), 0.0, "orbite", "Paul Martin");
    EXPECT_EQ(none.draw, 0);
    EXPECT_EQ(none.scenario.Y0, -10.0);
}

// Links sent to a class and flight files kept by a platform hold a start by its code word and name:
// the draw must not change from one build to the next.
TEST(OwnStart, KeepsTheDrawOfLinksAlreadySent) {
    const plan::OwnStart a = plan::ownStart(scenario(0), 2.0, "orbite", "Élise Dupont");
    EXPECT_EQ(a.draw, 0);
    EXPECT_EQ(a.scenario.X0, 1.02);
    EXPECT_EQ(a.scenario.Y0, -9.513);
}

TEST(Score, DockingFirstThenEconomy) {
    const struct {
        int outcome, used, advised, score;
    } cases[] = {
        {3, 15, 15, 100}, {3, 10, 15, 100}, {3, 30, 15, 80}, {3, 100, 15, 66}, {3, 40, 0, 84},
        {2, 10, 15, 20},  {1, 10, 15, 10},  {4, 10, 15, 0},  {0, 0, 15, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plan::score(c.outcome, c.used, c.advised), c.score) << c.outcome << " " << c.used;
    // Docked too fast is not docking: below the least docking.
    EXPECT_LT(plan::score(2, 0, 15), plan::score(3, 1000, 15));
}

// The class's check: how each flight stands against the exercise, worst first, with the advice of an own
// start the same as the flight's own.
TEST(OwnStart, ChecksAFlightAgainstTheExercise) {
    const sim::ParaPhy sc = scenario(0);
    const plan::Exercise own{sc, 2.0, "orbite"}, plain{sc, 0.0, ""};
    const plan::OwnStart elise = plan::ownStart(sc, 2.0, "orbite", "Élise Dupont");
    sim::Vol flown =
        plan::planFrom(elise.scenario, {0, elise.scenario.X0, elise.scenario.Y0, 0, 0, 0, 0, 100}).vol;
    flown.name = "Élise Dupont";
    EXPECT_EQ(plan::advised(flown), elise.advised);
    sim::Vol fromScenario = flown;
    fromScenario.head = sc;
    const auto with = [](sim::Vol f, const std::function<void(sim::Vol&)>& change) {
        change(f);
        return f;
    };
    const struct {
        const char* what;
        sim::Vol flight;
        bool conforms;
        plan::Exercise exercise;
        plan::Verdict verdict;
    } cases[] = {
        {"her own start", flown, true, own, plan::Verified},
        {"the code word written otherwise", flown, true, {sc, 2.0, " ORBITE "}, plan::Verified},
        {"an end that is not the replay's", flown, false, own, plan::Falsified},
        {"another's name", with(flown, [](sim::Vol& f) { f.name = "Paul Martin"; }), true, own,
         plan::OtherStart},
        {"another code word", flown, true, {sc, 2.0, "soleil"}, plan::OtherStart},
        {"another orbital rate", with(flown, [](sim::Vol& f) { f.head.Omega = 0.1; }), true, own,
         plan::OtherScenario},
        {"a larger reserve", with(flown, [](sim::Vol& f) { f.reserve = 150; }), true, own,
         plan::OtherScenario},
        {"a start moved where none is one's own", flown, true, plain, plan::OtherScenario},
        {"the scenario's start", fromScenario, true, plain, plan::Verified},
    };
    for (const auto& c : cases) {
        const plan::OwnStart drawn =
            c.exercise.code.empty() ? plan::OwnStart{}
                                    : plan::ownStart(sc, c.exercise.spread, c.exercise.code, c.flight.name);
        EXPECT_EQ(plan::checkFlight(c.flight, c.conforms, c.exercise, drawn), c.verdict) << c.what;
    }
}

TEST(OwnStart, SpreadsAsATeacherWritesThem) {
    const struct {
        const char* written;
        bool read;
        double spread;
    } cases[] = {{"2", true, 2.0},     {"1,5", true, 1.5}, {"0.25", true, 0.25},
                 {"50", true, 50.0},   {"-1", false, 0.0}, {"51", false, 0.0},
                 {"deux", false, 0.0}, {"", false, 0.0},   {"2 km", false, 0.0}};
    for (const auto& c : cases) {
        double spread = -9.0;
        EXPECT_EQ(plan::parseSpread(c.written, &spread), c.read) << c.written;
        if (c.read) {
            EXPECT_EQ(spread, c.spread) << c.written;
        }
    }
    // A spread no page would give moves no start: the scenario's own.
    for (const double wild : {-3.0, std::nan("")})
        EXPECT_EQ(plan::ownStart(scenario(0), wild, "orbite", "Paul Martin").scenario.Y0, -10.0);
}

// The platform grades what the class's check verifies, when a person flew it with the orbit as set.
TEST(Score, GradesOnlyThePersonsVerifiedFlights) {
    const sim::ParaPhy set = scenario(0);
    const plan::Exercise exercise{set, 0.0, ""};
    const struct {
        const char* what;
        double Y0, p;
        int reserve;
        char event; // done before call 5, after a press before call 1
        bool replayed, graded;
    } cases[] = {
        {"the scenario's own start", -10, 1, 100, sim::Down, false, true},
        {"the gauge's clamp", -10, 1, 100, 'v', false, true},
        {"another start", -9.999, 1, 100, sim::Down, false, false},
        {"a larger reserve", -10, 1, 1000, sim::Down, false, false},
        {"the orbit switched off", -10, 1, 100, 'o', false, false},
        {"the orbit switched on", -10, 1, 100, 'O', false, false},
        {"a flight replayed", -10, 1, 100, sim::Down, true, false},
    };
    for (const auto& c : cases) {
        sim::Vol v;
        v.head = set;
        v.head.Y0 = c.Y0, v.head.p = c.p;
        v.t0 = 12.5; // a reset keeps the clock: the time of the start is no part of it
        v.reserve = c.reserve;
        v.events = {{1, 12.5, sim::Up, 3}, {5, 12.7, c.event, 1}};
        v.replayed = c.replayed;
        EXPECT_EQ(plan::graded(v, exercise, plan::OwnStart{}), c.graded) << c.what;
    }
}
