#include "vexasim/circuit/termination.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/angles.h"

namespace circuit {
namespace {
// Part of a period over which a correction is blended in: a step in the source
// would put a current impulse through every capacitor at the node. The blend is
// not measured; the circuit has mostly settled by its end, and the period
// measured next starts there. A careful loop blends over a whole period.
const double kRampFraction = 0.5;

// Measured periods the circuit's reflection is fitted to, and the weight of each
// one older than the next: the reflection changes as the operating point moves.
const size_t kHistory = 8;
const double kAgeing = 0.9;
// Weight of what was known before against the fit, relative to the mean squared
// step: directions the recent steps did not explore keep what they were.
const double kPrior = 1e-2;
// The shortest step tried before what the circuit taught is given up.
const double kSmallest = 1.0 / 64.0;

// Solves m d = r, r the last column of m (m is changed), by elimination with pivoting.
template <int N>
void SolveSquare(double (&m)[N][N + 1], double (&d)[N]) {
    for (int col = 0; col < N; ++col) {
        int pivot = col;
        for (int row = col + 1; row < N; ++row)
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
        for (int k = 0; k <= N; ++k) std::swap(m[col][k], m[pivot][k]);
        for (int row = col + 1; row < N; ++row) {
            const double f = m[row][col] / m[col][col];
            for (int k = col; k <= N; ++k) m[row][k] -= f * m[col][k];
        }
    }
    for (int i = N - 1; i >= 0; --i) {
        double sum = m[i][N];
        for (int k = i + 1; k < N; ++k) sum -= m[i][k] * d[k];
        d[i] = sum / m[i][i];
    }
}

}  // namespace

Complex Phasor(const std::vector<double>& t, const std::vector<double>& x, double t0, double period, int n) {
    // The straight line between samples integrated exactly against e^(-j w t): no
    // leakage of one harmonic into another beyond what the line itself adds.
    const double w = 2.0 * kPi * n / period;
    const double t1 = t0 + period;
    const Complex inverse = n == 0 ? Complex(0.0, 0.0) : 1.0 / Complex(0.0, -w);  // 1/(-jw)
    Complex sum(0.0, 0.0);
    double shared = t0 - 1.0;  // the time whose e^(-jwt) the last segment ended on
    Complex eShared(0.0, 0.0);
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
        // Consecutive segments share their end: one exponential a sample.
        const Complex ea = a == shared ? eShared : std::polar(1.0, -w * a), eb = std::polar(1.0, -w * b);
        shared = b;
        eShared = eb;
        const Complex i0 = (eb - ea) * inverse;
        const Complex i1 = h * eb * inverse - (eb - ea) * inverse * inverse;
        sum += fa * i0 + slope * i1;
    }
    return (n == 0 ? 1.0 : 2.0) * sum / period;
}

TerminationLoop::TerminationLoop(const Loads& loads, const OutputBias& bias, double frequency, Complex incident)
    : incident_(incident), bias_(bias), omega_(2.0 * kPi * frequency), period_(1.0 / frequency) {
    // DC: a short to the supply (gamma -1), or an open when the netlist feeds itself.
    gamma_[0] = Complex(bias.dc == DcLoad::Open ? 1.0 : -1.0, 0.0);
    for (int n = 1; n < kParts; ++n) gamma_[n] = loads.gamma[n - 1];
    for (int n = 0; n < kParts; ++n) before_[n] = after_[n] = Complex(0.0, 0.0);
    // A generator starts at its own wave, blended in over the first period (the
    // operating point sees it at nothing): the circuit's reflection only corrects it.
    after_[1] = 2.0 * incident;
    if (incident != Complex()) StartRamp(0.0);
    exact_ = bias.dc == DcLoad::Free && incident != Complex();
    for (int n = 1; n < kParts; ++n) exact_ = exact_ && gamma_[n] == Complex();
    // Until measured, the circuit is taken to reflect half of what it gets (a
    // transistor is nearer a current source, reflection 1, but that guess would
    // leave an open load without a direction): a = E/2 + Z0 I moves by E/4. A
    // netlist that feeds itself does so through a choke: at DC a short, a = -E/2.
    for (int k = 0; k < kUnknowns; ++k) reflection_[k][k] = 0.25;
    if (bias.dc == DcLoad::Open) reflection_[0][0] = -0.5;
    guess_ = reflection_;
}

