// The simulated region: the convex hull of the gamma points the sweep analysed.
// Spline values outside it are extrapolation, so maxima are only taken and contours
// only drawn in full inside it.
#pragma once
#include <cstddef>
#include <vector>

namespace vexasim {

struct GammaPoint {
    double re = 0, im = 0;
};

// The fewest points that span an area: what a region and a fit over one need.
constexpr std::size_t kMinimumPoints = 3;

class Region {
public:
    Region() = default;
    // The convex hull of the points; non-finite points are left out. Fewer than
    // three points not on one line give an empty region.
    static Region Hull(const std::vector<GammaPoint>& points);

    bool Empty() const { return vertices_.size() < kMinimumPoints; }
    // Counter-clockwise, no three on one line.
    const std::vector<GammaPoint>& Vertices() const { return vertices_; }

    // Inside or on the edge (within tolerance).
    bool Contains(double re, double im, double tolerance = 1e-9) const;
    // Distance from a point inside to the nearest edge (0 on the edge; negative outside).
    double DepthOf(double re, double im) const;

private:
    std::vector<GammaPoint> vertices_;
};

}  // namespace vexasim
