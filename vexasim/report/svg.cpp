#include "vexasim/report/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "vexasim/report/chart_contours.h"
#include "vexasim/report/run_results.h"

namespace vexasim {
namespace {

using G = ChartGeometry;
const double kLevelFont = 9, kMaxFont = 10, kGridFont = 9;
const double kDot = 5;  // half the room a maximum's dot keeps free of labels

// The view of the chart being drawn: one render at a time sets it (ViewScope).
ChartView view;

struct ViewScope {
    explicit ViewScope(const ChartView& v) { view = v; }
    ~ViewScope() { view = ChartView(); }
};

double X(double re) { return view.cx + view.r * re; }
double Y(double im) { return view.cy - view.r * im; }

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char ch : s) {
        switch (ch) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default:
                if (static_cast<unsigned char>(ch) >= 0x20 || ch == '\t') out += ch;
        }
    }
    return out;
}

std::string Level(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// The box of a label that starts at x.
Box TextBox(double x, double baseline, const std::string& text, double size) {
    return {x, baseline - Ascent(size), x + LabelWidth(text, size), baseline + Descent(size)};
}

// The grid: resistance circles labelled along the real axis, reactance arcs
// labelled outside the rim where they meet it. The labels inside the chart are
// reserved so that no contour label covers them.
void Grid(std::ostringstream& o, LabelPlacer& placer) {
    const double steps[] = {0.2, 0.5, 1.0, 2.0, 5.0};
    o << "<g class=\"grid\" fill=\"none\" stroke=\"#c8c8c8\" stroke-width=\"0.8\" clip-path=\"url(#unit)\">\n";
    for (double r : steps)
        o << "<circle cx=\"" << Num(X(r / (1 + r))) << "\" cy=\"" << Num(Y(0)) << "\" r=\"" << Num(view.r / (1 + r))
          << "\"/>\n";
    for (double x : steps)
        for (double sign : {1.0, -1.0})
            o << "<circle cx=\"" << Num(X(1)) << "\" cy=\"" << Num(Y(sign / x)) << "\" r=\"" << Num(view.r / x)
              << "\"/>\n";
    o << "<line x1=\"" << Num(X(-1)) << "\" y1=\"" << Num(Y(0)) << "\" x2=\"" << Num(X(1)) << "\" y2=\"" << Num(Y(0))
      << "\"/>\n</g>\n";
    o << "<circle cx=\"" << Num(view.cx) << "\" cy=\"" << Num(view.cy) << "\" r=\"" << Num(view.r)
      << "\" fill=\"none\" stroke=\"#555\" stroke-width=\"1.5\"/>\n";
    o << "<g class=\"grid-labels\" font-family=\"sans-serif\" font-size=\"" << kGridFont << "\" fill=\"#888\">\n";
    for (double r : steps) {
        const std::string text = Level(r);
        const double x = X((r - 1) / (r + 1)) + 2, y = Y(0) - 3;
        placer.Reserve(TextBox(x, y, text, kGridFont));
        o << "<text class=\"grid-label\" x=\"" << Num(x) << "\" y=\"" << Num(y) << "\">" << text << "</text>\n";
    }
    // z = jx lies on the rim at gamma (jx - 1) / (jx + 1); a closer view leaves the
    // rim's labels out.
    if (!view.Zoomed())
    for (double x : steps)
        for (double sign : {1.0, -1.0}) {
            const double angle = std::atan2(2 * sign * x, x * x - 1);
            const std::string text = (sign > 0 ? "j" : "-j") + Level(x);
            const double px = G::kCx + (G::kRadius + 15) * std::cos(angle);
            const double py = G::kCy - (G::kRadius + 15) * std::sin(angle);
            const double baseline = py + (Ascent(kGridFont) - Descent(kGridFont)) / 2;
            o << "<text class=\"grid-label\" x=\"" << Num(px) << "\" y=\"" << Num(baseline)
              << "\" text-anchor=\"middle\">" << text << "</text>\n";
        }
    o << "</g>\n";
}

std::string Points(const Region& region) {
    std::string out;
    for (const GammaPoint& v : region.Vertices()) out += (out.empty() ? "" : " ") + Num(X(v.re)) + "," + Num(Y(v.im));
    return out;
}

// Points along the lines of one measurement's levels, by cell: a label must not
// cover another level's line, or it would be read as that line's.
class LinePoints {
public:
    void Add(int level, const Segment& s) {
        for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
            const double x = X(s.x1 + t * (s.x2 - s.x1)), y = Y(s.y1 + t * (s.y2 - s.y1));
            cells_[Cell(x, y)].push_back({level, x, y});
        }
    }
    bool Covers(const Box& b, int level) const {
        for (int cx = Index(b.x0); cx <= Index(b.x1); ++cx)
            for (int cy = Index(b.y0); cy <= Index(b.y1); ++cy) {
                auto it = cells_.find({cx, cy});
                if (it == cells_.end()) continue;
                for (const Point& p : it->second)
                    if (p.level != level && p.x >= b.x0 && p.x <= b.x1 && p.y >= b.y0 && p.y <= b.y1) return true;
            }
        return false;
    }

private:
    struct Point {
        int level;
        double x, y;
    };
    static int Index(double v) { return static_cast<int>(std::floor(v / 10)); }
    static std::pair<int, int> Cell(double x, double y) { return {Index(x), Index(y)}; }
    std::map<std::pair<int, int>, std::vector<Point>> cells_;
};

