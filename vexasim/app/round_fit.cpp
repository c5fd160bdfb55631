#include "vexasim/app/round_fit.h"

#include <algorithm>
#include <cmath>

#include "host/angles.h"
#include "vexasim/report/leave_one_out.h"
#include "vexasim/report/run_results.h"

namespace vexasim {
namespace {

// The leave-one-out errors that tell how well the maximum is known: those of the
// samples nearest to it.
const size_t kNeighbours = 4;

// A least-squares quadratic over a round's samples, in coordinates about the
// round's centre in its radii: smooth where the spline follows every sample, so
// that its slope and curvature at the edge of the region say how far on the
// maximum lies.
class Quadratic {
public:
    Quadratic(const RoundFit& fit, GammaPoint centre, double radius) : centre_(centre), scale_(radius) {
        double a[6][7] = {};
        for (size_t i = 0; i < fit.points.size(); ++i) {
            double f[6];
            Terms(fit.points[i], f);
            for (int r = 0; r < 6; ++r) {
                for (int c = 0; c < 6; ++c) a[r][c] += f[r] * f[c];
                a[r][6] += f[r] * fit.values[i];
            }
        }
        // Gauss-Jordan with partial pivoting; a pivot near zero (the samples lie on
        // one line or a conic) leaves the model unusable.
        double largest = 0;
        for (int r = 0; r < 6; ++r) largest = std::max(largest, std::fabs(a[r][r]));
        for (int c = 0; c < 6; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 6; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
            if (!(std::fabs(a[pivot][c]) > 1e-12 * largest)) return;
            for (int k = 0; k < 7; ++k) std::swap(a[c][k], a[pivot][k]);
            for (int r = 0; r < 6; ++r) {
                if (r == c) continue;
                const double m = a[r][c] / a[c][c];
                for (int k = c; k < 7; ++k) a[r][k] -= m * a[c][k];
            }
        }
        for (int r = 0; r < 6; ++r) c_[r] = a[r][6] / a[r][r];
        ok_ = std::all_of(c_, c_ + 6, [](double v) { return std::isfinite(v); });
    }

    bool Usable() const { return ok_; }

    // The slope at a point, per unit of gamma.
    GammaPoint Gradient(GammaPoint p) const {
        const double u = (p.re - centre_.re) / scale_, v = (p.im - centre_.im) / scale_;
        return {(c_[1] + 2 * c_[3] * u + c_[4] * v) / scale_, (c_[2] + c_[4] * u + 2 * c_[5] * v) / scale_};
    }

    // How far from p along the unit direction d the model is largest, in gamma;
    // infinite when it rises without end that way.
    double StepAlong(GammaPoint p, GammaPoint d) const {
        const GammaPoint g = Gradient(p);
        const double slope = g.re * d.re + g.im * d.im;
        const double curvature = 2 * (c_[3] * d.re * d.re + c_[4] * d.re * d.im + c_[5] * d.im * d.im) / (scale_ * scale_);
        if (!(curvature < 0)) return INFINITY;
        return std::max(0.0, -slope / curvature);
    }

private:
    void Terms(GammaPoint p, double f[6]) const {
        const double u = (p.re - centre_.re) / scale_, v = (p.im - centre_.im) / scale_;
        f[0] = 1, f[1] = u, f[2] = v, f[3] = u * u, f[4] = u * v, f[5] = v * v;
    }

