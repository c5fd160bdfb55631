// The contour measurements a Smith chart draws: which of the graph's measurements
// are this run's and which earlier runs left, each with its data file's grid, its
// maximum and its colour.
#pragma once
#include <string>
#include <vector>

#include "vexasim/report/contours.h"
#include "vexasim/report/svg.h"

namespace vexasim {

// A contour measurement the chart draws.
struct ChartContour {
    const MeasurementData* m = nullptr;
    std::string measurement;  // what was contoured into the data file ("PA:Pout"), when known
    std::string unit;         // its display unit, when known
    std::string colour;
    bool earlier = false;  // left by an earlier run
    bool inRun = false;    // its data file was written by the run whose region is known
    ContourGrid grid;
    GridMax max;  // inside the region where known
    bool maxOnEdge = false;
};

// The contour measurements of the graph the chart draws, in order: this run's (the
// last contour measurement of each data file the run contoured), then, when asked
// for, the others. Data files that are missing or malformed are reported in problems.
std::vector<ChartContour> ChartContours(const ProjectData& project, const GraphData& graph,
                                        const ChartOptions& options, std::vector<std::string>* problems = nullptr);

// The colour of the chart's n-th measurement: its contours first, then its points.
const char* ChartColour(size_t n);

// "at 1 and 3 dB of gain compression": the levels of compression the run's
// contour measurements were taken at, or "".
std::string CompressionTitle(const std::vector<ChartContour>& contours);

}  // namespace vexasim
