// What `vexasim run` leaves in its output folder, and the numbers it prints.
#pragma once
#include <string>
#include <vector>

#include "vexasim/system/system.h"  // WriteFileAtomically
#include "vexasim/host.h"

namespace vexasim {

// A number written so that it reads back as the same double ("%.17g", shortest form).
std::string ExactNumber(double v);

// One analysis of the sweep: the tuner's load and the real measurements' values in
// display units, by display name.
struct Sample {
    double magnitude = 0, angleDeg = 0;
    std::vector<double> values;  // parallel to the columns of the sample table
};

struct SampleTable {
    std::vector<std::string> columns;  // display names "source:name"
    std::vector<Sample> rows;
};

// The samples' file, written beside the project, and the columns its lines start with.
constexpr const char* kSamplesFileName = "samples.csv";
constexpr const char* kSamplesHeader = "index,|gamma|,angle_deg,re,im,";

std::string SamplesCsv(const SampleTable& table, const std::vector<std::string>& columns);

// A value in the host's base unit converted to what the project displays for its
// unit type ("dBm": +30 on dBW; "mW": x1000 on W), as the wizard converts it.
double DisplayValue(const ProjectData& project, long unitType, double base);

struct RunResults;

// Summary lines for one contoured measurement: the maximum of its contour grid
// inside the simulated region (the unit circle without results) and of its raw
// samples, each with gamma and impedance, a note on a maximum at the region's edge,
// and the spline's leave-one-out error.
std::string Summary(const ProjectData& project, const std::string& measurement, const std::string& dataFileName,
                    const SampleTable& samples, const RunResults* results = nullptr);

// A file name for a graph's SVG: the graph name with anything but letters, digits,
// '-', '_' and '.' replaced by '_'.
std::string SvgFileName(const std::string& graphName);

}  // namespace vexasim
