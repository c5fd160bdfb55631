#include "interp/weight_ave_method.h"

#include <cmath>
#include <cstddef>

K_WeightAveMethod::K_WeightAveMethod() : K_UseVectorStorage(0, 2) {
    doubleParams[1] = 1.5;
    doubleParams[0] = 3.0;
}

K_WeightAveMethod::~K_WeightAveMethod() = default;

double K_WeightAveMethod::Interpolate(double x, double y) {
    const int count = static_cast<int>(samples.size());
    if (weights.empty() || sampleCount != count) {
        // Only a change of the sample count replaces the buffer.
        sampleCount = count;
        std::vector<double>(static_cast<std::size_t>(count)).swap(weights);
    }
    const std::size_t n = static_cast<std::size_t>(count);

    for (std::size_t i = 0; i < n; ++i) {
        const double dy = y - samples[i].y;
        const double dx = x - samples[i].x;
        weights[i] = std::sqrt(dy * dy + dx * dx);
    }

    double radius = doubleParams[1];
    if (!(radius >= 1e-6)) {  // also catches NaN
        radius = 1e-6;
    }
    const double exponent = doubleParams[0];
    const double k = -1.0 / radius;

    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (weights[i] < radius) {
            weights[i] = std::pow(k * weights[i] + 1.0, exponent);
            sum = sum + weights[i];
        } else {
            weights[i] = 0.0;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (weights[i] > 0.0) {
            weights[i] = weights[i] / sum;
        }
    }
    double result = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (weights[i] > 0.0) {
            result = result + samples[i].z * weights[i];
        }
    }
    return result;
}
