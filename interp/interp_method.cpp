#include "interp/interp_method.h"

#include <cassert>
#include <cstddef>

K_InterpMethod::K_InterpMethod(int intParamCount_, int doubleParamCount_)
    : intParamCount(intParamCount_),
      doubleParamCount(doubleParamCount_),
      intParams(static_cast<std::size_t>(intParamCount_ > 0 ? intParamCount_ : 0), 0),
      doubleParams(static_cast<std::size_t>(doubleParamCount_ > 0 ? doubleParamCount_ : 0), 0.0) {}

K_InterpMethod::~K_InterpMethod() = default;

void K_InterpMethod::SetIntParam(int index, int value) {
    assert(index >= 0 && index < intParamCount);
    intParams[static_cast<std::size_t>(index)] = value;
}

void K_InterpMethod::SetDoubleParam(int index, double value) {
    assert(index >= 0 && index < doubleParamCount);
    doubleParams[static_cast<std::size_t>(index)] = value;
}

int K_InterpMethod::IntParam(int index) const {
    assert(index >= 0 && index < intParamCount);
    return intParams[static_cast<std::size_t>(index)];
}

double K_InterpMethod::DoubleParam(int index) const {
    assert(index >= 0 && index < doubleParamCount);
    return doubleParams[static_cast<std::size_t>(index)];
}

void K_InterpMethod::InterpolateMany(int n, const double* x, const double* y, double* out) {
    for (int i = 0; i < n; ++i) {
        out[i] = Interpolate(x[i], y[i]);
    }
}

void K_UseVectorStorage::AddPoint(double x, double y, double z) {
    for (const Sample& s : samples) {
        if (s.x == x && s.y == y) {
            return;
        }
    }
    samples.push_back(Sample{x, y, z});
}

void K_UseVectorStorage::ClearPoints() {
    samples.clear();
}
