// The tuner's terminations, presented exactly: the output node is driven by a
// voltage source holding the supply plus three harmonics, and after every period
// the harmonics are corrected so that each satisfies the load's reflection
// coefficient, b = gamma a for the waves a = (V + Z0 I)/2 (toward the load) and
// b = (V - Z0 I)/2, with I the current into the termination. The correction is a
// Newton step per harmonic on the circuit's output admittance, estimated from the
// change of current over the change of voltage between periods. This is what an
// active harmonic load-pull bench does, and what harmonic balance solves for.
#pragma once
#include <complex>
#include <vector>

#include "vexasim/circuit/engine.h"

namespace circuit {

using Complex = std::complex<double>;

// Phasor n (0 = DC: the mean) of a periodic signal over [t0, t0 + period], from
// samples at increasing times covering that span (trapezoidal rule, so a
// piecewise-linear signal is integrated exactly at its own points);
// x(t) = X0 + Re sum Xn e^(j n w t).
Complex Phasor(const std::vector<double>& t, const std::vector<double>& x, double t0, double period, int n);

class TerminationLoop {
public:
    TerminationLoop(const Loads& loads, double vdd, double frequency);

    // The termination source's voltage at time t.
    double Voltage(double t) const;

    // A period ending at time `end` was simulated with these phasors at the output
    // (0 = DC): corrects the harmonics for the next period. Returns true when the
    // period was a steady state: the fundamental current changed by less than
    // kCurrentTolerance relative since the period before, and each harmonic meets
    // its reflection coefficient within kGammaTolerance.
    bool EndPeriod(double end, const Complex v[4], const Complex i[4]);

    // Largest |b/a - gamma| of the last period, and the relative change of the
    // fundamental current.
    double GammaError() const { return gammaError_; }
    double CurrentChange() const { return currentChange_; }

    static constexpr double kCurrentTolerance = 1e-4;
    static constexpr double kGammaTolerance = 1e-4;

private:
    Complex gamma_[3];
    double vdd_;
    double omega_;
    double period_;
    Complex before_[3], after_[3];  // harmonics before and after the last correction
    double rampStart_ = 0.0;
    int periods_ = 0;
    bool ramping_ = false;
    int holds_ = 0;  // periods measured since the last correction
    bool havePrevious_ = false;
    Complex vPrev_[3], iPrev_[3];
    Complex y_[3];  // the circuit's output admittance per harmonic, dI/dV
    double gammaError_ = 1.0;
    double currentChange_ = 1.0;
};

}  // namespace circuit
