#include "vexasim/circuit/termination.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    gamma_[0] = Complex(-1.0, 0.0);
    for (int n = 1; n < kParts; ++n) gamma_[n] = loads.gamma[n - 1];
    for (int n = 0; n < kParts; ++n) before_[n] = after_[n] = Complex(0.0, 0.0);
    // Until measured, the circuit is taken to reflect half of what it gets (a
    // transistor is nearer a current source, reflection 1, but that guess would
    // leave an open load without a direction): a = E/2 + Z0 I moves by E/4, so
    // F = E/2 - gamma a moves by (1 - gamma/2)/2 E.
    for (auto& row : jacobian_)
        for (double& v : row) v = 0.0;
    jacobian_[0][0] = 0.5 * (1.0 - 0.5 * gamma_[0].real());
    for (int n = 1; n < kParts; ++n) {
        const Complex j = 0.5 * (1.0 - 0.5 * gamma_[n]);
        jacobian_[2 * n - 1][2 * n - 1] = j.real();
        jacobian_[2 * n - 1][2 * n] = -j.imag();
        jacobian_[2 * n][2 * n - 1] = j.imag();
        jacobian_[2 * n][2 * n] = j.real();
    }
    for (double& v : step_) v = 0.0;
}

double TerminationLoop::Voltage(double t) const {
    const double tau = t - rampStart_;
    const double ramp = kRampFraction * period_;
    const double s = tau <= 0.0 ? 0.0 : tau >= ramp ? 1.0 : 0.5 * (1.0 - std::cos(kPi * tau / ramp));
    double v = vdd_;
    for (int n = 0; n < kParts; ++n) {
        const Complex e = before_[n] + (after_[n] - before_[n]) * s;
        v += n == 0 ? e.real() : std::real(e * std::polar(1.0, omega_ * n * t));
    }
    return v;
}

bool TerminationLoop::EndPeriod(double end, const Complex v[4], const Complex i[4]) {
    if (ramping_) {
        // The period that blended a correction in is not measured; the next holds it.
        ramping_ = false;
        holds_ = 0;
        return false;
    }
    ++holds_;
    const double z0 = kZ0;
    currentChange_ = holds_ >= 2 ? std::abs(i[1] - iLast_) / std::max(std::abs(i[1]), 1e-15) : 1.0;
    iLast_ = i[1];

    Complex a[kParts], f[kParts];
    double norm = 0.0;
    for (int n = 0; n < kParts; ++n) {
        const Complex vn = n == 0 ? v[0] - vdd_ : v[n];
        a[n] = 0.5 * (vn + z0 * i[n]);
        const Complex b = 0.5 * (vn - z0 * i[n]);
        f[n] = b - gamma_[n] * a[n];
        norm += std::norm(f[n]);
    }
    // A part below a hundredth of the fundamental wave is judged against that
    // hundredth: a harmonic the circuit hardly makes has no ratio worth meeting.
    const double a1 = std::abs(a[1]);
    double worst = 0.0;
    for (int n = 0; n < kParts; ++n) {
        const double scale = std::max({std::abs(a[n]), 1e-2 * a1, 1e-12});
        worst = std::max(worst, std::abs(f[n]) / scale);
    }
    gammaError_ = worst;
    if (gammaError_ < kGammaTolerance) return currentChange_ < kCurrentTolerance;
    if (holds_ >= 2 && currentChange_ > 1e-3) return false;  // the circuit still settles: wait for it

    // Broyden's update of the Jacobian dF/dE from the secant between this period
    // and the point the steps start from: the circuit couples DC and harmonics,
    // most of all when it clips.
    double x[kUnknowns], r[kUnknowns];
    Unknowns(after_, x);
    Unknowns(f, r);
    if (accepted_) {
        double dx[kUnknowns], df[kUnknowns], dxx = 0.0;
        for (int k = 0; k < kUnknowns; ++k) {
            dx[k] = x[k] - xAccepted_[k];
            df[k] = r[k] - rAccepted_[k];
            dxx += dx[k] * dx[k];
        }
        if (std::sqrt(dxx) > 1e-6 * (std::abs(after_[1]) + vdd_ + 1e-9)) {
            for (int row = 0; row < kUnknowns; ++row) {
                double jdx = 0.0;
                for (int k = 0; k < kUnknowns; ++k) jdx += jacobian_[row][k] * dx[k];
                const double c = (df[row] - jdx) / dxx;
                for (int k = 0; k < kUnknowns; ++k) jacobian_[row][k] += c * dx[k];
            }
        }
    }
    // Damped Newton: a correction that made the error larger is tried again from
    // the last better point, with what it taught and half the length (a transistor
    // driven into its diode or breakdown answers a full step with nonsense).
    if (!accepted_ || norm < acceptedNorm_ || fraction_ < 1.0 / 64.0) {
        for (int k = 0; k < kUnknowns; ++k) {
            xAccepted_[k] = x[k];
            rAccepted_[k] = r[k];
        }
        accepted_ = true;
        acceptedNorm_ = norm;
        fraction_ = 1.0;
    } else {
        fraction_ *= 0.5;
    }
    double delta[kUnknowns];
    Solve(rAccepted_, delta);
    // A step of at most twice the supply, so that one poor estimate cannot throw a
    // transistor far into breakdown; a circuit without a supply is bounded by its
    // own waves.
    double length = 0.0;
    for (double d : delta) length += d * d;
    length = std::sqrt(length);
    const double limit = vdd_ > 0.0 ? 2.0 * vdd_ : 4.0 * a1 + 1e-6;
    const double scale = length > limit ? limit / length : 1.0;
    for (int k = 0; k < kUnknowns; ++k) step_[k] = xAccepted_[k] + fraction_ * scale * delta[k];
    Retarget(end);
    return false;
}

