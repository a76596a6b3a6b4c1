// plan — the planner behind `rendezvous-plan`: from a scenario and a moment of a flight, which thruster
// keys a person presses and when, read as the screen shows the time, down to the docking.
//
// State: none between calls. While it plans, the planner holds sim's process-wide state (sim::hold: the
// scenario record, the chaser, the reserve, the history, the record of the run) to fly its candidate
// plans through the integrator and the outcome rules, and gives every variable back before it returns.
// One thread, like sim.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim.h"

namespace plan {

// The thruster keys of the simulator, and the pause at which the person reads the telemetry and asks
// the planner again.
enum Key { Up, Down, Left, Right, PageUp, PageDown, Check };

// A moment of a flight as the telemetry shows it: "TEMPS X Y Z XP YP ZP RESERVE".
struct Moment {
    double t = 0.0;                      // temps
    double X = 0.0, Y = 0.0, Z = 0.0;    // position
    double Xp = 0.0, Yp = 0.0, Zp = 0.0; // velocity
    int reserve = 100;                   // presses left
};

// One line of a plan: `count` presses of `key`, one per integrator call or slower, from the first
// call at whose start the screen shows a time of at least `t`; or, for Check, a pause there.
struct Step {
    double t = 0.0;
    Key key = Check;
    int count = 0; // 0 for a check
    Moment expect; // for a check: what the screen should show there if the plan was kept
};

// The person a plan is written for: each step, a check included, starts up to kLateMax after its
// time (the plan counts on kLate), and presses come kGapMin to kGapMax integrator calls apart.
constexpr double kLate = 0.25;
constexpr double kLateMax = 0.5;
constexpr int kGap = 5, kGapMin = 4, kGapMax = 6;

// Where the chaser is in the flight of a plan: at its moment, then after each integrator call.
struct Sample {
    double t = 0.0;                   // temps
    double X = 0.0, Y = 0.0, Z = 0.0; // position
};

struct Plan {
    std::vector<Step> steps;
    int outcome = 0;                 // how the flight of the plan ends, as sim::coll; 3 when it docks
    double arrival = 0;              // time of that end
    double speed = 0;                // speed there
    int reserve = 0;                 // reserve left there
    int presses = 0;                 // presses of the whole plan
    double pulse = 0;                // velocity one press gives along its axis
    std::vector<std::string> method; // how the chaser comes to the port, one French sentence a stage
    std::vector<Sample> flight;      // the flight of the plan by the person above, down to its end
    std::vector<double> legs;        // times it comes onto the approach line, each beginning a leg of the
                                     // flight: a stop there, or, the last one, the glide to the port
    sim::Vol vol;                    // the record of that flight, pressed through sim's keys
    sim::VolEnd end;                 // and where it ended
};

// The plan from moment `from` of a flight of scenario `sc` (sc.p is the thrust one press gives).
// Every plan returned was flown through sim by the person above, on time as kLate says; `outcome`
// says how that flight ended.
Plan planFrom(const sim::ParaPhy& sc, const Moment& from);

// ---- Text (text.cpp) ----
const char* keyName(Key key);                         // "Up", "Down", ..., "check"
bool parseMoment(const std::string& text, Moment* m); // the eight numbers, blank separated
std::string keysText(const Plan& plan);               // one "TEMPS KEY COUNT" or "TEMPS check" a line
std::string stepText(const Step& step);               // describe's line of a step, two for a check
std::string arrivalText(const Plan& plan);            // describe's line of the expected docking
std::string faultWords(const sim::VolFault& f);       // why a text is no flight, in the language in use
// The plan in French, as a person reads it beside the simulator's screen.
std::string describe(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file);
std::string fmt(const char* format, ...) __attribute__((format(printf, 1, 2))); // printf to a string
std::string json(const std::string& s); // a JSON string of the text, for the page's seams

// ---- Own starts, the class's check and the score (start.cpp) ----
// A name as the derivation of a start reads it: small letters without their marks, words apart by one
// blank, "Nom, Prénom" turned into "prénom nom"; "Élise  DUPONT", "dupont, elise" are "elise dupont".
std::string normalName(const std::string& name);
constexpr int kOwnStartTries = 32; // draws before a code word and a name give up for the scenario's own start
constexpr double kSpreadMax = 50.0; // the most a start may move on each axis: half the way to being lost
struct OwnStart {
    sim::ParaPhy scenario; // the scenario with the student's start
    int draw = -1;   // which draw it is, from 0; -1 when none docked and the scenario's own start stands
    int advised = 0; // the reserve the planner's plan from it uses
};
// The start of the student `name` in the teacher's scenario `sc`, spread up to `spread` on Y, on X where
// the scenario has an orbital rate, and on Z where it leaves the orbital plane, in whole thousandths, drawn
// from `code` and the name: the first draw from which the planner docks. The code word is read as a name is;
// a spread outside 0 to kSpreadMax is taken as the nearest bound (0 for one that is no number).
OwnStart ownStart(const sim::ParaPhy& sc, double spread, const std::string& code, const std::string& name);
// A spread as a person writes it, with a decimal point or comma: a number from 0 to kSpreadMax.
bool parseSpread(const std::string& text, double* spread);
// The reserve that the planner's plan from a flight's start uses: its head at time 0 with its reserve;
// 0 when no plan docks from there. The deck and the class view show it as « conseil ».
int advised(const sim::Vol& flight);

// A class's exercise, as the teacher sets it on the class page or gives it to rendezvous-replay: the
// scenario, and, where each student has a start of their own, the spread and the code word.
struct Exercise {
    sim::ParaPhy scenario;
    double spread = 0.0;
    std::string code; // "" where every student starts from the scenario's own start
};
// The exercise's scenario from a scenario file's text, read as the page takes one (every item a finite
// number, nx and dt within the program's rules) and as a reset leaves it (dt by the speed factor). What
// is wrong otherwise: ScenarioItemBad with the item in *bad, or the rule it breaks.
sim::ScenarioRule exerciseScenario(const std::string& text, sim::ParaPhy* sc, sim::ScenarioItem* bad);
// How a replayed flight stands, worst first: its replay does not end on its own last line; its head is
// not the exercise's scenario (the start's position aside where starts are one's own) or it starts with
// another reserve than a full one; its start is not the one its name was given.
enum Verdict { Verified, Falsified, OtherScenario, OtherStart };
// The check of a flight whose replay ends on its last line or not (`conforms`); `own` is the start drawn
// for its name (ownStart) where the exercise has a code word, and is not read otherwise.
Verdict checkFlight(const sim::Vol& flight, bool conforms, const Exercise& exercise, const OwnStart& own);
// The one score of a flight, out of 100: 60 for a docking and 40 for its economy, the reserve `used`
// against `advised`, what the planner's plan from the same start uses (0 when there is none); docked too
// fast 20, a collision 10, lost or under way 0.
int score(int outcome, int used, int advised);
// Whether a learning platform may grade a flight of the exercise: the class's check verifies it (the
// exercise's scenario, the student's own start where there is a code word, a full reserve), a person flew
// it (not begun by a replay), and the orbital rate stayed as the scenario sets it (no 'o' or 'O'). An
// easier start, a switched-off orbit or another's flight replayed earns nothing.
bool graded(const sim::Vol& flight, const Exercise& exercise, const OwnStart& own);

// ---- Words (words.cpp) ----
// What the planner, the replay, the pictures and the page say comes from one table per language,
// data/lang/<code>.txt, built in; the page's scripts read the same tables. French unless setLanguage
// chose another; a word missing from a table is taken from the French one.
using Words = std::map<std::string, std::string>;
Words parseWords(const std::string& text, std::vector<std::string>* faults = nullptr); // a table's text
const Words& wordsOf(const std::string& code); // the table built in for that language, or an empty one
std::vector<std::string> languages();          // the codes of the tables built in, French first
bool setLanguage(const std::string& code);     // false, and French, for a language without a table
const std::string& language();                 // the code in use
std::string environmentLanguage();             // what LC_ALL, LC_MESSAGES, LANG and LANGUAGE name, or French
// The text of `key` in the language in use, with {1}, {2}... replaced by args.
std::string tr(const char* key, const std::vector<std::string>& args = {});

// ---- Picture (svg.cpp) ----
// The plan as a self-contained SVG picture, in the help page's French: its flight in the orbital
// plane, and across it against time when it leaves the plane, with each step and check where the
// screen shows its time, the start, the target and the docking.
std::string svg(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file);
// A flight as it was flown, drawn the same way: `flight` is a Plan whose steps are the presses made and
// whose flight is the path flown; the record adds the outcome in words and the flight of the advice
// last asked, drawn dashed.
struct Record {
    std::string outcome;        // the outcome line, or where the flight stands
    std::vector<Sample> advice; // empty when no advice was asked
};
std::string svg(const Plan& flight, const sim::ParaPhy& sc, const Moment& from, const std::string& file,
                const Record& record);

} // namespace plan
