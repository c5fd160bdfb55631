// Smith-chart SVG of a graph of type 2: the chart's grid, the points of complex
// measurements as markers and the contour lines of each "LPCS[top,bottom,step]"
// measurement, from the 41 x 41 grid in its data file.
#pragma once
#include <string>
#include <vector>

#include "vexasim/host.h"

namespace vexasim {

struct RenderStats {
    int contourMeasurements = 0;
    std::vector<int> levelsDrawn;  // per contour measurement: levels with at least one segment
    std::vector<std::string> problems;
};

std::string RenderSmithChart(const ProjectData& project, const GraphData& graph, RenderStats* stats = nullptr);

}  // namespace vexasim
