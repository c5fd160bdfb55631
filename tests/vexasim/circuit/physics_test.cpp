// The circuit engine against physics that no tuning of it can fake: the
// available power of a linear source at its conjugate match, the closed-form
// device's class-A results, the class-B efficiency of pi/4, and the loads that
// the termination presents, measured on the simulated waveforms themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "vexasim/report/contours.h"

#include "gamma/predefined_grid.h"
#include "host/angles.h"
#include "vexasim/circuit/engine.h"
#include "vexasim/device/pa_model.h"

namespace {

using Complex = std::complex<double>;
const double kF0 = 14e6;

vexasim::CircuitData Circuit(const std::string& netlist) {
    vexasim::CircuitData c;
    c.netlist = netlist;
    c.output = "d";
    c.frequency = kF0;
    c.drive = "Vin";
    return c;
}

Complex GammaOf(Complex z) { return (z - 50.0) / (z + 50.0); }

circuit::Outputs Simulate(const vexasim::CircuitData& c, const circuit::Params& params, const circuit::Loads& loads) {
    circuit::Outputs out;
    std::string error;
    EXPECT_TRUE(circuit::SimulateCircuit(c, params, loads, out, error)) << error;
    return out;
}

circuit::Loads Fundamental(Complex gamma) {
    circuit::Loads loads;
    loads.gamma[0] = gamma;
    return loads;
}

// Phasor n of a sampled period by its own means: the samples resampled on a
// uniform grid by linear interpolation and summed (a plain DFT).
Complex Dft(const std::vector<circuit::Sample>& s, bool current, int n) {
    const double t0 = s.front().t, period = s.back().t - t0;
    const int points = 1 << 14;
    Complex sum(0.0, 0.0);
    size_t k = 1;
    for (int p = 0; p < points; ++p) {
        const double t = t0 + period * p / points;
        while (k + 1 < s.size() && s[k].t < t) ++k;
        const double f = (t - s[k - 1].t) / (s[k].t - s[k - 1].t);
        const double a = current ? s[k - 1].i : s[k - 1].v, b = current ? s[k].i : s[k].v;
        sum += (a + f * (b - a)) * std::polar(1.0, -2.0 * kPi * n * (t - t0) / period);
    }
    return 2.0 * sum / static_cast<double>(points);
}

// The reflection coefficient the termination presented at harmonic n.
Complex MeasuredGamma(const circuit::Outputs& out, int n) {
    const Complex v = Dft(out.lastPeriod, false, n), i = Dft(out.lastPeriod, true, n);
    return (v - 50.0 * i) / (v + 50.0 * i);
}

// A 10 V sine behind 25 + j15 ohm: the available power is V^2 / (8 Rs) = 0.5 W.
const char* const kLinearSource =
    "Vin s 0 sin(0 {vs} {f0})\n"
    "Rs s a 25\n"
    "Ls a d {15/(2*3.141592653589793*f0)}\n";

// The same source behind 25 - j15 ohm: a series capacitor, so that the output node
// has no DC path into the circuit. The available power is the same 0.5 W.
const char* const kBlockedSource =
    "Vin s 0 sin(0 {vs} {f0})\n"
    "Rs s a 25\n"
    "Cb a d {1/(2*3.141592653589793*f0*15)}\n";

// At the conjugate match the source delivers its available power, with or without a
// DC path at the output, and no load near it takes more.
TEST(CircuitPhysics, ConjugateMatchDeliversTheAvailablePowerAndNoOtherLoadMore) {
    const circuit::Params params = {{"Vdd", 0.0}, {"vs", 10.0}};
    for (auto [netlist, zs] : {std::pair<const char*, Complex>{kLinearSource, {25.0, 15.0}}, {kBlockedSource, {25.0, -15.0}}}) {
        SCOPED_TRACE(netlist);
        const vexasim::CircuitData c = Circuit(netlist);
        const Complex conjugate = GammaOf(std::conj(zs));
        const circuit::Outputs best = Simulate(c, params, Fundamental(conjugate));
        EXPECT_NEAR(best.poutW, 0.5, 0.5 * 4e-4);
        EXPECT_NEAR(best.pdcW, 0.0, 1e-9);  // nothing supplies it at DC
        EXPECT_EQ(best.drainEffPct, 0.0);
        for (Complex step : {Complex(0.1, 0.0), Complex(-0.1, 0.0), Complex(0.0, 0.1), Complex(0.0, -0.1),
                             Complex(0.3, 0.3), Complex(0.6, 0.2)}) {
            const circuit::Outputs other = Simulate(c, params, Fundamental(conjugate + step));
            EXPECT_LT(other.poutW, best.poutW) << "at gamma " << conjugate + step;
        }
    }
}

// Every load of every pre-defined grid, swept as the wizard sweeps them (one
// continued simulation), behind R + jX and R - jX: the power into the load is
// 1/2 |Vs|^2 Re(ZL) / |Zs + ZL|^2 at the load the termination presents.
TEST(CircuitPhysics, ALinearSourceMeetsTheClosedFormAtEveryLoadOfEveryGrid) {
    const circuit::Params params = {{"Vdd", 0.0}, {"vs", 10.0}};
    for (const char* netlist : {kLinearSource, kBlockedSource}) {
        const vexasim::CircuitData c = Circuit(netlist);
        const Complex zs(25.0, netlist == kLinearSource ? 15.0 : -15.0);
        double worst = 0.0;
        int periods = 0, analyses = 0;
        for (long density = 0; density < kPredefinedGridCount; ++density) {
            std::unique_ptr<double[]> mags, angs;
            const long n = MakePredefinedGrid(density, mags, angs);
            for (long k = 0; k < n; ++k) {
                const Complex gamma = std::polar(mags[k], DegreesToRadians(angs[k]));
                const Complex zl = 50.0 * (1.0 + gamma) / (1.0 - gamma);
                const double expected = 0.5 * 100.0 * zl.real() / std::norm(zs + zl);
                circuit::Outputs out;
                std::string error;
                ASSERT_TRUE(circuit::SimulateCircuit(c, params, Fundamental(gamma), out, error))
                    << error << " at gamma " << gamma << ", grid " << density;
                worst = std::max(worst, std::fabs(out.poutW / expected - 1.0));
                // 4e-4, and what the load presented within its tolerance moves the power
                // by: 2 |G| dG / (1 - |G|^2) relative, most near the rim.
                const double g = std::abs(gamma);
                const double tolerance = 4e-4 + 2.0 * g * out.termError / (1.0 - g * g);
                EXPECT_NEAR(out.poutW / expected, 1.0, tolerance) << "at gamma " << gamma << ", grid " << density;
                periods += out.periods;
                ++analyses;
            }
        }
        std::printf("Zs = %.0f%+.0fj ohm: %d loads, worst relative error %.2e, %.1f periods per analysis\n",
                    zs.real(), zs.imag(), analyses, worst, static_cast<double>(periods) / analyses);
    }
}

#if defined(VEXASIM_BIN)
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The README's example of a netlist that feeds itself, through the whole wizard
// around its optimum: every load of a Coarse grid reaches a steady state, and the
// efficiency comes from the netlist's own supply (an engine that took none would
// report no DE at all).
TEST(CircuitPhysics, TheWizardContoursACircuitThatFeedsItself) {
    char tmpl[] = "/tmp/vexasim-own-supply-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string env = "PLATFORM_REGISTRY='" + dir + "/registry.txt' ";
    const std::string quiet = " >'" + dir + "/log' 2>&1";
    ASSERT_EQ(std::system((env + "'" VEXASIM_BIN "' register '" WIZARD_MODULE "'" + quiet).c_str()), 0);
    const int status = std::system((env + "'" VEXASIM_BIN "' run '" EXAMPLES_DIR "/bias_network.json' -o '" + dir +
                                    "/out' --grid coarse --center 0.31@153 --radius 0.15 --measure PA:DE=de" +
                                    " --simulate" + quiet)
                                       .c_str());
    const std::string log = ReadFile(dir + "/log");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
    EXPECT_NE(log.find("the wizard simulated 61 points"), std::string::npos) << log;
    vexasim::ContourGrid grid;
    std::string error;
    ASSERT_TRUE(vexasim::ParseContourGrid(ReadFile(dir + "/out/QuindleIsAHack0.txt"), grid, error)) << error;
    const vexasim::GridMax best = vexasim::MaximumInsideUnitCircle(grid);
    ASSERT_TRUE(best.found);
    // The ideal class-B device converts pi/4 at Ropt and more above it (its drain
    // swings below ground there): the region's maximum lies beyond pi/4.
    EXPECT_GT(best.value, 25.0 * kPi);
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}

// The whole wizard on a Coarse grid (61 loads) moved over the region, not onto the
// answer: the contour grid's maximum lies within one step of that grid (0.05) of
// the conjugate match.
TEST(CircuitPhysics, TheWizardsContourMaximumLiesAtTheConjugateMatch) {
    char tmpl[] = "/tmp/vexasim-conjugate-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string env = "PLATFORM_REGISTRY='" + dir + "/registry.txt' ";
    const std::string quiet = " >'" + dir + "/log' 2>&1";
    ASSERT_EQ(std::system((env + "'" VEXASIM_BIN "' register '" WIZARD_MODULE "'" + quiet).c_str()), 0);
    const int status = std::system((env + "'" VEXASIM_BIN "' run '" CIRCUIT_TEST_DIR "/linear_source.json' -o '" +
                                    dir + "/out' --grid coarse --center 0.3@-120 --radius 0.6 --measure SRC:Pout=pout" +
                                    " --simulate --quiet" + quiet)
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(dir + "/log");
    EXPECT_NE(ReadFile(dir + "/out/ngspice.log").find("Circuit: * vexasim circuit"), std::string::npos);
    EXPECT_EQ(ReadFile(dir + "/log").find("Circuit:"), std::string::npos);  // not on the terminal

    vexasim::ContourGrid grid;
    std::string error;
    ASSERT_TRUE(vexasim::ParseContourGrid(ReadFile(dir + "/out/QuindleIsAHack0.txt"), grid, error)) << error;
    const vexasim::GridMax best = vexasim::MaximumInsideUnitCircle(grid);
    ASSERT_TRUE(best.found);
    const Complex conjugate = GammaOf(Complex(25.0, -15.0));
    const double distance = std::abs(Complex(best.re, best.im) - conjugate);
    std::printf("conjugate match at %.4f%+.4fj, contour maximum at %.4f%+.4fj, distance %.4f\n", conjugate.real(),
                conjugate.imag(), best.re, best.im, distance);
    EXPECT_LT(distance, 0.05);
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
}
#endif

// The closed-form device in class A (a full cosine of peak Imax) as a current
// source that the drive modulates; harmonics shorted. Below the optimum load the
// knee is never reached and both engines describe the same circuit.
TEST(CircuitPhysics, ClassACurrentSourceAgreesWithTheClosedFormDevice) {
    const vexasim::CircuitData c = Circuit(
        "Vin g 0 sin(0 1 {f0})\n"
        "Rin g 0 50\n"
        "Bdev d 0 I = {imax}/2*(1+v(g))\n");
    const circuit::Params params = {{"Vdd", 28.0}, {"imax", 2.0}};
    pa::Device device;
    device.vdd = 28.0;
    device.vknee = 3.0;
    device.imax = 2.0;
    device.conductionDeg = 360.0;
    for (Complex z : {Complex(10.0, 0.0), Complex(15.0, 8.0), Complex(20.0, -10.0), Complex(5.0, 3.0)}) {
        pa::Loads loads;
        loads.gamma[0] = GammaOf(z);
        const pa::Outputs expected = pa::Evaluate(device, loads);
        ASSERT_DOUBLE_EQ(expected.driveUsed, 1.0) << "the load must stay on the current-limited side";
        const circuit::Outputs got = Simulate(c, params, Fundamental(GammaOf(z)));
        EXPECT_NEAR(got.poutW / expected.poutW, 1.0, 0.01) << "Z = " << z;
        EXPECT_NEAR(got.drainEffPct / expected.drainEffPct, 1.0, 0.01) << "Z = " << z;
        EXPECT_NEAR(got.idcA, 1.0, 0.01);
    }
}

// A half-wave current source at the optimum load Ropt = Vdd / I1 with the
// harmonics shorted converts pi/4 of its supply power.
TEST(CircuitPhysics, ClassBAtTheOptimumLoadReachesPiOverFour) {
    const vexasim::CircuitData c = Circuit(
        "Vin g 0 sin(0 1 {f0})\n"
        "Rin g 0 50\n"
        "Bdev d 0 I = {imax}*u(v(g))*v(g)\n");
    const double vdd = 28.0, imax = 2.0;
    const double ropt = vdd / (imax / 2.0);
    const circuit::Outputs out = Simulate(c, {{"Vdd", vdd}, {"imax", imax}}, Fundamental(GammaOf(ropt)));
    EXPECT_NEAR(out.drainEffPct / (100.0 * kPi / 4.0), 1.0, 0.01);
    EXPECT_NEAR(out.poutW, 0.5 * (imax / 2.0) * (imax / 2.0) * ropt, 0.01 * out.poutW);
    std::printf("class B: DE %.3f %% (pi/4 = %.3f %%), %d periods, %.3f s\n", out.drainEffPct, 25.0 * kPi,
                out.periods, out.seconds);
}

// A netlist that feeds itself: its own supply through a choke, and either straight
// to the output (the engine then draws no DC there) or behind a DC block. The
// half-wave current source sees Ropt at the fundamental through the choke's and
// the block's reactances, which the tuner's load compensates; lossless reactances
// at the harmonics change no power. So the supply source delivers Vdd Imax/pi and
// the load gets pi/4 of it.
TEST(CircuitPhysics, ACircuitThatFeedsItselfReachesPiOverFourFromItsOwnSupply) {
    const double vdd = 28.0, imax = 2.0, ropt = vdd / (imax / 2.0);
    const double w = 2.0 * kPi * kF0, choke = 3.2e-6, block = 1e-9;
    for (bool blocked : {false, true}) {
        vexasim::CircuitData c = Circuit(std::string(
            "Vin g 0 sin(0 1 {f0})\n"
            "Rin g 0 50\n"
            "Vsup sup 0 {vdd}\n"
            "Lch sup dr 3.2u\n"
            "Bdev dr 0 I = {imax}*u(v(g))*v(g)\n") + (blocked ? "Cb dr d 1n\n" : "Rw dr d 1e-6\n"));
        c.supply = {"Vsup"};
        // The device sees (Zt + Zb) || ZL = Ropt: Zt = 1/(1/Ropt - 1/ZL) - Zb.
        const Complex zl(0.0, w * choke), zb = blocked ? Complex(0.0, -1.0 / (w * block)) : Complex(1e-6, 0.0);
        const Complex zt = 1.0 / (1.0 / ropt - 1.0 / zl) - zb;
        // Vdd is the netlist's own parameter here: the engine applies none.
        const circuit::Outputs out = Simulate(c, {{"vdd", vdd}, {"imax", imax}}, Fundamental(GammaOf(zt)));
        EXPECT_NEAR(out.pdcW, vdd * imax / kPi, 0.01 * out.pdcW) << (blocked ? "behind a DC block" : "no block");
        EXPECT_NEAR(out.idcA, imax / kPi, 0.01 * out.idcA);
        EXPECT_NEAR(out.drainEffPct / (100.0 * kPi / 4.0), 1.0, 0.01);
        EXPECT_NEAR(out.poutW, 0.5 * (imax / 2.0) * (imax / 2.0) * ropt, 0.01 * out.poutW);
        EXPECT_NEAR(std::abs(out.i[0]), 0.0, 1e-3 * imax) << "no DC into the termination";
        std::printf("own supply%s: DE %.3f %% (pi/4 = %.3f %%), Pdc %.3f W, %d periods, %.3f s\n",
                    blocked ? " behind a DC block" : "", out.drainEffPct, 25.0 * kPi, out.pdcW, out.periods,
                    out.seconds);
    }
}

// The MOSFET stage of the example, once fed ideally by the engine and once through
// its own choke and DC block from its own 50 V source. Where the tuner compensates
// the network's reactances at the fundamental, the device sees the same load; only
// the harmonics differ (the block is no perfect short there), so the two agree to
// a fraction of a dB, and the supply source delivers Vdd Idc.
TEST(CircuitPhysics, ATransistorWithItsOwnBiasNetworkMatchesTheIdealFeed) {
    const std::string stage =
        "Vbias b 0 {vgq}\n"
        "Vin in b sin(0 {vdrive} {f0})\n"
        "Rser in g 1.5\n"
        "Rsw g b 12\n"
        ".model pwr100 vdmos(vto=3.6 kp=1.2 lambda=0.003 mtriode=1.4 ksubthres=0.08 rd=0.06 rs=0.02 rg=0.6\n"
        "+ cgs=1.1n cgdmax=0.8n cgdmin=35p a=0.5 cjo=0.5n vj=0.8 m=0.45 is=2e-11 n=1.2 rb=0.015 bv=110 ibv=1m)\n";
    vexasim::CircuitData ideal = Circuit(stage + "M1 d g 0 pwr100\n");
    vexasim::CircuitData own = Circuit(stage + "M1 dr g 0 pwr100\nVsup sup 0 {vdd}\nLch sup dr 1.5u\nCblk dr d 10n\n");
    ideal.drive = own.drive = "Vin";
    own.supply = {"Vsup"};
    const circuit::Params params = {{"Vdd", 50.0}, {"Vgq", 4.1}, {"Vdrive", 4.5}};
    const double w = 2.0 * kPi * kF0;
    const Complex zl(0.0, w * 1.5e-6), zb(0.0, -1.0 / (w * 10e-9));
    for (Complex zdev : {Complex(50.0, 0.0), Complex(20.0, 10.0)}) {
        const Complex zt = 1.0 / (1.0 / zdev - 1.0 / zl) - zb;
        const circuit::Outputs a = Simulate(ideal, params, Fundamental(GammaOf(zdev)));
        const circuit::Outputs b = Simulate(own, params, Fundamental(GammaOf(zt)));
        EXPECT_NEAR(b.poutDbw, a.poutDbw, 0.3) << "Zdev = " << zdev;
        EXPECT_NEAR(b.idcA, a.idcA, 0.05 * a.idcA) << "Zdev = " << zdev;
        EXPECT_NEAR(b.pdcW, 50.0 * b.idcA, 1e-3 * b.pdcW);
        std::printf("Zdev = %.0f%+.0fj: ideal feed %.3f dBW, DE %.2f %%; own network %.3f dBW, DE %.2f %% (%d periods)\n",
                    zdev.real(), zdev.imag(), a.poutDbw, a.drainEffPct, b.poutDbw, b.drainEffPct, b.periods);
    }
}

// The termination measured on the waveforms: at the 2nd and 3rd harmonics of a
// reduced-conduction-angle source, an open and a 50-ohm load, and the other way round.
TEST(CircuitPhysics, TerminationPresentsEachHarmonicLoadWithinAThousandth) {
    const vexasim::CircuitData c = Circuit(
        "Vin g 0 sin(0 1 {f0})\n"
        "Rin g 0 50\n"
        "Vb b 0 {vdd}\n"
        "Rout d b 1k\n"
        "Bdev d 0 I = {imax}*u(v(g)-0.5)*(v(g)-0.5)/0.5\n");
    const circuit::Params params = {{"Vdd", 28.0}, {"imax", 0.1}};
    for (int swap = 0; swap < 2; ++swap) {
        circuit::Loads loads;
        loads.gamma[0] = std::polar(0.3, DegreesToRadians(40.0));
        loads.gamma[1] = swap ? Complex(0.0, 0.0) : Complex(1.0, 0.0);
        loads.gamma[2] = swap ? Complex(1.0, 0.0) : Complex(0.0, 0.0);
        const circuit::Outputs out = Simulate(c, params, loads);
        ASSERT_FALSE(out.lastPeriod.empty());
        for (int n = 1; n <= 3; ++n) {
            const Complex g = MeasuredGamma(out, n);
            EXPECT_LT(std::abs(g - loads.gamma[n - 1]), 1e-3) << "harmonic " << n << " measured " << g;
            std::printf("harmonic %d: gamma %.4f%+.4fj measured %.6f%+.6fj, error %.2e\n", n,
                        loads.gamma[n - 1].real(), loads.gamma[n - 1].imag(), g.real(), g.imag(),
                        std::abs(g - loads.gamma[n - 1]));
        }
        std::printf("%d periods, %.3f s\n", out.periods, out.seconds);
    }
}

}  // namespace
