#include "gamma/predefined_grid.h"

#include <charconv>
#include <system_error>

namespace {

// Rounds to six decimal places the way the grid tables are written: the value
// is printed with six decimals and that text is read back. to_chars and
// from_chars are exact and ignore the C locale, so a host that switched the
// decimal separator cannot change the grid.
double RoundToSixDecimals(double value) {
    char text[64];
    const auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    double parsed = 0.0;
    if (printed.ec != std::errc() ||
        std::from_chars(text, printed.ptr, parsed).ec != std::errc()) {
        return value;  // Not reachable for the magnitudes and angles of a grid.
    }
    return parsed;
}

}  // namespace

long MakePredefinedGrid(long density, std::unique_ptr<double[]>& magnitudes,
                        std::unique_ptr<double[]>& anglesDeg) {
    if (density < 0 || density >= kPredefinedGridCount) {
        return 0;
    }
    const long rings = 4 + 2 * density;  // 4, 6, 8, 10
    const long count = 3 * rings * (rings + 1) + 1;

    auto mag = std::make_unique<double[]>(static_cast<std::size_t>(count));
    auto ang = std::make_unique<double[]>(static_cast<std::size_t>(count));
    long i = 0;
    for (long k = rings; k >= 1; --k) {
        const double ringMagnitude = RoundToSixDecimals(0.95 * static_cast<double>(k) / static_cast<double>(rings));
        const long points = 6 * k;
        for (long j = 0; j < points; ++j) {
            // Each angle from its own index, never accumulated from a rounded step.
            mag[i] = ringMagnitude;
            ang[i] = RoundToSixDecimals(static_cast<double>(j * 360) / static_cast<double>(points));
            ++i;
        }
    }
    mag[i] = 0.0;  // The centre, exact zeros (make_unique already zeroed it).
    ang[i] = 0.0;

    magnitudes = std::move(mag);
    anglesDeg = std::move(ang);
    return count;
}
