// The tuner's terminations, presented exactly. The output node is terminated by
// a Z0 = 50 ohm resistor in series with a voltage source that the engine computes
// at every time point: the supply plus three harmonics. With I the current into
// the termination and V the node voltage, the waves at the node are
// a = (V + Z0 I)/2 (toward the load) and b = (V - Z0 I)/2 (back), and the source
// sets b itself: b = E/2. So the load's reflection coefficient gamma holds when
// E_n = 2 gamma_n a_n at each harmonic, and at DC when the node sits at the supply.
// After every period the source is corrected by a damped Newton step on the
// circuit's reflection, estimated from how a changed when E changed. This is
// the principle of an active harmonic load-pull bench and of harmonic balance.
// The resistor does what a resistor does best inside the simulator: a load of
// 50 ohm needs no correction at all, and a transistor that clamps its own
// voltage stays well conditioned.
#pragma once
#include <complex>
#include <vector>

#include "vexasim/circuit/engine.h"

namespace circuit {

using Complex = std::complex<double>;

// Phasor n (0 = DC: the mean) of a periodic signal over [t0, t0 + period], from
// samples at increasing times covering that span, the straight line between
// samples integrated exactly: x(t) = X0 + Re sum Xn e^(j n w t).
Complex Phasor(const std::vector<double>& t, const std::vector<double>& x, double t0, double period, int n);

class TerminationLoop {
public:
    TerminationLoop(const Loads& loads, double vdd, double frequency);

    // The termination source's voltage at time t.
    double Voltage(double t) const;

    // A period ending at time `end` was simulated with these phasors at the output
    // (0 = DC): corrects the source for the periods to come. Returns true when the
    // period was a steady state: the loads (and the supply at DC) are met within
    // kGammaTolerance and the fundamental current changed by less than
    // kCurrentTolerance relative since the period before.
    bool EndPeriod(double end, const Complex v[4], const Complex i[4]);

    // Largest |b/a - gamma| of the last measured period (relative to the
    // fundamental wave for a harmonic far below it), and the relative change of the
    // fundamental current.
    double GammaError() const { return gammaError_; }
    double CurrentChange() const { return currentChange_; }

    static constexpr double kCurrentTolerance = 1e-4;
    static constexpr double kGammaTolerance = 5e-4;

private:
    static constexpr int kParts = 4;  // DC and three harmonics

    void Retarget(double end);

    Complex gamma_[kParts];  // DC: a short to the supply
    double vdd_;
    double omega_;
    double period_;
    Complex before_[kParts], after_[kParts];  // the source before and after the last correction
    double rampStart_ = 0.0;
    bool ramping_ = false;
    int holds_ = 0;  // periods measured since the last correction
    Complex iLast_;  // fundamental current of the last measured period

    static constexpr int kUnknowns = 2 * kParts - 1;  // DC real, harmonics complex
    static void Unknowns(const Complex* parts, double* x);
    void Solve(const double* r, double* d) const;

    bool accepted_ = false;  // a measured point the steps start from
    double acceptedNorm_ = 0.0;
    double xAccepted_[kUnknowns], rAccepted_[kUnknowns];
    double jacobian_[kUnknowns][kUnknowns];  // dF/dE, the load errors against the source
    double step_[kUnknowns];                 // the source now tried
    double fraction_ = 1.0;  // of the step now tried
    double gammaError_ = 1.0;
    double currentChange_ = 1.0;
};

}  // namespace circuit
