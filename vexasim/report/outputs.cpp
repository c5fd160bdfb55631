#include "vexasim/report/outputs.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/angles.h"
#include "vexasim/analysis.h"
#include "vexasim/report/contours.h"
#include "vexasim/report/run_results.h"

namespace vexasim {

std::string ExactNumber(double v) {
    char buf[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v || std::isnan(v)) break;
    }
    return buf;
}

std::string SamplesCsv(const SampleTable& table, const std::vector<std::string>& columns) {
    std::string out = kSamplesHeader;
    std::vector<int> pick;
    for (size_t c = 0; c < columns.size(); ++c) {
        out += (c ? "," : "") + columns[c];
        int found = -1;
        for (size_t k = 0; k < table.columns.size(); ++k)
            if (table.columns[k] == columns[c]) found = static_cast<int>(k);
        pick.push_back(found);
    }
    out += "\n";
    for (size_t i = 0; i < table.rows.size(); ++i) {
        const Sample& s = table.rows[i];
        double a = DegreesToRadians(s.angleDeg);
        out += std::to_string(i + 1) + "," + ExactNumber(s.magnitude) + "," + ExactNumber(s.angleDeg) + "," +
               ExactNumber(s.magnitude * std::cos(a)) + "," + ExactNumber(s.magnitude * std::sin(a)) + ",";
        for (size_t c = 0; c < pick.size(); ++c) {
            if (c) out += ",";
            if (pick[c] >= 0 && static_cast<size_t>(pick[c]) < s.values.size()) out += ExactNumber(s.values[pick[c]]);
        }
        out += "\n";
    }
    return out;
}

double DisplayValue(const ProjectData& project, long unitType, double base) {
    auto it = project.units.find(unitType);
    if (it == project.units.end()) return base;
    if (unitType == kUnitPowerDb && it->second == "dBm") return base + kDbmOverDbw;
    if (unitType == kUnitPowerLinear && it->second == "mW") return base * 1000.0;
    return base;
}

std::string Summary(const ProjectData& project, const std::string& measurement, const std::string& dataFileName,
                    const SampleTable& samples, const RunResults* results) {
    std::string out = measurement + " (data file " + dataFileName + ")\n";
    const Region region = results ? results->region : Region();
    char buf[64];
    const DataFileData* file = nullptr;
    for (const auto& f : project.dataFiles)
        if (f.name == dataFileName) file = &f;
    ContourGrid grid;
    std::string error;
    bool edge = false;
    GammaPoint edgeAt;
    if (file && ParseContourGrid(file->text, grid, error)) {
        bool onEdge = false;
        GridMax m = RegionMaximum(grid, region, onEdge);
        if (m.found) {
            std::snprintf(buf, sizeof buf, "%.4f", m.value);
            out += "  contour grid maximum " + std::string(buf) + " at " + DescribeGamma(m.re, m.im) + "\n";
            edge = onEdge;
            edgeAt = {m.re, m.im};
        } else if (!region.Empty()) {
            out += "  contour grid: no grid point inside the simulated region\n";
        }
    } else {
        out += "  contour grid: " + (file ? error : std::string("no data file")) + "\n";
    }
    int column = -1;
    for (size_t k = 0; k < samples.columns.size(); ++k)
        if (samples.columns[k] == measurement) column = static_cast<int>(k);
    const Sample* best = nullptr;
    for (const Sample& s : samples.rows)
        if (column >= 0 && static_cast<size_t>(column) < s.values.size() && std::isfinite(s.values[column]) &&
            (!best || s.values[column] > best->values[column]))
            best = &s;
    if (best) {
        const GammaPoint g = SamplePoint(*best);
        std::snprintf(buf, sizeof buf, "%.4f", best->values[column]);
        out += "  sample maximum       " + std::string(buf) + " at " + DescribeGamma(g.re, g.im) + "\n";
        if (!edge && !region.Empty() && region.DepthOf(g.re, g.im) < 1e-9) {
            edge = true;
            edgeAt = g;
        }
    }
    if (edge) out += "  " + OnEdgeText(edgeAt.re, edgeAt.im) + "\n";
    if (const ContourResult* c = results ? results->ForDataFile(dataFileName) : nullptr) out += "  " + LooText(*c) + "\n";
    return out;
}

std::string SvgFileName(const std::string& graphName) {
    std::string out;
    for (char ch : graphName) {
        bool keep = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-' ||
                    ch == '_' || ch == '.';
        out += keep ? ch : '_';
    }
    if (out.empty() || out[0] == '.') out = "graph" + out;
    return out + ".svg";
}

}  // namespace vexasim
