// Smith-chart SVG of a graph of type 2: the chart's grid with its resistance and
// reactance labels, the points of complex measurements as markers and the contour
// lines of each "LPCS[top,bottom,step]" measurement, from the 41 x 41 grid in its
// data file, labelled with their units and without overlaps.
#pragma once
#include <string>
#include <vector>

#include "vexasim/report/contours.h"
#include "vexasim/report/label_placer.h"
#include "vexasim/report/region.h"
#include "vexasim/project_file/settings_stream.h"
#include "vexasim/host.h"

namespace vexasim {

struct RunResults;

struct RenderStats {
    int contourMeasurements = 0;
    std::vector<int> levelsDrawn;  // per contour measurement drawn: levels with a line
    std::vector<std::string> problems;
    int sweptPoints = 0;
    std::vector<Box> labels;  // every label drawn on the chart, maxima included
};

// A line drawn over the chart, such as a path of loads: its points joined in order.
struct Overlay {
    std::string name;    // its legend entry
    std::string colour;  // an SVG colour
    std::vector<GammaPoint> points;
    double width = 2;        // of its line
    bool dots = false;       // each point marked with a dot
    bool numbered = false;   // each point labelled 1, 2, ... beside it
    // What each point stands for, read out on the HTML page: per point, the values
    // of these measurements (display units).
    std::vector<std::string> valueNames, valueUnits;
    std::vector<std::vector<double>> values;
};

struct ChartOptions {
    // The run that produced the graph: the swept points and their region, where
    // contours are drawn in full and maxima and labels are placed.
    const RunResults* results = nullptr;
    // Its schematic, tuner and harmonic (the title) and the measurement behind each
    // data file (names and units).
    RunSettings settings;
    // Contour measurements that earlier runs left on the graph: drawn (dashed and
    // marked) only when asked for.
    bool earlierContours = false;
    std::vector<Overlay> overlays;
    // The part of the chart shown: the square about this gamma of this half-width
    // (1: the whole chart). A closer view draws the same lines larger, clipped to
    // the chart's square, with the labels of the rim left out.
    GammaPoint viewCentre;
    double viewHalfWidth = 1;
    bool embedded = false;  // inside an HTML page: no XML declaration
};

// Where the chart lies in the SVG's user units.
struct ChartGeometry {
    static constexpr double kWidth = 940, kHeight = 690;
    static constexpr double kCx = 320, kCy = 365, kRadius = 280;
};

// Where gamma 0 lies and how long gamma 1 is in the SVG's user units, for the view
// the options ask for.
struct ChartView {
    double cx = ChartGeometry::kCx, cy = ChartGeometry::kCy, r = ChartGeometry::kRadius;
    bool Zoomed() const { return r != ChartGeometry::kRadius; }
};
ChartView ViewOf(const ChartOptions& options);

// "38 dBm", "50%", "1.5": a value with its display unit as the chart writes it.
std::string WithUnit(double value, const std::string& unit, const char* format = "%g");

// The title line under the graph's name: "schematic PA, tuner LTUNER1, harmonic 1 (fundamental)".
std::string RunTitle(const RunSettings& settings);

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats,
                             const ChartOptions& options);
// With the results of the run that produced the graph (nullptr: none known).
std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats = nullptr,
                             const RunResults* results = nullptr);

}  // namespace vexasim
