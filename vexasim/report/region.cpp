#include "vexasim/report/region.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexasim {
namespace {

double Cross(const GammaPoint& o, const GammaPoint& a, const GammaPoint& b) {
    return (a.re - o.re) * (b.im - o.im) - (a.im - o.im) * (b.re - o.re);
}

// The signed distance of p from the line through a and b, positive on its left.
double SideDistance(const GammaPoint& a, const GammaPoint& b, double re, double im) {
    const double dx = b.re - a.re, dy = b.im - a.im;
    return (dx * (im - a.im) - dy * (re - a.re)) / std::hypot(dx, dy);
}

}  // namespace

Region Region::Hull(const std::vector<GammaPoint>& points) {
    std::vector<GammaPoint> p;
    for (const GammaPoint& g : points)
        if (std::isfinite(g.re) && std::isfinite(g.im)) p.push_back(g);
    std::sort(p.begin(), p.end(), [](const GammaPoint& a, const GammaPoint& b) {
        return a.re < b.re || (a.re == b.re && a.im < b.im);
    });
    p.erase(std::unique(p.begin(), p.end(),
                        [](const GammaPoint& a, const GammaPoint& b) { return a.re == b.re && a.im == b.im; }),
            p.end());
    Region r;
    if (p.size() < kMinimumPoints) return r;
    // Monotone chain; points on an edge are dropped (a cross product that is not
    // clearly positive), so the polygon has no straight angles.
    const double eps = 1e-12;
    std::vector<GammaPoint> h(2 * p.size());
    size_t k = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= eps) --k;
        h[k++] = p[i];
    }
    for (size_t i = p.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && Cross(h[k - 2], h[k - 1], p[i]) <= eps) --k;
        h[k++] = p[i];
    }
    h.resize(k - 1);
    if (h.size() >= kMinimumPoints) r.vertices_ = std::move(h);
    return r;
}

double Region::DepthOf(double re, double im) const {
    if (Empty() || !std::isfinite(re) || !std::isfinite(im)) return -std::numeric_limits<double>::infinity();
    double depth = std::numeric_limits<double>::infinity();
    const size_t n = vertices_.size();
    for (size_t i = 0; i < n; ++i)
        depth = std::min(depth, SideDistance(vertices_[i], vertices_[(i + 1) % n], re, im));
    return depth;
}

bool Region::Contains(double re, double im, double tolerance) const { return DepthOf(re, im) >= -tolerance; }

}  // namespace vexasim
