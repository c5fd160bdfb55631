// The termination loop against a circuit known in closed form, without ngspice: a
// linear one-port, a Thevenin source behind its own impedance at DC and at each
// harmonic. Its reflection does not depend on the load, so once the loop has
// learned it, a new load costs one correction: the blend, the period that shows
// the load is met, and half a period that shows nothing moves any more.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "vexasim/circuit/termination.h"

namespace {

using circuit::Complex;
using circuit::TerminationLoop;

constexpr double kF0 = 14e6;
constexpr double kPeriod = 1.0 / kF0;
constexpr double kPi = 3.14159265358979323846;

struct LinearPort {
    Complex vth[4], zs[4];  // 0 = DC

    // The node's phasors when the termination's source has phasors e (DC: its level).
    void Answer(const Complex e[4], Complex v[4], Complex i[4]) const {
        for (int n = 0; n < 4; ++n) {
            i[n] = (vth[n] - e[n]) / (zs[n] + circuit::kZ0);
            v[n] = e[n] + circuit::kZ0 * i[n];
        }
    }
};

struct Settled {
    double periods = -1.0;  // -1: no steady state
    Complex v[4], i[4];
    std::vector<double> spans;
};

// Runs the loop span by span from time t on, as the engine does: a blend is
// measured by no one, a period ends where each span ends.
Settled Settle(TerminationLoop& loop, const LinearPort& port, double& t) {
    Settled s;
    const double start = t;
    for (int k = 0; k < 2000 && s.periods < 0.0; ++k) {
        const double end = t + loop.SpanLength();
        s.spans.push_back(std::round((end - t) / kPeriod * 1e6) / 1e6);
        t = end;
        if (loop.Blending()) {
            loop.Skip();
            continue;
        }
        // The source's phasors over the period that ends here, from its own voltage.
        std::vector<double> time, volts;
        for (int j = 0; j <= 400; ++j) {
            time.push_back(end - kPeriod + j * kPeriod / 400.0);
            volts.push_back(loop.Voltage(time.back()));
        }
        Complex e[4];
        for (int n = 0; n < 4; ++n) e[n] = circuit::Phasor(time, volts, end - kPeriod, kPeriod, n);
        port.Answer(e, s.v, s.i);
        if (loop.EndPeriod(end, s.v, s.i)) s.periods = (t - start) / kPeriod;
    }
    return s;
}

Complex Reflection(const Settled& s, int n) {
    return (s.v[n] - circuit::kZ0 * s.i[n]) / (s.v[n] + circuit::kZ0 * s.i[n]);
}

// A source fed through a 10 ohm path from the 28 V supply, 25 + j15 ohm at the
// fundamental with 20 V behind it, reactive at the harmonics; the loads go round
// a ring of 0.6 in steps of 20 deg with the 2nd harmonic open and the 3rd short.
TEST(TerminationLoop, MeetsEveryLoadAndTheSupplyAndLearnsALinearCircuitInOneCorrection) {
    LinearPort port;
    port.vth[1] = Complex(20.0, 0.0);
    port.zs[0] = Complex(10.0, 0.0);
    port.zs[1] = Complex(25.0, 15.0);
    port.zs[2] = Complex(5.0, -30.0);
    port.zs[3] = Complex(2.0, 40.0);
    port.vth[2] = Complex(0.5, 0.2);
    port.vth[3] = Complex(-0.1, 0.3);
    circuit::OutputBias bias;
    bias.vdd = 28.0;
    bias.scale = 28.0;
    circuit::Loads loads;
    loads.gamma[0] = std::polar(0.6, 0.0);
    loads.gamma[1] = Complex(1.0, 0.0);
    loads.gamma[2] = Complex(-1.0, 0.0);
    TerminationLoop loop(loads, bias, kF0);
    double t = 0.0;
    Settled cold = Settle(loop, port, t);
    ASSERT_GT(cold.periods, 0.0);
    EXPECT_DOUBLE_EQ(cold.spans.front(), 1.0);  // a cold start measures its first period whole

    for (int k = 1; k <= 18; ++k) {
        loads.gamma[0] = std::polar(0.6, 20.0 * k * kPi / 180.0);
        loop.Retarget(loads, t);
        const Settled s = Settle(loop, port, t);
        ASSERT_GT(s.periods, 0.0) << "at load " << k;
        for (int n = 1; n <= 3; ++n) {
            // Each harmonic is judged against its own wave, or a hundredth of the
            // fundamental's where it is smaller.
            const double a = std::abs(s.v[n] + circuit::kZ0 * s.i[n]) / 2.0;
            const double a1 = std::abs(s.v[1] + circuit::kZ0 * s.i[1]) / 2.0;
            EXPECT_LT(std::abs(Reflection(s, n) - loads.gamma[n - 1]) * a / std::max(a, 1e-2 * a1),
                      TerminationLoop::kGammaTolerance)
                << "harmonic " << n << " at load " << k;
        }
        // The bias feed is ideal: the node sits at the supply, whatever current it draws.
        EXPECT_NEAR(s.v[0].real(), 28.0, 28.0 * TerminationLoop::kGammaTolerance) << "at load " << k;
        EXPECT_GT(std::abs(s.i[0]), 0.1);
        // After a few loads every new one is met by its first correction: a blend of
        // half a period, the period after it, half a period more to see it hold.
        if (k > 4) {
            EXPECT_LE(s.periods, 2.0 + 1e-9) << "at load " << k;
            EXPECT_EQ(s.spans, std::vector<double>({0.5, 1.0, 0.5})) << "at load " << k;
        }
    }
}

// A harmonic the circuit hardly makes is met against a hundredth of the
// fundamental; a circuit whose output has no DC path leaves the DC alone.
TEST(TerminationLoop, ABlockedOutputLeavesTheDcFreeAndStillMeetsItsLoads) {
    LinearPort port;
    port.vth[0] = Complex(3.0, 0.0);  // a charge on the block the loop must not chase
    port.zs[0] = Complex(1e9, 0.0);
    port.vth[1] = Complex(10.0, 5.0);
    port.zs[1] = Complex(40.0, -20.0);
    port.zs[2] = port.zs[3] = Complex(40.0, -10.0);
    circuit::OutputBias bias;
    bias.dc = circuit::DcLoad::Free;
    circuit::Loads loads;
    loads.gamma[0] = std::polar(0.9, 1.0);
    TerminationLoop loop(loads, bias, kF0);
    double t = 0.0;
    const Settled s = Settle(loop, port, t);
    ASSERT_GT(s.periods, 0.0);
    EXPECT_LT(std::abs(Reflection(s, 1) - loads.gamma[0]), TerminationLoop::kGammaTolerance);
    EXPECT_LT(loop.GammaError(), TerminationLoop::kGammaTolerance);
    EXPECT_LT(loop.CurrentChange(), TerminationLoop::kCurrentTolerance);
    // No DC is applied: the source's mean over a period stays at nothing.
    std::vector<double> time, volts;
    for (int j = 0; j <= 400; ++j) {
        time.push_back(t - kPeriod + j * kPeriod / 400.0);
        volts.push_back(loop.Voltage(time.back()));
    }
    EXPECT_NEAR(circuit::Phasor(time, volts, t - kPeriod, kPeriod, 0).real(), 0.0, 1e-9);
}

}  // namespace
