// The scenario record, the state of a run, the scenario reader and the reset.
#include "sim.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

ParaPhy para_phy;

double X = 0.0, Y = 0.0, Z = 0.0;
double Xp = 0.0, Yp = 0.0, Zp = 0.0;
double px = 0.0, py = 0.0, pz = 0.0;
double t = 0.0;
double tcalc = 0.05;
double speed = 1.0;
int slow = 8;
int pause = 0;
int pc = 0;
int pcmax = 100;
int coll = 0;
int it_t = 0;
std::vector<double> x, y, z;
const char* nomfichier = "data/fo.in"; // init sets it again before the first reset
bool scenarioRead = false;

namespace {

// Eleven short items fit many times over in 64 KiB; the bound keeps a long file from being read whole.
constexpr size_t kScenarioBytesMax = 65536;

// White space as the scanf formats match it.
bool isblank_(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// One item of a scenario file: its key, and where its number goes.
struct Item {
    const char* key;
    double* d; // for "%lf" items
    int* i;    // for the "%i" item
};

// The text of a bad item for a message: its token, cut short, with control characters escaped so that
// bytes from a file never reach the terminal raw.
std::string itemText(const std::string& s, size_t pos) {
    while (pos < s.size() && isblank_(s[pos]))
        ++pos;
    std::string text;
    for (; pos < s.size() && !isblank_(s[pos]); ++pos) {
        if (text.size() >= 40) {
            text += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(s[pos]);
        if (c < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

// Reads a number at s[pos] the way "%lf" or "%i" would (leading blanks skipped, "%i" with automatic
// base). Fails unless the number is followed by white space or the end of the file, so "dt=abc" or
// "nx=1e3" are refused as a whole instead of leaving half a token for the next key; "nan", "inf" and
// overflowing values such as 1e999 are refused too, since they would stop the clock or the telemetry
// for good.
bool readNumber(const std::string& s, size_t& pos, const Item& item) {
    while (pos < s.size() && isblank_(s[pos]))
        ++pos;
    const char* begin = s.c_str() + pos;
    char* end = nullptr;
    errno = 0;
    double d = 0.0;
    long l = 0;
    if (item.d)
        d = std::strtod(begin, &end);
    else
        l = std::strtol(begin, &end, 0);
    if (end == begin || (*end != '\0' && !isblank_(*end)))
        return false;
    if (item.i && (errno == ERANGE || l < INT_MIN || l > INT_MAX))
        return false;
    if (item.d && !std::isfinite(d))
        return false;
    pos += static_cast<size_t>(end - begin);
    if (item.d)
        *item.d = d;
    else
        *item.i = static_cast<int>(l);
    return true;
}

// Sizes the history for para_phy.nx, bringing nx into [kNxMin, kNxMax] first: a trail needs two
// slots, and a huge nx would cost memory and a long shift on every integrator call. The change is
// reported only for an nx that a file gave (`report`): the 0 of a first reset without a scenario is
// no news after the missing file's own message.
void allocHistory(bool report) {
    int n = para_phy.nx;
    if (n < kNxMin || n > kNxMax) {
        int fixed = n < kNxMin ? kNxMin : kNxMax;
        if (report)
            std::fprintf(stderr, "raz: nx = %d is outside %d..%d; using nx = %d.\n", n, kNxMin, kNxMax,
                         fixed);
        para_phy.nx = fixed;
    }
    const size_t samples = static_cast<size_t>(para_phy.nx) + 1;
    try {
        x.assign(samples, 0.0);
        y.assign(samples, 0.0);
        z.assign(samples, 0.0);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "raz: no memory for a history of %d samples; using nx = %d.\n", para_phy.nx,
                     kNxMin);
        para_phy.nx = kNxMin;
        x.assign(kNxMin + 1, 0.0);
        y.assign(kNxMin + 1, 0.0);
        z.assign(kNxMin + 1, 0.0);
    }
}

} // namespace

bool readFile(const char* path, size_t max, std::string* text) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    char block[4096];
    ssize_t got;
    while (text->size() < max && (got = read(fd, block, sizeof block)) > 0)
        text->append(block, static_cast<size_t>(got));
    close(fd);
    return true;
}

std::vector<ScenarioItem> readScenario(const std::string& s, size_t* at, ParaPhy* record) {
    const Item items[] = {
        {"dt", &record->dt, nullptr},       {"nx", nullptr, &record->nx},
        {"trois", &record->trois, nullptr}, {"Omega", &record->Omega, nullptr},
        {"X0", &record->X0, nullptr},       {"Y0", &record->Y0, nullptr},
        {"Z0", &record->Z0, nullptr},       {"Xp0", &record->Xp0, nullptr},
        {"Yp0", &record->Yp0, nullptr},     {"Zp0", &record->Zp0, nullptr},
        {"p", &record->p, nullptr},
    };
    std::vector<ScenarioItem> report;
    size_t pos = *at;
    for (const Item& item : items) {
        ScenarioItem r;
        r.key = item.key;
        r.at = pos;
        const size_t keylen = std::strlen(item.key);
        // The key must stand exactly here, followed by '='; a missing item is skipped over and the
        // next key is looked for at the same place.
        if (s.compare(pos, keylen, item.key) != 0 || pos + keylen >= s.size() || s[pos + keylen] != '=') {
            r.missing = true;
            r.value = item.d ? *item.d : static_cast<double>(*item.i);
            report.push_back(r);
            continue;
        }
        size_t after = pos + keylen + 1;
        if (readNumber(s, after, item)) {
            r.read = true;
            pos = after;
        } else {
            r.text = itemText(s, pos + keylen + 1);
            pos = s.find('\n', pos); // a malformed line is passed over whole
            if (pos == std::string::npos)
                pos = s.size();
        }
        while (pos < s.size() && isblank_(s[pos]))
            ++pos;
        r.value = item.d ? *item.d : static_cast<double>(*item.i);
        report.push_back(r);
    }
    *at = pos;
    return report;
}

ScenarioRule scenarioRule(int nx, double dt) {
    // The reset would bring such an nx into range with a message of its own.
    if (nx < kNxMin || nx > kNxMax)
        return ScenarioNx;
    // The integrator makes kCall / dt sub-steps per call, and no more than kSubStepMax; none at all
    // for a dt above kCall, and the clock would stand still.
    if (!(dt > 0.0))
        return ScenarioDtNotPositive;
    if (kCall / dt > kSubStepMax)
        return ScenarioDtTooSmall;
    if (dt > kCall)
        return ScenarioDtTooLong;
    // Positions, velocities, rates and the thrust may be any finite number: the program flies them
    // all, and one far away is soon "lost in space".
    return ScenarioOk;
}

bool sameScenario(const ParaPhy& a, const ParaPhy& b) {
    return a.dt == b.dt && a.nx == b.nx && a.Omega == b.Omega && a.trois == b.trois && a.X0 == b.X0 &&
           a.Y0 == b.Y0 && a.Z0 == b.Z0 && a.Xp0 == b.Xp0 && a.Yp0 == b.Yp0 && a.Zp0 == b.Zp0 && a.p == b.p;
}

void Lit2(const char* path, ParaPhy* record) {
    std::printf("fichier de donnees:   %s!   \n", path);
    std::string s;
    scenarioRead = readFile(path, kScenarioBytesMax, &s);
    if (!scenarioRead) {
        std::fprintf(stderr, ": can't open data file \"%s\".\n", path);
        return;
    }
    size_t pos = 0;
    for (const ScenarioItem& item : readScenario(s, &pos, record)) {
        if (item.read)
            continue;
        if (item.missing)
            std::fprintf(stderr, "%s: item \"%s=\" missing; keeping %s = %g.\n", path, item.key, item.key,
                         item.value);
        else
            std::fprintf(stderr, "%s: item \"%s=\" has no valid finite number (\"%s\"); keeping %s = %g.\n",
                         path, item.key, item.text.c_str(), item.key, item.value);
    }
}

namespace {

// What a reset does once the scenario is in para_phy: the chaser at its start, the history, and a new
// record of the run from the state the reset leaves. The record's clamps are its frames'; whether the
// start was judged before the first call, the outcome rules say.
void begin(bool report, bool trail) {
    tcalc = kCall;
    it_t = 0;
    calls = 0;
    coll = 0;
    px = py = pz = 0.0;
    X = para_phy.X0;
    Y = para_phy.Y0;
    Z = para_phy.Z0;
    Xp = para_phy.Xp0;
    Yp = para_phy.Yp0;
    Zp = para_phy.Zp0;
    if (trail) {
        allocHistory(report);
    } else {
        x.assign(1, X), y.assign(1, Y), z.assign(1, Z);
    }
    for (size_t i = 0; i < x.size(); i++) {
        x[i] = X;
        y[i] = Y;
        z[i] = Z;
    }
    vol = Vol{};
    vol.head = para_phy;
    vol.t0 = t;
    vol.omo = Omo;
    vol.reserve = pc;
    vol.frames = true;
    vol.judged = false;
}

} // namespace

void raz() {
    pc = pcmax;
    para_phy.dt = 0.005;
    para_phy.p = 2.0;
    Lit2(nomfichier, &para_phy);
    para_phy.dt = para_phy.dt * speed;
    begin(scenarioRead, true);
}

void razFlight(const Vol& flight, bool trail) {
    // Read before the new record replaces the old: the flight may be the live record itself.
    std::string name = flight.name, code = flight.code, scenario = flight.scenario;
    para_phy = flight.head;
    t = flight.t0;
    Omo = flight.omo;
    pc = flight.reserve;
    begin(false, trail);
    vol.name.swap(name);
    vol.code.swap(code);
    vol.scenario.swap(scenario);
}

} // namespace sim
