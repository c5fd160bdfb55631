#include "vexasim/report/chart_contours.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "vexasim/report/outputs.h"
#include "vexasim/report/run_results.h"

namespace vexasim {

const char* ChartColour(size_t n) {
    static const char* const kColours[] = {"#d62728", "#1f77b4", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b",
                                           "#e377c2"};
    return kColours[n % (sizeof kColours / sizeof kColours[0])];
}

std::string CompressionTitle(const std::vector<ChartContour>& contours) {
    // Measurements at compression are named "<name>_<level>dB" ("PA:Pout_1dB").
    std::vector<std::string> levels;
    for (const ChartContour& c : contours) {
        if (c.earlier) continue;
        const size_t under = c.measurement.rfind('_');
        if (under == std::string::npos || c.measurement.size() < under + 4 ||
            c.measurement.compare(c.measurement.size() - 2, 2, "dB") != 0)
            continue;
        const std::string level = c.measurement.substr(under + 1, c.measurement.size() - under - 3);
        if (level.find_first_not_of("0123456789.") != std::string::npos) continue;
        if (std::find(levels.begin(), levels.end(), level) == levels.end()) levels.push_back(level);
    }
    if (levels.empty()) return "";
    std::sort(levels.begin(), levels.end(),
              [](const std::string& a, const std::string& b) { return std::atof(a.c_str()) < std::atof(b.c_str()); });
    std::string out = "at ";
    for (size_t i = 0; i < levels.size(); ++i)
        out += (i == 0 ? "" : i + 1 == levels.size() ? " and " : ", ") + levels[i] + " dB";
    return out + " of gain compression";
}

std::vector<ChartContour> ChartContours(const ProjectData& project, const GraphData& graph,
                                        const ChartOptions& options, std::vector<std::string>* problems) {
    const RunResults* results = options.results;
    const Region region = results ? results->region : Region();
    std::map<std::string, std::string> contoured;  // data file -> measurement
    for (const auto& p : options.settings.pairs) contoured[p.second] = p.first;
    // The last contour measurement of a data file is the latest run's.
    std::map<std::string, size_t> last;
    for (size_t i = 0; i < graph.measurements.size(); ++i) {
        double top, bottom, step;
        if (ParseContourName(graph.measurements[i].name, top, bottom, step)) last[graph.measurements[i].source] = i;
    }
    std::vector<ChartContour> current, earlier;
    for (size_t i = 0; i < graph.measurements.size(); ++i) {
        const MeasurementData& m = graph.measurements[i];
        double top, bottom, step;
        if (!ParseContourName(m.name, top, bottom, step)) continue;
        const bool ofThisRun = last[m.source] == i && (contoured.empty() || contoured.count(m.source));
        if (!ofThisRun && !options.earlierContours) continue;
        ChartContour k;
        k.m = &m;
        k.earlier = !ofThisRun;
        auto c = contoured.find(m.source);
        if (c != contoured.end()) {
            k.measurement = c->second;
            k.unit = DisplayUnit(project, c->second);
        }
        const DataFileData* file = nullptr;
        for (const auto& f : project.dataFiles)
            if (f.name == m.source) file = &f;
        std::string error = "no such data file";
        if (!file || !ParseContourGrid(file->text, k.grid, error)) {
            if (problems) problems->push_back(m.source + ": " + error);
            k.grid.values.clear();
        }
        // A data file of an earlier run was sampled elsewhere: its region is not known.
        k.inRun = !region.Empty() && results->ForDataFile(m.source) != nullptr;
        if (!k.grid.values.empty()) k.max = RegionMaximum(k.grid, k.inRun ? region : Region(), k.maxOnEdge);
        (k.earlier ? earlier : current).push_back(std::move(k));
    }
    current.insert(current.end(), earlier.begin(), earlier.end());
    size_t colour = 0;
    for (ChartContour& k : current) k.colour = ChartColour(colour++);
    return current;
}

}  // namespace vexasim