    GammaPoint centre_;
    double scale_;
    double c_[6] = {};
    bool ok_ = false;
};
}  // namespace

RoundFit::RoundFit(const RoundData& data, int column) {
    for (const Sample& s : data.samples.rows) {
        const double z = static_cast<size_t>(column) < s.values.size() ? s.values[column] : NAN;
        const GammaPoint p = SamplePoint(s);
        if (!std::isfinite(z) || !std::isfinite(p.re) || !std::isfinite(p.im)) continue;
        points.push_back(p);
        values.push_back(z);
        spline_.AddPoint(p.re, p.im, z);
    }
    region = Region::Hull(points);
}

std::vector<GammaPoint> Candidates(const RoundFit& fit, double step) {
    std::vector<GammaPoint> out = fit.points;
    double x0 = 1, x1 = -1, y0 = 1, y1 = -1;
    for (const GammaPoint& v : fit.region.Vertices()) {
        x0 = std::min(x0, v.re), x1 = std::max(x1, v.re);
        y0 = std::min(y0, v.im), y1 = std::max(y1, v.im);
    }
    for (double y = y0; y <= y1; y += step)
        for (double x = x0; x <= x1; x += step)
            if (fit.region.Contains(x, y, 0.0)) out.push_back({x, y});
    return out;
}

// The spline's largest value inside the region: the best of a lattice, then a
// pattern search that halves its step down to 1e-5 in gamma.
Peak MaximiseInRegion(const RoundFit& fit, double step) {
    Peak best;
    for (const GammaPoint& p : Candidates(fit, step)) {
        const double v = fit.Value(p.re, p.im);
        if (std::isfinite(v) && (!best.found || v > best.value)) best = {true, p, v};
    }
    if (!best.found) return best;
    for (double h = step; h > 1e-5; h /= 2) {
        bool moved = true;
        while (moved) {
            moved = false;
            for (int k = 0; k < 8; ++k) {
                const double a = kPi / 4 * k;
                const GammaPoint q{best.at.re + h * std::cos(a), best.at.im + h * std::sin(a)};
                if (!fit.region.Contains(q.re, q.im, 0.0)) continue;
                const double v = fit.Value(q.re, q.im);
                if (v > best.value) {
                    best = {true, q, v};
                    moved = true;
                }
            }
        }
    }
    return best;
}

Assessment Assess(const RoundData& data, int column, const RoundGrid& grid) {
    Assessment a;
    const double radius = grid.radius;
    RoundFit fit(data, column);
    if (!fit.Usable()) return a;
    a.peak = MaximiseInRegion(fit, radius / 40);
    if (!a.peak.found) return a;
    a.onEdge = fit.region.DepthOf(a.peak.at.re, a.peak.at.im) < kEdgeDepth * radius;
    if (a.onEdge) {
        const double angle = DegreesToRadians(grid.centerAngDeg);
        const GammaPoint centre{grid.centerMag * std::cos(angle), grid.centerMag * std::sin(angle)};
        GammaPoint out{a.peak.at.re - centre.re, a.peak.at.im - centre.im};
        const double n = std::hypot(out.re, out.im);
        out = n > 0 ? GammaPoint{out.re / n, out.im / n} : GammaPoint{1, 0};
        a.way = out;
        const Quadratic model(fit, centre, radius);
        if (model.Usable()) {
            // Up the model's slope where it leads out of the region; along the edge
            // or back in, the slope is the spline's wiggle and the way out is away
            // from the centre.
            const GammaPoint g = model.Gradient(a.peak.at);
            const double gn = std::hypot(g.re, g.im);
            if (gn > 0 && (g.re * out.re + g.im * out.im) > 0.5 * gn) a.way = {g.re / gn, g.im / gn};
            a.step = model.StepAlong(a.peak.at, a.way);
        }
    }
    const std::vector<double> errors = LeaveOneOut(fit.points).Errors(fit.values);
    std::vector<size_t> order(fit.points.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto distance = [&](size_t i) {
        return std::hypot(fit.points[i].re - a.peak.at.re, fit.points[i].im - a.peak.at.im);
    };
    std::sort(order.begin(), order.end(), [&](size_t i, size_t j) { return distance(i) < distance(j); });
    size_t used = 0;
    for (size_t i : order) {
        if (used == kNeighbours) break;
        if (!std::isfinite(errors[i])) continue;
        a.error = std::isfinite(a.error) ? std::max(a.error, std::fabs(errors[i])) : std::fabs(errors[i]);
        ++used;
    }
    return a;
}

// Where a sweep that failed stopped: the wizard sweeps the grid's outer ring first,
// counter-clockwise from the centre's right at even steps, so the load after the
// last one simulated is the one that failed. NaN where the samples are not so.
GammaPoint FailedLoad(const RoundGrid& grid, const SampleTable& samples) {
    const GammaPoint none{NAN, NAN};
    const double a = DegreesToRadians(grid.centerAngDeg), r = grid.radius;
    const GammaPoint c{grid.centerMag * std::cos(a), grid.centerMag * std::sin(a)};
    std::vector<double> angles;
    for (const Sample& s : samples.rows) {
        const GammaPoint p = SamplePoint(s);
        if (std::fabs(std::hypot(p.re - c.re, p.im - c.im) - r) > 1e-4) return none;
        angles.push_back(std::atan2(p.im - c.im, p.re - c.re));
    }
    if (angles.empty()) return {c.re + r, c.im};
    if (angles.size() < 2) return none;
    auto turn = [](double from, double to) {
        double d = std::remainder(to - from, 2 * kPi);
        return d <= 0 ? d + 2 * kPi : d;
    };
    const double step = turn(angles[0], angles[1]);
    for (size_t i = 2; i < angles.size(); ++i)
        if (std::fabs(turn(angles[i - 1], angles[i]) - step) > 1e-4) return none;
    const double next = angles.back() + step;
    return {c.re + r * std::cos(next), c.im + r * std::sin(next)};
}
}  // namespace vexasim
