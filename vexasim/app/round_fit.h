// What one round of the pursuit shows of a measurement: the spline over its
// samples and the region they span, the spline's maximum inside it, whether that
// lies on the region's edge and which way the optimum lies on, how well the
// samples next to it are known, and where a sweep that failed stopped.
#pragma once
#include <cmath>
#include <vector>

#include "interp/thin_plate_spline_method.h"
#include "vexasim/app/pursuit.h"
#include "vexasim/report/region.h"

namespace vexasim {

// The dialog refuses a radius below 0.05.
constexpr double kSmallestRadius = 0.05;
// The wizard leaves out loads beyond |gamma| 0.95: a grid reaching further costs
// nothing there but sees nothing either.
constexpr double kRim = 0.95;
// A maximum this close to the region's edge (in radii of the round, 0.4 of the
// Coarse grid's ring spacing) is taken as on it: the optimum may lie beyond.
constexpr double kEdgeDepth = 0.1;

// One measurement's spline over the samples of one round.
class RoundFit {
public:
    RoundFit(const RoundData& data, int column);
    double Value(double re, double im) const { return spline_.Interpolate(re, im); }
    bool Usable() { return !region.Empty() && std::isfinite(spline_.Interpolate(points[0].re, points[0].im)); }

    std::vector<GammaPoint> points;
    std::vector<double> values;
    Region region;

private:
    mutable K_ThinPlateSplineMethod spline_;
};

struct Peak {
    bool found = false;
    GammaPoint at;
    double value = 0;
};

// The lattice of the region's bounding box at the step, inside the region, and the
// samples themselves.
std::vector<GammaPoint> Candidates(const RoundFit& fit, double step);

// The spline's largest value inside the region: the best of a lattice, then a
// pattern search that halves its step down to 1e-5 in gamma.
Peak MaximiseInRegion(const RoundFit& fit, double step);

// What a round shows of one measurement.
struct Assessment {
    Peak peak;
    bool onEdge = false;
    double error = NAN;  // the largest leave-one-out error of the samples next to the peak
    // On the edge: the way on, a unit vector, and how far along it the round's
    // quadratic has its maximum (infinite: it keeps rising; NaN: no model).
    GammaPoint way;
    double step = NAN;
};

Assessment Assess(const RoundData& data, int column, const RoundGrid& grid);

// Where a sweep that failed stopped: the wizard sweeps the grid's outer ring first,
// counter-clockwise from the centre's right at even steps, so the load after the
// last one simulated is the one that failed. NaN where the samples are not so.
GammaPoint FailedLoad(const RoundGrid& grid, const SampleTable& samples);

}  // namespace vexasim