void TerminationLoop::Unknowns(const Complex* parts, double* x) {
    x[0] = parts[0].real();
    for (int n = 1; n < kParts; ++n) {
        x[2 * n - 1] = parts[n].real();
        x[2 * n] = parts[n].imag();
    }
}

// Solves J d = -r by least squares with a little Levenberg damping, so that a
// direction the circuit hardly answers (a clipping transistor against a short)
// gets a short step rather than an infinite one.
void TerminationLoop::Solve(const double* r, double* d) const {
    double a[kUnknowns][kUnknowns + 1];
    double largest = 0.0;
    for (int i = 0; i < kUnknowns; ++i) {
        for (int j = 0; j < kUnknowns; ++j) {
            double sum = 0.0;
            for (int k = 0; k < kUnknowns; ++k) sum += jacobian_[k][i] * jacobian_[k][j];
            a[i][j] = sum;
        }
        double rhs = 0.0;
        for (int k = 0; k < kUnknowns; ++k) rhs -= jacobian_[k][i] * r[k];
        a[i][kUnknowns] = rhs;
        largest = std::max(largest, a[i][i]);
    }
    for (int i = 0; i < kUnknowns; ++i) a[i][i] += 1e-8 * largest + 1e-300;
    for (int col = 0; col < kUnknowns; ++col) {
        int pivot = col;
        for (int row = col + 1; row < kUnknowns; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) pivot = row;
        for (int k = 0; k <= kUnknowns; ++k) std::swap(a[col][k], a[pivot][k]);
        for (int row = col + 1; row < kUnknowns; ++row) {
            const double m = a[row][col] / a[col][col];
            for (int k = col; k <= kUnknowns; ++k) a[row][k] -= m * a[col][k];
        }
    }
    for (int i = kUnknowns - 1; i >= 0; --i) {
        double sum = a[i][kUnknowns];
        for (int k = i + 1; k < kUnknowns; ++k) sum -= a[i][k] * d[k];
        d[i] = sum / a[i][i];
    }
}

void TerminationLoop::Retarget(double end) {
    for (int n = 0; n < kParts; ++n) {
        before_[n] = after_[n];
        after_[n] = n == 0 ? Complex(step_[0], 0.0) : Complex(step_[2 * n - 1], step_[2 * n]);
    }
    rampStart_ = end;
    ramping_ = true;
}

}  // namespace circuit
