#include "vexasim/circuit/termination.h"

#include <algorithm>
#include <cmath>

namespace circuit {
namespace {
const double kPi = 4.0 * std::atan(1.0);
// Part of a period over which a correction is blended in: a step in the source
// would put a current impulse through every capacitor at the node. That period
// is not measured.
const double kRampFraction = 1.0;
}  // namespace

Complex Phasor(const std::vector<double>& t, const std::vector<double>& x, double t0, double period, int n) {
    // The straight line between samples integrated exactly against e^(-j w t): no
    // leakage of one harmonic into another beyond what the line itself adds.
    const double w = 2.0 * kPi * n / period;
    const double t1 = t0 + period;
    Complex sum(0.0, 0.0);
    for (size_t k = 1; k < t.size(); ++k) {
        double a = t[k - 1], b = t[k];
        if (b <= t0 || a >= t1 || b <= a) continue;
        const double slope = (x[k] - x[k - 1]) / (b - a);
        double fa = x[k - 1];
        if (a < t0) {
            fa += slope * (t0 - a);
            a = t0;
        }
        b = std::min(b, t1);
        const double h = b - a;
        if (n == 0) {
            sum += fa * h + 0.5 * slope * h * h;
            continue;
        }
        const Complex mjw(0.0, -w);
        const Complex ea = std::polar(1.0, -w * a), eb = std::polar(1.0, -w * b);
        const Complex i0 = (eb - ea) / mjw;
        const Complex i1 = h * eb / mjw - (eb - ea) / (mjw * mjw);
        sum += fa * i0 + slope * i1;
    }
    return (n == 0 ? 1.0 : 2.0) * sum / period;
}

TerminationLoop::TerminationLoop(const Loads& loads, double vdd, double frequency)
    : vdd_(vdd), omega_(2.0 * kPi * frequency), period_(1.0 / frequency) {
    for (int n = 0; n < 3; ++n) {
        gamma_[n] = loads.gamma[n];
        before_[n] = after_[n] = y_[n] = Complex(0.0, 0.0);
    }
}

double TerminationLoop::Voltage(double t) const {
    const double tau = t - rampStart_;
    const double ramp = kRampFraction * period_;
    const double s = tau <= 0.0 ? 0.0 : tau >= ramp ? 1.0 : 0.5 * (1.0 - std::cos(kPi * tau / ramp));
    double v = vdd_;
    for (int n = 0; n < 3; ++n) {
        const Complex e = before_[n] + (after_[n] - before_[n]) * s;
        v += std::real(e * std::polar(1.0, omega_ * (n + 1) * t));
    }
    return v;
}

bool TerminationLoop::EndPeriod(double end, const Complex v[4], const Complex i[4]) {
    ++periods_;
    if (ramping_) {
        // The period that blended a correction in is not measured; the next holds it.
        ramping_ = false;
        holds_ = 0;
        return false;
    }
    ++holds_;
    const double z0 = kZ0;
    currentChange_ = holds_ >= 2 ? std::abs(i[1] - iPrev_[0]) / std::max(std::abs(i[1]), 1e-15) : 1.0;
    const double a1 = std::abs(0.5 * (v[1] + z0 * i[1]));
    double worst = 0.0;
    Complex step[3];
    for (int n = 0; n < 3; ++n) {
        const Complex V = v[n + 1], I = i[n + 1];
        const Complex a = 0.5 * (V + z0 * I), b = 0.5 * (V - z0 * I);
        const Complex f = b - gamma_[n] * a;
        // A harmonic below a hundredth of the fundamental is judged against that:
        // its error is then at most a millionth of the fundamental wave.
        const double scale = std::max({std::abs(a), 1e-2 * a1, 1e-12});
        worst = std::max(worst, std::abs(f) / scale);
        if (havePrevious_) {
            const Complex dv = V - vPrev_[n], di = I - iPrev_[n];
            // Only a change large against the fundamental tells the admittance; a
            // small one is mostly what the other harmonics and the circuit's own
            // settling moved.
            if (std::abs(dv) > 1e-3 * std::max(std::abs(v[1]), 1e-9)) {
                Complex y = di / dv;
                // A passive output: the circuit does not deliver power back at a harmonic.
                if (y.real() > 0.0) y = Complex(0.0, y.imag());
                if (std::isfinite(y.real()) && std::isfinite(y.imag())) y_[n] = y;
            }
        }
        // F(V) = b - gamma a with I = I0 + y V: dF/dV = (1 - Z0 y)/2 - gamma (1 + Z0 y)/2.
        Complex j = 0.5 * (1.0 - z0 * y_[n]) - gamma_[n] * 0.5 * (1.0 + z0 * y_[n]);
        if (std::abs(j) < 1e-3) j = j == Complex(0.0, 0.0) ? Complex(1e-3, 0.0) : 1e-3 * j / std::abs(j);
        step[n] = -f / j;
        // No step much larger than the voltages already there, so that one poor
        // estimate cannot throw the circuit far from where it was.
        const double limit = 2.0 * (vdd_ + std::abs(v[1]) + z0 * std::abs(i[1])) + 1e-6;
        if (std::abs(step[n]) > limit) step[n] *= limit / std::abs(step[n]);
        vPrev_[n] = V;
        iPrev_[n] = I;
    }
    havePrevious_ = true;
    gammaError_ = worst;
    if (gammaError_ < kGammaTolerance) return currentChange_ < kCurrentTolerance;
    for (int n = 0; n < 3; ++n) {
        before_[n] = after_[n];
        after_[n] += step[n];
    }
    rampStart_ = end;
    ramping_ = true;
    return false;
}

}  // namespace circuit
