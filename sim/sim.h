// sim — the simulation core: the scenario record, the state of one run, the reset, the
// relative-motion integrator, the outcome rules, and the record of the run with its file and its
// replay. It links no GL.
//
// State: everything below is process-wide with one instance. The resets `raz` and `razFlight` own the
// history arrays `x`, `y`, `z` and alone resize them. Writers: the resets and `nextD` move the chaser,
// the thruster keys press through `thrust` (which sets `px`/`py`/`pz` and spends `pc` through `fire`),
// `o` and `O` switch the orbital rate through `orbitOff`/`orbitOn` (`Omo`), `clampReserve` (called by
// the gauge each frame) clamps `pc` and `p`, `collision` sets `coll` and stops `tcalc`, the menus pick
// `nomfichier`. The record of the run, `vol`, is filled by those same functions and nowhere else; the
// page's replay alone marks the run it begins as `replayed`.
// Whoever flies trial flights (the planner, the replay) holds the whole state first (`hold`) and gives
// it back after (`giveBack`), so that the live run and its record never see them.
// All of it runs on the one GUI thread, so nothing is locked.
//
// The names live in namespace `sim` because `pause`, `X`, `t` and friends would otherwise collide
// with the C library and with test code; other modules write `using namespace sim;`.
#pragma once

#include <string>
#include <vector>