double TerminationLoop::Voltage(double t) const {
    const double tau = t - rampStart_;
    const double ramp = (careful_ ? 1.0 : kRampFraction) * period_;
    const double s = tau <= 0.0 ? 0.0 : tau >= ramp ? 1.0 : 0.5 * (1.0 - std::cos(kPi * tau / ramp));
    double v = bias_.vdd;
    for (int n = 0; n < kParts; ++n) {
        const Complex e = before_[n] + (after_[n] - before_[n]) * s;
        v += n == 0 ? e.real() : std::real(e * std::polar(1.0, omega_ * n * t));
    }
    return v;
}

double TerminationLoop::SpanLength() const {
    // A period after a blend; then every half period, the period that ends there.
    return ramping_ ? (careful_ ? 1.0 : kRampFraction) * period_ : holds_ > 0 ? 0.5 * period_ : period_;
}

bool TerminationLoop::EndPeriod(double end, const Complex v[4], const Complex i[4]) {
    if (ramping_) {
        // The period that blended a correction in is not measured; the next holds it.
        ramping_ = false;
        holds_ = 0;
        return false;
    }
    ++holds_;
    if (exact_) {
        gammaError_ = currentChange_ = 0.0;
        return true;
    }
    MeasureSettling(end, i[1]);
    MeasureWaves(v, i);
    Learn();
    if (gammaError_ < kGammaTolerance) return currentChange_ < kCurrentTolerance;
    if (holds_ >= 2 && currentChange_ > 1e-3) return false;  // the circuit still settles: wait for it
    Correct(end);
    return false;
}

void TerminationLoop::MeasureSettling(double end, Complex i1) {
    if (holds_ >= 2) {
        // Measured periods overlap: the change over the shift between them,
        // scaled to a period (a settling that slows down changes at least as
        // much over the earlier half as over the later one).
        const double shift = std::min((end - lastEnd_) / period_, 1.0);
        currentChange_ = std::abs(i1 - iLast_) / std::max(std::abs(i1), 1e-15) / shift;
    } else {
        currentChange_ = 1.0;
    }
    iLast_ = i1;
    lastEnd_ = end;
}

void TerminationLoop::MeasureWaves(const Complex v[4], const Complex i[4]) {
    const double z0 = kZ0;
    Complex a[kParts], b[kParts];
    for (int n = 0; n < kParts; ++n) {
        const Complex vn = n == 0 ? v[0] - bias_.vdd : v[n];
        a[n] = 0.5 * (vn + z0 * i[n]);
        b[n] = 0.5 * (vn - z0 * i[n]);
    }
    xLast_ = Unknowns(after_);
    aLast_ = Unknowns(a);
    bLast_ = Unknowns(b);
    measured_ = true;
    waveScale_ = std::max(std::abs(a[1]), std::abs(incident_));
    // A part below a hundredth of the fundamental wave is judged against that
    // hundredth: a harmonic the circuit hardly makes has no ratio worth meeting.
    double worst = 0.0;
    for (int n = bias_.dc == DcLoad::Free ? 1 : 0; n < kParts; ++n) {
        const double scale = std::max({std::abs(a[n]), 1e-2 * waveScale_, 1e-12});
        // A generator's terminations are judged against the wave it sends: the
        // harmonics an input hardly makes have no ratio worth meeting either.
        const Complex sent = n == 1 ? incident_ : Complex();
        worst = std::max(worst, std::abs(b[n] - gamma_[n] * a[n] - sent) / std::max(scale, std::abs(incident_)));
    }
    gammaError_ = worst;
}

void TerminationLoop::Learn() {
    // Broyden's update of the circuit's reflection from the secant between this
    // period and the point the steps start from: the circuit couples DC and
    // harmonics, most of all when it clips.
    if (accepted_) {
        Vector dx, da;
        double dxx = 0.0;
        for (int k = 0; k < kUnknowns; ++k) {
            dx[k] = xLast_[k] - xAccepted_[k];
            da[k] = aLast_[k] - aAccepted_[k];
            dxx += dx[k] * dx[k];
        }
        if (std::sqrt(dxx) > 1e-6 * (std::abs(after_[1]) + bias_.scale + 1e-9)) {
            for (int row = 0; row < kUnknowns; ++row) {
                double adx = 0.0;
                for (int k = 0; k < kUnknowns; ++k) adx += reflection_[row][k] * dx[k];
                const double c = (da[row] - adx) / dxx;
                for (int k = 0; k < kUnknowns; ++k) reflection_[row][k] += c * dx[k];
            }
        }
    }
    // A period measured again at the same source replaces the earlier one: the
    // circuit has settled further.
    if (!history_.empty() && history_.back().x == xLast_) history_.pop_back();
    history_.push_back(Secant{xLast_, aLast_});
    if (history_.size() > kHistory) history_.erase(history_.begin());
    if (!careful_) Refit();
}

