// The pursuit of an optimum: the wizard is run in rounds, each with its grid moved
// to the maximum the previous round found and its radius set from what that round
// showed, until the maximum lies inside the simulated region and the spline's
// leave-one-out error next to it is below a tolerance. With two measurements both
// optima are pursued and the trade-off line between them is traced: the loads where
// neither can improve without the other falling.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "vexasim/report/outputs.h"
#include "vexasim/report/region.h"

namespace vexasim {

struct PursuitSettings {
    std::vector<std::string> measurements;  // one or two, as the user named them ("Pout" or "PA:Pout")
    double tolerance = 0;                    // in the measurement's unit; 0: by unit (0.05 dB, 0.5 %)
    int maxRounds = 8;
    // The first round's grid.
    double centerMag = 0, centerAngDeg = 0, radius = 0.95;
};

// The grid of one round: its centre and radius as the dialog takes them.
struct RoundGrid {
    double centerMag = 0, centerAngDeg = 0, radius = 0;
};

// What one round simulated: the sweep's samples (display units) and, per column,
// the unit of a difference of its values ("dB", "%", "W").
struct RoundData {
    SampleTable samples;
    std::vector<std::string> units;
    std::vector<std::string> displayUnits;  // of the values themselves ("dBm", "%")
};

// Runs the wizard once on the grid as round `round` (1, 2, ...). False with a
// message when the sweep failed, with the samples it took before.
using RoundRunner = std::function<bool(int round, const RoundGrid& grid, RoundData& data, std::string& error)>;

enum class PursuitEnd {
    kConverged,      // inside the region, the error next to the maximum below the tolerance
    kSmallestGrid,   // inside the region at the smallest radius the grid takes
    kRoundLimit,     // still moving or shrinking when the rounds ran out
    kAtRim,          // on the edge where the grid reaches no further (|gamma| 0.95, or short of loads that failed)
};

struct PursuedOptimum {
    std::string measurement;  // the column's display name, "PA:Pout"
    std::string unit;         // of a difference of its values
    std::string displayUnit;  // of its values
    double tolerance = 0;
    PursuitEnd end = PursuitEnd::kRoundLimit;
    bool onEdge = false;      // the last round's maximum lay on its region's edge
    GammaPoint at;
    double value = 0;         // the spline's value there
    double uncertainty = 0;   // the largest leave-one-out error of the samples next to it
    int round = 0;            // the round it was found in
};

struct TradeOffPoint {
    GammaPoint at;
    double first = 0, second = 0;  // the two measurements' spline values there
};

struct PursuitReport {
    bool ok = false;
    std::string error;
    std::vector<RoundGrid> grids;  // per round run
    int failedRounds = 0;          // rounds whose sweep failed (run again on a smaller grid)
    int analyses = 0;              // samples over every round
    std::vector<PursuedOptimum> optima;
    std::vector<TradeOffPoint> tradeOff;  // from the first optimum to the second
    int tradeOffRound = 0;
};

// The display name of the column a user's name stands for: the column itself or
// the one whose name after "source:" it is. False with a message when there is
// none or there are several.
bool ResolveMeasurement(const std::vector<std::string>& columns, const std::string& name, std::string& column,
                        std::string& error);

// The default tolerance of a measurement by the unit of its differences.
double DefaultTolerance(const std::string& unit, double value);

PursuitReport Pursue(const PursuitSettings& settings, const RoundRunner& runRound);

// The grid's centre and radius as typed into the dialog ("0.364000").
std::string GridNumber(double v);

// The options of the command line: --pursue MEASUREMENT[,MEASUREMENT],
// --tolerance VALUE, --rounds N. False with a message for a bad value.
bool ParsePursuitOption(const std::string& option, const std::string& value, PursuitSettings& settings,
                        std::string& error);

}  // namespace vexasim
