// Contour levels of a measurement from its smallest and largest value, and the
// name of the contour measurement that carries them.
#pragma once
#include <string>

namespace contour {

struct Levels {
    double top;     // maximum + 1, truncated toward zero
    double bottom;  // minimum, truncated toward zero (-3.7 gives -3)
    double step;    // 0.25 up to a span of 5, then 0.25 * trunc(span / 5 + 1)
};

// Truncation is done in floating point, so values beyond the range of an integer
// type (or infinite) give defined levels instead of an overflowing conversion.
// A zero level is always +0.
Levels ComputeLevels(double minimum, double maximum);

// "LPCS[top,bottom,step]", each written as "%g" would.
std::string MeasurementName(const Levels& levels);

}  // namespace contour
