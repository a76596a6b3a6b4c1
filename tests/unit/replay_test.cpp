// The command rendezvous-replay, run as a person runs it: on the planner's own flight, on flights edited
// or broken, as CSV, and sealing a flight written by hand.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string temp(const std::string& name) {
    return testing::TempDir() + "replay-" + name;
}

// Runs a command line in the C locale (French, as nothing names a language), from the source tree.
Ran run(const std::string& args, const char* program = REPLAY) {
    const std::string err = temp("stderr");
    const std::string command = std::string("cd '") + SOURCE_DIR +
                                "' && LC_ALL=C LANG=C LANGUAGE= " + program + " " + args + " 2>'" + err + "'";
    Ran r;
    FILE* p = popen(command.c_str(), "r");
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, p)) > 0)
        r.out.append(block, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = slurp(err);
    return r;
}

std::string write(const std::string& name, const std::string& text) {
    const std::string path = temp(name);
    std::ofstream(path) << text;
    return path;
}

int lines(const std::string& s) {
    int n = 0;
    for (const char c : s)
        n += c == '\n';
    return n;
}

} // namespace

TEST(ReplayCommand, ThePlannersFlightConformsAndEditsAreCaught) {
    const std::string flight = temp("fo5.vol");
    ASSERT_EQ(run("--vol '" + flight + "' data/fo5.in", PLAN).status, 0);
    const std::string text = slurp(flight);
    const Ran good = run("'" + flight + "'");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(lines(good.out), 1);
    EXPECT_NE(good.out.find(" arrimé à temps = "), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("— conforme\n"), std::string::npos) << good.out;
    EXPECT_NE(run("--lang en '" + flight + "'").out.find(" docked at time = "), std::string::npos);

    // The end's time one bit later: no longer the flight's end. "fin APPELS ISSUE TEMPS ...".
    const size_t fin = text.rfind("fin ");
    size_t from = fin;
    for (int i = 0; i < 3; i++)
        from = text.find(' ', from + 1) + 1;
    const size_t to = text.find(' ', from);
    char later[40];
    std::snprintf(later, sizeof later, "%.17g", std::nextafter(std::stod(text.substr(from, to - from)), 1e9));
    const std::string edited = text.substr(0, from) + later + text.substr(to);
    const std::string bad = write("bad.vol", text.substr(0, fin) + "0.1 1 Sideways 1\n" + text.substr(fin));
    const std::string editedPath = write("edited.vol", edited);
    const Ran mixed = run("'" + editedPath + "' '" + flight + "'");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.out.find("— non conforme\n"), std::string::npos) << mixed.out;
    EXPECT_EQ(lines(mixed.out), 2);

    // A file that is no flight and one that is not there: one line each on standard error, naming the
    // file and the line at fault; the others are still replayed, and the status says a file was not read.
    const Ran broken = run("'" + bad + "' no-such.vol '" + flight + "'");
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(lines(broken.out), 1);
    EXPECT_EQ(lines(broken.err), 2) << broken.err;
    EXPECT_NE(broken.err.find(bad + ", ligne " + std::to_string(lines(text.substr(0, fin)) + 1) + " : "),
              std::string::npos)
        << broken.err;
    EXPECT_NE(broken.err.find("no-such.vol : "), std::string::npos) << broken.err;
}

TEST(ReplayCommand, CsvAndSealingAFlightWrittenByHand) {
    // A teacher's demonstration: two presses, a note, and a "fin" line that gives only the calls.
    const std::string hand = write("hand.vol", "# vol rendez-vous 1\n"
                                               "dt=0.005\nnx=1500\ntrois=3\nOmega=0.25\nX0=0\nY0=-10\nZ0=0\n"
                                               "Xp0=0\nYp0=0\nZp0=0\np=1\nnom: Martin, \"le prof\"\n"
                                               "note 0 Deux flèches arrière pour descendre sous la cible.\n"
                                               "0 1 Down 2\nfin 500\n");
    EXPECT_EQ(run("'" + hand + "'").status, 2); // its end is not there to check against
    const std::string out = temp("sealed.vol");
    const Ran sealing = run("--write '" + out + "' '" + hand + "'");
    EXPECT_EQ(sealing.status, 0) << sealing.err;
    EXPECT_NE(slurp(out).find("note 0.000 Deux flèches arrière pour descendre sous la cible.\n"),
              std::string::npos);
    const Ran csv = run("--csv '" + out + "' '" + out + "'");
    EXPECT_EQ(csv.status, 0);
    // The header, then a line a file; the name quoted as RFC 4180 asks, the check's words as always.
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
              "fichier,nom,issue,temps,vitesse,reserve,pressions,verification");
    EXPECT_EQ(lines(csv.out), 3);
    EXPECT_NE(csv.out.find(out + ",\"Martin, \"\"le prof\"\"\",en-vol,25.000,"), std::string::npos)
        << csv.out;
    EXPECT_NE(csv.out.find(",98,2,conforme\n"), std::string::npos) << csv.out;
    EXPECT_EQ(run("--write '" + out + "' '" + hand + "' '" + hand + "'").status, 2); // one flight at a time
}

TEST(ReplayCommand, ChecksAClassAgainstItsExercise) {
    // Élise's flight from her own start, as the planner flies it; the same flight under another name; the
    // planner's flight from the scenario's own start.
    const std::string elise = temp("elise.vol"), plain = temp("plain.vol");
    ASSERT_EQ(
        run("--name 'Élise Dupont' --code orbite --spread 2 --vol '" + elise + "' data/fo2.in", PLAN).status,
        0);
    ASSERT_EQ(run("--vol '" + plain + "' data/fo2.in", PLAN).status, 0);
    std::string text = slurp(elise);
    const std::string paul = write("paul.vol", text.replace(text.find("Élise Dupont"), 13, "Paul Martin"));
    const std::string files = " '" + elise + "' '" + paul + "' '" + plain + "'";
    const struct {
        const char* args;
        int status;
        std::vector<std::string> verdicts;
    } cases[] = {
        {"", 0, {"conforme", "conforme", "conforme"}},
        {"--scenario data/fo2.in", 1, {"autre scénario", "autre scénario", "conforme"}},
        {"--scenario data/fo2.in --code orbite --spread 2",
         1,
         {"conforme", "départ différent", "départ différent"}},
        {"--scenario data/fo5.in --code orbite --spread 2",
         1,
         {"autre scénario", "autre scénario", "autre scénario"}},
    };
    for (const auto& c : cases) {
        const Ran r = run(c.args + files);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        std::istringstream lines(r.out);
        std::string line;
        for (const std::string& verdict : c.verdicts) {
            std::getline(lines, line);
            EXPECT_EQ(line.substr(line.rfind("— ") + 4), verdict) << c.args << ": " << line;
        }
    }
    // The three go together, with a spread a page would give and a scenario that can be read.
    for (const char* args : {"--code orbite --spread 2", "--scenario data/fo2.in --code orbite",
                             "--scenario data/fo2.in --code orbite --spread -1", "--scenario no-such.in"})
        EXPECT_EQ(run(std::string(args) + files).status, 2) << args;
}