// Where each level's label may go: the middles of its segments where the spline
// interpolates (inside the region, a little away from its edge) and where the label
// would cover no other level's line. A label runs along its line: across a steep
// line it would cover the neighbouring levels wherever they lie close together, so
// there it reads upwards.
struct LabelSpot {
    Box box;
    bool upright = false;  // read bottom to top
};

std::vector<LabelSpot> LabelCandidates(const std::vector<Segment>& segments, const Region& region,
                                       const LinePoints& lines, int level, double w, double h) {
    std::vector<LabelSpot> out;
    for (const Segment& s : segments) {
        const double mx = (s.x1 + s.x2) / 2, my = (s.y1 + s.y2) / 2;
        if (!region.Empty() && region.DepthOf(mx, my) < 0.02) continue;
        const double x = X(mx), y = Y(my);
        LabelSpot spot;
        spot.upright = std::fabs(s.y2 - s.y1) > std::fabs(s.x2 - s.x1);
        const double bw = spot.upright ? h : w, bh = spot.upright ? w : h;
        spot.box = {x - bw / 2, y - bh / 2, x + bw / 2, y + bh / 2};
        if (lines.Covers(spot.box, level)) continue;
        out.push_back(spot);
    }
    return out;
}

class Legend {
public:
    void Entry(const std::string& colour, const std::string& text, bool swatch, const std::string& extra = "",
               const std::string& attributes = "") {
        if (swatch)
            o_ << "<rect x=\"" << G::kWidth - 300 << "\" y=\"" << Num(y_ - 9) << "\" width=\"14\" height=\"3\" fill=\""
               << colour << "\"" << attributes << "/>";
        o_ << "<text x=\"" << G::kWidth - 280 << "\" y=\"" << Num(y_) << "\"" << extra << attributes << ">"
           << Escape(text) << "</text>\n";
        y_ += swatch ? 15 : 13;
    }
    void Raw(const std::string& svg) { o_ << svg; }
    void Space(double dy) { y_ += dy; }
    double Y() const { return y_; }
    std::string Str() const { return o_.str(); }

private:
    std::ostringstream o_;
    double y_ = 70;
};

const char* HarmonicName(int h) { return h == 1 ? "1 (fundamental)" : h == 2 ? "2" : "3"; }

}  // namespace

std::string WithUnit(double value, const std::string& unit, const char* format) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    if (unit.empty()) return buf;
    return std::string(buf) + (unit == "%" ? "" : " ") + unit;
}

std::string RunTitle(const RunSettings& s) {
    std::string out;
    if (!s.schematic.empty()) out += "schematic " + s.schematic;
    if (!s.tuner.empty()) out += (out.empty() ? "" : ", ") + std::string("tuner ") + s.tuner;
    if (s.harmonic) out += (out.empty() ? "" : ", ") + std::string("harmonic ") + HarmonicName(s.harmonic);
    return out;
}

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats,
                             const RunResults* results) {
    ChartOptions options;
    options.results = results;
    options.earlierContours = true;
    return RenderSmithChart(project, graph, stats, options);
}

