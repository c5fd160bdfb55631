// Number text for what the wizard writes into the project (contour grid values,
// contour measurement names). The text must not depend on the C library's locale
// or on which C runtime the module is linked with, so these never go through
// printf: they produce exactly what "%.6f" and "%g" give in the C locale of a
// C99 runtime, on every platform.
//
//   - a value that is not a number is "nan" (whatever its sign bit);
//   - infinities are "inf" and "-inf";
//   - the sign follows the sign bit, as in C: -0.0 gives "-0.000000" and "-0",
//     and so does a tiny negative that rounds to zero ("-0.000000");
//   - fixed notation writes large values in full, never with an exponent;
//   - "%g" exponents have at least two digits ("1e+06").
#pragma once
#include <string>

namespace lpformat {

// Appends v as "%.6f" would.
void AppendFixed6(std::string& out, double v);
std::string Fixed6(double v);

// v as "%g" would write it: six significant digits, trailing zeros dropped.
std::string General(double v);

}  // namespace lpformat
