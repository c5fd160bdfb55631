#include "interp/interpolator_holder.h"

#include "interp/thin_plate_spline_method.h"
#include "interp/weight_ave_method.h"

InterpolatorHolder::InterpolatorHolder() {
    SelectMethod(2);
}

InterpolatorHolder::~InterpolatorHolder() = default;
InterpolatorHolder::InterpolatorHolder(InterpolatorHolder&&) noexcept = default;
InterpolatorHolder& InterpolatorHolder::operator=(InterpolatorHolder&&) noexcept = default;

void InterpolatorHolder::SelectMethod(int code) {
    if (code == methodCode) {
        return;
    }
    method.reset();
    methodCode = code;
    if (code == 1) {
        method = std::make_unique<K_WeightAveMethod>();
    } else {
        method = std::make_unique<K_ThinPlateSplineMethod>();
    }
}

void InterpolatorHolder::AddPoint(double x, double y, double z) {
    method->AddPoint(x, y, z);
}

double InterpolatorHolder::Interpolate(double x, double y) {
    return method->Interpolate(x, y);
}
