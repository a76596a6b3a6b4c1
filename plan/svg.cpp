// The plan as a picture. It draws the flight that the planner flew to check the plan, sample by
// sample, not a curve of its own: the orbital plane with y along the track and x up, at equal scales,
// and, when the chaser leaves that plane, z against time. Each step is marked where the chaser is when
// the screen shows the step's time; its label stands in a comb above the panel, tied to it by a thin
// line, so that the many short steps of the glide stay readable. The text follows the help page:
// its language, its decimal separator, the arrows of the keys.
#include "plan.h"

#include <algorithm>
#include <cmath>

namespace plan {

namespace {

constexpr double kWidth = 960.0;     // of the picture, in px
constexpr double kLeft = 70.0;       // room for the ticks' labels on the left of a panel
constexpr double kRight = 24.0;      // margin on the right of a panel
constexpr double kPlaneMax = 380.0;  // the orbital plane's panel is at most this tall...
constexpr double kPlaneMin = 120.0;  // ...and at least this
constexpr double kZoomMax = 220.0;   // the glide's panel at most this tall
constexpr double kZHeight = 130.0;   // the panel of z against time
constexpr double kCharWidth = 6.4;   // about what a character of the labels, 11 px, takes
constexpr double kLabelGap = 14.0;   // between two labels of a comb
constexpr double kThin = 0.5;        // a path keeps the points that lie farther than this, in px
constexpr double kOffPlane = 0.0005; // a flight leaves the plane where |z| shows on the screen
const char* const kTransfer = "#2a6fb5";
const char* const kGlide = "#c33";
const char* const kAdvice = "#777"; // the advice's flight under a flight flown

// ---- Words and numbers ----

// A number as the help page writes it: the language's decimal separator and a true minus sign, never
// "-0".
std::string num(double v, int decimals) {
    std::string s = fmt("%.*f", decimals, v);
    if (s.find_first_not_of("-0.") == std::string::npos)
        s = fmt("%.*f", decimals, 0.0);
    const std::string point = tr("number.decimal");
    std::string out;
    for (const char c : s)
        out += c == '.' ? point : c == '-' ? "\u2212" : std::string(1, c);
    return out;
}

std::string esc(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += c == '&'   ? "&amp;"
               : c == '<' ? "&lt;"
               : c == '>' ? "&gt;"
               : c == '"' ? "&quot;"
                          : std::string(1, c);
    return out;
}

// The keys as the help page shows them.
const char* symbol(Key key) {
    switch (key) {
    case Up:
        return "\u2191";
    case Down:
        return "\u2193";
    case Left:
        return "\u2190";
    case Right:
        return "\u2192";
    case PageUp:
        return "PageUp";
    case PageDown:
        return "PageDown";
    case Check:
        break;
    }
    return "pause";
}

// Characters a label shows, for its room: the multi-byte ones count once.
double textWidth(const std::string& s) {
    return kCharWidth * static_cast<double>(std::count_if(s.begin(), s.end(), [](char c) {
               return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
           }));
}

std::string text(double x, double y, const std::string& what, const char* attrs = "") {
    return fmt("<text x=\"%.1f\" y=\"%.1f\"%s>%s</text>\n", x, y, attrs, esc(what).c_str());
}

// ---- Geometry ----

struct Pt {
    double u = 0.0, v = 0.0;
};

double segmentDistance(const Pt& p, const Pt& a, const Pt& b) {
    const double du = b.u - a.u, dv = b.v - a.v, len2 = du * du + dv * dv;
    const double k = len2 > 0.0 ? std::clamp(((p.u - a.u) * du + (p.v - a.v) * dv) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(p.u - a.u - k * du, p.v - a.v - k * dv);
}

// The points of a polyline that a screen tells apart: each point left out lies within `tol` of the
// segment between the kept points around it (the Douglas-Peucker rule).
std::vector<Pt> thin(const std::vector<Pt>& p, double tol) {
    if (p.size() < 3)
        return p;
    std::vector<bool> keep(p.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<size_t, size_t>> todo{{0, p.size() - 1}};
    while (!todo.empty()) {
        const auto [a, b] = todo.back();
        todo.pop_back();
        double worst = tol;
        size_t at = 0;
        for (size_t i = a + 1; i < b; i++)
            if (const double d = segmentDistance(p[i], p[a], p[b]); d > worst)
                worst = d, at = i;
        if (at != 0) {
            keep[at] = true;
            todo.push_back({a, at});
            todo.push_back({at, b});
        }
    }
    std::vector<Pt> out;
    for (size_t i = 0; i < p.size(); i++)
        if (keep[i])
            out.push_back(p[i]);
    return out;
}

std::string pathData(const std::vector<Pt>& p, const char* number) {
    std::string d;
    for (size_t i = 0; i < p.size(); i++)
        d += (i == 0 ? "M" : i == 1 ? " L" : " ") + fmt(number, p[i].u) + "," + fmt(number, p[i].v);
    return d;
}

// A step between 1, 2 and 5 times a power of ten, that puts ticks at least `px` apart at `scale`.
double tickStep(double scale, double px) {
    const double raw = px / scale, p10 = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double k : {1.0, 2.0, 5.0})
        if (k * p10 >= raw)
            return k * p10;
    return 10.0 * p10;
}

int decimalsOf(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

// A panel: world (a, b) maps to px (x0 + (a - a0) * sa, y0 - (b - b0) * sb), b pointing up.
struct Frame {
    double x0 = 0, y0 = 0, w = 0, h = 0; // px: left, bottom, width, height
    double a0 = 0, a1 = 0, b0 = 0, b1 = 0;
    double sa = 1, sb = 1;
    double x(double a) const { return x0 + (a - a0) * sa; }
    double y(double b) const { return y0 - (b - b0) * sb; }
};

// Grid, ticks and their labels on both axes, the axes' names.
std::string axes(const Frame& f, const std::string& nameA, const std::string& nameB) {
    std::string out = fmt("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#fbfcfe\" "
                          "stroke=\"#888\"/>\n",
                          f.x0, f.y0 - f.h, f.w, f.h);
    const double stepA = tickStep(f.sa, 55.0), stepB = tickStep(f.sb, 30.0);
    out += "<g stroke=\"#e2e6ee\">";
    for (double a = std::ceil(f.a0 / stepA) * stepA; a <= f.a1 + 1e-9; a += stepA)
        out +=
            fmt("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", f.x(a), f.y0, f.x(a), f.y0 - f.h);
    for (double b = std::ceil(f.b0 / stepB) * stepB; b <= f.b1 + 1e-9; b += stepB)
        out +=
            fmt("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>", f.x0, f.y(b), f.x0 + f.w, f.y(b));
    out += "</g>\n<g font-size=\"11\" fill=\"#444\">\n";
    for (double a = std::ceil(f.a0 / stepA) * stepA; a <= f.a1 + 1e-9; a += stepA) {
        out += fmt("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#888\"/>", f.x(a), f.y0,
                   f.x(a), f.y0 + 4);
        out += text(f.x(a), f.y0 + 16, num(a, decimalsOf(stepA)), " text-anchor=\"middle\"");
    }
    for (double b = std::ceil(f.b0 / stepB) * stepB; b <= f.b1 + 1e-9; b += stepB) {
        out += fmt("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#888\"/>", f.x0 - 4,
                   f.y(b), f.x0, f.y(b));
        out += text(f.x0 - 7, f.y(b) + 4, num(b, decimalsOf(stepB)), " text-anchor=\"end\"");
    }
    out += text(f.x0 + f.w, f.y0 + 31, nameA, " text-anchor=\"end\" font-size=\"12\"");
    out += fmt("<text transform=\"translate(%.1f %.1f) rotate(-90)\" text-anchor=\"middle\" "
               "font-size=\"12\">%s</text>\n",
               f.x0 - 50, f.y0 - f.h / 2, esc(nameB).c_str());
    return out + "</g>\n";
}

// ---- Labels ----

enum Kind { Keys, Pause, Start, Docking };

// A point of the picture to name: where, the label's words and how it is drawn.
struct Mark {
    double x = 0, y = 0; // px
    std::string label;
    Kind kind = Keys;
};

std::string markShape(const Mark& m) {
    switch (m.kind) {
    case Pause:
        return fmt("<rect x=\"%.1f\" y=\"%.1f\" width=\"7\" height=\"7\" fill=\"#fff\" stroke=\"#555\"/>\n",
                   m.x - 3.5, m.y - 3.5);
    case Start:
        return fmt("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5.5\" fill=\"#fff\" stroke=\"#1a3a6b\" "
                   "stroke-width=\"2\"/>\n",
                   m.x, m.y);
    case Docking:
        return fmt("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5.5\" fill=\"#3a8a3a\" stroke=\"#fff\"/>\n", m.x,
                   m.y);
    case Keys:
        break;
    }
    return fmt("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3.2\" fill=\"#222\"/>\n", m.x, m.y);
}

// Where the labels of a comb go: each as near its mark as kLabelGap allows, runs of labels that
// would overlap spread evenly around the mean of their marks, all between `lo` and `hi`.
std::vector<double> spread(const std::vector<double>& want, double lo, double hi) {
    struct Run {
        size_t first, count;
        double sum, at;
    };
    std::vector<Run> runs;
    for (size_t i = 0; i < want.size(); i++) {
        runs.push_back({i, 1, want[i], 0.0});
        while (true) {
            Run& r = runs.back();
            const double width = kLabelGap * static_cast<double>(r.count - 1);
            r.at = std::clamp(r.sum / static_cast<double>(r.count) - width / 2, lo, std::max(lo, hi - width));
            if (runs.size() < 2)
                break;
            const Run& before = runs[runs.size() - 2];
            if (before.at + kLabelGap * static_cast<double>(before.count) <= r.at)
                break;
            const Run merged{before.first, before.count + r.count, before.sum + r.sum, 0.0};
            runs.pop_back();
            runs.back() = merged;
        }
    }
    std::vector<double> at(want.size());
    for (const Run& r : runs)
        for (size_t k = 0; k < r.count; k++)
            at[r.first + k] = r.at + kLabelGap * static_cast<double>(k);
    return at;
}

double combHeight(const std::vector<Mark>& marks) {
    double h = 0.0;
    for (const Mark& m : marks)
        h = std::max(h, textWidth(m.label));
    return h + 16.0;
}

// The marks of a panel whose top is at `top`, given in time order, and their labels upright in a comb whose
// foot is at `foot`, above the panel.
std::string comb(std::vector<Mark> marks, const Frame& f, double top, double foot) {
    // Left to right, so that the tying lines do not cross; marks about one label apart keep the order
    // they come in, that of time.
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) {
        return std::floor(a.x / kLabelGap) < std::floor(b.x / kLabelGap);
    });
    std::vector<double> want;
    for (const Mark& m : marks)
        want.push_back(m.x);
    const std::vector<double> at = spread(want, f.x0 + 6, f.x0 + f.w - 6);
    std::string lines = "<g stroke=\"#9aa3b0\" stroke-width=\"0.6\" fill=\"none\">\n";
    std::string labels = "<g font-size=\"11\">\n", shapes;
    for (size_t i = 0; i < marks.size(); i++) {
        const Mark& m = marks[i];
        lines += fmt("<polyline points=\"%.1f,%.1f %.1f,%.1f %.1f,%.1f\"/>\n", m.x, m.y, m.x, top - 4, at[i],
                     foot - 2);
        // Turned a quarter left, a label reads upwards; its baseline sits right of its centre.
        labels +=
            fmt("<text transform=\"translate(%.1f %.1f) rotate(-90)\"%s>%s</text>\n", at[i] + 4, foot - 6,
                m.kind == Pause  ? " fill=\"#666\""
                : m.kind != Keys ? " font-weight=\"bold\""
                                 : "",
                esc(m.label).c_str());
        shapes += markShape(m);
    }
    return lines + "</g>\n" + labels + "</g>\n" + shapes;
}

// The sample of the flight nearest in time to t.
const Sample& at(const std::vector<Sample>& flight, double t) {
    const auto it =
        std::lower_bound(flight.begin(), flight.end(), t, [](const Sample& s, double v) { return s.t < v; });
    if (it == flight.end())
        return flight.back();
    if (it != flight.begin() && t - std::prev(it)->t < it->t - t)
        return *std::prev(it);
    return *it;
}

// The steps of one time in one label, as "23,45 : ←, 3 × ↑"; `only` keeps those it says.
struct Label {
    double t = 0.0;
    std::string text;
    bool check = true; // only checks
};

std::vector<Label> stepLabels(const Plan& plan, bool (*only)(Key)) {
    std::vector<Label> out;
    for (const Step& s : plan.steps) {
        if (!only(s.key))
            continue;
        const std::string what =
            s.count > 1 ? tr("svg.presses", {std::to_string(s.count), symbol(s.key)}) : symbol(s.key);
        if (out.empty() || std::fabs(out.back().t - s.t) > 1e-6)
            out.push_back({s.t, tr("svg.label", {num(s.t, 2), what})});
        else
            out.back().text += ", " + what;
        out.back().check = out.back().check && s.key == Check;
    }
    return out;
}

// The flight cut into its legs, each a polyline of the panel's points.
std::vector<std::vector<Pt>> legs(const Plan& plan, const std::vector<Sample>& flight,
                                  Pt (*point)(const Sample&)) {
    std::vector<std::vector<Pt>> out(plan.legs.size() + 1);
    size_t leg = 0;
    for (const Sample& s : flight) {
        // A sample where a leg begins also ends the one before, so that the path has no gap.
        while (leg < plan.legs.size() && s.t >= plan.legs[leg] - 1e-9) {
            out[leg].push_back(point(s));
            leg++;
        }
        out[leg].push_back(point(s));
    }
    return out;
}

const char* legColour(const Plan& plan, size_t leg) {
    return leg == plan.legs.size() && !plan.legs.empty() ? kGlide : kTransfer;
}

// ---- The panels ----

struct Drawn {
    std::string svg;
    double height = 0.0;
};

// A part of the orbital plane: y from y0 to y1, x from x0 to x1.
struct Box {
    double y0 = 0, y1 = 0, x0 = 0, x1 = 0;
};

// The box of the flight from time t0 on, with at least `least` around it, and a margin.
Box around(const std::vector<Sample>& flight, double t0, Box least) {
    for (const Sample& s : flight)
        if (s.t >= t0)
            least = {std::min(least.y0, s.Y), std::max(least.y1, s.Y), std::min(least.x0, s.X),
                     std::max(least.x1, s.X)};
    const double padY = 0.04 * (least.y1 - least.y0), padX = 0.1 * (least.x1 - least.x0);
    return {least.y0 - padY, least.y1 + padY, least.x0 - padX, least.x1 + padX};
}

// The panel of box b at one scale, as wide as the picture, at most `tallest` and at least
// kPlaneMin tall: the spans grow to fill it, the scale stays.
Frame fit(const Box& b, double tallest) {
    Frame f;
    f.w = kWidth - kLeft - kRight;
    f.sa = f.sb = std::min(f.w / (b.y1 - b.y0), tallest / (b.x1 - b.x0));
    const double growY = (f.w / f.sa - (b.y1 - b.y0)) / 2,
                 growX = std::max(0.0, (kPlaneMin / f.sb - (b.x1 - b.x0)) / 2);
    f.a0 = b.y0 - growY, f.a1 = b.y1 + growY, f.b0 = b.x0 - growX, f.b1 = b.x1 + growX;
    f.h = (f.b1 - f.b0) * f.sb;
    return f;
}

// A rectangle of the plane, cut to the panel.
std::string rect(const Frame& f, Box b, const char* attrs) {
    b = {std::max(b.y0, f.a0), std::min(b.y1, f.a1), std::max(b.x0, f.b0), std::min(b.x1, f.b1)};
    if (b.y0 >= b.y1 || b.x0 >= b.x1)
        return "";
    return fmt("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"%s/>\n", f.x(b.y0), f.y(b.x1),
               std::max(1.5, (b.y1 - b.y0) * f.sa), (b.x1 - b.x0) * f.sb, attrs);
}

// What a panel of the orbital plane shows: the flight from time `from` on, the steps from `stepsFrom`
// to before `stepsTo`, and the start and the docking if it says so.
struct View {
    std::string title;
    Box box;
    double tallest = kPlaneMax; // px
    double from = 0.0, stepsFrom = -1e300, stepsTo = 1e300;
    bool start = true, docking = true;
    const Box* zoom = nullptr;                   // the part that a panel below shows larger
    const std::vector<Sample>* dashed = nullptr; // a flight drawn dashed under the one drawn
};

// A panel of the orbital plane, from `top` down: y to the right, x up, at one scale.
Drawn planePanel(const Plan& plan, const std::vector<Sample>& flight, double top, const View& v) {
    Frame f = fit(v.box, v.tallest);
    // Marks in world units first: the panel's place depends on the height of their comb.
    std::vector<Mark> marks;
    if (v.start)
        marks.push_back({flight.front().Y, flight.front().X,
                         tr("svg.label", {num(flight.front().t, 2), tr("svg.label.start")}), Start});
    for (const Label& l : stepLabels(plan, [](Key) { return true; }))
        if (l.t >= v.stepsFrom - 1e-6 && l.t < v.stepsTo - 1e-6) {
            const Sample& s = at(flight, l.t);
            marks.push_back({s.Y, s.X, l.text, l.check ? Pause : Keys});
        }
    if (v.docking && plan.outcome == 3)
        marks.push_back({flight.back().Y, flight.back().X,
                         tr("svg.label", {num(plan.arrival, 2), tr("svg.label.docking")}), Docking});
    f.x0 = kLeft, f.y0 = top + combHeight(marks) + 24 + f.h;
    for (Mark& m : marks)
        m.x = f.x(m.x), m.y = f.y(m.y);

    std::string out =
        text(kLeft, top + 14, v.title, " font-size=\"13\" font-weight=\"bold\" fill=\"#1a3a6b\"");
    out += axes(f, tr("svg.axis.y"), tr("svg.axis.x"));
    // The target's box, the port window and the approach line, which the glide holds.
    out += rect(f, {sim::kPortY, sim::kBoxY, -sim::kBoxX, sim::kBoxX}, " fill=\"#ccc\" stroke=\"#555\"");
    out += rect(f, {sim::kPortY, sim::kPortY + sim::kDockWindow, -sim::kDockWindow, sim::kDockWindow},
                " fill=\"#e0b000\" stroke=\"#555\" stroke-width=\"0.5\"");
    if (f.a1 > 0.0)
        out += text(f.x(0.0), f.y(sim::kBoxX) - 5, tr("svg.target"),
                    " font-size=\"11\" text-anchor=\"middle\" fill=\"#333\"");
    else
        out += text(f.x(sim::kPortY) + 6, f.y(std::min(sim::kBoxX, f.b1)) + 14, tr("svg.target.port"),
                    " font-size=\"11\" fill=\"#333\"");
    out += fmt(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#777\" stroke-dasharray=\"6,4\"/>\n",
        f.x0, f.y(0.0), f.x(sim::kPortY), f.y(0.0));
    if (v.zoom)
        out += rect(f, *v.zoom, " fill=\"none\" stroke=\"#c33\" stroke-dasharray=\"2,2\"");
    // The flight in world units, under one transform that keeps both scales equal.
    out += fmt("<g transform=\"matrix(%.4f,0,0,%.4f,%.3f,%.3f)\" fill=\"none\" stroke-width=\"%.5f\" "
               "stroke-linejoin=\"round\">\n",
               f.sa, -f.sb, f.x0 - f.a0 * f.sa, f.y0 + f.b0 * f.sb, 2.0 / f.sa);
    if (v.dashed && v.dashed->size() >= 2) {
        std::vector<Pt> d;
        for (const Sample& s : *v.dashed)
            d.push_back({s.Y, s.X});
        out += fmt("<path class=\"conseil\" stroke=\"%s\" stroke-dasharray=\"%.5f,%.5f\" d=\"%s\"/>\n",
                   kAdvice, 6.0 / f.sa, 4.0 / f.sa, pathData(thin(d, kThin / f.sa), "%.4f").c_str());
    }
    std::vector<Sample> shown;
    for (const Sample& s : flight)
        if (s.t >= v.from - 1e-9)
            shown.push_back(s);
    const std::vector<std::vector<Pt>> paths = legs(plan, shown, [](const Sample& s) {
        return Pt{s.Y, s.X};
    });
    for (size_t i = 0; i < paths.size(); i++)
        if (paths[i].size() >= 2)
            out += fmt("<path class=\"vol\" stroke=\"%s\" d=\"%s\"/>\n", legColour(plan, i),
                       pathData(thin(paths[i], kThin / f.sa), "%.4f").c_str());
    out += "</g>\n";
    out += comb(marks, f, f.y0 - f.h, f.y0 - f.h - 8);
    return {out, f.y0 + 40 - top};
}

bool zKey(Key k) {
    return k == PageUp || k == PageDown;
}

// Across the plane against time, from `top` down, with the presses along z.
Drawn zPanel(const Plan& plan, const std::vector<Sample>& flight, double top) {
    double zmax = 0.1;
    for (const Sample& s : flight)
        zmax = std::max(zmax, 1.15 * std::fabs(s.Z));
    Frame f;
    f.w = kWidth - kLeft - kRight, f.h = kZHeight;
    f.a0 = flight.front().t, f.a1 = std::max(flight.back().t, f.a0 + 1.0), f.b0 = -zmax, f.b1 = zmax;
    f.sa = f.w / (f.a1 - f.a0), f.sb = f.h / (f.b1 - f.b0);
    std::vector<Mark> marks;
    for (const Label& l : stepLabels(plan, zKey)) {
        const Sample& s = at(flight, l.t);
        marks.push_back({s.t, s.Z, l.text, Keys});
    }
    f.x0 = kLeft, f.y0 = top + (marks.empty() ? 0.0 : combHeight(marks)) + 24 + f.h;
    for (Mark& m : marks)
        m.x = f.x(m.x), m.y = f.y(m.y);

    std::string out =
        text(kLeft, top + 14, tr("svg.panel.z"), " font-size=\"13\" font-weight=\"bold\" fill=\"#1a3a6b\"");
    out += axes(f, tr("svg.axis.t"), tr("svg.axis.z"));
    out += fmt(
        "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#777\" stroke-dasharray=\"6,4\"/>\n",
        f.x0, f.y(0.0), f.x0 + f.w, f.y(0.0));
    out += "<g fill=\"none\" stroke-width=\"2\" stroke-linejoin=\"round\">\n";
    // Time and z have their own scales here: the points are in px, thinned as drawn.
    std::vector<Pt> px;
    const auto raw = [](const Sample& s) { return Pt{s.t, s.Z}; };
    const std::vector<std::vector<Pt>> paths = legs(plan, flight, raw);
    for (size_t i = 0; i < paths.size(); i++) {
        px.clear();
        for (const Pt& p : paths[i])
            px.push_back({f.x(p.u), f.y(p.v)});
        if (px.size() >= 2)
            out += fmt("<path stroke=\"%s\" d=\"%s\"/>\n", legColour(plan, i),
                       pathData(thin(px, kThin), "%.1f").c_str());
    }
    out += "</g>\n";
    out += comb(marks, f, f.y0 - f.h, f.y0 - f.h - 8);
    return {out, f.y0 + 40 - top};
}

// The key to the symbols, in one row.
std::string legend(double x, double y, bool flown) {
    std::string out = "<g font-size=\"11\" fill=\"#333\">\n";
    const auto swatch = [&](const char* colour, const std::string& what, const char* dash = "") {
        out +=
            fmt("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"2\"%s/>",
                x, y - 4, x + 22, y - 4, colour, dash);
        out += text(x + 27, y, what);
        x += 33 + textWidth(what);
    };
    const auto mark = [&](Kind kind, const std::string& what) {
        out += markShape({x + 6, y - 4, "", kind});
        out += text(x + 15, y, what);
        x += 24 + textWidth(what);
    };
    if (flown) {
        swatch(kTransfer, tr("svg.legend.flight"));
        swatch(kAdvice, tr("svg.legend.advice"), " stroke-dasharray=\"4,3\"");
    } else {
        swatch(kTransfer, tr("svg.legend.transfer"));
        swatch(kGlide, tr("svg.legend.glide"));
    }
    mark(Start, tr("svg.legend.start"));
    mark(Keys, tr("svg.legend.keys"));
    mark(Pause, tr("svg.legend.pause"));
    mark(Docking, tr("svg.legend.docking"));
    return out + "</g>\n";
}

} // namespace

std::string svg(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file) {
    return svg(plan, sc, from, file, Record{});
}

std::string svg(const Plan& plan, const sim::ParaPhy& sc, const Moment& from, const std::string& file,
                const Record& record) {
    const bool flown = !record.outcome.empty();
    std::vector<Sample> flight = plan.flight;
    if (flight.empty())
        flight.push_back({from.t, from.X, from.Y, from.Z});

    std::string head;
    const char* const big = " font-size=\"17\" font-weight=\"bold\" fill=\"#1a3a6b\"";
    const char* const line = " font-size=\"13\" fill=\"#222\"";
    head += text(kLeft - 40, 28, tr("svg.scenario", {file}), big);
    head += text(kLeft - 40, 50,
                 flown ? tr("svg.flight", {num(sc.Omega, 3)})
                       : tr("svg.pulse", {num(sc.Omega, 3), num(plan.pulse, 3)}),
                 line);
    head +=
        text(kLeft - 40, 70,
             tr("svg.from", {num(from.t, 3), num(from.X, 3), num(from.Y, 3), num(from.Z, 3), num(from.Xp, 3),
                             num(from.Yp, 3), num(from.Zp, 3), std::to_string(from.reserve)}),
             line);
    head += text(kLeft - 40, 90,
                 flown ? record.outcome
                 : plan.outcome == 3
                     ? tr("svg.arrival", {num(plan.arrival, 2), num(plan.speed, 3),
                                          std::to_string(plan.reserve), std::to_string(plan.presses)})
                     : tr("svg.none"),
                 line);
    head += legend(kLeft - 40, 116, flown);

    double y = 130;
    std::vector<Sample> drawn = flight; // what the panel of the whole plane holds
    drawn.insert(drawn.end(), record.advice.begin(), record.advice.end());
    View whole{tr("svg.panel.plane"),
               around(drawn, flight.front().t,
                      {sim::kPortY - 0.5, sim::kBoxY + 0.5, -sim::kBoxX - 0.3, sim::kBoxX + 0.3}),
               kPlaneMax, flight.front().t};
    whole.dashed = &record.advice;
    // The glide's teeth are hundredths: when the whole flight is drawn too small for them, the glide
    // has a panel of its own, and its steps are named there. Those that start it come up to
    // kLateMax before it.
    const double glide = plan.outcome == 3 && !plan.legs.empty() ? plan.legs.back() : 1e300;
    const Box near =
        around(flight, glide,
               {sim::kPortY - 0.3, sim::kPortY + 0.3, -1.2 * sim::kDockWindow, 1.2 * sim::kDockWindow});
    const bool zoom = glide < 1e300 && fit(near, kZoomMax).sa > 2.5 * fit(whole.box, kPlaneMax).sa;
    if (zoom) {
        whole.stepsTo = glide - kLateMax;
        whole.docking = false;
        whole.zoom = &near;
    }
    const Drawn plane = planePanel(plan, flight, y, whole);
    y += plane.height;
    std::string body = plane.svg;
    if (zoom) {
        const View glideView{tr("svg.panel.glide"),
                             near,
                             kZoomMax,
                             glide - kLateMax,
                             glide - kLateMax,
                             1e300,
                             false,
                             true,
                             nullptr};
        const Drawn g = planePanel(plan, flight, y, glideView);
        body += g.svg;
        y += g.height;
    }
    double zReach = 0.0;
    for (const Sample& s : flight)
        zReach = std::max(zReach, std::fabs(s.Z));
    if (zReach >= kOffPlane) {
        const Drawn z = zPanel(plan, flight, y);
        body += z.svg;
        y += z.height;
    }
    return fmt("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f "
               "%.0f\" font-family=\"sans-serif\">\n"
               "<title>%s</title>\n<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n",
               kWidth, y, kWidth, y, esc(tr(flown ? "svg.title.flight" : "svg.title.plan", {file})).c_str()) +
           head + body + "</svg>\n";
}

} // namespace plan
