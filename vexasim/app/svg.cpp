#include "vexasim/app/svg.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "vexasim/app/contours.h"
#include "vexasim/app/label_placer.h"
#include "vexasim/app/run_results.h"

namespace vexasim {
namespace {

const double kSize = 640, kCentre = 320, kRadius = 280;
const char* const kColours[] = {"#d62728", "#1f77b4", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2"};

double X(double re) { return kCentre + kRadius * re; }
double Y(double im) { return kCentre - kRadius * im; }

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

void Grid(std::ostringstream& o) {
    o << "<g fill=\"none\" stroke=\"#c8c8c8\" stroke-width=\"0.8\" clip-path=\"url(#unit)\">\n";
    for (double r : {0.2, 0.5, 1.0, 2.0, 5.0})
        o << "<circle cx=\"" << Num(X(r / (1 + r))) << "\" cy=\"" << Num(Y(0)) << "\" r=\"" << Num(kRadius / (1 + r))
          << "\"/>\n";
    for (double x : {0.2, 0.5, 1.0, 2.0, 5.0})
        for (double sign : {1.0, -1.0})
            o << "<circle cx=\"" << Num(X(1)) << "\" cy=\"" << Num(Y(sign / x)) << "\" r=\"" << Num(kRadius / x)
              << "\"/>\n";
    o << "<line x1=\"" << Num(X(-1)) << "\" y1=\"" << Num(Y(0)) << "\" x2=\"" << Num(X(1)) << "\" y2=\"" << Num(Y(0))
      << "\"/>\n</g>\n";
    o << "<circle cx=\"" << Num(kCentre) << "\" cy=\"" << Num(kCentre) << "\" r=\"" << Num(kRadius)
      << "\" fill=\"none\" stroke=\"#555\" stroke-width=\"1.5\"/>\n";
    o << "<g font-family=\"sans-serif\" font-size=\"10\" fill=\"#888\">\n";
    for (double r : {0.2, 0.5, 1.0, 2.0, 5.0})
        o << "<text x=\"" << Num(X((r - 1) / (r + 1)) + 2) << "\" y=\"" << Num(Y(0) - 3) << "\">" << Level(r)
          << "</text>\n";
    o << "</g>\n";
}

// What one contour measurement contributes to the chart.
struct Contour {
    const MeasurementData* m = nullptr;
    const char* colour = "";
    ContourGrid grid;
    std::vector<std::pair<double, std::vector<Segment>>> levels;  // levels that cross the grid
    GridMax max;
    bool maxOnEdge = false;
    bool inRun = false;  // its data file was written by the run whose region is known
};

std::string Points(const Region& region) {
    std::string out;
    for (const GammaPoint& v : region.Vertices()) out += (out.empty() ? "" : " ") + Num(X(v.re)) + "," + Num(Y(v.im));
    return out;
}

// Where each level's label may go: the middles of its segments where the spline
// interpolates (inside the region, a little away from its edge).
std::vector<std::pair<double, double>> LabelCandidates(const std::vector<Segment>& segments, const Region& region) {
    std::vector<std::pair<double, double>> out;
    for (const Segment& s : segments) {
        const double mx = (s.x1 + s.x2) / 2, my = (s.y1 + s.y2) / 2;
        if (!region.Empty() && region.DepthOf(mx, my) < 0.02) continue;
        out.push_back({X(mx), Y(my)});
    }
    return out;
}

void Legend(std::ostringstream& legend, double& y, const char* colour, const std::string& text, bool swatch,
            const char* extra = "") {
    if (swatch)
        legend << "<rect x=\"" << kSize << "\" y=\"" << Num(y - 9) << "\" width=\"14\" height=\"3\" fill=\"" << colour
               << "\"/>";
    legend << "<text x=\"" << kSize + 20 << "\" y=\"" << Num(y) << "\"" << extra << ">" << Escape(text) << "</text>\n";
    y += swatch ? 15 : 13;
}

}  // namespace

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats,
                             const RunResults* results) {
    RenderStats local;
    RenderStats& st = stats ? *stats : local;
    const Region region = results ? results->region : Region();
    const bool split = !region.Empty();
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
      << kSize + 300 << "\" height=\"" << kSize << "\" viewBox=\"0 0 " << kSize + 300 << " " << kSize << "\">\n"
      << "<title>" << Escape(graph.name) << "</title>\n"
      << "<defs><clipPath id=\"unit\"><circle cx=\"" << Num(kCentre) << "\" cy=\"" << Num(kCentre) << "\" r=\""
      << Num(kRadius) << "\"/></clipPath>";
    if (split) o << "<clipPath id=\"region\"><polygon points=\"" << Points(region) << "\"/></clipPath>";
    o << "</defs>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"10\" y=\"20\" font-family=\"sans-serif\" font-size=\"14\">" << Escape(graph.name) << "</text>\n";
    if (split)
        o << "<polygon class=\"region\" points=\"" << Points(region) << "\" fill=\"#f1f5fb\"/>\n";
    Grid(o);
    if (split)
        o << "<polygon points=\"" << Points(region)
          << "\" fill=\"none\" stroke=\"#7a8aa0\" stroke-width=\"0.8\" stroke-dasharray=\"5 3\"/>\n";

    // Gather every contour measurement first: maxima are placed before any level label.
    int colour = 0;
    std::vector<Contour> contours;
    std::ostringstream legend;
    double legendY = 40;
    for (const MeasurementData& m : graph.measurements) {
        const char* c = kColours[colour++ % (sizeof kColours / sizeof kColours[0])];
        double top, bottom, step;
        if (ParseContourName(m.name, top, bottom, step)) {
            ++st.contourMeasurements;
            const DataFileData* file = nullptr;
            for (const auto& f : project.dataFiles)
                if (f.name == m.source) file = &f;
            Contour k;
            k.m = &m;
            k.colour = c;
            std::string error;
            if (!file) {
                st.problems.push_back(m.source + ": no such data file");
                st.levelsDrawn.push_back(0);
                continue;
            }
            if (!ParseContourGrid(file->text, k.grid, error)) {
                st.problems.push_back(m.source + ": " + error);
                st.levelsDrawn.push_back(0);
                continue;
            }
            for (double level : ContourLevels(top, bottom, step)) {
                std::vector<Segment> segments = ContourSegments(k.grid, level);
                if (!segments.empty()) k.levels.push_back({level, std::move(segments)});
            }
            st.levelsDrawn.push_back(static_cast<int>(k.levels.size()));
            // A data file of an earlier run was sampled elsewhere: its region is not known.
            k.inRun = split && results->ForDataFile(m.source);
            k.max = RegionMaximum(k.grid, k.inRun ? region : Region(), k.maxOnEdge);
            Legend(legend, legendY, c, m.source + " " + m.name, true);
            const ContourResult* r = results ? results->ForDataFile(m.source) : nullptr;
            if (results && results->earlierLevels.count({m.source, m.name}))
                Legend(legend, legendY, c, "levels of an earlier run, on this run's data", false,
                       " font-size=\"10\" font-style=\"italic\"");
            else if (r) {
                // "PA:Pout  LOO rms 0.08 dB, max 0.31 dB" and, below, "at gamma ...".
                const std::string loo = r->measurement + "  " + LooText(*r);
                const size_t at = loo.find(" at gamma ");
                Legend(legend, legendY, c, loo.substr(0, at), false, " font-size=\"10\"");
                if (at != std::string::npos) Legend(legend, legendY, c, loo.substr(at + 1), false, " font-size=\"10\"");
            }
            contours.push_back(std::move(k));
        } else if (!m.points.empty() && m.resultType == 2) {
            o << "<g class=\"points\" fill=\"" << c << "\">\n";
            for (const auto& p : m.points)
                if (std::isfinite(p.first) && std::isfinite(p.second))
                    o << "<circle cx=\"" << Num(X(p.first)) << "\" cy=\"" << Num(Y(p.second)) << "\" r=\"2.5\"/>\n";
            o << "</g>\n";
            legend << "<circle cx=\"" << kSize + 7 << "\" cy=\"" << legendY - 4 << "\" r=\"3\" fill=\"" << c
                   << "\"/>";
            Legend(legend, legendY, c, m.source + ":" + m.name, false);
        }
    }

    // Outside the region the lines are the spline's extrapolation: drawn faint and
    // dashed rather than left out, they show which way the measurement rises, and
    // so where to move the centre; nobody takes them for results.
    for (size_t n = 0; n < contours.size(); ++n) {
        const Contour& k = contours[n];
        const std::string id = "contour" + std::to_string(n);
        o << (k.inRun ? "<defs>" : "") << "<g " << (k.inRun ? "id=\"" + id + "\" " : "")
          << "class=\"contour\" data-measurement=\"" << Escape(k.m->source) << "\" stroke=\"" << k.colour
          << "\" fill=\"none\"" << (k.inRun ? "" : " stroke-width=\"1.3\" clip-path=\"url(#unit)\"") << ">\n";
        for (const auto& level : k.levels) {
            o << "<path class=\"level\" data-level=\"" << Level(level.first) << "\" d=\"";
            for (const Segment& s : level.second)
                o << "M" << Num(X(s.x1)) << " " << Num(Y(s.y1)) << "L" << Num(X(s.x2)) << " " << Num(Y(s.y2));
            o << "\"/>\n";
        }
        o << "</g>" << (k.inRun ? "</defs>" : "") << "\n";
        if (k.inRun)
            o << "<use class=\"outside\" xlink:href=\"#" << id
              << "\" clip-path=\"url(#unit)\" stroke-width=\"0.8\" stroke-dasharray=\"3 3\" opacity=\"0.35\"/>\n"
              << "<use class=\"inside\" xlink:href=\"#" << id << "\" clip-path=\"url(#region)\" stroke-width=\"1.3\"/>\n";
    }

    if (results) {
        o << "<g class=\"swept\" fill=\"#333\">\n";
        for (const GammaPoint& p : results->swept)
            if (std::isfinite(p.re) && std::isfinite(p.im)) {
                o << "<circle class=\"swept-point\" cx=\"" << Num(X(p.re)) << "\" cy=\"" << Num(Y(p.im)) << "\" r=\"1.6\"/>\n";
                ++st.sweptPoints;
            }
        o << "</g>\n";
        legendY += 6;
        legend << "<circle cx=\"" << kSize + 7 << "\" cy=\"" << legendY - 4 << "\" r=\"2\" fill=\"#333\"/>";
        Legend(legend, legendY, "#333", "simulated points (" + std::to_string(st.sweptPoints) + ")", false);
        if (split) {
            legend << "<rect x=\"" << kSize << "\" y=\"" << Num(legendY - 10) << "\" width=\"14\" height=\"10\" fill=\"#f1f5fb\" "
                   << "stroke=\"#7a8aa0\" stroke-dasharray=\"3 2\"/>";
            Legend(legend, legendY, "#333", "simulated region (their convex hull)", false);
            Legend(legend, legendY, "#333", "faint dashed lines: outside it, extrapolated", false,
                   " font-size=\"10\"");
        }
    }

    // Labels: the maxima first, then one label per level where there is room.
    LabelPlacer placer(kCentre, kCentre, kRadius, 4.0);
    std::ostringstream labels;
    // One maximum per data file: measurements of one file at other levels share it,
    // and it takes the colour of the one added last (this run's levels).
    std::vector<const Contour*> maxima;
    for (auto it = contours.rbegin(); it != contours.rend(); ++it) {
        const Contour& k = *it;
        bool earlier = results && results->earlierLevels.count({k.m->source, k.m->name});
        bool shown = false;
        for (const Contour* q : maxima) shown = shown || q->m->source == k.m->source;
        if (!k.max.found || earlier || shown) continue;
        maxima.push_back(&k);
        const double x = X(k.max.re), y = Y(k.max.im);
        placer.Reserve({x - 5, y - 5, x + 5, y + 5});
    }
    for (const Contour* maximum : maxima) {
        const Contour& k = *maximum;
        char value[48];
        std::snprintf(value, sizeof value, "max %.4g%s", k.max.value, k.maxOnEdge ? " (edge)" : "");
        const double x = X(k.max.re), y = Y(k.max.im), w = LabelWidth(value, 10), h = 12;
        std::vector<std::pair<double, double>> around;
        for (double d : {1.0, 2.0})
            for (auto off : {std::pair<double, double>{0, 14}, {0, -14}, {w / 2 + 8, 0}, {-w / 2 - 8, 0},
                             {w / 2 + 4, 12}, {-w / 2 - 4, 12}, {w / 2 + 4, -12}, {-w / 2 - 4, -12}})
                around.push_back({x + d * off.first, y + d * off.second});
        Box b;
        o << "<g class=\"maximum\"><circle cx=\"" << Num(x) << "\" cy=\"" << Num(y) << "\" r=\"4.5\" fill=\"" << k.colour
          << "\" stroke=\"white\"/>";
        if (placer.Place(around, w, h, b, true)) {
            st.labels.push_back(b);
            o << "<text x=\"" << Num((b.x0 + b.x1) / 2) << "\" y=\"" << Num(b.y1 - 3)
              << "\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"10\" font-weight=\"bold\" fill=\""
              << k.colour << "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\">" << value << "</text>";
        }
        o << "</g>\n";
    }
    for (const Contour& k : contours) {
        labels << "<g class=\"labels\" font-family=\"sans-serif\" font-size=\"9\" text-anchor=\"middle\" fill=\""
               << k.colour << "\" stroke=\"white\" stroke-width=\"2.5\" paint-order=\"stroke\">\n";
        for (const auto& level : k.levels) {
            const std::string text = Level(level.first);
            Box b;
            if (!placer.Place(LabelCandidates(level.second, k.inRun ? region : Region()), LabelWidth(text, 9), 10, b))
                continue;
            st.labels.push_back(b);
            labels << "<text class=\"level-label\" x=\"" << Num((b.x0 + b.x1) / 2) << "\" y=\"" << Num(b.y1 - 2.5)
                   << "\">" << text << "</text>\n";
        }
        labels << "</g>\n";
    }
    o << labels.str();
    o << "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#222\">\n" << legend.str() << "</g>\n</svg>\n";
    return o.str();
}

}  // namespace vexasim
