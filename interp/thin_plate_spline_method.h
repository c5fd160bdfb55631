// Thin-plate spline through the samples, fitted lazily.
#pragma once

#include <memory>
#include <vector>

#include "interp/interp_method.h"

// The thin-plate kernel U(r) = r^2 ln(r^2) for r > 0, and 0 for r <= 0.
double ThinPlateKernel(double r);

// Fits f(x, y) = a0 + a1 x + a2 y + sum_i w_i U(|(x, y) - node_i|) through the
// samples, in coordinates normalised to the unit square by the samples' own
// extent. Double parameter [0] is the smoothing value placed on the kernel
// diagonal (default 0: exact interpolation).
//
// Adding or clearing samples only marks the fit stale; the next Interpolate
// solves once and later calls reuse the solution. A change of the smoothing
// value alone does not trigger a new solve.
//
// Splines over the same nodes with the same smoothing value (every
// measurement of a sweep is sampled at the same gamma points) share one
// inverted kernel matrix while any of them holds it: only the first of them
// pays for the inversion, and the results are bit-identical to solving each
// on its own. The sharing is process-wide and safe across threads: splines
// on different threads (two sweeps in two apartments) may fit at once; one
// spline object is used from one thread at a time.
class K_ThinPlateSplineMethod : public K_UseVectorStorage {
public:
    K_ThinPlateSplineMethod();
    ~K_ThinPlateSplineMethod() override;

    void AddPoint(double x, double y, double z) override;
    void ClearPoints() override;
    // The spline's value at (x, y). A quiet NaN while the fit is not valid:
    // after a solve that found a singular system, and with no samples.
    double Interpolate(double x, double y) override;

    bool FitValid() const { return fitValid; }
    bool FitStale() const { return fitStale; }
    // Solves run by this object (successful or not).
    long SolveCount() const { return solveCount; }
    // Kernel matrices inverted by all splines so far; a solve that reuses a
    // shared inverse does not count.
    static long KernelInversionCount();

    // The fit as last solved (for inspection).
    double XMin() const { return xMin; }
    double XMax() const { return xMax; }
    double XScale() const { return xScale; }
    double YMin() const { return yMin; }
    double YMax() const { return yMax; }
    double YScale() const { return yScale; }
    const std::vector<double>& NodeX() const { return nodeX; }
    const std::vector<double>& NodeY() const { return nodeY; }
    const std::vector<double>& Weights() const { return weights; }
    const double* Affine() const { return affine; }

    struct SharedKernel;  // the node-dependent part of a solve

private:
    void Solve();

    double smoothing = 0.0;
    int sampleCount = 0;
    bool fitStale = true;
    bool fitValid = false;
    std::vector<double> nodeX;
    std::vector<double> nodeY;
    std::vector<double> weights;
    double affine[3] = {0.0, 0.0, 0.0};
    double xMin = 0.0;
    double xMax = 0.0;
    double xScale = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    double yScale = 0.0;

    std::vector<double> evaluation;  // scratch of Interpolate
    long solveCount = 0;
    std::shared_ptr<const SharedKernel> kernel;  // held while it may be shared
};
