#include "sweep/contour_levels.h"

#include <cmath>

#include "sweep/format.h"

namespace contour {
namespace {
constexpr double kTopOffset = 1.0;
constexpr double kFineSpan = 5.0;
constexpr double kSpanFactor = 0.2;
constexpr double kStepOffset = 1.0;
constexpr double kStepUnit = 0.25;

// Toward zero; adding +0 turns the -0 that trunc gives for (-1, 0) into 0, as an
// integer conversion would, so no level is ever written "-0".
double Truncate(double v) { return std::trunc(v) + 0.0; }
}  // namespace

Levels ComputeLevels(double minimum, double maximum) {
    Levels levels;
    levels.top = Truncate(maximum + kTopOffset);
    levels.bottom = Truncate(minimum);
    const double span = levels.top - levels.bottom;
    levels.step = span <= kFineSpan ? kStepUnit : kStepUnit * Truncate(span * kSpanFactor + kStepOffset);
    return levels;
}

std::string MeasurementName(const Levels& levels) {
    return "LPCS[" + lpformat::General(levels.top) + "," + lpformat::General(levels.bottom) + "," +
           lpformat::General(levels.step) + "]";
}

}  // namespace contour
