// The gamma points the sweep drives the tuner through. The set itself lives in
// LPSetup as two parallel arrays (pointMagnitudes, pointAnglesDeg) and pointCount;
// GammaPointSet is a read-only view of them that never reads past the arrays.
#pragma once

#include <algorithm>
#include <cstddef>

#include "project/lpsetup.h"

struct GammaPoint {
    double magnitude = 0.0;  // |gamma|, linear, below 0.950001 for a point of the set
    double angleDeg = 0.0;   // angle of gamma in degrees, -180 .. +180
};

class GammaPointSet {
public:
    explicit GammaPointSet(const LPSetup& setup) noexcept : setup_(setup) {}

    // The points of the last complete build: pointCount, but never more than the
    // arrays hold (a build that stopped early may leave them shorter).
    long Count() const noexcept {
        const std::size_t held = std::min(setup_.pointMagnitudes.size(), setup_.pointAnglesDeg.size());
        if (setup_.pointCount <= 0) return 0;
        return static_cast<long>(std::min(static_cast<std::size_t>(setup_.pointCount), held));
    }

    // Point i, 0 <= i < Count().
    GammaPoint operator[](long i) const noexcept {
        const auto k = static_cast<std::size_t>(i);
        return GammaPoint{setup_.pointMagnitudes[k], setup_.pointAnglesDeg[k]};
    }

private:
    const LPSetup& setup_;
};
