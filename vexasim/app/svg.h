// Smith-chart SVG of a graph of type 2: the chart's grid, the points of complex
// measurements as markers and the contour lines of each "LPCS[top,bottom,step]"
// measurement, from the 41 x 41 grid in its data file, labelled without overlaps.
#pragma once
#include <string>
#include <vector>

#include "vexasim/app/label_placer.h"
#include "vexasim/host.h"

namespace vexasim {

struct RunResults;

struct RenderStats {
    int contourMeasurements = 0;
    std::vector<int> levelsDrawn;  // per contour measurement: levels with at least one segment
    std::vector<std::string> problems;
    int sweptPoints = 0;
    std::vector<Box> labels;  // every label drawn on the chart, maxima included
};

// With the results of the run that produced the graph, the chart shows the swept
// points and their region: contours in full inside it and faint outside, maxima and
// labels only inside it, and each measurement's leave-one-out error in the legend.
std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats = nullptr,
                             const RunResults* results = nullptr);

}  // namespace vexasim
