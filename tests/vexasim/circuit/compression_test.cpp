// The input port and the drive-up to compression against closed forms: the
// available power of the port, Cripps' load line at 1 dB compression, a linear
// amplifier that never compresses, the source-pull of a linear stage, and a gain
// that expands before it compresses.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>

#include "host/angles.h"
#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/circuit/compression.h"
#include "vexasim/circuit/engine.h"

namespace {

using Complex = std::complex<double>;
const double kF0 = 14e6;

Complex GammaOf(Complex z) { return (z - 50.0) / (z + 50.0); }

vexasim::CircuitData PortCircuit(const std::string& netlist) {
    vexasim::CircuitData c;
    c.netlist = netlist;
    c.output = "d";
    c.input = "in";
    c.frequency = kF0;
    return c;
}

circuit::Loads At(Complex load, Complex source = Complex(), double pavsDbm = 0.0) {
    circuit::Loads loads;
    loads.gamma[0] = load;
    loads.source[0] = source;
    loads.pavsDbm = pavsDbm;
    return loads;
}

circuit::Outputs Simulate(const vexasim::CircuitData& c, const circuit::Params& params, const circuit::Loads& loads) {
    circuit::Outputs out;
    std::string error;
    EXPECT_TRUE(circuit::SimulateCircuit(c, params, loads, out, error)) << error;
    return out;
}

circuit::CompressionPoint AtLevel(const vexasim::CircuitData& c, const circuit::Params& params, Complex load,
                                  circuit::Compression* all = nullptr) {
    circuit::Compression result;
    EXPECT_TRUE(circuit::DriveUp(c, params, At(load), result)) << result.error;
    EXPECT_FALSE(result.capReached) << result.error;
    if (all) *all = result;
    return result.points.empty() ? circuit::CompressionPoint() : result.points.front();
}

// A linear stage: the input is 30 ohm behind a series reactance of +20 ohm, and
// the device a transconductance of the voltage across the resistor.
const char* const kLinearStage =
    "Lin in g {20/(2*3.141592653589793*f0)}\n"
    "Rin g 0 30\n"
    "Bdev d 0 I = {gm}*v(g)\n";

// The port delivers its available power into a matched input, and into any other
// |1 - |gamma_in|^2| of it; the gains follow.
TEST(CircuitInputPort, DeliversTheAvailablePowerByTheMismatch) {
    vexasim::CircuitData c = PortCircuit("Rin in 0 {rin}\nBdev d 0 I = 0.01*v(in)\n");
    for (double rin : {50.0, 20.0, 150.0}) {
        const circuit::Params params = {{"Vdd", 10.0}, {"rin", rin}};
        for (Complex source : {Complex(0.0, 0.0), std::polar(0.4, DegreesToRadians(70.0))}) {
            const circuit::Outputs out = Simulate(c, params, At(0.0, source, 13.0));
            const double pavs = std::pow(10.0, (13.0 - 30.0) / 10.0);
            const Complex gin = GammaOf(rin);
            const double mismatch = (1.0 - std::norm(source)) * (1.0 - std::norm(gin)) / std::norm(1.0 - source * gin);
            EXPECT_NEAR(out.pinW / (pavs * mismatch), 1.0, 1e-3) << "Rin " << rin << " gamma_s " << source;
            EXPECT_NEAR(out.pavsW, pavs, 1e-12);
            EXPECT_NEAR(out.gtDb - out.gainDb, 10.0 * std::log10(mismatch), 0.005);
            // The device's output: 0.01 S times the input's voltage into 50 ohm.
            const double vin = std::sqrt(2.0 * rin * out.pinW);
            EXPECT_NEAR(out.poutW / (0.5 * std::pow(0.01 * vin, 2) * 50.0), 1.0, 2e-3);
        }
    }
}

// Cripps' load line at compression: a class-A current source clipped at 0 and
// Imax with a knee at Vk (below it the current falls with the voltage),
// harmonics shorted, Ropt = (Vdd - Vk) / (Imax / 2). Driven to 1 dB compression a
// current that only clips is a sine clipped on both sides, whose fundamental the
// clipping integral gives: a1 Imax / 2 with a1 = 1.12 (a hard clipper has lost
// 1 dB only well past its onset). So below R1 = Ropt / a1, where the voltage
// stays above the knee, the power at 1 dB compression is (a1 Imax / 2)^2 R / 2
// exactly and grows as R. Above R1 the knee takes over, and it compresses softly
// (a notch in the current costs little fundamental), so the power keeps rising a
// little: the optimum lies at Ropt, within a grid of 5 %, a little above
// (Vdd - Vk) Imax / 4.
TEST(CircuitCompression, CrippsLoadLineAtOneDecibelOfCompression) {
    const double vdd = 28.0, vk = 3.0, imax = 2.0, ropt = (vdd - vk) / (imax / 2.0);
    vexasim::CircuitData c = PortCircuit(
        "Rin in 0 50\n"
        "Bdev d 0 I = min(max({imax}/2*(1+v(in)), 0), {imax}) * min(1, max(v(d), 0)/{vk})\n");
    c.hasDriveUp = true;
    c.driveUp.start = 0.0;
    c.driveUp.step = 2.0;
    c.driveUp.cap = 25.0;
    c.driveUp.levels = {1.0};
    const circuit::Params params = {{"Vdd", vdd}, {"imax", imax}, {"vk", vk}};
    auto pout = [&](double r) { return AtLevel(c, params, GammaOf(r)).poutDbw; };
    // The clipped sine: amplitude A over the clip, fundamental (2/pi)(A asin(1/A) + sqrt(1 - 1/A^2)),
    // 1 dB compression where that is A 10^(-1/20).
    double low = 1.0, high = 3.0;
    auto fundamental = [](double a) { return 2.0 / kPi * (a * std::asin(1.0 / a) + std::sqrt(1.0 - 1.0 / (a * a))); };
    for (int k = 0; k < 60; ++k) {
        const double a = 0.5 * (low + high);
        (fundamental(a) / a > std::pow(10.0, -0.05) ? low : high) = a;
    }
    const double a1 = fundamental(low), r1 = ropt / a1;
    for (double r : {r1 / std::pow(10.0, 0.1), r1}) {
        const double expected = 10.0 * std::log10(std::pow(a1 * imax / 2.0, 2) * r / 2.0);
        EXPECT_NEAR(pout(r), expected, 0.05) << "R " << r;
    }
    // The optimum over a 5 % grid around Ropt lies at Ropt within a step.
    double best = -1e9, rBest = 0.0;
    std::string scan;
    for (double f : {0.9, 0.95, 1.0, 1.05, 1.1}) {
        const double p = pout(f * ropt);
        scan += " " + std::to_string(p);
        if (p > best) {
            best = p;
            rBest = f * ropt;
        }
    }
    const double linear = 10.0 * std::log10((vdd - vk) * imax / 4.0);
    std::printf("R1 %.2f ohm; 0.9 to 1.1 Ropt:%s dBW; optimum %.2f ohm, %.3f dBW, (Vdd - Vk) Imax / 4 = %.3f dBW\n", r1,
                scan.c_str(), rBest, best, linear);
    EXPECT_NEAR(rBest / ropt, 1.0, 0.051) << scan;
    EXPECT_GT(best, linear);
    EXPECT_LT(best, linear + 1.0);
}

// A linear amplifier has no compression to find: every load fails with the cap,
// and says how little the gain moved.
TEST(CircuitCompression, ALinearAmplifierReachesTheCapAtEveryLoad) {
    vexasim::CircuitData c = PortCircuit(kLinearStage);
    c.hasDriveUp = true;
    c.driveUp.start = -10.0;
    c.driveUp.step = 5.0;
    c.driveUp.cap = 20.0;
    c.driveUp.levels = {1.0};
    const circuit::Params params = {{"Vdd", 10.0}, {"gm", 0.05}};
    for (Complex load : {Complex(0.0, 0.0), std::polar(0.5, 1.0), std::polar(0.8, -2.5)}) {
        circuit::Compression result;
        ASSERT_TRUE(circuit::DriveUp(c, params, At(load), result)) << result.error;
        EXPECT_TRUE(result.capReached);
        EXPECT_TRUE(result.points.empty());
        EXPECT_NEAR(result.reached, 0.0, 0.01);
        EXPECT_EQ(result.analyses, 7);  // -10 to 20 dBm in 5 dB steps
        EXPECT_NE(result.error.find("cap of 20 dBm"), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("compressed by 0.00 dB"), std::string::npos) << result.error;
    }
}

// The schematic of a linear stage with a source tuner (LTUNER2) and a load tuner
// (LTUNER1).
vexasim::ProjectData SourcePullProject(Complex source) {
    vexasim::ProjectData project;
    vexasim::SchematicData s;
    s.name = "AMP";
    vexasim::ElementData e;
    e.name = "Q1";
    e.hasCircuit = true;
    e.circuit = PortCircuit(kLinearStage);
    e.circuit.loadTuner = "LTUNER1";
    e.circuit.sourceTuner = "LTUNER2";
    e.parameters = {{"Vdd", 10.0}, {"gm", 0.05}, {"Pavs", 10.0}};
    s.elements.push_back(e);
    vexasim::ElementData load, src;
    src.name = "LTUNER2";
    src.parameters = {{"Mag", std::abs(source)}, {"Ang", std::arg(source)}};
    load.name = "LTUNER1";
    load.parameters = {{"Mag", 0.2}, {"Ang", 0.5}};
    s.elements.push_back(src);  // first: the load tuner is the one named, not the first
    s.elements.push_back(load);
    project.schematics.push_back(s);
    return project;
}

double Measure(const vexasim::Evaluator& evaluate, const vexasim::ProjectData& project, const std::string& name) {
    vexasim::MeasurementData m;
    m.source = "AMP";
    m.name = name;
    return evaluate(project, m);
}

// Source-pull of the linear stage through the host's evaluator: Gt peaks at
// gamma_s = conj(gamma_in), where it equals the power gain with the input
// matched, gm^2 Rin RL |1/(1 + ...)|: the output current gm v(g) into the load.
TEST(CircuitCompression, SourcePullOfALinearStagePeaksAtTheConjugateOfItsInput) {
    const Complex zin(30.0, 20.0);
    const Complex conjugate = std::conj(GammaOf(zin));
    const vexasim::Evaluator evaluate = circuit::HostEvaluator();
    const double gtBest = Measure(evaluate, SourcePullProject(conjugate), "Gt");
    const double gp = Measure(evaluate, SourcePullProject(conjugate), "Gp");
    // Matched: Pin = |I|^2 Rin / 2, v(g) = I Rin, Pout = |gm v(g)|^2 Re(ZL) / 2.
    const Complex zl = 50.0 * (1.0 + std::polar(0.2, 0.5)) / (1.0 - std::polar(0.2, 0.5));
    const double expected = 10.0 * std::log10(0.05 * 0.05 * 30.0 * zl.real());
    std::printf("Gt at conj(gamma_in) %.4f dB, Gp %.4f dB, closed form %.4f dB\n", gtBest, gp, expected);
    EXPECT_NEAR(gtBest, expected, 0.05);
    EXPECT_NEAR(gtBest, gp, 0.05);
    EXPECT_NEAR(Measure(evaluate, SourcePullProject(conjugate), "Pavs"), 10.0 - 30.0, 1e-12);
    for (Complex step : {Complex(0.08, 0.0), Complex(-0.08, 0.0), Complex(0.0, 0.08), Complex(0.0, -0.08)}) {
        const double gt = Measure(evaluate, SourcePullProject(conjugate + step), "Gt");
        EXPECT_LT(gt, gtBest - 0.01) << "gamma_s " << conjugate + step;
        // Its loss is the mismatch at the input.
        const Complex gs = conjugate + step, gin = GammaOf(zin);
        const double mismatch = (1.0 - std::norm(gs)) * (1.0 - std::norm(gin)) / std::norm(1.0 - gs * gin);
        EXPECT_NEAR(gt - gtBest, 10.0 * std::log10(mismatch), 0.02) << "gamma_s " << gs;
    }
    // A source tuner the schematic does not hold is named in the failure.
    vexasim::ProjectData missing = SourcePullProject(conjugate);
    missing.schematics[0].elements[0].circuit.sourceTuner = "LTUNER9";
    try {
        Measure(evaluate, missing, "Gt");
        ADD_FAILURE() << "no failure";
    } catch (const vexasim::AnalysisError& e) {
        EXPECT_NE(std::string(e.what()).find("no tuner \"LTUNER9\""), std::string::npos) << e.what();
    }
}

// A square-law device biased near its threshold (class AB): its gain rises with
// the drive before it falls. The compression counts from the small-signal gain at
// the start, so the 1 dB point lies beyond the expansion; and it is the same
// whatever the step of the drive, within 0.05 dB.
TEST(CircuitCompression, ClassAbGainExpandsThenCompressesAgainstItsSmallSignalValue) {
    vexasim::CircuitData c = PortCircuit(
        "Rin in 0 50\n"
        "Bdev d 0 I = min({k}*pow(max(v(in)+{vb}, 0), 2), {imax}) * min(1, max(v(d), 0)/{vk})\n");
    c.hasDriveUp = true;
    c.driveUp.start = -10.0;
    c.driveUp.cap = 30.0;
    c.driveUp.levels = {1.0, 3.0};
    const circuit::Params params = {{"Vdd", 28.0}, {"k", 1.0}, {"vb", 0.3}, {"imax", 2.0}, {"vk", 3.0}};
    const Complex load = GammaOf(20.0);
    circuit::Compression fine, coarse;
    c.driveUp.step = 0.5;
    AtLevel(c, params, load, &fine);
    c.driveUp.step = 3.0;
    AtLevel(c, params, load, &coarse);
    ASSERT_EQ(fine.points.size(), 2u);
    ASSERT_EQ(coarse.points.size(), 2u);
    EXPECT_GT(fine.expansion, 0.5) << "the gain must rise first";
    for (size_t k = 0; k < 2; ++k) {
        const circuit::CompressionPoint &a = fine.points[k], &b = coarse.points[k];
        EXPECT_NEAR(a.gainDb, fine.smallSignalDb - a.level, 0.02);
        EXPECT_NEAR(a.poutDbw, b.poutDbw, 0.05) << a.level << " dB";
        EXPECT_NEAR(a.pavsDbw, b.pavsDbw, 0.05) << a.level << " dB";
        EXPECT_NEAR(a.poutDbw - a.pavsDbw, a.gainDb, 0.02);  // Gt by default
        std::printf("%g dB: Pout %.3f / %.3f dBW, Pavs %.3f / %.3f dBW, PAE %.2f %%, %d + %d drives\n", a.level,
                    a.poutDbw, b.poutDbw, a.pavsDbw, b.pavsDbw, a.paePct, fine.analyses, coarse.analyses);
    }
    EXPECT_LT(fine.points[0].pavsDbw, fine.points[1].pavsDbw);
}

// A sweep's drive-ups guided by the loads before them find what unguided ones
// find, within the bracket's interpolation, in far fewer drives; a guide knows
// nothing of another parameter value.
TEST(CircuitCompression, AGuidedDriveUpFindsWhatAnUnguidedOneFindsInFewerDrives) {
    vexasim::CircuitData c = PortCircuit(
        "Rin in 0 50\n"
        "Bdev d 0 I = min({k}*pow(max(v(in)+{vb}, 0), 2), {imax}) * min(1, max(v(d), 0)/{vk})\n");
    c.hasDriveUp = true;
    c.driveUp.start = -10.0;
    c.driveUp.step = 3.0;
    c.driveUp.cap = 30.0;
    c.driveUp.levels = {1.0, 3.0};
    const circuit::Params params = {{"Vdd", 28.0}, {"k", 1.0}, {"vb", 0.3}, {"imax", 2.0}, {"vk", 3.0}};
    circuit::DriveUpGuide guide;
    int guided = 0, unguided = 0;
    for (double r : {10.0, 14.0, 18.0, 22.0, 26.0}) {
        const Complex load = GammaOf(r) * std::polar(1.0, 0.1);
        circuit::Compression with, without;
        ASSERT_TRUE(circuit::DriveUp(c, params, At(load), with, &guide)) << with.error;
        ASSERT_TRUE(circuit::DriveUp(c, params, At(load), without)) << without.error;
        ASSERT_EQ(with.points.size(), 2u) << "R " << r;
        ASSERT_EQ(without.points.size(), 2u) << "R " << r;
        for (size_t k = 0; k < 2; ++k) {
            const circuit::CompressionPoint &a = with.points[k], &b = without.points[k];
            EXPECT_NEAR(a.pavsDbw, b.pavsDbw, 0.03) << "R " << r << ", " << a.level << " dB";
            EXPECT_NEAR(a.poutDbw, b.poutDbw, 0.03) << "R " << r << ", " << a.level << " dB";
            EXPECT_NEAR(a.paePct, b.paePct, 0.3) << "R " << r << ", " << a.level << " dB";
            EXPECT_GT(a.slope, 0.0);
        }
        std::printf("R %g: %d drives guided, %d unguided\n", r, with.analyses, without.analyses);
        if (r > 10.0) guided += with.analyses;
        unguided += without.analyses;
    }
    // Past the first load: the small-signal drive and about two per level.
    EXPECT_LE(guided, 26) << unguided << " unguided";
    double pavs = 0.0, slope = 0.0;
    EXPECT_TRUE(guide.Predict(c, params, At(GammaOf(15.0)), 1.0, pavs, slope));
    EXPECT_GT(slope, 0.0);
    EXPECT_FALSE(guide.Predict(c, params, At(GammaOf(15.0)), 2.0, pavs, slope)) << "a level it never saw";
    circuit::Params other = params;
    other[0].second = 30.0;
    EXPECT_FALSE(guide.Predict(c, other, At(GammaOf(15.0)), 1.0, pavs, slope)) << "another supply";
}

// Above an input swing of vbad the device adds a current at 0.37 f0, so the
// circuit has no periodic steady state there. A drive that lands there is tried
// again halfway to the drive below; the level below vbad is found as without the
// fault, and a level beyond it fails, naming the drive.
TEST(CircuitCompression, ADriveWithoutASteadyStateIsTriedAgainNearerTheDriveBelow) {
    // A hard clipper, 50 ohm at its input: the swing clips at 1 V, 10 dBm of
    // available power, and a clipped sine has lost 1 dB 2.0 dB further up.
    const std::string device =
        "Rin in 0 50\n"
        "Bdev d 0 I = min(max(0.5*(1+v(in)), 0), 1)";
    vexasim::CircuitData clean = PortCircuit(device + "\n");
    vexasim::CircuitData faulty = PortCircuit(device + " + (v(in) > {vbad} ? 0.2*sin(2*3.141592653589793*0.37*f0*time) : 0)\n");
    for (vexasim::CircuitData* c : {&clean, &faulty}) {
        c->maxPeriods = 60;
        c->hasDriveUp = true;
        c->driveUp.start = 4.0;
        c->driveUp.step = 6.0;
        c->driveUp.cap = 25.0;
        c->driveUp.levels = {1.0};
    }
    const Complex load = GammaOf(5.0);
    const double vbad14 = std::pow(10.0, (14.0 - 10.0) / 20.0), vbad11 = std::pow(10.0, (11.0 - 10.0) / 20.0);
    circuit::Compression reference, recovered, failed;
    ASSERT_TRUE(circuit::DriveUp(clean, {{"Vdd", 10.0}}, At(load), reference)) << reference.error;
    ASSERT_EQ(reference.points.size(), 1u);
    EXPECT_NEAR(reference.points[0].pavsDbw + 30.0, 12.0, 0.05);
    ASSERT_TRUE(circuit::DriveUp(faulty, {{"Vdd", 10.0}, {"vbad", vbad14}}, At(load), recovered)) << recovered.error;
    ASSERT_EQ(recovered.points.size(), 1u);
    EXPECT_EQ(recovered.error, "");
    EXPECT_NEAR(recovered.points[0].pavsDbw, reference.points[0].pavsDbw, 0.03);
    EXPECT_NEAR(recovered.points[0].poutDbw, reference.points[0].poutDbw, 0.03);
    EXPECT_FALSE(circuit::DriveUp(faulty, {{"Vdd", 10.0}, {"vbad", vbad11}}, At(load), failed));
    EXPECT_TRUE(failed.points.empty());
    EXPECT_NE(failed.error.find("no steady state"), std::string::npos) << failed.error;
    // Tried at 16 dBm, then halfway down to the drive below, 13 and 11.5 dBm.
    EXPECT_NE(failed.error.find("at an available power of 11.50 dBm"), std::string::npos) << failed.error;
    // A start drive without a steady state fails the drive-up at once.
    faulty.driveUp.start = 15.0;
    EXPECT_FALSE(circuit::DriveUp(faulty, {{"Vdd", 10.0}, {"vbad", vbad11}}, At(load), failed));
    EXPECT_EQ(failed.analyses, 0);
    EXPECT_NE(failed.error.find("at an available power of 15.00 dBm: no steady state"), std::string::npos)
        << failed.error;
    std::printf("%d drives clean, %d with the fault; beyond it: %s\n", reference.analyses, recovered.analyses,
                failed.error.c_str());
}

// The guide's first aim is the plane through the loads nearest the new one, past
// their end as a sweep's next load lies: where the level's drive changes linearly
// with the load, it lands on it, and loads farther away do not pull it.
TEST(CircuitCompression, TheGuideAimsAlongThePlaneOfTheNearestLoads) {
    const vexasim::CircuitData c = PortCircuit("Rin in 0 50\n");
    const circuit::Params params = {{"Vdd", 10.0}};
    auto plane = [](Complex g) { return 30.0 + 5.0 * g.real() - 3.0 * g.imag(); };
    circuit::DriveUpGuide guide;
    auto add = [&](Complex g, double pavsDbm) {
        circuit::Compression found;
        circuit::CompressionPoint p;
        p.level = 1.0;
        p.pavsDbw = pavsDbm - 30.0;
        p.slope = 0.3;
        found.points.push_back(p);
        guide.Add(c, params, At(g), found);
    };
    // Far loads off the plane, then six near ones on it: a row and the row beside it.
    add(Complex(-0.6, -0.5), 80.0);
    add(Complex(-0.5, 0.6), 80.0);
    for (double x : {0.0, 0.1, 0.2})
        for (double y : {0.0, 0.1}) add(Complex(x, y), plane(Complex(x, y)));
    double pavs = 0.0, slope = 0.0;
    for (Complex next : {Complex(0.3, 0.0), Complex(0.3, 0.1), Complex(0.1, 0.2)}) {
        ASSERT_TRUE(guide.Predict(c, params, At(next), 1.0, pavs, slope));
        EXPECT_NEAR(pavs, plane(next), 0.02) << next;
        EXPECT_DOUBLE_EQ(slope, 0.3);
    }
}

}  // namespace
