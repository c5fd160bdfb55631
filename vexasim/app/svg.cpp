#include "vexasim/app/svg.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "vexasim/app/contours.h"

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

}  // namespace

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats) {
    RenderStats local;
    RenderStats& st = stats ? *stats : local;
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kSize + 260 << "\" height=\"" << kSize
      << "\" viewBox=\"0 0 " << kSize + 260 << " " << kSize << "\">\n"
      << "<title>" << Escape(graph.name) << "</title>\n"
      << "<defs><clipPath id=\"unit\"><circle cx=\"" << Num(kCentre) << "\" cy=\"" << Num(kCentre) << "\" r=\""
      << Num(kRadius) << "\"/></clipPath></defs>\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"10\" y=\"20\" font-family=\"sans-serif\" font-size=\"14\">" << Escape(graph.name) << "</text>\n";
    Grid(o);

    int colour = 0;
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
            ContourGrid grid;
            std::string error;
            if (!file) {
                st.problems.push_back(m.source + ": no such data file");
                st.levelsDrawn.push_back(0);
                continue;
            }
            if (!ParseContourGrid(file->text, grid, error)) {
                st.problems.push_back(m.source + ": " + error);
                st.levelsDrawn.push_back(0);
                continue;
            }
            int drawn = 0;
            o << "<g class=\"contour\" data-measurement=\"" << Escape(m.source) << "\" stroke=\"" << c
              << "\" stroke-width=\"1.3\" fill=\"none\" clip-path=\"url(#unit)\">\n";
            std::ostringstream labels;
            for (double level : ContourLevels(top, bottom, step)) {
                std::vector<Segment> segments = ContourSegments(grid, level);
                if (segments.empty()) continue;
                ++drawn;
                o << "<path class=\"level\" data-level=\"" << Level(level) << "\" d=\"";
                for (const Segment& s : segments)
                    o << "M" << Num(X(s.x1)) << " " << Num(Y(s.y1)) << "L" << Num(X(s.x2)) << " " << Num(Y(s.y2));
                o << "\"/>\n";
                // Label the level at its segment nearest the top of the chart inside the circle.
                const Segment* best = nullptr;
                for (const Segment& s : segments) {
                    double mx = (s.x1 + s.x2) / 2, my = (s.y1 + s.y2) / 2;
                    if (mx * mx + my * my > 0.9) continue;
                    if (!best || my > (best->y1 + best->y2) / 2) best = &s;
                }
                if (best)
                    labels << "<text x=\"" << Num(X((best->x1 + best->x2) / 2)) << "\" y=\""
                           << Num(Y((best->y1 + best->y2) / 2) - 2) << "\">" << Level(level) << "</text>\n";
            }
            o << "</g>\n<g font-family=\"sans-serif\" font-size=\"9\" fill=\"" << c << "\">\n" << labels.str()
              << "</g>\n";
            st.levelsDrawn.push_back(drawn);
            GridMax mx = MaximumInsideUnitCircle(grid);
            if (mx.found) {
                // Each measurement's label on a line of its own below its marker.
                char value[32];
                std::snprintf(value, sizeof value, "%.4g", mx.value);
                const double labelY = Y(mx.im) + 16 + 13 * (st.contourMeasurements - 1);
                o << "<g class=\"maximum\"><circle cx=\"" << Num(X(mx.re)) << "\" cy=\"" << Num(Y(mx.im))
                  << "\" r=\"4.5\" fill=\"" << c << "\" stroke=\"white\"/><text x=\"" << Num(X(mx.re) - 20)
                  << "\" y=\"" << Num(labelY) << "\" font-family=\"sans-serif\" font-size=\"10\" font-weight=\"bold\" fill=\""
                  << c << "\">max " << value << "</text></g>\n";
            }
            legend << "<rect x=\"" << kSize << "\" y=\"" << legendY - 9 << "\" width=\"14\" height=\"3\" fill=\"" << c
                   << "\"/><text x=\"" << kSize + 20 << "\" y=\"" << legendY << "\">" << Escape(m.source) << " "
                   << Escape(m.name) << "</text>\n";
        } else if (!m.points.empty() && m.resultType == 2) {
            o << "<g class=\"points\" fill=\"" << c << "\">\n";
            for (const auto& p : m.points)
                if (std::isfinite(p.first) && std::isfinite(p.second))
                    o << "<circle cx=\"" << Num(X(p.first)) << "\" cy=\"" << Num(Y(p.second)) << "\" r=\"2.5\"/>\n";
            o << "</g>\n";
            legend << "<circle cx=\"" << kSize + 7 << "\" cy=\"" << legendY - 4 << "\" r=\"3\" fill=\"" << c
                   << "\"/><text x=\"" << kSize + 20 << "\" y=\"" << legendY << "\">" << Escape(m.source) << ":"
                   << Escape(m.name) << "</text>\n";
        } else {
            continue;
        }
        legendY += 18;
    }
    o << "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#222\">\n" << legend.str() << "</g>\n</svg>\n";
    return o.str();
}

}  // namespace vexasim
