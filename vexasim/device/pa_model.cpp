#include "vexasim/device/pa_model.h"

#include <algorithm>
#include <cmath>

#include "host/angles.h"
#include "vexasim/model/tuner.h"

namespace pa {
namespace {

std::complex<double> Clamp(std::complex<double> g) {
    double m = std::abs(g);
    if (!std::isfinite(m)) return {0.0, 0.0};
    if (m > kMaxGamma) g *= kMaxGamma / m;
    return g;
}
}  // namespace

double CurrentHarmonic(int n, double alpha) {
    alpha = std::min(std::max(alpha, 1e-6), 2.0 * kPi);
    const double a = alpha / 2.0;
    const double c = std::cos(a);
    const double k = 1.0 / (1.0 - c);  // scales the cosine cap to unit peak
    if (n == 0) return k / (2.0 * kPi) * (2.0 * std::sin(a) - alpha * c);
    if (n == 1) return k / (2.0 * kPi) * (alpha - std::sin(alpha));
    const double dn = n;
    return k / kPi *
           (std::sin((dn - 1.0) * a) / (dn - 1.0) + std::sin((dn + 1.0) * a) / (dn + 1.0) -
            2.0 * c * std::sin(dn * a) / dn);
}

std::complex<double> Impedance(std::complex<double> gamma, double z0) {
    return vexasim::GammaToImpedance(Clamp(gamma), z0);
}

Outputs Evaluate(const Device& d, const Loads& loads) {
    Outputs o;
    const double alpha = DegreesToRadians(d.conductionDeg);
    const double vm = std::max(d.vdd - d.vknee, 0.0);
    double in[4];
    for (int n = 0; n <= 3; ++n) in[n] = d.imax * CurrentHarmonic(n, alpha);
    std::complex<double> z[3];
    for (int h = 0; h < 3; ++h) z[h] = Impedance(loads.gamma[h], d.z0);
    o.loadGamma = Clamp(loads.gamma[0]);

    // Drain voltage at full drive: v(t) = Vdd - sum_n In |Zn| cos(n t + arg Zn).
    // The swing below Vdd is sampled finely enough to find its deepest point.
    double swing = 0.0;
    const int samples = 720;
    for (int s = 0; s < samples; ++s) {
        double t = 2.0 * kPi * s / samples;
        double v = 0.0;
        for (int n = 1; n <= 3; ++n) v += in[n] * std::abs(z[n - 1]) * std::cos(n * t + std::arg(z[n - 1]));
        swing = std::max(swing, v);
    }
    double x = std::min(std::max(d.drive, 0.0), 1.0);
    if (swing > 0.0) x = std::min(x, vm / swing);  // the knee: drain voltage never below Vknee
    o.driveUsed = x;

    const double i1 = in[1] * x;
    o.poutW = std::max(0.5 * i1 * i1 * z[0].real(), kPowerFloor);
    o.poutDbw = 10.0 * std::log10(o.poutW);
    o.idcA = in[0] * x;
    const double pdc = d.vdd * o.idcA;
    o.drainEffPct = pdc > 0.0 ? 100.0 * o.poutW / pdc : 0.0;

    // Input power: the drive squared against the power the device gives on its
    // fundamental load line at full drive, divided by the small-signal gain.
    const double ropt = in[1] > 0.0 ? vm / in[1] : 0.0;
    const double pref = 0.5 * in[1] * in[1] * ropt;
    const double gainLin = std::pow(10.0, d.gainDb / 10.0);
    const double drive = std::min(std::max(d.drive, 0.0), 1.0);
    o.pinW = std::max(drive * drive * pref / gainLin, kPowerFloor);
    o.gainDb = 10.0 * std::log10(o.poutW / o.pinW);
    o.paePct = pdc > 0.0 ? 100.0 * (o.poutW - o.pinW) / pdc : 0.0;
    return o;
}

}  // namespace pa
