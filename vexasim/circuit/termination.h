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
#include <array>
#include <complex>
#include <vector>

#include "vexasim/circuit/engine.h"

namespace circuit {

using Complex = std::complex<double>;

// Phasor n (0 = DC: the mean) of a periodic signal over [t0, t0 + period], from
// samples at increasing times covering that span, the straight line between
// samples integrated exactly: x(t) = X0 + Re sum Xn e^(j n w t).
Complex Phasor(const std::vector<double>& t, const std::vector<double>& x, double t0, double period, int n);

// What the termination asks of the output node at DC.
enum class DcLoad {
    Supply,  // a short to the supply: the engine feeds the circuit through its bias feed
    Open,    // no DC current: the netlist feeds its own supply
    Free,    // the node has no DC path (a DC block): its DC level is no load condition,
             // and a DC unknown would only chase the slow charge of the blocking capacitor
};

struct OutputBias {
    DcLoad dc = DcLoad::Supply;
    double vdd = 0.0;    // DC the termination applies at the node
    double scale = 0.0;  // supply voltage that bounds one correction (0: the circuit's own waves)
};

class TerminationLoop {
public:
    // With an incident wave, the termination is a generator rather than a load:
    // at the fundamental it sends that wave besides reflecting, b = gamma a + incident
    // (an input port: a = the wave out of the circuit's input).
    TerminationLoop(const Loads& loads, const OutputBias& bias, double frequency, Complex incident = Complex());

    // From now on the loop blends each correction over a whole period, learns the
    // circuit's reflection by Broyden's update alone and judges a step at once: it
    // needs more periods, but it takes another path to the steady state where the
    // quicker one finds none (a circuit with two steady states near the load).
    void SetCareful() { careful_ = true; }

    // The termination source's voltage at time t.
    double Voltage(double t) const;

    // A period ending at time `end` was simulated with these phasors at the output
    // (0 = DC): corrects the source for the periods to come. Returns true when the
    // period was a steady state: the loads (and the DC condition) are met within
    // kGammaTolerance and the fundamental current changed by less than
    // kCurrentTolerance relative since the period before.
    bool EndPeriod(double end, const Complex v[4], const Complex i[4]);

    // Whether the period under way blends a correction in (it is not measured);
    // Skip leaves a period unmeasured, as one that another port's correction
    // disturbed: two ports correct together and measure the same periods.
    bool Ramping() const { return ramping_; }
    void Skip() {
        ramping_ = false;
        holds_ = 0;
    }

    // New loads from time `end` on, continuing from the last measured period: what
    // the circuit taught the loop (its reflection) carries over, and the first
    // correction toward the new loads starts at once.
    void Retarget(const Loads& loads, double end, Complex incident = Complex());

    // The other port of the circuit changed (its drive or its loads): the circuit
    // moves away from the steady state at this port's unchanged source, so the
    // first period measured after it is where the steps start, and no secant
    // across the change teaches the reflection (it would read the other port's
    // change as this port's answer to a step of nothing).
    void Disturb() {
        accepted_ = false;
        history_.clear();
    }

    // Whether the period under way blends a correction in (its phasors go unused).
    bool Blending() const { return ramping_; }

    // Length of the span under way: a blend is shorter than a period, and the
    // period measured after it starts where it ends.
    double SpanLength() const;

    // Largest |b/a - gamma| of the last measured period (relative to the
    // fundamental wave for a harmonic far below it), and the relative change of the
    // fundamental current.
    double GammaError() const { return gammaError_; }

    // Whether a correction was halved to nothing since the loads were last set:
    // what the circuit taught led nowhere, and the loop started over from its guess.
    bool Stalled() const { return stalled_; }
    double CurrentChange() const { return currentChange_; }

    static constexpr double kCurrentTolerance = 1e-4;
    static constexpr double kGammaTolerance = 5e-4;

private:
    static constexpr int kParts = 4;                  // DC and three harmonics
    static constexpr int kUnknowns = 2 * kParts - 1;  // DC real, harmonics complex
    using Vector = std::array<double, kUnknowns>;
    using Matrix = std::array<Vector, kUnknowns>;

    static Vector Unknowns(const Complex* parts);
    Vector Residual(const Vector& a, const Vector& b) const;  // b - gamma a: the load errors
    Vector Solve(const Vector& r) const;                       // the step that removes them
    void Step(double end);                                     // from the accepted point
    // The parts of EndPeriod: how much the fundamental current still changes; the
    // waves of the period and how far they miss the loads; what the period
    // teaches of the circuit's reflection; and the next correction of the source.
    void MeasureSettling(double end, Complex i1);
    void MeasureWaves(const Complex v[4], const Complex i[4]);
    void Learn();
    void Correct(double end);                                  // after a period that missed
    void StartRamp(double end);

    Complex gamma_[kParts];
    Complex incident_;
    // A matched generator (every harmonic 50 ohm, no DC condition) is exact: its
    // voltage is twice its wave whatever the circuit does, it never corrects, and
    // the steady state is the output's.
    bool exact_ = false;
    OutputBias bias_;
    double omega_;
    double period_;
    Complex before_[kParts], after_[kParts];  // the source before and after the last correction
    double rampStart_ = 0.0;
    bool ramping_ = false;
    int holds_ = 0;  // periods measured since the last correction
    Complex iLast_;  // fundamental current of the last measured period
    double lastEnd_ = 0.0;  // when that period ended

    // The circuit's answer da/dE: how the wave toward the load moves with the
    // source. The load errors follow from it for any loads, dF/dE = 1/2 - gamma da/dE,
    // so a new load keeps what the earlier ones taught.
    Matrix reflection_{}, guess_{};
    // The last measured periods of this transient, oldest first, that the
    // reflection is fitted to.
    struct Secant {
        Vector x, a;
    };
    std::vector<Secant> history_;
    void Refit();
    bool measured_ = false;  // a period was measured: xLast_, aLast_, bLast_ hold it
    Vector xLast_{}, aLast_{}, bLast_{};
    bool accepted_ = false;  // a measured point the steps start from
    double acceptedNorm_ = 0.0;
    Vector xAccepted_{}, aAccepted_{}, bAccepted_{};
    double fraction_ = 1.0;  // of the step now tried
    double waveScale_ = 0.0;  // the fundamental wave of the last measured period
    double gammaError_ = 1.0;
    double currentChange_ = 1.0;
    bool stalled_ = false;
    bool careful_ = false;
};

}  // namespace circuit
