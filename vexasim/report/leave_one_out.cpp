#include "vexasim/report/leave_one_out.h"

#include <cmath>
#include <limits>

#include "interp/thin_plate_spline_method.h"

namespace vexasim {

LeaveOneOut::LeaveOneOut(const std::vector<GammaPoint>& points) {
    std::vector<GammaPoint> nodes;
    node_.assign(points.size(), -1);
    for (size_t i = 0; i < points.size(); ++i) {
        const GammaPoint& p = points[i];
        if (!std::isfinite(p.re) || !std::isfinite(p.im)) return;
        bool repeated = false;
        for (const GammaPoint& q : nodes) repeated = repeated || (q.re == p.re && q.im == p.im);
        if (repeated) continue;
        node_[i] = static_cast<int>(nodes.size());
        nodes.push_back(p);
    }
    nodes_ = static_cast<int>(nodes.size());
    if (nodes_ < static_cast<int>(kMinimumPoints)) return;
    double xMin = nodes[0].re, xMax = xMin, yMin = nodes[0].im, yMax = yMin;
    for (const GammaPoint& p : nodes) {
        xMin = std::fmin(xMin, p.re), xMax = std::fmax(xMax, p.re);
        yMin = std::fmin(yMin, p.im), yMax = std::fmax(yMax, p.im);
    }
    if (!(xMax > xMin) || !(yMax > yMin)) return;
    std::vector<double> x(nodes.size()), y(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        x[i] = (nodes[i].re - xMin) / (xMax - xMin);
        y[i] = (nodes[i].im - yMin) / (yMax - yMin);
    }
    const int n = nodes_, size = n + 3;
    RowMatrix a(size);
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) a[i][j] = 0.0;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j)
            a[i][j] = a[j][i] = ThinPlateKernel(std::hypot(x[i] - x[j], y[i] - y[j]));
        const double p[3] = {1.0, x[i], y[i]};
        for (int q = 0; q < 3; ++q) a[i][n + q] = a[n + q][i] = p[q];
    }
    if (!GaussJordanInvert(a.Rows(), size)) return;
    inverse_ = std::move(a);
    valid_ = true;
}

std::vector<double> LeaveOneOut::Errors(const std::vector<double>& z) const {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> e(node_.size(), nan);
    if (!valid_ || z.size() != node_.size()) return e;
    std::vector<double> value(static_cast<size_t>(nodes_));
    for (size_t i = 0; i < node_.size(); ++i) {
        if (!std::isfinite(z[i])) return e;
        if (node_[i] >= 0) value[static_cast<size_t>(node_[i])] = z[i];
    }
    for (size_t i = 0; i < node_.size(); ++i) {
        const int k = node_[i];
        if (k < 0) continue;
        const double* row = inverse_[k];
        double c = 0;
        for (int j = 0; j < nodes_; ++j) c += row[j] * value[static_cast<size_t>(j)];
        e[i] = c / row[k];
    }
    return e;
}

LooStats SummariseErrors(const std::vector<double>& errors, const std::vector<GammaPoint>& points) {
    LooStats s;
    double squares = 0;
    for (size_t i = 0; i < errors.size() && i < points.size(); ++i) {
        if (!std::isfinite(errors[i])) continue;
        ++s.count;
        squares += errors[i] * errors[i];
        if (s.count == 1 || std::fabs(errors[i]) > std::fabs(s.largest)) {
            s.largest = errors[i];
            s.at = points[i];
        }
    }
    if (s.count) s.rms = std::sqrt(squares / s.count);
    return s;
}

}  // namespace vexasim
