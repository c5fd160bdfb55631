// Sample layouts shared by the interpolation tests.
#pragma once

#include <cmath>
#include <vector>

#include "host/angles.h"

namespace ringlayout {

struct Point {
    double x;
    double y;
};

// The ring rule of the pre-defined gamma grids with R rings: rings k = R..1
// of magnitude 0.95 k / R with 6k points from 0 degrees, then the centre;
// 3R(R+1) + 1 points.
inline std::vector<Point> Rings(int rings) {
    std::vector<Point> points;
    for (int k = rings; k >= 1; --k) {
        const double magnitude = 0.95 * k / rings;
        for (int j = 0; j < 6 * k; ++j) {
            const double angle = DegreesToRadians(j * 360.0 / (6 * k));
            points.push_back({magnitude * std::cos(angle), magnitude * std::sin(angle)});
        }
    }
    points.push_back({0.0, 0.0});
    return points;
}

// A smooth, non-polynomial surface over the unit disc.
inline double Surface(double x, double y) {
    return std::sin(3.0 * x) * std::cos(2.0 * y) + 0.5 * x * y + std::exp(x);
}

}  // namespace ringlayout
