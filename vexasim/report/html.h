// The interactive chart: one self-contained HTML page per contour graph (no
// network, no other file; its data inside it). It shows the SVG chart and reads it
// out where the pointer is: gamma, Z and, per contoured measurement, the spline's
// value there (bilinear on the 41 x 41 grid) and the nearest swept point's
// simulated value with its leave-one-out error. A click pins a marker; the
// markers are listed in a table, the maxima are markers from the start, and the
// page takes markers from its address: PAGE.html#marker=0.5@30;0.2@-90
// (magnitude@angle in degrees).
#pragma once
#include <string>

#include "vexasim/report/svg.h"

namespace vexasim {

std::string RenderInteractiveChart(const ProjectData& project, const GraphData& graph, const ChartOptions& options);

// A file name for a graph's page: as its SVG's, ending in ".html".
std::string HtmlFileName(const std::string& graphName);

}  // namespace vexasim
