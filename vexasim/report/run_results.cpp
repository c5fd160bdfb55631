#include "vexasim/report/run_results.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "host/angles.h"
#include "vexasim/model/tuner.h"
#include "vexasim/project_file/project_file.h"
#include "vexasim/project_file/settings_stream.h"
#include "vexasim/system/system.h"
#include "vexasim/analysis.h"

namespace vexasim {
namespace {

const double kGridStep = 0.05;

// The unit a measurement's description ends with ("power-added efficiency, %").
std::string DescribedUnit(const std::string& name) {
    // A measurement at compression ("PAE_1dB") has its base's unit.
    if (const MeasurementInfo* info = FindMeasurement(name.substr(0, name.find('_')))) {
        const std::string d = info->description;
        const size_t comma = d.rfind(", ");
        if (comma != std::string::npos) return d.substr(comma + 2);
    }
    return "";
}

// The unit of a difference of two display values of the measurement.
std::string DifferenceUnit(const ProjectData& project, const std::string& measurement) {
    for (const auto& g : project.graphs)
        for (const auto& m : g.measurements) {
            if (m.resultType != 1 || m.DisplayName() != measurement) continue;
            if (m.unitType == kUnitPowerDb) return "dB";
            if (m.unitType == kUnitPowerLinear) {
                auto it = project.units.find(kUnitPowerLinear);
                return it == project.units.end() ? "W" : it->second;
            }
            return DescribedUnit(m.name);
        }
    return "";
}

std::string Short(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
}

}  // namespace

std::string OnEdgeText(double re, double im) {
    // The grid keeps loads up to |gamma| 0.95: a maximum at that edge cannot be
    // followed further, and widening the radius adds nothing there.
    if (std::hypot(re, im) >= 0.93)
        return "on the edge of the simulated region at |gamma| 0.95, the largest the grid reaches: the optimum "
               "lies there or beyond";
    return "on the edge of the simulated region: the optimum may lie outside; move the centre towards it or widen "
           "the radius (vexasim run --pursue does it)";
}

const ContourResult* RunResults::ForDataFile(const std::string& name) const {
    for (const ContourResult& c : contours)
        if (c.dataFile == name) return &c;
    return nullptr;
}

GammaPoint SamplePoint(const Sample& s) {
    const double a = DegreesToRadians(s.angleDeg);
    return {s.magnitude * std::cos(a), s.magnitude * std::sin(a)};
}

std::string DescribeGamma(double re, double im) {
    std::complex<double> g(re, im);
    std::complex<double> z = GammaToImpedance(g);
    char buf[160];
    std::snprintf(buf, sizeof buf, "gamma %.3f at %.1f deg, Z = %.2f %c j%.2f ohm", std::abs(g),
                  RadiansToDegrees(std::arg(g)), z.real(), z.imag() < 0 ? '-' : '+', std::fabs(z.imag()));
    return buf;
}

RunResults AnalyseRun(const ProjectData& project, const SampleTable& samples,
                      const std::vector<std::pair<std::string, std::string>>& pairs) {
    RunResults r;
    for (const Sample& s : samples.rows) r.swept.push_back(SamplePoint(s));
    r.region = Region::Hull(r.swept);
    const LeaveOneOut loo(r.swept);  // one inversion for every measurement
    for (const auto& p : pairs) {
        ContourResult c;
        c.measurement = p.first;
        c.dataFile = p.second;
        c.unit = DifferenceUnit(project, p.first);
        int column = -1;
        for (size_t k = 0; k < samples.columns.size(); ++k)
            if (samples.columns[k] == p.first) column = static_cast<int>(k);
        std::vector<double> z;
        for (const Sample& s : samples.rows)
            z.push_back(column >= 0 && static_cast<size_t>(column) < s.values.size() ? s.values[column] : NAN);
        c.errors = loo.Errors(z);
        c.values = std::move(z);
        c.loo = SummariseErrors(c.errors, r.swept);
        r.contours.push_back(std::move(c));
    }
    return r;
}

std::string DisplayUnit(const ProjectData& project, const std::string& measurement) {
    for (const auto& g : project.graphs)
        for (const auto& m : g.measurements) {
            if (m.resultType != 1 || m.DisplayName() != measurement) continue;
            if (m.unitType == kUnitPowerDb || m.unitType == kUnitPowerLinear) {
                auto it = project.units.find(m.unitType);
                return it != project.units.end() ? it->second : m.unitType == kUnitPowerDb ? "dBW" : "W";
            }
            return DescribedUnit(m.name);
        }
    return "";
}

void AddLeaveOneOutColumns(SampleTable& samples, const RunResults& results) {
    for (const ContourResult& c : results.contours) {
        samples.columns.push_back(c.measurement + " LOO");
        for (size_t i = 0; i < samples.rows.size(); ++i) {
            std::vector<double>& v = samples.rows[i].values;
            v.resize(samples.columns.size() - 1, NAN);
            v.push_back(i < c.errors.size() ? c.errors[i] : NAN);
        }
    }
}

std::string LooText(const ContourResult& c) {
    if (c.loo.count == 0) return "LOO not available (the spline has no fit)";
    const std::string unit = c.unit.empty() ? "" : c.unit == "%" ? "%" : " " + c.unit;
    const std::string at = DescribeGamma(c.loo.at.re, c.loo.at.im);
    return "LOO rms " + Short(c.loo.rms) + unit + ", max " + Short(std::fabs(c.loo.largest)) + unit + " at " +
           at.substr(0, at.find(','));
}

bool ParseSamplesCsv(const std::string& text, SampleTable& table, std::string& error) {
    table = SampleTable();
    auto cells = [](const std::string& line) {
        std::vector<std::string> out(1);
        for (char c : line) {
            if (c == ',')
                out.emplace_back();
            else if (c != '\r')
                out.back().push_back(c);
        }
        return out;
    };
    const std::string head = kSamplesHeader;
    if (text.compare(0, head.size(), head) != 0) {
        error = "line 1: not a samples table";
        return false;
    }
    size_t at = text.find('\n');
    const std::vector<std::string> header = cells(text.substr(0, at));
    std::vector<int> keep;
    for (size_t c = 5; c < header.size(); ++c) {
        const std::string& name = header[c];
        if (name.size() > 4 && name.compare(name.size() - 4, 4, " LOO") == 0) continue;
        keep.push_back(static_cast<int>(c));
        table.columns.push_back(name);
    }
    int line = 1;
    while (at != std::string::npos && at + 1 < text.size()) {
        const size_t next = text.find('\n', at + 1);
        const std::vector<std::string> row = cells(text.substr(at + 1, next == std::string::npos ? next : next - at - 1));
        at = next;
        ++line;
        if (row.size() != header.size()) {
            error = "line " + std::to_string(line) + ": expected " + std::to_string(header.size()) + " fields";
            return false;
        }
        auto number = [&](const std::string& cell, double& v) {
            char* end = nullptr;
            v = cell.empty() ? NAN : std::strtod(cell.c_str(), &end);
            return cell.empty() || *end == '\0';
        };
        Sample s;
        bool ok = number(row[1], s.magnitude) && number(row[2], s.angleDeg);
        for (int c : keep) {
            double v = 0;
            ok = ok && number(row[static_cast<size_t>(c)], v);
            s.values.push_back(v);
        }
        if (!ok) {
            error = "line " + std::to_string(line) + ": a field is not a number";
            return false;
        }
        table.rows.push_back(std::move(s));
    }
    return true;
}

bool ResultsBesideProject(const std::string& projectPath, const ProjectFile& file, RunResults& results,
                          std::string& note) {
    const size_t slash = LastSeparator(projectPath);
    const std::string path = (slash == std::string::npos ? "" : projectPath.substr(0, slash + 1)) + kSamplesFileName;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    SampleTable samples;
    std::string error = "not read";
    if (!in || !ParseSamplesCsv(text.str(), samples, error)) {
        note = path + ": " + error + "; the simulated region is not known, so contours are drawn in full";
        return false;
    }
    // The add-in's settings name the measurements it contoured and their data files.
    auto addin = file.addins.find("Tessary.LPTuner");
    results = AnalyseRun(file.data, samples,
                         ContourPairs(addin == file.addins.end() ? std::vector<uint8_t>() : addin->second.settings));
    return true;
}

GridMax RegionMaximum(const ContourGrid& grid, const Region& region, bool& onEdge) {
    onEdge = false;
    if (region.Empty()) return MaximumInsideUnitCircle(grid);
    GridMax m = MaximumWhere(grid, [&](double re, double im) { return region.Contains(re, im); });
    if (!m.found || region.DepthOf(m.re, m.im) > kGridStep + 1e-9) return m;
    // Near the edge: does the grid still rise towards a neighbour outside the region?
    const int q0 = static_cast<int>(std::lround((m.re + 1.0) / kGridStep));
    const int r0 = static_cast<int>(std::lround((m.im + 1.0) / kGridStep));
    for (int r = r0 - 1; r <= r0 + 1; ++r)
        for (int q = q0 - 1; q <= q0 + 1; ++q) {
            if (r < 0 || q < 0 || r >= ContourGrid::kSize || q >= ContourGrid::kSize) continue;
            const double x = ContourGrid::Coordinate(q), y = ContourGrid::Coordinate(r);
            if (x * x + y * y > 1.0 || region.Contains(x, y)) continue;
            if (grid.At(r, q) > m.value) onEdge = true;
        }
    return m;
}

std::vector<std::string> RewrittenContourWarnings(const ProjectData& before, const ProjectData& after,
                                                  RunResults& results) {
    std::map<std::string, const DataFileData*> earlier;
    for (const auto& f : before.dataFiles) earlier.emplace(f.name, &f);
    std::vector<std::string> out;
    for (const auto& f : after.dataFiles) {
        auto was = earlier.find(f.name);
        if (was != earlier.end() && was->second->text == f.text) continue;  // not rewritten
        for (const auto& g : after.graphs) {
            if (g.type != 2) continue;
            const GraphData* old = nullptr;
            for (const auto& h : before.graphs)
                if (!old && h.name == g.name) old = &h;
            std::vector<std::string> kept, added;
            for (const auto& m : g.measurements) {
                double top, bottom, step;
                if (m.source != f.name || !ParseContourName(m.name, top, bottom, step)) continue;
                bool existed = false;
                if (old)
                    for (const auto& n : old->measurements) existed = existed || (n.source == m.source && n.name == m.name);
                (existed ? kept : added).push_back(m.name);
            }
            if (kept.size() + added.size() < 2) continue;
            if (added.empty()) {
                // The run reused one of them; which one the host cannot tell.
                std::string all;
                for (const auto& k : kept) all += (all.empty() ? "" : ", ") + k;
                out.push_back("the graph \"" + g.name + "\" draws the data file " + f.name +
                              ", which this run rewrote, at the levels of several contour measurements (" + all +
                              "): those of earlier runs show this run's data");
                continue;
            }
            std::string now;
            for (const auto& a : added) now += (now.empty() ? "" : ", ") + a;
            for (const auto& k : kept) {
                results.earlierLevels.insert({f.name, k});
                out.push_back("the graph \"" + g.name + "\" also draws the contour measurement " + f.name + ":" + k +
                              " of an earlier run; this run rewrote the data file " + f.name + " with other levels (" +
                              now + "), so the graph draws its new data at both");
            }
        }
    }
    return out;
}

}  // namespace vexasim
