// The planner. It learns one integrator call as a linear map by flying unit states through sim, so its
// search needs no equations of its own; it searches the transfer that brings the chaser to the
// approach line near the port, adds the bursts that stop the swing across the orbital plane, then
// flies the whole plan through sim while a pilot holds the glide down the line, and puts in the checks.
// The few figures of the Hill equations it uses (a hop's length, a swing's reach, what holding the
// line costs) only rank candidates: every plan it returns was flown through nextD, collision and
// clampReserve, by the person it is written for.
#include "plan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace plan {

namespace {

using Vec = std::array<double, 6>; // X, Y, Z, Xp, Yp, Zp

constexpr double kGateNear = 0.6;     // the glide begins this far from the port at the nearest...
constexpr double kGateFar = 2.5;      // ...and at the farthest
constexpr double kGateLine = 0.02;    // |X| under which a transfer has reached the approach line
constexpr double kGateSwerve = 0.2;   // |Xp| at most where a transfer meets the line...
constexpr double kGateClose = 0.35;   // ...and how far Yp may be from the glide's speed there
constexpr double kStopFar = 40.0;     // a transfer that stops on the line does so this near the port
constexpr double kGlideSpeed = 0.065; // closing speed the glide starts with
constexpr double kGlideSlow = 0.03;   // the glide speeds up below this closing speed...
constexpr double kGlideFast = 0.095;  // ...and slows down above this one, or above one press's worth
constexpr double kLine = 0.03;        // the glide holds X within this of the line
constexpr double kSwing = 0.07;       // largest swing across the orbital plane left alone...
constexpr double kSwingDone = 0.05;   // ...and the swing bursts along Z aim under, late or not
constexpr long kHoldGap = 8;          // calls between two presses of the glide at least
constexpr double kTimeWeight = 0.1;   // what a time unit sooner at the port is worth, in presses
constexpr int kMaxX = 6, kMaxY = 8;   // presses of one transfer burst along X and along Y at most
constexpr int kMaxZ = 6;              // presses of one burst along Z at most
constexpr long kMaxCalls = 20000;     // the longest flight a plan may take
constexpr size_t kCandidates = 12;    // transfers of each kind flown through sim, cheapest first
constexpr long kStride = 4;           // calls between two looks for the line in the transfer search
constexpr int kHoldsPerCheck = 5;     // presses of the glide between two checks

// ---- Flying in sim's place ----

// The thruster keys are sim's, numbered alike.
static_assert(Up == static_cast<int>(sim::Up) && Down == static_cast<int>(sim::Down) &&
                  Left == static_cast<int>(sim::Left) && Right == static_cast<int>(sim::Right) &&
                  PageUp == static_cast<int>(sim::PageUp) && PageDown == static_cast<int>(sim::PageDown),
              "plan::Key and sim::Thruster number the keys alike");

Vec now() {
    return {sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp};
}

void setNow(const Vec& s) {
    sim::X = s[0], sim::Y = s[1], sim::Z = s[2];
    sim::Xp = s[3], sim::Yp = s[4], sim::Zp = s[5];
}

// A flight of sc from moment m, as a reset would start it there.
sim::Vol flightFrom(const sim::ParaPhy& sc, const Moment& m) {
    sim::Vol f;
    f.head = sc;
    f.head.X0 = m.X, f.head.Y0 = m.Y, f.head.Z0 = m.Z;
    f.head.Xp0 = m.Xp, f.head.Yp0 = m.Yp, f.head.Zp0 = m.Zp;
    f.t0 = m.t;
    f.reserve = m.reserve;
    return f;
}

// Puts sim at moment m of a flight of sc, as a reset there leaves a run, with a new record. The
// history keeps no trail: the planner never reads it, and a long one costs a shift on every call.
void place(const sim::ParaPhy& sc, const Moment& m) {
    sim::razFlight(flightFrom(sc, m), false);
}

// A thruster key as the key handler gives it.
void press(Key key) {
    if (key != Check)
        sim::thrust(static_cast<sim::Thruster>(key));
}

// ---- One integrator call as a linear map ----

// The integrator is linear in the state and the thrust, so flying the six unit states and one press
// per axis through nextD gives it whole; the search then runs on these numbers, not on equations.
struct Model {
    std::array<Vec, 6> col{};   // state after one call of free motion from each unit state
    std::array<Vec, 3> press{}; // state after one call from rest at the origin with a press along X, Y, Z
    double tcall = 0.0;         // time one call advances
    double q = 0.0;             // velocity one press gives along its own axis
    double omega = 0.0;         // orbital rate
};

Vec step(const Model& m, const Vec& s) {
    Vec r{};
    for (int j = 0; j < 6; j++)
        for (int i = 0; i < 6; i++)
            r[i] += m.col[j][i] * s[j];
    return r;
}

Model learn(const sim::ParaPhy& sc) {
    Model m;
    const Moment origin;
    for (int j = 0; j < 6; j++) {
        place(sc, origin);
        Vec e{};
        e[j] = 1.0;
        setNow(e);
        sim::nextD();
        m.col[j] = now();
    }
    double* const thrust[3] = {&sim::px, &sim::py, &sim::pz};
    for (int a = 0; a < 3; a++) {
        place(sc, origin);
        *thrust[a] = sc.p;
        sim::nextD();
        m.press[a] = now();
        m.tcall = sim::t - origin.t;
    }
    m.q = m.press[0][3];
    m.omega = sc.Omega;
    return m;
}

// Calls one search looks ahead: a little more than an orbit, within bounds for slow or no orbits.
long horizon(const Model& m) {
    if (m.tcall <= 0.0)
        return 0;
    const double orbit = m.omega > 0.0 ? 2.0 * M_PI / m.omega : 1e9;
    // Bounded before it becomes a count: without an orbit it is far beyond a 32-bit long (the page's).
    return static_cast<long>(std::clamp(1.6 * orbit / m.tcall, 400.0, 3000.0));
}

// ---- The person flying a plan ----

struct Pace {
    size_t next = 0;          // the next step to start
    int left = 0;             // presses left of the step under way
    Key key = Check;          // its key
    long call = 0;            // integrator calls flown
    long due = 0;             // call of the next press
    long last = -1000;        // call of the last press
    int presses = 0;          // presses so far
    std::vector<double> ends; // time of the last press of each step started, in step order
};

enum Event { Flying, Paused, Ended };

// How a person keeps to a plan: late by late[0] and late[1] on alternate steps, and pressing gap[0]
// and gap[1] calls apart on alternate presses.
struct Hand {
    double late[2] = {kLate, kLate};
    int gap[2] = {kGap, kGap};
};

// One integrator call of a person flying `steps`: the step whose time has come starts, a press due is
// made, then the call, then the reserve rule and the outcome rules as the next frame applies them. A
// check reached returns Paused before the call; flying on from there is the person going on after it.
Event fly1(const std::vector<Step>& steps, const Hand& h, Pace& p) {
    const int gap = h.gap[p.presses % 2];
    if (p.left == 0 && p.next < steps.size() && sim::t >= steps[p.next].t + h.late[p.next % 2] - 1e-6) {
        const Step& s = steps[p.next++];
        if (s.key == Check) {
            p.ends.push_back(sim::t);
            return Paused;
        }
        p.left = s.count;
        p.key = s.key;
        p.due = std::max(p.call, p.last + gap);
    }
    if (p.left > 0 && p.call >= p.due) {
        press(p.key);
        p.presses++;
        p.last = p.call;
        p.due = p.call + gap;
        if (--p.left == 0)
            p.ends.push_back(sim::t);
    }
    sim::nextD();
    p.call++;
    sim::clampReserve();
    sim::collision(sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp);
    return sim::coll != 0 ? Ended : Flying;
}

// ---- Transfer to the approach line ----

struct P4 {
    double x = 0, y = 0, xp = 0, yp = 0;
};

P4 inPlane(const Vec& s) {
    return {s[0], s[1], s[3], s[4]};
}

// A burst along X, then one along Y, then a coast to the call where the glide begins.
struct Transfer {
    long first = 0;     // call of the first press, counted from the moment
    int kx = 0, ky = 0; // presses along X, then along Y; the sign gives the direction
    long gate = 0;      // call at which the glide begins, or the chaser stops
    double cost = 0.0;  // presses, with those still needed after it and the time weighed in
    bool stop = false;  // the chaser stops on the line, too far for the glide, and flies on from there
};

int roundi(double v) {
    return static_cast<int>(std::lround(v));
}

// The fastest closing speed of the glide: kGlideFast, or one press when a press gives more, as it
// does without an orbit.
double fast(const Model& m) {
    return std::max(kGlideFast, m.q + 0.005);
}

// The presses that start a glide from `at`: along X to bring Xp within half a press, along Y to
// bring the closing speed into the glide's range; the sign gives the direction.
int startX(const Model& m, const P4& at) {
    return std::fabs(at.xp) > m.q / 2 ? roundi(-at.xp / m.q) : 0;
}
int startY(const Model& m, const P4& at) {
    return at.yp >= kGlideSlow && at.yp <= fast(m) ? 0 : roundi((kGlideSpeed - at.yp) / m.q);
}

// What a glide costs from where it begins: the presses that start it, those that hold the line (the
// orbit pulls a closing chaser up at 2 Omega Yp, a velocity of 2 Omega D over D), and its time.
double glideCost(const Model& m, const P4& at) {
    const double d = sim::kPortY - at.y;
    return std::abs(startX(m, at)) + std::abs(startY(m, at)) + 2.0 * m.omega * d / m.q +
           kTimeWeight * d / kGlideSpeed;
}

// What it costs to come from rest on the line, d from the port, to where the glide begins: hops of
// a few presses along X, each moving the chaser 4 q / Omega down the line in half an orbit.
double restCost(const Model& m, double d) {
    const double hop = 4.0 * m.q / std::max(m.omega, 1e-3);
    return 2.0 * std::ceil(std::max(0.0, d - kGateFar) / hop) +
           glideCost(m, {0.0, sim::kPortY - kGateFar, 0.0, 0.0});
}

// In-plane positions and velocities call by call, kept apart so that the scan reads only positions.
struct Track {
    std::vector<double> x, y, xp, yp;
    explicit Track(long len = 0) : x(len + 1), y(len + 1), xp(len + 1), yp(len + 1) {}
    void set(long j, const Vec& s) { x[j] = s[0], y[j] = s[1], xp[j] = s[3], yp[j] = s[4]; }
};

// The motion that bursts of 1 to kmax presses along `axis`, kGap calls apart, add d calls after the
// first press began.
std::vector<Track> bursts(const Model& m, int axis, int kmax, long len) {
    std::vector<Vec> one(len + 1);
    Vec s = m.press[axis];
    for (long d = 1; d <= len; d++) {
        one[d] = s;
        s = step(m, s);
    }
    std::vector<Track> b(kmax + 1, Track(len));
    for (int k = 1; k <= kmax; k++)
        for (long d = 0; d <= len; d++) {
            const long e = d - kGap * (k - 1);
            b[k].x[d] = b[k - 1].x[d] + (e >= 1 ? one[e][0] : 0.0);
            b[k].y[d] = b[k - 1].y[d] + (e >= 1 ? one[e][1] : 0.0);
            b[k].xp[d] = b[k - 1].xp[d] + (e >= 1 ? one[e][3] : 0.0);
            b[k].yp[d] = b[k - 1].yp[d] + (e >= 1 ? one[e][4] : 0.0);
        }
    return b;
}

// The cheapest transfers from s0, each to a point of the approach line: between kGateNear and
// kGateFar from the port, where the glide begins, or, if the orbit allows it, farther, where the
// chaser stops. Bursts are quantised as the keys give them and the coast is the model's free motion,
// so a transfer found here is one the keys can fly.
std::vector<Transfer> transfers(const Model& m, const Vec& s0, int reserve) {
    const long len = horizon(m);
    Track coast(len);
    Vec s = s0;
    for (long j = 0; j <= len; j++) {
        coast.set(j, s);
        s = step(m, s);
    }
    const std::vector<Track> bx = bursts(m, 0, kMaxX, len), by = bursts(m, 1, kMaxY, len);
    const long lateCalls = std::lround(kLate / m.tcall);
    std::vector<Transfer> glides, stops;
    for (const long wait : {0L, 20L, 60L, 120L, 200L, 300L, 400L}) {
        const long first = lateCalls + wait;
        if (first >= len)
            break;
        for (int kx = -kMaxX; kx <= kMaxX; kx++) {
            for (int ky = -kMaxY; ky <= kMaxY; ky++) {
                const int n = std::abs(kx) + std::abs(ky);
                if (n > reserve)
                    continue;
                const Track &tx = bx[std::abs(kx)], &ty = by[std::abs(ky)];
                const double sx = kx < 0 ? -1.0 : 1.0, sy = ky < 0 ? -1.0 : 1.0;
                const long firstY = first + kGap * std::abs(kx);
                const long end = n > 0 ? first + kGap * (n - 1) : first;
                const auto xAt = [&](long j) {
                    return coast.x[j] + sx * tx.x[j - first] + sy * ty.x[std::max(0L, j - firstY)];
                };
                const auto yAt = [&](long j) {
                    return coast.y[j] + sx * tx.y[j - first] + sy * ty.y[std::max(0L, j - firstY)];
                };
                bool glide = false, stop = m.omega <= 0.0; // what is still looked for
                // The line is looked for every kStride calls, then call by call where it was crossed.
                for (long j = end + 1, prev = end + 1; j <= len && !(glide && stop); prev = j, j += kStride) {
                    const double x = xAt(j), y = yAt(j);
                    if ((sim::kPortY - y < 0.3 && std::fabs(x) < 1.0) || x * x + y * y > 8100.0)
                        break; // too near the target off the line, or nearly lost
                    if (std::fabs(x) > kGateLine && xAt(prev) * x > 0.0)
                        continue;
                    for (long g = std::max(prev, end + 1); g <= j; g++) {
                        const double gx = xAt(g);
                        if (std::fabs(gx) > kGateLine && (g == end + 1 || xAt(g - 1) * gx > 0.0))
                            continue;
                        const long gy = std::max(0L, g - firstY);
                        const P4 p{gx, yAt(g), coast.xp[g] + sx * tx.xp[g - first] + sy * ty.xp[gy],
                                   coast.yp[g] + sx * tx.yp[g - first] + sy * ty.yp[gy]};
                        const double d = sim::kPortY - p.y;
                        // What comes next begins with a short burst: the chaser must come onto the line
                        // slowly.
                        if (!glide && d >= kGateNear && d <= kGateFar && std::fabs(p.xp) <= kGateSwerve &&
                            std::fabs(p.yp - kGlideSpeed) <= kGateClose) {
                            glide = true;
                            glides.push_back(
                                {first, kx, ky, g, n + glideCost(m, p) + kTimeWeight * g * m.tcall});
                        }
                        if (!stop && d > kGateFar && d <= kStopFar && std::fabs(p.xp) <= kGateSwerve &&
                            std::fabs(p.yp) <= kGateClose) {
                            stop = true;
                            const int halt = std::abs(roundi(p.xp / m.q)) + std::abs(roundi(p.yp / m.q));
                            stops.push_back({first, kx, ky, g,
                                             n + halt + restCost(m, d) + kTimeWeight * g * m.tcall, true});
                        }
                        break;
                    }
                }
            }
        }
    }
    const auto cheapest = [](std::vector<Transfer>& v) {
        std::sort(v.begin(), v.end(), [](const Transfer& a, const Transfer& b) { return a.cost < b.cost; });
        if (v.size() > kCandidates)
            v.resize(kCandidates);
    };
    cheapest(glides);
    cheapest(stops);
    // Already on the line near the port, as at a check during a glide: glide on from here.
    const P4 here = inPlane(s0);
    if (std::fabs(here.x) <= 0.1 && sim::kPortY - here.y > 0.0 && sim::kPortY - here.y <= kGateFar)
        glides.insert(glides.begin(), {0, 0, 0, 0, glideCost(m, here)});
    glides.insert(glides.end(), stops.begin(), stops.end());
    return glides;
}

// ---- The swing across the orbital plane ----

using Z2 = std::array<double, 2>; // Z, Zp

// How far from the plane the free swing reaches; without an orbit a drift never stops.
double swing(const Model& m, const Z2& z) {
    // Products, a sum and a root, each rounded as IEEE 754 says, where hypot rounds as each C library
    // does: the choice must come out the same on the desktop and in the browser.
    if (m.omega > 0.0) {
        const double v = z[1] / m.omega;
        return std::sqrt(z[0] * z[0] + v * v);
    }
    return std::fabs(z[1]) > 1e-6 ? 1e9 : std::fabs(z[0]);
}

Z2 zstep(const Model& m, const Z2& z) {
    return {m.col[2][2] * z[0] + m.col[5][2] * z[1], m.col[2][5] * z[0] + m.col[5][5] * z[1]};
}

// The motion across the plane call by call: free from the moment, and that one press adds d calls
// after it began.
struct ZTrack {
    std::vector<Z2> coast, one;
};

ZTrack ztrack(const Model& m, const Z2& z0, long len) {
    ZTrack tr{std::vector<Z2>(len + 1), std::vector<Z2>(len + 1)};
    Z2 z = z0, r{m.press[2][2], m.press[2][5]};
    for (long j = 0; j <= len; j++) {
        tr.coast[j] = z;
        z = zstep(m, z);
        if (j >= 1) {
            tr.one[j] = r;
            r = zstep(m, r);
        }
    }
    return tr;
}

// The state across the plane right after a burst of k presses (the sign giving the direction)
// whose first press is at call c; calls past the track's end give nothing.
bool zAfter(const ZTrack& tr, long c, int k, Z2* z, long* end) {
    *end = c + kGap * (std::abs(k) - 1) + 1;
    if (c < 0 || *end >= static_cast<long>(tr.coast.size()))
        return false;
    *z = tr.coast[*end];
    for (int i = 0; i < std::abs(k); i++) {
        const Z2& r = tr.one[*end - c - kGap * i];
        (*z)[0] += (k < 0 ? -r[0] : r[0]), (*z)[1] += (k < 0 ? -r[1] : r[1]);
    }
    return true;
}

struct ZBurst {
    long call = 0;     // call of the first press, counted from the moment
    int k = 0;         // presses, the sign giving the direction
    double left = 1e9; // the swing it leaves, at worst for a person kLate early or late
};

// The burst along Z, first pressed between calls `from` and `to` and clear of the calls `busy` of
// the transfer, that leaves the smallest swing.
ZBurst bestZ(const Model& m, const ZTrack& tr, long from, long to, long busyFrom, long busyTo) {
    ZBurst best;
    const long spread = std::lround(kLate / m.tcall);
    for (long c = from; c <= to; c++) {
        if (c + spread >= busyFrom && c - spread <= busyTo)
            continue;
        for (int k = -kMaxZ; k <= kMaxZ; k++) {
            double worst = k == 0 ? 1e9 : 0.0;
            for (const long at : {c - spread, c, c + spread}) {
                Z2 z;
                long end;
                worst = k != 0 && zAfter(tr, at, k, &z, &end) ? std::max(worst, swing(m, z)) : 1e9;
            }
            if (worst + 0.01 * std::abs(k) < best.left + 0.01 * std::abs(best.k))
                best = {c, k, worst};
        }
    }
    return best;
}

// Up to two bursts along Z, clear of the calls `busy` of the transfer, that stop a swing across the
// plane larger than kSwing. One burst where the chaser crosses the plane takes away a whole number
// of presses' worth of swing; when the rest would still be too large, a first burst is chosen that
// leaves a whole number of presses' worth, and the second takes it away.
std::vector<Step> planZ(const Model& m, const Vec& s0, double t0, long busyFrom, long busyTo) {
    std::vector<Step> steps;
    const Z2 z0{s0[2], s0[5]};
    const double now = swing(m, z0);
    if (now <= kSwing)
        return steps;
    const long len = horizon(m);
    const ZTrack tr = ztrack(m, z0, len);
    const long lateCalls = std::lround(kLate / m.tcall);
    const long half = m.omega > 0.0 ? std::lround(M_PI / m.omega / m.tcall) : lateCalls;
    const long to = std::min(len / 2, half + lateCalls);
    const auto add = [&](long call, int k) {
        steps.push_back({t0 + call * m.tcall - kLate, k > 0 ? PageUp : PageDown, std::abs(k), {}});
    };
    const ZBurst one = bestZ(m, tr, lateCalls, to, busyFrom, busyTo);
    if (one.left <= kSwingDone || m.omega <= 0.0) {
        if (one.left < now)
            add(one.call, one.k);
        return steps;
    }
    const double unit = m.q / m.omega; // the swing one press takes away where the chaser crosses the plane
    double bestRest = 1e9;
    long c1 = 0, end1 = 0;
    int k1 = 0;
    Z2 after1{};
    for (long c = lateCalls; c <= to; c += kGap) {
        if (c + lateCalls >= busyFrom && c - lateCalls <= busyTo)
            continue;
        for (int k = -3; k <= 3; k++) {
            Z2 z;
            long end;
            if (k == 0 || !zAfter(tr, c, k, &z, &end))
                continue;
            const double a = swing(m, z);
            const double rest = std::fabs(a - std::round(a / unit) * unit) + 0.01 * std::abs(k);
            if (rest < bestRest)
                bestRest = rest, c1 = c, k1 = k, end1 = end, after1 = z;
        }
    }
    if (k1 == 0) {
        if (one.left < now)
            add(one.call, one.k);
        return steps;
    }
    ZTrack then = tr;
    Z2 z = after1;
    for (long j = end1; j <= len; j++, z = zstep(m, z))
        then.coast[j] = z;
    const ZBurst two =
        bestZ(m, then, end1 + 2 * kGap, std::min(len - 1, end1 + half + 2 * kGap), busyFrom, busyTo);
    if (two.left >= one.left) {
        if (one.left < now)
            add(one.call, one.k);
        return steps;
    }
    add(c1, k1);
    add(two.call, two.k);
    return steps;
}

// ---- The glide down the approach line ----

// The glide's pilot, between bursts: the orbit pulls a closing chaser up (+X) at 2 Omega Yp, so a
// Left press each time Xp has grown past half a press keeps it on the line; presses the other way,
// or along Y, put back a chaser that has left the band or the speed range. Check means none now.
Key holdKey(const Model& m) {
    const double q = m.q, e = 0.003;
    if (sim::Xp > q / 2 + e && sim::X > -kLine)
        return Left;
    if (sim::Xp < -q / 2 - e && sim::X < kLine)
        return Right;
    if (sim::X > kLine && sim::Xp > -q / 4)
        return Left;
    if (sim::X < -kLine && sim::Xp < q / 4)
        return Right;
    if (sim::Yp > fast(m))
        return Down;
    if (sim::Yp < kGlideSlow)
        return Up;
    return Check;
}

// Inserts `count` presses of `key` as the next step the person starts, now.
void insertNext(std::vector<Step>& steps, std::vector<bool>& hold, const Pace& p, Key key, int count,
                bool held) {
    if (count <= 0)
        return;
    steps.insert(steps.begin() + static_cast<long>(p.next), {sim::t - kLate, key, count, {}});
    hold.insert(hold.begin() + static_cast<long>(p.next), held);
}

// Where a leg meets the approach line.
struct Gate {
    double t = 0.0;    // time
    double d = 0.0;    // distance to the port along the line
    bool stop = false; // the chaser stops there; otherwise the glide begins
};

struct Flown {
    std::vector<Step> steps;
    std::vector<bool> hold; // the steps the glide's pilot added, one press each
    std::vector<Transfer> legs;
    std::vector<Gate> gates;
    int outcome = 0; // as sim::coll; 0 at a stop
    double arrival = 0.0, speed = 0.0;
    int reserve = 0, presses = 0;
    Moment after; // at a stop: the moment the next leg flies from
};

// Flies one leg through sim as the person of the plan, collecting the steps: the transfer's bursts and
// those along Z, then, where the transfer meets the line, either the glide down to the port or a
// burst that stops the chaser there.
Flown flyLeg(const Model& m, const sim::ParaPhy& sc, const Moment& from, const Transfer& tr) {
    Flown f;
    f.legs.push_back(tr);
    place(sc, from);
    const double start = from.t + tr.first * m.tcall - kLate;
    if (tr.kx != 0)
        f.steps.push_back({start, tr.kx > 0 ? Right : Left, std::abs(tr.kx), {}});
    if (tr.ky != 0)
        f.steps.push_back({start, tr.ky > 0 ? Up : Down, std::abs(tr.ky), {}});
    const long busyTo = tr.first + kGap * (std::abs(tr.kx) + std::abs(tr.ky)) + 10;
    for (const Step& z : planZ(m, now(), from.t, tr.first - 10, busyTo))
        f.steps.push_back(z);
    std::stable_sort(f.steps.begin(), f.steps.end(), [](const Step& a, const Step& b) { return a.t < b.t; });
    f.hold.assign(f.steps.size(), false);

    Pace p;
    bool onLine = false;
    while (p.call < kMaxCalls) {
        const bool idle =
            p.left == 0 && (p.next >= f.steps.size() || f.steps[p.next].t + kLate > sim::t + 0.5);
        if (!onLine && p.call >= tr.gate) {
            onLine = true;
            f.gates.push_back({sim::t, sim::kPortY - sim::Y, tr.stop});
            // A stop takes all the velocity away.
            const P4 at = inPlane(now());
            const int ky = tr.stop ? roundi(-at.yp / m.q) : startY(m, at);
            const int kx = tr.stop ? roundi(-at.xp / m.q) : startX(m, at);
            insertNext(f.steps, f.hold, p, ky > 0 ? Up : Down, std::abs(ky), false);
            insertNext(f.steps, f.hold, p, kx > 0 ? Right : Left, std::abs(kx), false);
        } else if (onLine && tr.stop && idle && p.next >= f.steps.size()) {
            // Stopped: a little coast, so that a check can come before the next leg.
            if (p.ends.empty() || sim::t >= p.ends.back() + 1.0) {
                f.after = {sim::t, sim::X, sim::Y, sim::Z, sim::Xp, sim::Yp, sim::Zp, sim::pc};
                break;
            }
        } else if (onLine && !tr.stop && idle && p.call >= p.last + kHoldGap) {
            const Key k = holdKey(m);
            if (k != Check)
                insertNext(f.steps, f.hold, p, k, 1, true);
        }
        if (fly1(f.steps, Hand(), p) == Ended)
            break;
        // Off the line by this much the glide cannot dock: a failed plan, no use flying on.
        if (onLine && !tr.stop && std::fabs(sim::X) > 0.3)
            break;
    }
    f.outcome = sim::coll;
    f.arrival = sim::t;
    f.speed = std::sqrt(sim::Xp * sim::Xp + sim::Yp * sim::Yp + sim::Zp * sim::Zp);
    f.reserve = sim::pc;
    f.presses = p.presses;
    // Steps the flight never reached are no part of the plan.
    f.steps.resize(std::min(f.steps.size(), p.next));
    f.hold.resize(f.steps.size());
    return f;
}

// The first leg from `from`, cheapest first, that ends in a docking when flown on time.
Flown firstDocking(const Model& m, const sim::ParaPhy& sc, const Moment& from) {
    for (const Transfer& tr :
         transfers(m, {from.X, from.Y, from.Z, from.Xp, from.Yp, from.Zp}, from.reserve)) {
        if (tr.stop)
            break;
        Flown f = flyLeg(m, sc, from, tr);
        if (f.outcome == 3)
            return f;
    }
    return {};
}

// A stopping leg followed by the next one.
Flown join(Flown first, const Flown& next) {
    first.steps.insert(first.steps.end(), next.steps.begin(), next.steps.end());
    first.hold.insert(first.hold.end(), next.hold.begin(), next.hold.end());
    first.legs.insert(first.legs.end(), next.legs.begin(), next.legs.end());
    first.gates.insert(first.gates.end(), next.gates.begin(), next.gates.end());
    first.outcome = next.outcome;
    first.arrival = next.arrival;
    first.speed = next.speed;
    first.reserve = next.reserve;
    first.presses += next.presses;
    return first;
}

// ---- Checks ----

// Pauses at which the person reads the screen and asks again, so that what a late hand did is put
// right from then on: after each burst, before the chaser comes onto the line, and every few presses
// of the glide; none in the first time unit or in the last stretch, where asking changes nothing.
std::vector<Step> withChecks(const Flown& f, const std::vector<double>& ends, double t0) {
    std::vector<double> at;
    int held = 0;
    for (size_t i = 0; i < f.steps.size() && i < ends.size(); i++)
        if (!f.hold[i] || ++held % kHoldsPerCheck == 0)
            at.push_back(ends[i] + 0.5 - kLate);
    for (const Gate& g : f.gates)
        at.push_back(g.t - 2.0 - kLate);
    std::sort(at.begin(), at.end());
    std::vector<Step> steps = f.steps;
    double last = -1e9;
    for (const double t : at) {
        if (t < t0 + 0.5 || t - last < 1.5 || t > f.arrival - 2.0)
            continue;
        last = t;
        const auto pos =
            std::upper_bound(steps.begin(), steps.end(), t, [](double v, const Step& s) { return v < s.t; });
        steps.insert(pos, {t, Check, 0, {}});
    }
    return steps;
}

// Flies `steps` from `from` by hand h, up to the first check or the end.
int upToCheck(const sim::ParaPhy& sc, const Moment& from, const std::vector<Step>& steps, const Hand& h) {
    place(sc, from);
    Pace p;
    Event e = Flying;
    while (p.call < kMaxCalls && (e = fly1(steps, h, p)) == Flying) {
    }
    return e == Paused ? 0 : sim::coll;
}

// Whether the plan holds for a person at the ends of the lateness and spacing allowed, always or by
// turns: nothing goes wrong before the first check, and when no check comes first, the chaser docks.
bool holds(const sim::ParaPhy& sc, const Moment& from, const std::vector<Step>& steps) {
    const Hand hands[] = {
        {{0.0, 0.0}, {kGapMin, kGapMin}},           {{0.0, 0.0}, {kGapMax, kGapMax}},
        {{kLateMax, kLateMax}, {kGapMin, kGapMin}}, {{kLateMax, kLateMax}, {kGapMax, kGapMax}},
        {{0.0, kLateMax}, {kGapMin, kGapMax}},      {{kLateMax, 0.0}, {kGapMax, kGapMin}}};
    for (const Hand& h : hands)
        if (const int end = upToCheck(sc, from, steps, h); end != 0 && end != 3)
            return false;
    return true;
}

// ---- The plan in words ----

// How the plan brings the chaser to the port, one sentence a leg, in the language in use.
std::vector<std::string> approach(const Flown& f, const Model& m) {
    std::vector<std::string> out;
    for (size_t i = 0; i < f.legs.size() && i < f.gates.size(); i++) {
        const Transfer& leg = f.legs[i];
        std::string s;
        const auto add = [&](const char* key) {
            s = s.empty() ? tr(key) : tr("plan.method.and", {s, tr(key)});
        };
        if (leg.kx < 0)
            add("plan.method.left");
        if (leg.kx > 0)
            add("plan.method.right");
        if (leg.ky < 0)
            add(m.omega > 0.0 ? "plan.method.down.orbit" : "plan.method.down");
        if (leg.ky > 0)
            add(m.omega > 0.0 ? "plan.method.up.orbit" : "plan.method.up");
        if (s.empty())
            s = tr(leg.gate > 0 ? "plan.method.let-go" : "plan.method.already");
        s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        out.push_back(tr(f.gates[i].stop ? "plan.method.stop-at" : "plan.method.on-axis-at",
                         {s, fmt("%.1f", f.gates[i].d)}));
    }
    out.push_back(tr(m.omega > 0.0 ? "plan.method.glide.orbit" : "plan.method.glide"));
    for (const Step& st : f.steps)
        if (st.key == PageUp || st.key == PageDown) {
            out.push_back(tr("plan.method.out-of-plane"));
            break;
        }
    return out;
}

} // namespace

