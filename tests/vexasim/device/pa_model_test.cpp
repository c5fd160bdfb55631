// The device model against the closed forms of the reduced-conduction-angle analysis.
#include <gtest/gtest.h>

#include <cmath>

#include "host/angles.h"
#include "vexasim/device/pa_measurements.h"
#include "vexasim/device/pa_model.h"

namespace {


pa::Loads Resistive(double r, double z0 = 50.0) {
    pa::Loads l;
    l.gamma[0] = {(r - z0) / (r + z0), 0.0};
    return l;
}

// A 28 V device of 2 A peak without a knee, at a conduction angle in degrees.
pa::Device Kneeless(double conductionDeg) {
    pa::Device d;
    d.vdd = 28;
    d.vknee = 0;
    d.imax = 2;
    d.conductionDeg = conductionDeg;
    return d;
}

TEST(PaModel, FourierComponentsMatchClassAAndClassB) {
    // Class A: DC and fundamental are both half the peak; no harmonics.
    EXPECT_NEAR(pa::CurrentHarmonic(0, 2 * kPi), 0.5, 1e-12);
    EXPECT_NEAR(pa::CurrentHarmonic(1, 2 * kPi), 0.5, 1e-12);
    EXPECT_NEAR(pa::CurrentHarmonic(2, 2 * kPi), 0.0, 1e-12);
    // Class B (half sine): DC 1/pi, fundamental 1/2, 2nd 2/(3 pi), 3rd 0.
    EXPECT_NEAR(pa::CurrentHarmonic(0, kPi), 1 / kPi, 1e-12);
    EXPECT_NEAR(pa::CurrentHarmonic(1, kPi), 0.5, 1e-12);
    EXPECT_NEAR(pa::CurrentHarmonic(2, kPi), 2 / (3 * kPi), 1e-12);
    EXPECT_NEAR(pa::CurrentHarmonic(3, kPi), 0.0, 1e-12);
    // A numerical Fourier integral of the waveform for class AB (270 degrees).
    double alpha = 1.5 * kPi, c = std::cos(alpha / 2);
    for (int n = 0; n <= 3; ++n) {
        double sum = 0;
        const int steps = 200000;
        for (int s = 0; s < steps; ++s) {
            double t = -kPi + 2 * kPi * (s + 0.5) / steps;
            double i = std::cos(t) > c ? (std::cos(t) - c) / (1 - c) : 0.0;
            sum += i * std::cos(n * t);
        }
        double expected = sum / steps * (n == 0 ? 1.0 : 2.0);
        EXPECT_NEAR(pa::CurrentHarmonic(n, alpha), expected, 1e-6) << "n = " << n;
    }
}

TEST(PaModel, ClassAOptimumAndCurrentLimitedSide) {
    pa::Device d = Kneeless(360);
    const double vm = d.vdd - d.vknee;
    const double ropt = 2 * vm / d.imax, popt = vm * d.imax / 4;
    pa::Outputs o = pa::Evaluate(d, Resistive(ropt));
    EXPECT_NEAR(o.poutW / popt, 1.0, 0.01);
    EXPECT_NEAR(o.drainEffPct, 50.0, 0.5);
    // The optimum is a maximum along the real axis.
    EXPECT_LT(pa::Evaluate(d, Resistive(ropt * 1.2)).poutW, o.poutW);
    EXPECT_LT(pa::Evaluate(d, Resistive(ropt * 0.8)).poutW, o.poutW);
    // On the current-limited side the power falls in proportion to R.
    for (double p : {0.3, 0.5, 0.8}) EXPECT_NEAR(pa::Evaluate(d, Resistive(p * ropt)).poutW / (p * popt), 1.0, 0.01);
    // With a knee the optimum moves to 2 (Vdd - Vknee) / Imax.
    d.vknee = 4;
    double vm2 = d.vdd - d.vknee;
    EXPECT_NEAR(pa::Evaluate(d, Resistive(2 * vm2 / d.imax)).poutW / (vm2 * d.imax / 4), 1.0, 0.01);
}

TEST(PaModel, ClassBEfficiencyAndTheSecondHarmonic) {
    pa::Device d = Kneeless(180);
    const double ropt = 2 * d.vdd / d.imax;
    pa::Outputs shorted = pa::Evaluate(d, Resistive(ropt));  // default terminations: shorts
    EXPECT_NEAR(shorted.drainEffPct / (100 * kPi / 4), 1.0, 0.01);
    pa::Loads open = Resistive(ropt);
    open.gamma[1] = {1.0, 0.0};
    pa::Outputs opened = pa::Evaluate(d, open);
    EXPECT_LT(opened.drainEffPct, 0.99 * shorted.drainEffPct);
}

// At full drive on its load line the device gains what it is specified to gain,
// whatever its conduction angle, and PAE = DE (1 - 1/G); undriven it reports
// nothing gained and no efficiency.
TEST(PaModel, TheGainOnTheLoadLineAndTheEfficienciesItGives) {
    for (double conduction : {360.0, 270.0, 180.0}) {
        SCOPED_TRACE(conduction);
        pa::Device d;
        d.conductionDeg = conduction;
        d.gainDb = 12.0;
        const double i1 = d.imax * pa::CurrentHarmonic(1, DegreesToRadians(conduction));
        const pa::Outputs o = pa::Evaluate(d, Resistive((d.vdd - d.vknee) / i1));
        EXPECT_NEAR(o.gainDb, 12.0, 0.01);
        EXPECT_NEAR(o.paePct, o.drainEffPct * (1.0 - std::pow(10.0, -o.gainDb / 10.0)), 1e-6);
        EXPECT_NEAR(o.poutW - o.pinW, o.paePct / 100.0 * d.vdd * o.idcA, 1e-9);

        d.drive = 0.0;
        const pa::Outputs off = pa::Evaluate(d, Resistive((d.vdd - d.vknee) / i1));
        EXPECT_EQ(off.idcA, 0.0);
        EXPECT_EQ(off.drainEffPct, 0.0);
        EXPECT_EQ(off.paePct, 0.0);
    }
}

TEST(PaModel, LoadsOnOrBeyondTheUnitCircleStayFinite) {
    pa::Device d;
    d.conductionDeg = 250;
    for (std::complex<double> g : {std::complex<double>(1, 0), std::complex<double>(-1, 0),
                                   std::complex<double>(0, 1), std::complex<double>(3, 4),
                                   std::complex<double>(NAN, 0)}) {
        pa::Loads l;
        l.gamma[0] = g;
        pa::Outputs o = pa::Evaluate(d, l);
        for (double v : {o.poutW, o.poutDbw, o.drainEffPct, o.paePct, o.gainDb, o.idcA})
            EXPECT_TRUE(std::isfinite(v)) << g;
        EXPECT_LE(std::abs(o.loadGamma), pa::kMaxGamma + 1e-12);
    }
}

TEST(PaMeasurements, ReadTheDeviceAndTunerOfTheNamedSchematic) {
    vexasim::ProjectData p;
    vexasim::SchematicData s;
    s.name = "Amp";
    s.elements.push_back({0, "PA1", {{0, "Vdd", 20}, {0, "Vknee", 0}, {0, "Imax", 2}, {0, "Alpha", 2 * kPi}}});
    s.elements.push_back({0, "LTUNER1", {{0, "Mag", 0.0}, {0, "Ang", 0.0}}});
    p.schematics.push_back(s);
    vexasim::MeasurementData m;
    m.source = "Amp";
    m.name = "PoutW";
    double v = 0;
    ASSERT_TRUE(pa::EvaluateMeasurement(p, m, v));
    // Ropt is 20 ohm here, so the 50 ohm load lies on the voltage-limited side.
    pa::Device d;
    d.vdd = 20, d.vknee = 0, d.imax = 2, d.conductionDeg = 360;
    EXPECT_NEAR(v, pa::Evaluate(d, pa::Loads()).poutW, 1e-12);
    p.schematics[0].elements[1].parameters[0].value = 30.0 / 70.0;  // |gamma| = 3/7, angle pi: 20 ohm
    p.schematics[0].elements[1].parameters[1].value = kPi;
    ASSERT_TRUE(pa::EvaluateMeasurement(p, m, v));
    EXPECT_NEAR(v, 20 * 2 / 4.0, 0.01 * 10);
    m.name = "Pout";
    ASSERT_TRUE(pa::EvaluateMeasurement(p, m, v));
    EXPECT_NEAR(v, 10 * std::log10(10.0), 0.05);
    m.name = "NoSuch";
    EXPECT_FALSE(pa::EvaluateMeasurement(p, m, v));
    m.name = "Pout";
    m.source = "Other";
    EXPECT_FALSE(pa::EvaluateMeasurement(p, m, v));
}

}  // namespace