void TerminationLoop::Correct(double end) {
    // Damped Newton: a correction that made the error larger is tried again from
    // the last better point, with what it taught and half the length (a transistor
    // driven into its diode or breakdown answers a full step with nonsense).
    const Vector r = Residual(aLast_, bLast_);
    double norm = 0.0;
    for (double e : r) norm += e * e;
    // A correction that seems to have made things worse is judged again half a
    // period later: a circuit that settles slowly may still be on its way.
    if (accepted_ && norm >= acceptedNorm_ && holds_ == 1 && !careful_) return;
    // Halving to nothing: what the circuit taught no longer leads anywhere (a
    // secant across a jump of the circuit's state); start over from the guess.
    if (accepted_ && norm >= acceptedNorm_ && fraction_ < kSmallest) {
        reflection_ = guess_;
        history_.clear();
        stalled_ = true;
    }
    if (!accepted_ || norm < acceptedNorm_ || fraction_ < kSmallest) {
        xAccepted_ = xLast_;
        aAccepted_ = aLast_;
        bAccepted_ = bLast_;
        accepted_ = true;
        acceptedNorm_ = norm;
        fraction_ = 1.0;
    } else {
        fraction_ *= 0.5;
    }
    Step(end);
}

void TerminationLoop::Retarget(const Loads& loads, double end, Complex incident) {
    for (int n = 1; n < kParts; ++n) gamma_[n] = loads.gamma[n - 1];
    if (exact_) {
        // Still matched: the new wave, blended in.
        for (int n = 1; n < kParts; ++n) exact_ = exact_ && gamma_[n] == Complex();
        if (exact_) {
            incident_ = incident;
            before_[1] = after_[1];
            after_[1] = 2.0 * incident;
            if (before_[1] != after_[1]) StartRamp(end);
            return;
        }
    }
    incident_ = incident;
    holds_ = 0;
    stalled_ = false;
    currentChange_ = 1.0;
    gammaError_ = 1.0;
    if (!measured_) return;  // nothing measured yet: the periods to come correct as from cold
    // The steady state of the loads before is the point the steps start from.
    xAccepted_ = xLast_;
    aAccepted_ = aLast_;
    bAccepted_ = bLast_;
    accepted_ = true;
    const Vector r = Residual(aAccepted_, bAccepted_);
    acceptedNorm_ = 0.0;
    for (double e : r) acceptedNorm_ += e * e;
    fraction_ = 1.0;
    Step(end);
}

// The circuit's reflection R fitted by least squares to the secants from the last
// measured period to the ones before, R da/dx ~ da, held near what it was:
// R = (C + p R0) (G + p I)^-1 with G = sum w dx dx^T and C = sum w da dx^T.
// Broyden's update learns one direction a period; the fit keeps all the recent
// ones, so that a few corrections teach the whole coupling of DC and harmonics.
void TerminationLoop::Refit() {
    if (history_.size() < 2) return;
    const Secant& last = history_.back();
    double g[kUnknowns][kUnknowns] = {}, c[kUnknowns][kUnknowns] = {};
    double w = 1.0, trace = 0.0;
    for (size_t j = history_.size() - 1; j-- > 0;) {
        w *= kAgeing;
        Vector dx, da;
        for (int k = 0; k < kUnknowns; ++k) {
            dx[k] = history_[j].x[k] - last.x[k];
            da[k] = history_[j].a[k] - last.a[k];
        }
        for (int r = 0; r < kUnknowns; ++r)
            for (int k = 0; k < kUnknowns; ++k) {
                g[r][k] += w * dx[r] * dx[k];
                c[r][k] += w * da[r] * dx[k];
            }
    }
    for (int k = 0; k < kUnknowns; ++k) trace += g[k][k];
    if (trace <= 0.0) return;
    const double prior = kPrior * trace / kUnknowns;
    // Row by row: (G + p I) R_r^T = C_r^T + p R0_r^T (G is symmetric).
    Matrix fitted;
    for (int r = 0; r < kUnknowns; ++r) {
        double m[kUnknowns][kUnknowns + 1];
        for (int i = 0; i < kUnknowns; ++i) {
            for (int k = 0; k < kUnknowns; ++k) m[i][k] = g[i][k] + (i == k ? prior : 0.0);
            m[i][kUnknowns] = c[r][i] + prior * reflection_[r][i];
        }
        double d[kUnknowns];
        SolveSquare<kUnknowns>(m, d);
        for (int k = 0; k < kUnknowns; ++k) fitted[r][k] = d[k];
    }
    reflection_ = fitted;
}

