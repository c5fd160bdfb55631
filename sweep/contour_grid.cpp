#include "sweep/contour_grid.h"

#include <cmath>

#include "interp/interpolator_holder.h"
#include "sweep/format.h"

namespace contour {
namespace {
constexpr double kOrigin = -1.0;
constexpr double kStep = 0.05;
constexpr double kConstantTolerance = 1e-9;
// "-0.000000 " is the longest a grid value usually gets.
constexpr std::size_t kTypicalValueLength = 11;
}  // namespace

double Coordinate(int index) { return kOrigin + kStep * index; }

std::vector<double> Evaluate(InterpolatorHolder& holder) {
    std::vector<double> values;
    values.reserve(kGridValues);
    for (int r = 0; r < kGridSize; ++r) {
        const double y = Coordinate(r);
        for (int q = 0; q < kGridSize; ++q) values.push_back(holder.Interpolate(Coordinate(q), y));
    }
    return values;
}

bool AllNumbers(const std::vector<double>& values) {
    for (double v : values)
        if (std::isnan(v)) return false;
    return true;
}

bool IsConstant(const std::vector<double>& values) {
    if (values.empty()) return true;
    const double reference = values.front();
    for (double v : values)
        if (!(std::fabs(v - reference) < kConstantTolerance)) return false;
    return true;
}

std::string Text(const std::vector<double>& values) {
    std::string text;
    text.reserve(values.size() * kTypicalValueLength + kGridSize);
    std::size_t column = 0;
    for (double v : values) {
        lpformat::AppendFixed6(text, v);
        text += ' ';
        if (++column == kGridSize) {
            text += '\n';
            column = 0;
        }
    }
    return text;
}

}  // namespace contour
