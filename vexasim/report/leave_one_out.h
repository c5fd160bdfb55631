// The leave-one-out error of the thin-plate spline the wizard fits through a
// measurement's samples: at each sample, its value minus the value there of the
// spline fitted through all the other samples. It tells how far the contours can be
// trusted between the simulated points.
//
// For an interpolating radial-basis spline it needs no refits: with A the spline's
// system matrix [K P; P^T 0] and c = A^-1 [z; 0] its coefficients, the error at
// sample k is c_k / (A^-1)_kk (Rippa, Adv. Comput. Math. 11, 1999). One inversion
// serves every measurement sampled at the same points.
#pragma once
#include <vector>

#include "interp/gauss_jordan.h"
#include "vexasim/report/region.h"

namespace vexasim {

class LeaveOneOut {
public:
    // The spline of the wizard over these points: coordinates scaled to the unit
    // square by the points' own extent, exact interpolation. A point at the position
    // of an earlier one is left out, as the spline leaves it out.
    explicit LeaveOneOut(const std::vector<GammaPoint>& points);

    // False when the system is singular (points on one line, fewer than three).
    bool Valid() const { return valid_; }

    // The error at each point, for the values z (parallel to the points); NaN at
    // left-out points, and everywhere when the system is singular or a value is not
    // finite (the spline has no fit then).
    std::vector<double> Errors(const std::vector<double>& z) const;

private:
    std::vector<int> node_;  // per point, its row in the system or -1
    int nodes_ = 0;
    bool valid_ = false;
    RowMatrix inverse_;
};

struct LooStats {
    int count = 0;       // samples with an error
    double rms = 0;      // root mean square of the errors
    double largest = 0;  // the error of largest magnitude, with its sign
    GammaPoint at;       // where it is
};
LooStats SummariseErrors(const std::vector<double>& errors, const std::vector<GammaPoint>& points);

}  // namespace vexasim