namespace sim {

// Scenario parameters, filled by Lit2 from a scenario file.
struct ParaPhy {
    double dt = 0.0;                        // integration sub-step
    int nx = 0;                             // history length: each history array holds nx + 1 samples
    double Omega = 0.0;                     // orbital rate of the target
    double trois = 0.0;                     // coefficient of the Omega^2 X term (3 in the Hill equations)
    double X0 = 0.0, Y0 = 0.0, Z0 = 0.0;    // start position
    double Xp0 = 0.0, Yp0 = 0.0, Zp0 = 0.0; // start velocity
    double p = 0.0;                         // acceleration one thruster key gives to its axis
};

extern ParaPhy para_phy; // the scenario in force

extern double X, Y, Z;      // chaser position relative to the target (X radial, Y along track, Z normal)
extern double Xp, Yp, Zp;   // chaser velocity
extern double px, py, pz;   // thrust acceleration for the next integrator call
extern double t;            // simulated time
extern double tcalc;        // simulated time per integrator call; 0 once the chaser touched the target
extern double speed;        // factor applied to dt at each reset
extern int slow;            // idle calls per integrator call, never below 1
extern int pause;           // 0 running, otherwise paused
extern int pc;              // fuel reserve, in thruster presses
extern int pcmax;           // the full reserve
extern int coll;            // outcome: 0 under way, 1 collision, 2 docked too fast, 3 docked, 4 lost
extern int it_t;            // integrator calls since the last reset, held at nx once the history is full
extern long long calls;     // integrator calls since the last reset, counted on (never held, never wraps)
extern double Omo;          // orbital rate saved by 'o'; negative when nothing is saved. A reset keeps it
extern bool subStepsWarned; // the sub-step bound was reported in this run (once a run, not every call)
extern std::vector<double> x, y, z; // trajectory history, nx + 1 samples each
extern const char* nomfichier;      // path of the current scenario file

// Bounds that keep the history arrays and the integrator finite whatever a scenario file says.
constexpr int kNxMin = 2;          // the trail needs slots nx - 1 down to 1
constexpr int kNxMax = 1000000;    // 3 x 8 MB of history, shifted once per integrator call
constexpr int kSubStepMax = 10000; // sub-steps in one integrator call
constexpr double kCall = 0.05;     // simulated time one integrator call advances after a reset

// The target as the outcome rules see it: a box about the origin whose face towards -Y is the docking
// port; a docking counts within kDockWindow of the port's centre.
constexpr double kBoxX = 0.4, kBoxY = 1.5, kBoxZ = 0.4; // half-widths of the box
constexpr double kPortY = -kBoxY;                       // Y of the port's face
constexpr double kDockWindow = 0.1;                     // on each axis, from the port's centre

// ---- Scenario and reset (scenario.cpp) ----
extern bool scenarioRead; // whether the last Lit2 could open its file; start-up explains when not

// How one of the eleven items of a scenario's text was read.
struct ScenarioItem {
    const char* key = ""; // "dt", "nx", ...
    size_t at = 0;        // where in the text it stands, or was looked for
    bool read = false;    // a finite number was read into the record
    bool missing = false; // not read because its key was not there
    double value = 0.0;   // the record's value for it afterwards: the number read, or the one kept
    std::string text;     // when not read though present: its token, cut short and escaped
};
// Reads the eleven items of a scenario from text[*pos] on, as Lit2 reads a file: each key literally
// where the last item's white space ends, '=', a finite number. An item not read keeps the record's
// value. *pos ends after the last item read and its white space. One report an item, in file order.
std::vector<ScenarioItem> readScenario(const std::string& text, size_t* pos, ParaPhy* record);
// Reads at most about `max` bytes of a regular file into *text (a FIFO, a device or a directory is
// refused, and a FIFO never blocks); false when it cannot.
bool readFile(const char* path, size_t max, std::string* text);

// Whether a scenario's nx and dt (the dt in force, after `speed`) are ones the program flies as they
// stand; the values match the page's codes, 1 being an item not read.
enum ScenarioRule {
    ScenarioOk,
    ScenarioItemBad,
    ScenarioNx,
    ScenarioDtNotPositive,
    ScenarioDtTooSmall,
    ScenarioDtTooLong
};
ScenarioRule scenarioRule(int nx, double dt);
// Whether two scenarios hold the same eleven items, to the last bit.
bool sameScenario(const ParaPhy& a, const ParaPhy& b);

void Lit2(const char* path, ParaPhy* record); // reads the eleven items; a bad item keeps its old value
void raz();                                   // starts a new run of nomfichier

// ---- Integrator (integrator.cpp) ----
double Fx(double X, double Y, double Z, double Xp, double Yp, double Zp, double px);
double Fy(double X, double Y, double Z, double Xp, double Yp, double Zp, double py);
double Fz(double X, double Y, double Z, double Xp, double Yp, double Zp, double pz);
void nextD(); // one integrator call: tcalc / dt sub-steps, then the thrust is cleared

// ---- Outcome rules (outcome.cpp) ----
// The outcome code of a chaser at (X, Y, Z) moving at (Xp, Yp, Zp) whose code was `before`; *contact
// tells whether it touches the target, which stops the motion.
int outcome(double X, double Y, double Z, double Xp, double Yp, double Zp, int before, bool* contact);
// The rules applied to the run: coll, and tcalc stopped at a contact.
void collision(double X, double Y, double Z, double Xp, double Yp, double Zp);

// ---- The flight record (record.cpp) ----
// The thrusters in the order of the planner's keys.
enum Thruster { Up, Down, Left, Right, PageUp, PageDown };

// One thing done during a run, in the order done.
struct VolEvent {
    long long call = 0; // the integrator call that takes it: 1 is the first after the reset
    double t = 0.0;     // the screen's time when it was done
    char kind = 0;      // a Thruster (0 to 5); 'o' or 'O', the orbital-rate switch; 'v', the gauge
                        // finding the reserve overdrawn (pc back to 0 and p to 0)
    int count = 1;      // presses of that key in a row before that call; 1 for the others
};
struct Note {
    double t = 0.0;   // the screen's time to show it at
    std::string text; // one line, UTF-8
    size_t at = 0;    // events before it in the file, so that a sealed file keeps its place
};
// A flight: the state it starts from and what was done, call by call.
struct Vol {
    ParaPhy head;            // the scenario in force at the reset (dt after speed, nx within bounds)
    double t0 = 0.0;         // the time at the reset
    double omo = -1.0;       // the rate saved by 'o' at the reset; negative when nothing is saved
    int reserve = 100;       // the reserve at the reset
    bool frames = false;     // the record's 'v' events are all the gauge did; otherwise the gauge's
                             // clamp applies just before each call, as in a hand-written flight
    bool judged = true;      // the outcome rules judged the start before call 1
    bool replayed = false;   // begun by the page's replay, which handed over its presses: flown by a
                             // file, not by a person (kept in memory only, never in a file)
    std::string name;        // the pilot's, "" when none
    std::string code;        // the code word the pilot's own start was drawn from, "" when none
    std::string scenario;    // the file it came from, "" when none
    std::vector<Note> notes; // to show during a replay
    std::vector<VolEvent> events;
};
// Where a flight stands: what the last line of its file says.
struct VolEnd {
    long long calls = 0;                 // integrator calls since the reset
    int coll = 0;                        // outcome code
    double t = 0.0;                      // time
    double X = 0.0, Y = 0.0, Z = 0.0;    // position
    double Xp = 0.0, Yp = 0.0, Zp = 0.0; // velocity
    int reserve = 0;                     // reserve left: what the gauge shows, never below 0
};

extern Vol vol; // the record of the run since the last reset

// A thruster key: its component set to +-p (it does not add) through fire, and the press recorded.
void thrust(Thruster k);
// A thruster press: sets its thrust component to `value` and spends one unit of the reserve whatever
// the state. Nothing is recorded: thrust does that.
void fire(double& component, double value);
void orbitOff(); // 'o': only while nothing is saved, Omega is saved in Omo and becomes 0
void orbitOn();  // 'O': only while a positive rate is saved, it comes back and Omo is forgotten
// An overdrawn reserve becomes 0 and cuts the thrust until the next reset. The fuel gauge applies it
// once per frame, so the press that overdraws the reserve still gives its full pulse.
void clampReserve();
// A reset from a flight's head instead of nomfichier (scenario.cpp, beside raz): the scenario, the
// time, the saved rate and the reserve the flight starts from, and a new record of that head, its name
// and scenario kept. Without `trail` the history keeps one sample and nextD no trail: a replay reads
// none, and a long one costs a shift on every call.
void razFlight(const Vol& flight, bool trail = true);
VolEnd volEnd(); // what the last line of the live record's file says now

// Everything mutable of sim, held while a borrower flies in its place.
struct Held {
    ParaPhy para;
    double X = 0, Y = 0, Z = 0, Xp = 0, Yp = 0, Zp = 0, px = 0, py = 0, pz = 0;
    double t = 0, tcalc = 0, speed = 0, Omo = 0;
    int slow = 0, pause = 0, pc = 0, pcmax = 0, coll = 0, it_t = 0;
    long long calls = 0;
    bool scenarioRead = false, subStepsWarned = false;
    const char* nomfichier = nullptr;
    std::vector<double> x, y, z; // swapped out: the borrower starts with none
    Vol vol;                     // swapped out: the borrower starts with an empty record
};
Held hold();               // takes the state away; the borrower resets before it flies
void giveBack(Held& held); // puts every variable back as hold found it

// ---- The flight file (vol.cpp) ----
constexpr size_t kVolBytesMax = 256 * 1024;      // a flight file longer than this is refused
constexpr long long kVolCallsMax = 2000000;      // calls of a flight at most: 9 hours at the fastest pace
constexpr int kVolCountMax = 1000000;            // presses on one line at most
constexpr long long kVolPressesMax = 10000000;   // presses of a flight at most
constexpr long long kVolSubStepsMax = 100000000; // sub-steps of a flight at most (calls x sub-steps):
                                                 // 2000000 calls of 10 sub-steps, 5 times over

// Why a text is not a flight. The names (volErrorName) are those of the words' keys.
enum VolError {
    VolOk,
    VolTooLarge,      // over kVolBytesMax
    VolNotText,       // a control character or bytes that are not UTF-8
    VolNotFlight,     // the first line is not "# vol rendez-vous 1"
    VolHeadItem,      // one of the eleven items missing or not a finite number; detail: its key
    VolNx,            // nx outside kNxMin..kNxMax
    VolDtNotPositive, // dt not above 0
    VolDtTooSmall,    // a call would need more than kSubStepMax sub-steps
    VolDtTooLong,     // dt longer than a call
    VolHeadTwice,     // a line of the head given twice; detail: its key
    VolHeadLate,      // a line of the head after the first event; detail: its key
    VolBadLine,       // a line it does not know; detail: its first word
    VolBadNumber,     // a number that is not one, or not finite, or not whole; detail: the token
    VolUnknownKey,    // detail: the key
    VolBadCount,      // a count of presses below 1 or over kVolCountMax; detail: the count
    VolCallOrder,     // a call before the one of the line above, or below 1; detail: the call
    VolCallPastEnd,   // a call past APPELS + 1; detail: the call
    VolTooLong,       // past kVolCallsMax calls, kVolPressesMax presses or kVolSubStepsMax sub-steps
    VolNoEnd,         // no "fin" line
    VolAfterEnd,      // a line after "fin"
    VolBadEnd,        // a "fin" line that does not say the end; detail: the token at fault
};
struct VolFault {
    VolError code = VolOk;
    size_t line = 0;    // the line at fault, 1 the first; 0 for the whole file
    std::string detail; // the item, key or token at fault, cut short and escaped
};
const char* volErrorName(VolError code); // "too-large", "not-text", ...
const char* volOutcomeName(int coll);    // the file's word for an outcome code: "en-vol", ..., "perdu"

// Reads a flight file's text. `sealing`: the "fin" line needs its APPELS only, the rest may be absent
// or wrong (a flight written by hand, to be sealed with its replay's end). False, with *fault, when
// the text is not a flight; *flight and *end are then unspecified.
bool readVol(const std::string& text, Vol* flight, VolEnd* end, VolFault* fault, bool sealing = false);
std::string writeVol(const Vol& flight, const VolEnd& end); // the file's text, with `end` as its fin
// The eleven items as a scenario file holds them, each number reading back to the same bits: a flight's
// head, and the text of a scenario the page brings.
std::string scenarioText(const ParaPhy& scenario);
// Where the chaser is after each call of a replay, from the start.
struct VolPoint {
    double t = 0.0, X = 0.0, Y = 0.0, Z = 0.0;
};
// Replays `calls` integrator calls of a flight (at most kVolCallsMax) through the integrator and the
// outcome rules, the events of each call before it, the state held meanwhile; returns the end, and,
// in *path, the start and the chaser after each call.
VolEnd replayVol(const Vol& flight, long long calls, std::vector<VolPoint>* path = nullptr);
// Whether two ends are the same to the last bit (two NaNs count as the same: their bits are not).
bool sameEnd(const VolEnd& a, const VolEnd& b);

} // namespace sim
