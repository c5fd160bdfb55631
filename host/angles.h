// Angles: the host takes them in radians, the wizard and its user think in degrees.
// pi is computed once, as 4 atan(1), for the whole program.
#pragma once
#include <cmath>

inline const double kPi = 4.0 * std::atan(1.0);

// pi deg / 180, and back as rad 180 / pi.
inline double DegreesToRadians(double deg) { return kPi * deg / 180.0; }
inline double RadiansToDegrees(double rad) { return rad * 180.0 / kPi; }
