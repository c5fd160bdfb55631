// Weighted mean of the samples within a fixed radius.
#pragma once

#include <vector>

#include "interp/interp_method.h"

// Estimates the value at a point as the mean of the samples closer than the
// radius R, each weighted by (1 - d/R)^p. No fitting step.
// Double parameters: [0] the exponent p (default 3), [1] the radius R
// (default 1.5; anything below 1e-6 counts as 1e-6).
class K_WeightAveMethod : public K_UseVectorStorage {
public:
    K_WeightAveMethod();
    ~K_WeightAveMethod() override;

    // 0.0 when no sample lies closer than R, and with no samples at all.
    double Interpolate(double x, double y) override;

private:
    std::vector<double> weights;  // scratch, one entry per sample
    int sampleCount = 0;          // entries of weights
};