void TerminationLoop::Step(double end) {
    Vector delta = Solve(Residual(aAccepted_, bAccepted_));
    // A step of at most twice the supply, so that one poor estimate cannot throw a
    // transistor far into breakdown; a circuit without a supply is bounded by its
    // own waves.
    double length = 0.0;
    for (double d : delta) length += d * d;
    length = std::sqrt(length);
    const double limit = bias_.scale > 0.0 ? 2.0 * bias_.scale : 4.0 * waveScale_ + 1e-6;
    const double scale = length > limit ? limit / length : 1.0;
    Vector x;
    for (int k = 0; k < kUnknowns; ++k) x[k] = xAccepted_[k] + fraction_ * scale * delta[k];
    if (bias_.dc == DcLoad::Free) x[0] = xAccepted_[0];
    for (int n = 0; n < kParts; ++n) {
        before_[n] = after_[n];
        after_[n] = n == 0 ? Complex(x[0], 0.0) : Complex(x[2 * n - 1], x[2 * n]);
    }
    StartRamp(end);
}

void TerminationLoop::StartRamp(double end) {
    rampStart_ = end;
    ramping_ = true;
}

TerminationLoop::Vector TerminationLoop::Unknowns(const Complex* parts) {
    Vector x;
    x[0] = parts[0].real();
    for (int n = 1; n < kParts; ++n) {
        x[2 * n - 1] = parts[n].real();
        x[2 * n] = parts[n].imag();
    }
    return x;
}

TerminationLoop::Vector TerminationLoop::Residual(const Vector& a, const Vector& b) const {
    Vector r;
    r[0] = bias_.dc == DcLoad::Free ? 0.0 : b[0] - gamma_[0].real() * a[0];
    for (int n = 1; n < kParts; ++n) {
        const Complex f = Complex(b[2 * n - 1], b[2 * n]) - gamma_[n] * Complex(a[2 * n - 1], a[2 * n]) -
                          (n == 1 ? incident_ : Complex());
        r[2 * n - 1] = f.real();
        r[2 * n] = f.imag();
    }
    return r;
}

// Solves J d = -r by least squares with a little Levenberg damping, so that a
// direction the circuit hardly answers (a clipping transistor against a short)
// gets a short step rather than an infinite one. J = dF/dE = 1/2 - gamma da/dE;
// a DC that is no load condition takes no step.
TerminationLoop::Vector TerminationLoop::Solve(const Vector& r) const {
    Matrix jacobian;
    for (int row = 0; row < kUnknowns; ++row) {
        for (int k = 0; k < kUnknowns; ++k) {
            double g;
            if (row == 0) {
                g = gamma_[0].real() * reflection_[0][k];
            } else {
                // Row 2n-1 is the real part of gamma_n (a_re + j a_im), row 2n the imaginary part.
                const int n = (row + 1) / 2;
                const Complex ga = gamma_[n] * Complex(reflection_[2 * n - 1][k], reflection_[2 * n][k]);
                g = row % 2 ? ga.real() : ga.imag();
            }
            jacobian[row][k] = (row == k ? 0.5 : 0.0) - g;
        }
    }
    if (bias_.dc == DcLoad::Free)
        for (int k = 0; k < kUnknowns; ++k) jacobian[0][k] = jacobian[k][0] = k == 0 ? 1.0 : 0.0;
    double a[kUnknowns][kUnknowns + 1];
    double largest = 0.0;
    for (int i = 0; i < kUnknowns; ++i) {
        for (int j = 0; j < kUnknowns; ++j) {
            double sum = 0.0;
            for (int k = 0; k < kUnknowns; ++k) sum += jacobian[k][i] * jacobian[k][j];
            a[i][j] = sum;
        }
        double rhs = 0.0;
        for (int k = 0; k < kUnknowns; ++k) rhs -= jacobian[k][i] * r[k];
        a[i][kUnknowns] = rhs;
        largest = std::max(largest, a[i][i]);
    }
    for (int i = 0; i < kUnknowns; ++i) a[i][i] += 1e-8 * largest + 1e-300;
    double solution[kUnknowns];
    SolveSquare<kUnknowns>(a, solution);
    Vector d;
    for (int i = 0; i < kUnknowns; ++i) d[i] = solution[i];
    return d;
}

}  // namespace circuit
