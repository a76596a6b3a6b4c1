// The record of a run, filled where the keys act: the thruster presses, the orbital-rate switch, the
// gauge's clamp of the reserve; and the hold that keeps the live run and its record away from the
// trial flights of the planner and the replay.
#include "sim.h"

#include <algorithm>
#include <climits>

namespace sim {

Vol vol;
long long calls = 0;
double Omo = -1.0;

namespace {

// Adds what was just done to the record, for the call to come. Presses of one key in a row before one
// call make one event, as they make one pulse.
void record(char kind) {
    const long long call = calls < LLONG_MAX ? calls + 1 : calls;
    if (kind <= PageDown && !vol.events.empty()) {
        VolEvent& last = vol.events.back();
        if (last.kind == kind && last.call == call && last.count < kVolCountMax) {
            last.count++;
            return;
        }
    }
    vol.events.push_back({call, t, kind, 1});
}

} // namespace

void fire(double& component, double value) {
    component = value;
    // The floor only keeps the count from wrapping.
    if (pc > INT_MIN)
        pc -= 1;
}

void thrust(Thruster k) {
    const double p = para_phy.p;
    switch (k) {
    case Up:
        fire(py, p);
        break;
    case Down:
        fire(py, -p);
        break;
    case Left:
        fire(px, -p);
        break;
    case Right:
        fire(px, p);
        break;
    case PageUp:
        fire(pz, p);
        break;
    case PageDown:
        fire(pz, -p);
        break;
    }
    record(static_cast<char>(k));
}

void orbitOff() {
    if (Omo < 0.0) {
        Omo = para_phy.Omega;
        para_phy.Omega = 0.0;
        record('o');
    }
}

void orbitOn() {
    if (Omo > 0.0) {
        para_phy.Omega = Omo;
        Omo = -1.0;
        record('O');
    }
}

void clampReserve() {
    if (pc < 0) {
        pc = 0;
        para_phy.p = 0.0;
        record('v');
    }
}

VolEnd volEnd() {
    return {calls, coll, t, X, Y, Z, Xp, Yp, Zp, std::max(pc, 0)};
}

Held hold() {
    Held h;
    h.para = para_phy;
    h.X = X, h.Y = Y, h.Z = Z, h.Xp = Xp, h.Yp = Yp, h.Zp = Zp, h.px = px, h.py = py, h.pz = pz;
    h.t = t, h.tcalc = tcalc, h.speed = speed, h.Omo = Omo;
    h.slow = slow, h.pause = pause, h.pc = pc, h.pcmax = pcmax, h.coll = coll, h.it_t = it_t;
    h.calls = calls;
    h.scenarioRead = scenarioRead, h.subStepsWarned = subStepsWarned;
    h.nomfichier = nomfichier;
    h.x.swap(x), h.y.swap(y), h.z.swap(z);
    std::swap(h.vol, vol);
    return h;
}

void giveBack(Held& h) {
    para_phy = h.para;
    X = h.X, Y = h.Y, Z = h.Z, Xp = h.Xp, Yp = h.Yp, Zp = h.Zp, px = h.px, py = h.py, pz = h.pz;
    t = h.t, tcalc = h.tcalc, speed = h.speed, Omo = h.Omo;
    slow = h.slow, pause = h.pause, pc = h.pc, pcmax = h.pcmax, coll = h.coll, it_t = h.it_t;
    calls = h.calls;
    scenarioRead = h.scenarioRead, subStepsWarned = h.subStepsWarned;
    nomfichier = h.nomfichier;
    x.swap(h.x), y.swap(h.y), z.swap(h.z);
    std::swap(vol, h.vol);
}

} // namespace sim
