// sim — the simulation core: the scenario record, the state of one run, the reset, the
// relative-motion integrator and the outcome rules. It links no GL.
//
// State: everything below is process-wide with one instance. The reset `raz` (scenario.cpp) owns the
// history arrays `x`, `y`, `z` and alone resizes them. Writers: `raz` and `nextD` move the chaser,
// the thruster keys set `px`/`py`/`pz` and spend `pc` through `fire`, `clampReserve` (called by the gauge
// each frame) clamps `pc` and `p`, `collision` sets `coll` and stops `tcalc`, the menus pick `nomfichier`.
// All of it runs on the one GUI thread, so nothing is locked.
//
// The names live in namespace `sim` because `pause`, `X`, `t` and friends would otherwise collide
// with the C library and with test code; other modules write `using namespace sim;`.
#pragma once

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

extern double X, Y, Z;    // chaser position relative to the target (X radial, Y along track, Z normal)
extern double Xp, Yp, Zp; // chaser velocity
extern double px, py, pz; // thrust acceleration for the next integrator call
extern double t;          // simulated time
extern double tcalc;      // simulated time per integrator call; 0 once the chaser touched the target
extern double speed;      // factor applied to dt at each reset
extern int slow;          // idle calls per integrator call, never below 1
extern int pause;         // 0 running, otherwise paused
extern int pc;            // fuel reserve, in thruster presses
extern int pcmax;         // the full reserve
extern int coll;          // outcome: 0 under way, 1 collision, 2 docked too fast, 3 docked, 4 lost
extern int it_t;          // integrator calls since the last reset, held at nx once the history is full
extern std::vector<double> x, y, z; // trajectory history, nx + 1 samples each
extern const char* nomfichier;      // path of the current scenario file

// Bounds that keep the history arrays and the integrator finite whatever a scenario file says.
constexpr int kNxMin = 2;          // the trail needs slots nx - 1 down to 1
constexpr int kNxMax = 1000000;    // 3 x 8 MB of history, shifted once per integrator call
constexpr int kSubStepMax = 10000; // sub-steps in one integrator call

// The target as the outcome rules see it: a box about the origin whose face towards -Y is the docking
// port; a docking counts within kDockWindow of the port's centre.
constexpr double kBoxX = 0.4, kBoxY = 1.5, kBoxZ = 0.4; // half-widths of the box
constexpr double kPortY = -kBoxY;                       // Y of the port's face
constexpr double kDockWindow = 0.1;                     // on each axis, from the port's centre

// ---- Scenario and reset (scenario.cpp) ----
extern bool scenarioRead; // whether the last Lit2 could open its file; start-up explains when not

void Lit2(const char* path, ParaPhy* record); // reads the eleven items; a bad item keeps its old value
void raz();                                   // starts a new run of nomfichier

// ---- Integrator (integrator.cpp) ----
double Fx(double X, double Y, double Z, double Xp, double Yp, double Zp, double px);
double Fy(double X, double Y, double Z, double Xp, double Yp, double Zp, double py);
double Fz(double X, double Y, double Z, double Xp, double Yp, double Zp, double pz);
void nextD(); // one integrator call: tcalc / dt sub-steps, then the thrust is cleared

// ---- Outcome rules (outcome.cpp) ----
void collision(double X, double Y, double Z, double Xp, double Yp, double Zp);
// A thruster press: sets its thrust component to `value` (it does not add) and spends one unit of the
// reserve whatever the state. The key handler and the planner both press through it.
void fire(double& component, double value);
// An overdrawn reserve becomes 0 and cuts the thrust until the next reset. The fuel gauge applies it
// once per frame, so the press that overdraws the reserve still gives its full pulse.
void clampReserve();

} // namespace sim
