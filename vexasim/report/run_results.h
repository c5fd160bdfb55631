// What one run of the wizard simulated, as the host reports it: the swept gamma
// points and the region they cover, and per contoured measurement the spline's
// leave-one-out error. The summary and the charts report results only inside the
// region and show how far the spline can be trusted between the points.
#pragma once
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "vexasim/report/contours.h"
#include "vexasim/report/leave_one_out.h"
#include "vexasim/report/outputs.h"
#include "vexasim/report/region.h"
#include "vexasim/host.h"

namespace vexasim {

struct ContourResult {
    std::string measurement;     // display name, "PA:Pout"
    std::string dataFile;        // the data file it was contoured into
    std::string unit;            // of a difference of its display values: "dB", "%", "mW"
    std::vector<double> values;  // the simulated value per swept point, display units
    std::vector<double> errors;  // leave-one-out error per swept point, display units
    LooStats loo;
};

struct RunResults {
    std::vector<GammaPoint> swept;
    Region region;
    std::vector<ContourResult> contours;
    // Contour measurements (source, name) whose data file this run rewrote with
    // other levels: the graph draws the new data at the levels of an earlier run.
    std::set<std::pair<std::string, std::string>> earlierLevels;

    const ContourResult* ForDataFile(const std::string& name) const;
};

// The results of a run from its samples (the rows of the sweep, values in display
// units) and the (measurement, data file) pairs the wizard contoured.
RunResults AnalyseRun(const ProjectData& project, const SampleTable& samples,
                      const std::vector<std::pair<std::string, std::string>>& pairs);

// The unit the project displays a real measurement in, by its display name
// ("dBm" or "dBW", "mW" or "W", "%", "dB"); empty when it is not known.
std::string DisplayUnit(const ProjectData& project, const std::string& measurement);

// Appends a "NAME LOO" column per contoured measurement to the table.
void AddLeaveOneOutColumns(SampleTable& samples, const RunResults& results);

// "LOO rms 0.0812 dB, max 0.31 dB at gamma 0.317 at 180.0 deg"
std::string LooText(const ContourResult& contour);

// The maximum of a contour grid where the spline interpolates: inside the region
// (the whole unit circle when the region is not known). `onEdge` tells a maximum
// within a grid step of the region's edge where the grid still rises across the
// edge: the optimum may lie outside.
GridMax RegionMaximum(const ContourGrid& grid, const Region& region, bool& onEdge);

// The hint for a maximum on the region's edge at (re, im): what the user can do.
std::string OnEdgeText(double re, double im);

// One line per contour measurement that still refers, on a graph of type 2, to a
// data file this run rewrote with other levels; records them in results.
std::vector<std::string> RewrittenContourWarnings(const ProjectData& before, const ProjectData& after,
                                                  RunResults& results);

// Reads back the samples table `vexasim run` writes (leave-one-out columns are
// left out: they are computed again). False with a message when it is malformed.
bool ParseSamplesCsv(const std::string& text, SampleTable& table, std::string& error);

struct ProjectFile;
// The results of the run that saved the project at projectPath, from the
// samples.csv it left beside it. False with a note saying why when there is none.
bool ResultsBesideProject(const std::string& projectPath, const ProjectFile& file, RunResults& results,
                          std::string& note);

// The gamma of a sample row.
GammaPoint SamplePoint(const Sample& s);
// "gamma 0.350 at 180.0 deg, Z = 24.07 + j0.00 ohm"
std::string DescribeGamma(double re, double im);

}  // namespace vexasim