Plan planFrom(const sim::ParaPhy& scenario, const Moment& from) {
    // A copy first: the scenario may be the live record's head, which hold() puts aside.
    const sim::ParaPhy sc = scenario;
    sim::Held saved = sim::hold();
    Plan best;
    best.outcome = -1;
    const Model m = learn(sc);
    best.pulse = m.q;
    const Vec s0{from.X, from.Y, from.Z, from.Xp, from.Yp, from.Zp};
    const std::vector<Transfer> all =
        m.q > 0.0 && m.tcall > 0.0 ? transfers(m, s0, from.reserve) : std::vector<Transfer>();
    bool found = false;
    for (const Transfer& tr : all) {
        Flown f = flyLeg(m, sc, from, tr);
        if (tr.stop && f.outcome == 0 && !f.gates.empty())
            f = join(std::move(f), firstDocking(m, sc, f.after));
        if (f.outcome != 3)
            continue;
        // The time each step ends, in the flight of the plan without checks, places the checks.
        place(sc, from);
        Pace p;
        while (p.call < kMaxCalls && fly1(f.steps, Hand(), p) != Ended) {
        }
        std::vector<Step> steps = withChecks(f, p.ends, from.t);
        // A plan that a late or hasty hand spoils before the first check gives way to the next one;
        // when every plan does, the first that docks on time is still the best advice.
        const bool sure = holds(sc, from, steps);
        if (found && !sure)
            continue;
        found = true;
        // Fly the plan with its checks once more, as the person will, noting what each check reads.
        // Its path is kept for the picture of the plan.
        place(sc, from);
        Pace q;
        std::vector<Sample> flight{{sim::t, sim::X, sim::Y, sim::Z}};
        while (q.call < kMaxCalls) {
            const Event e = fly1(steps, Hand(), q);
            if (e == Paused) {
                steps[q.next - 1].expect = {sim::t,  sim::X,  sim::Y,  sim::Z,
                                            sim::Xp, sim::Yp, sim::Zp, sim::pc};
                continue;
            }
            flight.push_back({sim::t, sim::X, sim::Y, sim::Z});
            if (e == Ended)
                break;
        }
        // Times on the call grid of the moment, never before it.
        for (Step& s : steps)
            s.t = from.t + std::max(0.0, std::round((s.t - from.t) / m.tcall)) * m.tcall;
        best.steps = std::move(steps);
        best.outcome = sim::coll;
        best.arrival = sim::t;
        best.speed = std::sqrt(sim::Xp * sim::Xp + sim::Yp * sim::Yp + sim::Zp * sim::Zp);
        best.reserve = sim::pc;
        best.presses = q.presses;
        best.method = approach(f, m);
        best.flight = std::move(flight);
        best.vol = sim::vol;
        best.end = sim::volEnd();
        best.legs.clear();
        for (const Gate& g : f.gates)
            best.legs.push_back(g.t);
        if (sure)
            break;
    }
    sim::giveBack(saved);
    return best;
}

} // namespace plan