ChartView ViewOf(const ChartOptions& options) {
    ChartView v;
    const double h = options.viewHalfWidth;
    if (!(h > 0 && h < 1) || !std::isfinite(options.viewCentre.re) || !std::isfinite(options.viewCentre.im)) return v;
    v.r = G::kRadius / h;
    v.cx = G::kCx - v.r * options.viewCentre.re;
    v.cy = G::kCy + v.r * options.viewCentre.im;
    return v;
}

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats,
                             const ChartOptions& options) {
    RenderStats local;
    RenderStats& st = stats ? *stats : local;
    const ViewScope scope(ViewOf(options));
    const RunResults* results = options.results;
    const Region region = results ? results->region : Region();
    const bool split = !region.Empty();
    std::ostringstream o;
    if (!options.embedded) o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    o << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
      << G::kWidth << "\" height=\"" << G::kHeight << "\" viewBox=\"0 0 " << G::kWidth << " " << G::kHeight << "\">\n"
      << "<title>" << Escape(graph.name) << "</title>\n"
      << "<defs><clipPath id=\"unit\"><circle cx=\"" << Num(view.cx) << "\" cy=\"" << Num(view.cy) << "\" r=\""
      << Num(view.r) << "\"/></clipPath>";
    // A closer view keeps to the square of the whole chart; the legend stays clear.
    if (view.Zoomed())
        o << "<clipPath id=\"plot\"><rect x=\"" << Num(G::kCx - G::kRadius) << "\" y=\"" << Num(G::kCy - G::kRadius)
          << "\" width=\"" << Num(2 * G::kRadius) << "\" height=\"" << Num(2 * G::kRadius) << "\"/></clipPath>";
    if (split) o << "<clipPath id=\"region\"><polygon points=\"" << Points(region) << "\"/></clipPath>";
    o << "</defs>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text class=\"title\" x=\"10\" y=\"22\" font-family=\"sans-serif\" font-size=\"15\" font-weight=\"bold\">"
      << Escape(graph.name) << "</text>\n";
    std::vector<ChartContour> contours = ChartContours(project, graph, options, &st.problems);
    std::string subtitle = RunTitle(options.settings);
    const std::string compression = CompressionTitle(contours);
    if (!compression.empty()) subtitle += (subtitle.empty() ? "" : ", ") + compression;
    if (!subtitle.empty())
        o << "<text class=\"title\" x=\"10\" y=\"40\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#444\">"
          << Escape(subtitle) << "</text>\n";
    if (view.Zoomed())
        o << "<g class=\"view\" clip-path=\"url(#plot)\">\n<rect class=\"view-frame\" x=\"" << Num(G::kCx - G::kRadius)
          << "\" y=\"" << Num(G::kCy - G::kRadius) << "\" width=\"" << Num(2 * G::kRadius) << "\" height=\""
          << Num(2 * G::kRadius) << "\" fill=\"none\" stroke=\"#555\" stroke-width=\"2\"/>\n";
    if (split) o << "<polygon class=\"region\" points=\"" << Points(region) << "\" fill=\"#f1f5fb\"/>\n";
    LabelPlacer placer(G::kCx, G::kCy, G::kRadius, 4.0);
    Grid(o, placer);
    if (split)
        o << "<polygon points=\"" << Points(region)
          << "\" fill=\"none\" stroke=\"#7a8aa0\" stroke-width=\"0.8\" stroke-dasharray=\"5 3\"/>\n";

    st.contourMeasurements = static_cast<int>(contours.size());
    Legend legend;
    // Per contour: its levels that have a line where the spline interpolates.
    std::vector<std::vector<std::pair<double, std::vector<Segment>>>> levels(contours.size());
    for (size_t n = 0; n < contours.size(); ++n) {
        const ChartContour& k = contours[n];
        double top, bottom, step;
        ParseContourName(k.m->name, top, bottom, step);
        if (!k.grid.values.empty())
            for (double level : ContourLevels(top, bottom, step)) {
                std::vector<Segment> segments = ContourSegments(k.grid, level);
                bool shown = false;
                for (const Segment& s : segments) {
                    const double mx = (s.x1 + s.x2) / 2, my = (s.y1 + s.y2) / 2;
                    shown = shown || (k.inRun ? region.Contains(mx, my) : mx * mx + my * my <= 1.0);
                }
                if (shown) levels[n].push_back({level, std::move(segments)});
            }
        st.levelsDrawn.push_back(static_cast<int>(levels[n].size()));
        const std::string attr = " data-m=\"" + std::to_string(n) + "\"";
        legend.Entry(k.colour,
                     k.measurement.empty() ? k.m->source + " " + k.m->name
                                           : k.measurement + (k.unit.empty() ? "" : " (" + k.unit + ")") +
                                                 (k.earlier ? ", earlier run" : ""),
                     true, "", attr);
        const std::string small = " font-size=\"10\"";
        if (!levels[n].empty()) {
            const double low = levels[n].front().first, high = levels[n].back().first;
            legend.Entry(k.colour,
                         "levels " + WithUnit(low, k.unit) + " to " + WithUnit(high, k.unit) + ", every " + WithUnit(step, k.unit == "dBm" || k.unit == "dBW" ? "dB" : k.unit) +
                             (k.earlier && k.measurement.empty() ? " (earlier run, dashed)" : k.earlier ? " (dashed)" : ""),
                         false, small, attr);
        } else {
            legend.Entry(k.colour, "no level inside the simulated region", false, small, attr);
        }
        const ContourResult* r = results ? results->ForDataFile(k.m->source) : nullptr;
        if (k.earlier && r)
            legend.Entry(k.colour, "levels of an earlier run, on this run's data", false,
                         " font-size=\"10\" font-style=\"italic\"", attr);
        else if (r) {
            // "LOO rms 0.08 dB, max 0.31 dB" and, below, "at gamma ...".
            const std::string loo = LooText(*r);
            const size_t at = loo.find(" at gamma ");
            legend.Entry(k.colour, "leave-one-out " + loo.substr(4, at == std::string::npos ? at : at - 4), false, small,
                         attr);
            if (at != std::string::npos) legend.Entry(k.colour, loo.substr(at + 1), false, small, attr);
        }
    }
    int colour = static_cast<int>(contours.size());
    for (const MeasurementData& m : graph.measurements) {
        double top, bottom, step;
        if (ParseContourName(m.name, top, bottom, step) || m.points.empty() || m.resultType != 2) continue;
        const char* c = ChartColour(colour++);
        o << "<g class=\"points\" fill=\"" << c << "\">\n";
        for (const auto& p : m.points)
            if (std::isfinite(p.first) && std::isfinite(p.second))
                o << "<circle cx=\"" << Num(X(p.first)) << "\" cy=\"" << Num(Y(p.second)) << "\" r=\"2.5\"/>\n";
        o << "</g>\n";
        legend.Raw("<circle cx=\"" + Num(G::kWidth - 293) + "\" cy=\"" + Num(legend.Y() - 4) + "\" r=\"3\" fill=\"" +
                   c + "\"/>");
        legend.Entry(c, m.source + ":" + m.name, false);
    }

    // Outside the region the lines are the spline's extrapolation: drawn faint and
    // dashed rather than left out, they show which way the measurement rises, and
    // so where to move the centre; nobody takes them for results.
    for (size_t n = 0; n < contours.size(); ++n) {
        const ChartContour& k = contours[n];
        const std::string id = "contour" + std::to_string(n), m = " data-m=\"" + std::to_string(n) + "\"";
        o << (k.inRun ? "<defs>" : "") << "<g " << (k.inRun ? "id=\"" + id + "\" " : m + " ")
          << "class=\"contour\" data-measurement=\"" << Escape(k.m->source) << "\" stroke=\"" << k.colour
          << "\" fill=\"none\""
          << (k.inRun ? "" : " stroke-width=\"1.3\" clip-path=\"url(#unit)\"")
          << (k.earlier ? " stroke-dasharray=\"7 3\"" : "") << ">\n";
        for (const auto& level : levels[n]) {
            o << "<path class=\"level\" data-level=\"" << Level(level.first) << "\" d=\"";
            for (const Segment& s : level.second)
                o << "M" << Num(X(s.x1)) << " " << Num(Y(s.y1)) << "L" << Num(X(s.x2)) << " " << Num(Y(s.y2));
            o << "\"/>\n";
        }
        o << "</g>" << (k.inRun ? "</defs>" : "") << "\n";
        if (k.inRun)
            o << "<use class=\"outside\"" << m << " xlink:href=\"#" << id
              << "\" clip-path=\"url(#unit)\" stroke-width=\"0.8\" stroke-dasharray=\"3 3\" opacity=\"0.35\"/>\n"
              << "<use class=\"inside\"" << m << " xlink:href=\"#" << id
              << "\" clip-path=\"url(#region)\" stroke-width=\"1.3\"/>\n";
    }

    for (const Overlay& v : options.overlays) {
        o << "<g class=\"overlay\" stroke=\"" << Escape(v.colour) << "\" fill=\"" << Escape(v.colour)
          << "\" clip-path=\"url(#unit)\">\n<polyline fill=\"none\" stroke-width=\"" << Num(v.width)
          << "\" stroke-linejoin=\"round\" points=\"";
        bool first = true;
        for (const GammaPoint& p : v.points)
            if (std::isfinite(p.re) && std::isfinite(p.im)) {
                o << (first ? "" : " ") << Num(X(p.re)) << "," << Num(Y(p.im));
                first = false;
            }
        o << "\"/>\n";
        for (size_t i = 0; i < v.points.size(); ++i) {
            const GammaPoint& p = v.points[i];
            if (!std::isfinite(p.re) || !std::isfinite(p.im)) continue;
            if (v.dots || v.numbered)
                o << "<circle class=\"overlay-point\" data-i=\"" << i << "\" cx=\"" << Num(X(p.re)) << "\" cy=\""
                  << Num(Y(p.im)) << "\" r=\"" << Num(v.numbered ? 3 : 0.7 * v.width) << "\" stroke=\"white\" stroke-width=\"0.8\"/>\n";
            if (v.numbered)
                o << "<text class=\"overlay-label\" x=\"" << Num(X(p.re) + 5) << "\" y=\"" << Num(Y(p.im) - 5)
                  << "\" font-family=\"sans-serif\" font-size=\"10\" stroke=\"white\" stroke-width=\"2.5\" "
                     "paint-order=\"stroke\">"
                  << i + 1 << "</text>\n";
        }
        o << "</g>\n";
        legend.Raw("<rect x=\"" + Num(G::kWidth - 300) + "\" y=\"" + Num(legend.Y() - 8) +
                   "\" width=\"14\" height=\"" + Num(std::max(2.0, v.width)) + "\" fill=\"" + Escape(v.colour) + "\"/>");
        legend.Entry(v.colour, v.name, false);
    }

    if (results) {
        o << "<g class=\"swept\" fill=\"#333\">\n";
        for (const GammaPoint& p : results->swept)
            if (std::isfinite(p.re) && std::isfinite(p.im)) {
                o << "<circle class=\"swept-point\" cx=\"" << Num(X(p.re)) << "\" cy=\"" << Num(Y(p.im))
                  << "\" r=\"1.6\"/>\n";
                ++st.sweptPoints;
            }
        o << "</g>\n";
        legend.Space(6);
        legend.Raw("<circle cx=\"" + Num(G::kWidth - 293) + "\" cy=\"" + Num(legend.Y() - 4) +
                   "\" r=\"2\" fill=\"#333\"/>");
        legend.Entry("#333", "simulated points (" + std::to_string(st.sweptPoints) + ")", false);
        if (split) {
            legend.Raw("<rect x=\"" + Num(G::kWidth - 300) + "\" y=\"" + Num(legend.Y() - 10) +
                       "\" width=\"14\" height=\"10\" fill=\"#f1f5fb\" stroke=\"#7a8aa0\" stroke-dasharray=\"3 2\"/>");
            legend.Entry("#333", "simulated region (their convex hull)", false);
            bool inRun = false;
            for (const ChartContour& k : contours) inRun = inRun || k.inRun;
            if (inRun) legend.Entry("#333", "faint dashed lines: outside it, extrapolated", false, " font-size=\"10\"");
        }
    }
    if (view.Zoomed()) {
        const GammaPoint c{(G::kCx - view.cx) / view.r, (view.cy - G::kCy) / view.r};
        char text[96];
        std::snprintf(text, sizeof text, "close view: gamma %.2f at %.0f deg, %.2f either side",
                      std::hypot(c.re, c.im), std::atan2(c.im, c.re) * 180 / 3.14159265358979323846,
                      G::kRadius / view.r);
        legend.Space(6);
        legend.Entry("#333", text, false, " font-size=\"10\"");
    }

    // Labels: the maxima beside their dots first, then one label per level where
    // there is room. One maximum per data file, in the colour of its latest levels.
    std::vector<size_t> maxima;
    std::set<std::string> files;
    for (size_t n = 0; n < contours.size(); ++n) {
        const ChartContour& k = contours[n];
        if (!k.max.found || !files.insert(k.m->source).second) continue;
        maxima.push_back(n);
        const double x = X(k.max.re), y = Y(k.max.im);
        placer.Reserve({x - kDot, y - kDot, x + kDot, y + kDot});
    }
    for (size_t n : maxima) {
        const ChartContour& k = contours[n];
        const std::string value = "max " + WithUnit(k.max.value, k.unit, "%.4g") + (k.maxOnEdge ? " (edge)" : "");
        const double x = X(k.max.re), y = Y(k.max.im), w = LabelWidth(value, kMaxFont, true),
                     h = LabelHeight(kMaxFont);
        // Beside the dot, just clear of the room its dot keeps (kDot, and the placer's
        // least gap of 4): right, left, above, below, then the corners; then the same
        // a few pixels farther out.
        std::vector<std::pair<double, double>> around;
        for (double farther : {0.0, 5.0, 10.0, 16.0}) {
            const double side = kDot + 5 + farther, corner = kDot + 3 + farther * 0.7;
            for (auto off : {std::pair<double, double>{w / 2 + side, 0}, {-w / 2 - side, 0}, {0, -h / 2 - side},
                             {0, h / 2 + side}, {w / 2 + corner, -h / 2 - corner}, {-w / 2 - corner, -h / 2 - corner},
                             {w / 2 + corner, h / 2 + corner}, {-w / 2 - corner, h / 2 + corner}})
                around.push_back({x + off.first, y + off.second});
        }
        Box b;
        o << "<g class=\"maximum\" data-m=\"" << n << "\"><circle cx=\"" << Num(x) << "\" cy=\"" << Num(y)
          << "\" r=\"4.5\" fill=\"" << k.colour << "\" stroke=\"white\"/>";
        if (placer.Place(around, w, h, b, true)) {
            st.labels.push_back(b);
            o << "<text class=\"max-label\" x=\"" << Num((b.x0 + b.x1) / 2) << "\" y=\"" << Num(Baseline(b, kMaxFont))
              << "\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"" << kMaxFont
              << "\" font-weight=\"bold\" fill=\"" << k.colour
              << "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\">" << Escape(value) << "</text>";
        }
        o << "</g>\n";
    }
    for (size_t n = 0; n < contours.size(); ++n) {
        const ChartContour& k = contours[n];
        LinePoints lines;
        for (size_t l = 0; l < levels[n].size(); ++l)
            for (const Segment& s : levels[n][l].second) lines.Add(static_cast<int>(l), s);
        o << "<g class=\"labels\" data-m=\"" << n << "\" font-family=\"sans-serif\" font-size=\"" << kLevelFont
          << "\" text-anchor=\"middle\" fill=\"" << k.colour
          << "\" stroke=\"white\" stroke-width=\"2.5\" paint-order=\"stroke\">\n";
        for (size_t l = 0; l < levels[n].size(); ++l) {
            const std::string text = WithUnit(levels[n][l].first, k.unit);
            const double w = LabelWidth(text, kLevelFont), h = LabelHeight(kLevelFont);
            const std::vector<LabelSpot> spots = LabelCandidates(levels[n][l].second, k.inRun ? region : Region(), lines,
                                                                 static_cast<int>(l), w, h);
            std::vector<Box> boxes;
            for (const LabelSpot& spot : spots) boxes.push_back(spot.box);
            Box b;
            size_t which = 0;
            if (!placer.Place(boxes, b, &which)) continue;
            st.labels.push_back(b);
            const double x = (b.x0 + b.x1) / 2, y = (b.y0 + b.y1) / 2;
            o << "<text class=\"level-label\" x=\"" << Num(x) << "\" y=\"" << Num(y + h / 2 - Descent(kLevelFont)) << "\"";
            if (spots[which].upright) o << " transform=\"rotate(-90 " << Num(x) << " " << Num(y) << ")\"";
            o << ">" << Escape(text) << "</text>\n";
        }
        o << "</g>\n";
    }
    if (view.Zoomed()) o << "</g>\n";
    o << "<g class=\"legend\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#222\">\n"
      << legend.Str() << "</g>\n</svg>\n";
    return o.str();
}

}  // namespace vexasim
