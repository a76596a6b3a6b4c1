// The flight file: what a person may write in one, the records refused with their fault, and the rule
// of the reserve's clamp in a flight that says nothing of frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim.h"

using namespace sim;

namespace {

// A flight written by hand: no orbit, so that one pulse of a call is easily told.
const std::string kHand =
    "# vol rendez-vous 1\n"
    "dt=0.005\nnx=1500\ntrois=3\nOmega=0\nX0=0\nY0=-10\nZ0=0\nXp0=0\nYp0=0\nZp0=0\np=1\n"
    "temps=0\nOmo=-1\nreserve=100\nnom: Alice\nnote 0.000 départ\n"
    "0.000 1 Down 2\n0.500 11 o\nfin 20\n";

// The hand-written flight sealed by its replay: its "fin" line is then whole (line 20).
std::string sealed(const std::string& text = kHand) {
    Vol f;
    VolEnd end;
    VolFault fault;
    EXPECT_TRUE(readVol(text, &f, &end, &fault, true)) << volErrorName(fault.code) << " at " << fault.line;
    return writeVol(f, replayVol(f, end.calls));
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

} // namespace

TEST(FlightFile, ReadsWhatAPersonWritesAsTheWriterWritesIt) {
    const std::string canonical = sealed();
    Vol f;
    VolEnd end;
    VolFault fault;
    ASSERT_TRUE(readVol(canonical, &f, &end, &fault)) << volErrorName(fault.code) << " at " << fault.line;
    EXPECT_EQ(
        (std::vector<long long>{end.calls, end.coll, f.reserve, static_cast<long long>(f.events.size())}),
        (std::vector<long long>{20, 0, 100, 2}));
    // A byte-order mark and CR LF from a Windows editor; a comment and blank lines before the items and
    // between the lines; the items on one line; the head's lines in another order, some left out.
    std::string windows = "\xEF\xBB\xBF";
    for (const char c : canonical)
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string loose = replaced(
        replaced(replaced(canonical, "\ndt=0.005\nnx=1500\n", "\n# cas simple\n\ndt=0.005 nx=1500\n"),
                 "temps=0\nOmo=-1\nreserve=100\nnom: Alice\n", "nom:   Alice  \n\n"),
        "0.500 11 o", "# l'orbite coupée\n0.500   11\to");
    for (const std::string& text : {windows, loose}) {
        Vol g;
        VolEnd e;
        ASSERT_TRUE(readVol(text, &g, &e, &fault)) << volErrorName(fault.code) << " at " << fault.line << "\n"
                                                   << text;
        EXPECT_EQ(writeVol(g, e), canonical);
    }
    // The code word of a start of one's own, between the name and the scenario as the writer puts it.
    ASSERT_TRUE(
        readVol(replaced(canonical, "nom: Alice\n", "code:  orbite \nnom: Alice\n"), &f, &end, &fault));
    EXPECT_EQ(writeVol(f, end), replaced(canonical, "nom: Alice\n", "nom: Alice\ncode: orbite\n"));
    // Sealing needs the calls of "fin" alone; a plain reading, the whole end.
    EXPECT_FALSE(readVol(kHand, &f, &end, &fault));
    EXPECT_EQ(std::make_pair(fault.code, fault.line), std::make_pair(VolBadEnd, size_t{20}));
}

TEST(FlightFile, RecordsThatCannotBeFlightsAreRefusedWithTheirLine) {
    const std::string good = sealed();
    std::string presses;
    for (int i = 0; i < 11; i++)
        presses += "0.000 1 Up 1000000\n";
    const struct {
        const char* name;
        std::string text;
        VolError code;
        size_t line;
        const char* detail;
    } cases[] = {
        {"lines after fin", good + "0.600 12 Up 1\n", VolAfterEnd, 21, "0.600"},
        {"a call before the line above's", replaced(good, "1 Down 2\n0.500 11", "5 Down 2\n0.500 4"),
         VolCallOrder, 19, "4"},
        {"call 0", replaced(good, "0.000 1 Down", "0.000 0 Down"), VolCallOrder, 18, "0"},
        {"a key it does not know", replaced(good, "Down 2", "Dwn 2"), VolUnknownKey, 18, "Dwn"},
        {"a count of 0", replaced(good, "Down 2", "Down 0"), VolBadCount, 18, "0"},
        {"a count past the bound", replaced(good, "Down 2", "Down 1000001"), VolBadCount, 18, "1000001"},
        {"a count missing", replaced(good, "Down 2", "Down"), VolBadCount, 18, ""},
        {"calls past any flight", replaced(good, "fin 20", "fin 2000001"), VolTooLong, 20, "2000001"},
        {"a call past any flight", replaced(good, "0.500 11", "0.500 99999999999"), VolTooLong, 19,
         "99999999999"},
        {"a call past the end", replaced(good, "0.500 11", "0.500 22"), VolCallPastEnd, 19, "22"},
        {"presses past any flight", replaced(good, "0.000 1 Down 2\n", presses), VolTooLong, 28, "1000000"},
        {"sub-steps past any flight",
         replaced(replaced(good, "dt=0.005", "dt=0.00001"), "fin 20", "fin 30000"), VolTooLong, 20, "30000"},
        {"an item missing", replaced(good, "Omega=0\n", ""), VolHeadItem, 5, "Omega"},
        {"an item not finite", replaced(good, "p=1\n", "p=inf\n"), VolHeadItem, 12, "p"},
        {"an item not a number", replaced(good, "Y0=-10", "Y0=-1O"), VolHeadItem, 7, "Y0"},
        {"nx out of bounds", replaced(good, "nx=1500", "nx=1"), VolNx, 3, "nx"},
        {"dt not above 0", replaced(good, "dt=0.005", "dt=0"), VolDtNotPositive, 2, "dt"},
        {"dt too small", replaced(good, "dt=0.005", "dt=1e-7"), VolDtTooSmall, 2, "dt"},
        {"dt longer than a call", replaced(good, "dt=0.005", "dt=0.06"), VolDtTooLong, 2, "dt"},
        {"over 256 KiB", replaced(good, "nom: Alice", "nom: " + std::string(kVolBytesMax, 'a')), VolTooLarge,
         0, ""},
        {"a control character", replaced(good, "Alice", "Al\x01ice"), VolNotText, 16, ""},
        {"Latin-1, not UTF-8", replaced(good, "d\xC3\xA9part", "d\xE9part"), VolNotText, 17, ""},
        {"an overlong UTF-8 form", replaced(good, "Alice", "Al\xC0\xAFice"), VolNotText, 16, ""},
        {"a C1 control", replaced(good, "Alice", "Al\xC2\x85ice"), VolNotText, 16, ""},
        {"another first line", replaced(good, "rendez-vous 1", "rendez-vous 2"), VolNotFlight, 1, ""},
        {"no fin", replaced(good, "fin 20", "# fin 20"), VolNoEnd, 20, ""},
        {"an outcome it does not know", replaced(good, "en-vol", "envol"), VolBadEnd, 20, "envol"},
        {"a number missing from fin", good.substr(0, good.rfind(' ')) + "\n", VolBadEnd, 20, ""},
        {"a head line twice", replaced(good, "nom: Alice", "nom: Alice\nnom: Bob"), VolHeadTwice, 17, "nom:"},
        {"a head line after the presses", replaced(good, "0.500 11 o", "0.500 11 o\ntemps=3"), VolHeadLate,
         20, "temps"},
        {"a time that is no number", replaced(good, "0.500 11", "0.5x 11"), VolBadNumber, 19, "0.5x"},
        {"a reserve below 0", replaced(good, "reserve=100", "reserve=-1"), VolBadNumber, 15, "-1"},
        {"a line it does not know", replaced(good, "0.500 11 o", "hello 11 o"), VolBadLine, 19, "hello"},
    };
    for (const auto& c : cases) {
        Vol f;
        VolEnd end;
        VolFault fault;
        EXPECT_FALSE(readVol(c.text, &f, &end, &fault)) << c.name;
        EXPECT_EQ(std::make_pair(fault.code, fault.line), std::make_pair(c.code, c.line))
            << c.name << ": " << volErrorName(fault.code) << " " << fault.detail;
        if (*c.detail) {
            EXPECT_EQ(fault.detail, c.detail) << c.name;
        }
    }
}

TEST(FlightFile, WithoutFramesTheReserveIsClampedBeforeEachCall) {
    // 101 presses of Up before call 1 overdraw the reserve, one more comes before call 2. A flight that
    // says nothing of frames clamps before each call, so the last press gives no thrust; a recorded
    // flight ("images") clamps only where its "vide" lines say.
    const std::string hand =
        "# vol rendez-vous 1\n"
        "dt=0.005\nnx=1500\ntrois=3\nOmega=0\nX0=0\nY0=-10\nZ0=0\nXp0=0\nYp0=0\nZp0=0\np=1\n"
        "0.000 1 Up 101\n0.050 2 Up 1\nfin 3\n";
    const double pulse = 10 * 0.005; // p times one call's sub-steps
    for (const auto& [text, pulses, reserve] :
         {std::tuple{hand, 1, 0},
          {replaced(hand, "p=1\n", "p=1\nimages\n"), 2, 0},
          {replaced(replaced(hand, "p=1\n", "p=1\nimages\n"), "0.050 2 Up", "0.000 2 vide\n0.050 2 Up"), 1,
           0}}) {
        Vol f;
        VolEnd end;
        VolFault fault;
        ASSERT_TRUE(readVol(text, &f, &end, &fault, true));
        const VolEnd e = replayVol(f, end.calls);
        EXPECT_NEAR(e.Yp, pulses * pulse, 1e-12) << text;
        EXPECT_EQ(e.reserve, reserve) << text;
    }
}

TEST(FlightFile, TheFlightsOfTestData) {
    // Each file is named after its case: the flights conform; the others are refused with their fault.
    const std::pair<const char*, VolError> files[] = {
        {"vol-plan-fo2.vol", VolOk},
        {"vol-plan-fo5-from-a-pause.vol", VolOk},
        {"vol-hand-sealed.vol", VolOk},
        {"vol-reserve-dry.vol", VolOk},
        {"vol-start-not-judged.vol", VolOk},
        {"vol-presses-after-the-last-call.vol", VolOk},
        {"vol-fin-with-calls-only.vol", VolBadEnd},
        {"vol-call-before-the-one-above.vol", VolCallOrder},
        {"vol-line-after-fin.vol", VolAfterEnd},
        {"vol-latin-1-name.vol", VolNotText},
    };
    for (const auto& [name, code] : files) {
        std::string text;
        ASSERT_TRUE(readFile((std::string(TEST_DATA_DIR) + "/" + name).c_str(), kVolBytesMax + 1, &text))
            << name;
        Vol f;
        VolEnd said;
        VolFault fault;
        EXPECT_EQ(readVol(text, &f, &said, &fault) ? VolOk : fault.code, code) << name;
        if (code == VolOk) {
            EXPECT_TRUE(sameEnd(replayVol(f, said.calls), said)) << name;
        }
    }
}
