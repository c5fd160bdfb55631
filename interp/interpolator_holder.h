// Owns one interpolation method chosen by a numeric code.
#pragma once

#include <memory>

#include "interp/interp_method.h"

// Method codes: 1 the weighted average, 2 the thin-plate spline (any code but
// 1 selects it), 3 none yet (only before the first selection).
//
// A default-constructed holder owns a thin-plate spline; the sweep adds the
// samples of one measurement through AddPoint and then reads values through
// Interpolate:
//
//     InterpolatorHolder holder;
//     for (...) holder.AddPoint(re, im, value);
//     double v = holder.Interpolate(x, y);  // NaN if the fit failed
class InterpolatorHolder {
public:
    InterpolatorHolder();
    ~InterpolatorHolder();
    InterpolatorHolder(InterpolatorHolder&&) noexcept;
    InterpolatorHolder& operator=(InterpolatorHolder&&) noexcept;

    // Replaces the method (and with it the samples) unless the code is the
    // current one.
    void SelectMethod(int code);

    void AddPoint(double x, double y, double z);
    double Interpolate(double x, double y);

    int MethodCode() const { return methodCode; }
    K_InterpMethod* Method() const { return method.get(); }

private:
    int methodCode = 3;
    std::unique_ptr<K_InterpMethod> method;
};
