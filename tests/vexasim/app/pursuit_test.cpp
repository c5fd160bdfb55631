// The pursuit of optima with rounds of a moved Coarse grid, on closed forms: the
// amplifier model, whose output power and power-added efficiency both peak on
// the load line Ropt = (Vdd - Vknee) / I1, and two paraboloids whose trade-off
// line is the segment between their peaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>

#include "gamma/predefined_grid.h"
#include "host/angles.h"
#include "vexasim/app/pursuit_report.h"
#include "vexasim/report/run_results.h"
#include "vexasim/device/pa_model.h"

namespace {

using vexasim::GammaPoint;
using Values = std::function<std::vector<double>(std::complex<double>)>;

const int kExtraFinePoints = 331;

// The wizard's grid of a density moved to the round's centre and radius; loads
// beyond |gamma| 0.95 are left out, as the wizard leaves them.
std::vector<std::complex<double>> MovedGrid(const vexasim::RoundGrid& g, long density = 0) {
    std::unique_ptr<double[]> mag, ang;
    const long n = MakePredefinedGrid(density, mag, ang);
    const std::complex<double> c = std::polar(g.centerMag, DegreesToRadians(g.centerAngDeg));
    std::vector<std::complex<double>> out;
    for (long i = 0; i < n; ++i) {
        const std::complex<double> p = c + std::polar(mag[i] * g.radius / 0.95, DegreesToRadians(ang[i]));
        if (std::abs(p) < 0.950001) out.push_back(p);
    }
    return out;
}

struct FakeWizard {
    std::vector<std::string> columns, units, displayUnits;
    Values values;
    std::vector<std::complex<double>> swept;  // every load of every round
    int rounds = 0;
    // A device that finds no steady state beyond this |gamma| on the chart's left
    // half: the sweep stops at the first such load with what it took before.
    double failsBeyond = 2;
    int failures = 0;
    std::vector<int> failedCalls;  // rounds (as counted by the pursuit) that fail at once

    vexasim::RoundRunner Runner() {
        return [this](int round, const vexasim::RoundGrid& g, vexasim::RoundData& data, std::string& error) {
            EXPECT_EQ(round, ++rounds);
            data.samples.columns = columns;
            data.units = units;
            data.displayUnits = displayUnits;
            if (std::find(failedCalls.begin(), failedCalls.end(), round) != failedCalls.end()) {
                ++failures;
                error = "the engine failed";
                return false;
            }
            for (const std::complex<double>& p : MovedGrid(g)) {
                if (p.real() < 0 && std::abs(p) > failsBeyond) {
                    ++failures;
                    error = "no steady state";
                    return false;
                }
                vexasim::Sample s;
                s.magnitude = std::abs(p);
                s.angleDeg = RadiansToDegrees(std::arg(p));
                s.values = values(p);
                data.samples.rows.push_back(s);
                swept.push_back(p);
            }
            return true;
        };
    }
};

// The amplifier example: Vdd 28 V, Vknee 3 V, Imax 2 A, 240 degrees of conduction,
// harmonics shorted, full drive, 16 dB of gain. Pout in dBm, PAE in %.
pa::Device Amplifier() {
    pa::Device d;
    d.vdd = 28;
    d.vknee = 3;
    d.imax = 2;
    d.conductionDeg = 240;
    d.drive = 1;
    d.gainDb = 16;
    return d;
}

std::vector<double> AmplifierValues(std::complex<double> gamma) {
    pa::Loads loads;
    loads.gamma[0] = gamma;
    const pa::Outputs o = pa::Evaluate(Amplifier(), loads);
    return {o.poutDbw + 30.0, o.paePct};
}

FakeWizard AmplifierWizard() {
    FakeWizard w;
    w.columns = {"PA:Pout", "PA:PAE"};
    w.units = {"dB", "%"};
    w.displayUnits = {"dBm", "%"};
    w.values = AmplifierValues;
    return w;
}

// Both optima of the model in closed form. On the current-limited side (|Z| <=
// Ropt, full drive) Pout = I1^2 R / 2 and PAE = (Pout - Pin) / (Vdd I0) grow with
// R; on the voltage-limited side the knee cuts the drive to x = Vm / (I1 |Z|), so
// Pout = Vm^2 Re(1/Z) / 2 and PAE = (I1 Vm cos(arg Z) / 2 - Pin |Z| / Vm) / (Vdd I0)
// both fall away from |Z| = Ropt on the real axis. Both peak at Z = Ropt.
std::complex<double> LoadLineOptimum() {
    const double i1 = 2.0 * pa::CurrentHarmonic(1, DegreesToRadians(240.0));
    const double ropt = (28.0 - 3.0) / i1;
    return {(ropt - 50.0) / (ropt + 50.0), 0.0};
}

double Distance(const GammaPoint& p, std::complex<double> q) { return std::abs(std::complex<double>(p.re, p.im) - q); }

vexasim::PursuitSettings FarStart(std::vector<std::string> measurements) {
    vexasim::PursuitSettings s;
    s.measurements = std::move(measurements);
    s.centerMag = 0.5;
    s.centerAngDeg = 0;
    s.radius = 0.2;
    return s;
}

TEST(Pursuit, FindsTheLoadLineOptimumFromAFarStartInFewerAnalysesThanOneExtraFineSweep) {
    const std::complex<double> optimum = LoadLineOptimum();
    EXPECT_NEAR(optimum.real(), -0.364, 0.001);  // 23.3 ohm

    FakeWizard wizard = AmplifierWizard();
    const vexasim::PursuitReport r = vexasim::Pursue(FarStart({"Pout"}), wizard.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.optima.size(), 1u);
    const vexasim::PursuedOptimum& o = r.optima[0];
    std::printf("%s", vexasim::PursuitSummary(r).c_str());
    EXPECT_EQ(o.measurement, "PA:Pout");
    EXPECT_LT(Distance(o.at, optimum), 0.01);
    EXPECT_NE(o.end, vexasim::PursuitEnd::kRoundLimit);
    EXPECT_FALSE(o.onEdge);
    EXPECT_LT(r.analyses, kExtraFinePoints);
    EXPECT_EQ(r.analyses, static_cast<int>(wizard.swept.size()));
    EXPECT_EQ(static_cast<int>(r.grids.size()), wizard.rounds);
    // The value reported is the model's at the optimum, within the uncertainty it gives.
    const double truth = AmplifierValues(optimum)[0];
    EXPECT_NEAR(o.value, truth, std::max(o.uncertainty, 0.05));
    EXPECT_LE(o.value, truth + std::max(o.uncertainty, 0.05));
    // The first round is the start; the later ones are centred on earlier maxima.
    EXPECT_DOUBLE_EQ(r.grids[0].centerMag, 0.5);
    EXPECT_DOUBLE_EQ(r.grids[0].radius, 0.2);
    EXPECT_NEAR(r.grids.back().centerMag, std::abs(optimum), 0.03);

    // From far starts off the real axis too, the step beyond the edge leads there.
    for (double angle : {90.0, -120.0, 45.0}) {
        FakeWizard w = AmplifierWizard();
        vexasim::PursuitSettings start = FarStart({"Pout"});
        start.centerAngDeg = angle;
        const vexasim::PursuitReport q = vexasim::Pursue(start, w.Runner());
        ASSERT_TRUE(q.ok) << q.error;
        EXPECT_LT(q.analyses, kExtraFinePoints) << angle;
        EXPECT_GT(AmplifierValues({q.optima[0].at.re, q.optima[0].at.im})[0], truth - 0.5 * q.optima[0].tolerance)
            << angle << "\n" << vexasim::PursuitSummary(q);
        EXPECT_LT(Distance(q.optima[0].at, optimum), 0.03) << angle;
    }
}

TEST(Pursuit, GoesOnWhenLoadsBeyondTheOptimumFindNoSteadyState) {
    const std::complex<double> optimum = LoadLineOptimum();
    const double truth = AmplifierValues(optimum)[0];
    for (double rim : {0.42, 0.45, 0.48}) {
        FakeWizard wizard = AmplifierWizard();
        wizard.failsBeyond = rim;
        const vexasim::PursuitReport r = vexasim::Pursue(FarStart({"Pout"}), wizard.Runner());
        ASSERT_TRUE(r.ok) << r.error;
        std::printf("%s", vexasim::PursuitSummary(r).c_str());
        // The load that failed is where the sweep stopped: later grids keep short of
        // it, and the pursuit goes on even 0.06 beyond the optimum.
        EXPECT_GE(wizard.failures, 1) << rim;
        EXPECT_LE(wizard.failures, 2) << rim;
        EXPECT_EQ(r.failedRounds, wizard.failures);
        EXPECT_NE(vexasim::PursuitSummary(r).find(" failed, run again on half the radius"), std::string::npos);
        EXPECT_EQ(r.analyses, static_cast<int>(wizard.swept.size()));
        EXPECT_LT(r.analyses, kExtraFinePoints) << rim;
        // The load found is as good as the optimum to half the uncertainty reported,
        // and the value reported is the optimum's within that uncertainty. Across
        // the load line (in resistance, along the real axis) the peak is a corner and
        // the load is known to 0.01; along it, Pout falls by only 4.3 (X/R)^2 dB, 0.01
        // dB over 0.02 in gamma, and a round with fewer loads can stop short of that.
        const vexasim::PursuedOptimum& o = r.optima[0];
        EXPECT_GT(AmplifierValues({o.at.re, o.at.im})[0], truth - 0.5 * o.uncertainty) << rim;
        EXPECT_NEAR(o.value, truth, o.uncertainty) << rim;
        EXPECT_LT(std::fabs(o.at.re - optimum.real()), 0.01) << rim;
        EXPECT_LT(Distance(o.at, optimum), 0.03) << rim;
    }
}

TEST(Pursuit, ARoundThatFailsIsRunAgainTwiceAtMost) {
    FakeWizard twice = AmplifierWizard();
    twice.failedCalls = {2, 3};
    vexasim::PursuitReport r = vexasim::Pursue(FarStart({"Pout"}), twice.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.failedRounds, 2);
    EXPECT_LT(Distance(r.optima[0].at, LoadLineOptimum()), 0.03);
    // Each retry on half the radius.
    EXPECT_NEAR(r.grids[2].radius, r.grids[1].radius / 2, 1e-6);
    EXPECT_NEAR(r.grids[3].radius, r.grids[2].radius / 2, 1e-6);

    FakeWizard thrice = AmplifierWizard();
    thrice.failedCalls = {2, 3, 4};
    r = vexasim::Pursue(FarStart({"Pout"}), thrice.Runner());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the engine failed");
    EXPECT_EQ(r.failedRounds, 3);
}

TEST(Pursuit, PowerAndEfficiencyOfTheAmplifierMeetOnTheLoadLine) {
    const std::complex<double> optimum = LoadLineOptimum();
    FakeWizard wizard = AmplifierWizard();
    const vexasim::PursuitReport r = vexasim::Pursue(FarStart({"PA:Pout", "PAE"}), wizard.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    std::printf("%s", vexasim::PursuitSummary(r).c_str());
    ASSERT_EQ(r.optima.size(), 2u);
    EXPECT_EQ(r.optima[1].measurement, "PA:PAE");
    EXPECT_LT(Distance(r.optima[0].at, optimum), 0.01);
    // PAE falls by only about 0.1 percentage point over 0.01 in gamma towards higher
    // resistance (the drive falls as 1/|Z| while Pout - Pin barely changes), a fifth
    // of its tolerance: its peak is known to 0.015 in gamma.
    EXPECT_LT(Distance(r.optima[1].at, optimum), 0.015);
    EXPECT_LT(r.analyses, kExtraFinePoints);
    // The line joins the two optima...
    ASSERT_FALSE(r.tradeOff.empty());
    EXPECT_LT(Distance(r.tradeOff.front().at, optimum), 0.01);
    EXPECT_LT(Distance(r.tradeOff.back().at, optimum), 0.015);
    // ...and no load that was simulated beats any point of it in both measurements
    // (by more than the pursuit's tolerances).
    for (const vexasim::TradeOffPoint& p : r.tradeOff) {
        const std::vector<double> there = AmplifierValues({p.at.re, p.at.im});
        for (const std::complex<double>& s : wizard.swept) {
            const std::vector<double> v = AmplifierValues(s);
            EXPECT_FALSE(v[0] > there[0] + r.optima[0].tolerance && v[1] > there[1] + r.optima[1].tolerance)
                << "sample " << s << " dominates " << p.at.re << "," << p.at.im;
        }
    }
}

TEST(Pursuit, TheTradeOffLineOfTwoParaboloidsIsTheSegmentBetweenTheirPeaks) {
    const std::complex<double> a = std::polar(0.3, DegreesToRadians(30.0)), b = std::polar(0.25, DegreesToRadians(-70.0));
    FakeWizard wizard;
    wizard.columns = {"S:F", "S:G"};
    wizard.units = {"dB", "%"};
    wizard.displayUnits = {"dBm", "%"};
    wizard.values = [&](std::complex<double> p) {
        return std::vector<double>{40.0 - 20.0 * std::norm(p - a), 60.0 - 300.0 * std::norm(p - b)};
    };
    vexasim::PursuitSettings s;
    s.measurements = {"F", "G"};
    const vexasim::PursuitReport r = vexasim::Pursue(s, wizard.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    std::printf("%s", vexasim::PursuitSummary(r).c_str());
    ASSERT_EQ(r.optima.size(), 2u);
    EXPECT_EQ(r.optima[0].end, vexasim::PursuitEnd::kConverged);
    EXPECT_EQ(r.optima[1].end, vexasim::PursuitEnd::kConverged);
    EXPECT_LT(Distance(r.optima[0].at, a), 0.01);
    EXPECT_LT(Distance(r.optima[1].at, b), 0.01);
    ASSERT_GE(r.tradeOff.size(), 10u);
    EXPECT_LT(Distance(r.tradeOff.front().at, a), 0.01);
    EXPECT_LT(Distance(r.tradeOff.back().at, b), 0.01);
    const std::complex<double> along = (b - a) / std::abs(b - a);
    double lastF = INFINITY, lastG = -INFINITY;
    for (const vexasim::TradeOffPoint& p : r.tradeOff) {
        const std::complex<double> q(p.at.re, p.at.im);
        const std::complex<double> rel = (q - a) / along;  // along the segment, and across it
        // Within the spline's error across the trade-off round (radius 0.3, Coarse).
        EXPECT_LT(std::fabs(rel.imag()), 0.015) << q;
        EXPECT_GT(rel.real(), -0.01);
        EXPECT_LT(rel.real(), std::abs(b - a) + 0.01);
        // From one peak to the other the first falls as the second rises.
        EXPECT_LE(p.first, lastF);
        EXPECT_GE(p.second, lastG);
        lastF = p.first;
        lastG = p.second;
    }
    const std::string summary = vexasim::PursuitSummary(r);
    EXPECT_NE(summary.find("trade-off between S:F and S:G"), std::string::npos);
    EXPECT_NE(summary.find("converged in round"), std::string::npos);
}

TEST(Pursuit, EndsAndRefusalsAreSaid) {
    // One round allowed: it ends at the round limit with the maximum on the edge.
    FakeWizard limited = AmplifierWizard();
    vexasim::PursuitSettings one = FarStart({"Pout"});
    one.maxRounds = 1;
    vexasim::PursuitReport r = vexasim::Pursue(one, limited.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(limited.rounds, 1);
    EXPECT_EQ(r.optima[0].end, vexasim::PursuitEnd::kRoundLimit);
    EXPECT_TRUE(r.optima[0].onEdge);
    EXPECT_NE(vexasim::PursuitSummary(r).find("still on the edge"), std::string::npos);

    // A tolerance no spline meets: it ends at the smallest radius, inside the region.
    FakeWizard strict = AmplifierWizard();
    vexasim::PursuitSettings tight = FarStart({"Pout"});
    tight.tolerance = 1e-9;
    tight.maxRounds = 20;
    r = vexasim::Pursue(tight, strict.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.optima[0].end, vexasim::PursuitEnd::kSmallestGrid);
    EXPECT_NEAR(r.grids.back().radius, 0.05, 1e-9);
    EXPECT_NE(vexasim::PursuitSummary(r).find("at the smallest radius the grid takes (0.05); the leave-one-out error "
                                              "next to the maximum is above 1e-09 dB"),
              std::string::npos)
        << vexasim::PursuitSummary(r);

    // The round limit holds per measurement: the second pursuit asks for rounds of
    // its own.
    FakeWizard both = AmplifierWizard();
    vexasim::PursuitSettings two = FarStart({"Pout", "PAE"});
    two.maxRounds = 1;
    r = vexasim::Pursue(two, both.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.optima[0].round, 1);
    EXPECT_EQ(r.optima[1].round, 2);
    EXPECT_EQ(r.optima[1].end, vexasim::PursuitEnd::kRoundLimit);

    // The options as the command line gives them.
    vexasim::PursuitSettings parsed;
    std::string why;
    ASSERT_TRUE(vexasim::ParsePursuitOption("--pursue", "Pout,PA:PAE", parsed, why)) << why;
    EXPECT_EQ(parsed.measurements, (std::vector<std::string>{"Pout", "PA:PAE"}));
    ASSERT_TRUE(vexasim::ParsePursuitOption("--pursue", "DE", parsed, why)) << why;
    EXPECT_EQ(parsed.measurements, std::vector<std::string>{"DE"});
    EXPECT_FALSE(vexasim::ParsePursuitOption("--pursue", "Pout,PAE,DE", parsed, why));
    EXPECT_FALSE(vexasim::ParsePursuitOption("--pursue", "Pout,", parsed, why));
    ASSERT_TRUE(vexasim::ParsePursuitOption("--tolerance", "0.02", parsed, why)) << why;
    EXPECT_EQ(parsed.tolerance, 0.02);
    ASSERT_TRUE(vexasim::ParsePursuitOption("--rounds", "50", parsed, why)) << why;
    EXPECT_EQ(parsed.maxRounds, 50);
    EXPECT_FALSE(vexasim::ParsePursuitOption("--rounds", "51", parsed, why));
    EXPECT_FALSE(vexasim::ParsePursuitOption("--tolerance", "0", parsed, why));

    // A measurement that rises up to the rim: the pursuit follows it there and stops
    // when the grid reaches no further, rather than repeat the same round.
    FakeWizard rising;
    rising.columns = {"S:F"};
    rising.units = {"dB"};
    rising.displayUnits = {"dBm"};
    rising.values = [](std::complex<double> p) { return std::vector<double>{30 + 10 * p.real()}; };
    vexasim::PursuitSettings up = FarStart({"F"});
    up.centerAngDeg = 180;
    r = vexasim::Pursue(up, rising.Runner());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.optima[0].end, vexasim::PursuitEnd::kAtRim);
    EXPECT_TRUE(r.optima[0].onEdge);
    EXPECT_GT(r.optima[0].at.re, 0.93);
    EXPECT_LT(rising.rounds, 8);
    EXPECT_NE(vexasim::PursuitSummary(r).find("where the grid reaches no further (|gamma| 0.95)"), std::string::npos)
        << vexasim::PursuitSummary(r);

    // Names that are not there or are not one, and a round that fails.
    std::string column, error;
    const std::vector<std::string> columns = {"PA:Pout", "PB:Pout", "PA:PAE"};
    EXPECT_FALSE(vexasim::ResolveMeasurement(columns, "Pout", column, error));
    EXPECT_NE(error.find("several"), std::string::npos);
    EXPECT_FALSE(vexasim::ResolveMeasurement(columns, "DE", column, error));
    EXPECT_NE(error.find("PA:PAE"), std::string::npos) << error;  // says what there is
    EXPECT_FALSE(vexasim::ResolveMeasurement(columns, "AE", column, error));
    ASSERT_TRUE(vexasim::ResolveMeasurement(columns, "PB:Pout", column, error));
    EXPECT_EQ(column, "PB:Pout");
    ASSERT_TRUE(vexasim::ResolveMeasurement(columns, "PAE", column, error));
    EXPECT_EQ(column, "PA:PAE");

    FakeWizard w = AmplifierWizard();
    r = vexasim::Pursue(FarStart({"Gain"}), w.Runner());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("no measurement Gain"), std::string::npos);
    r = vexasim::Pursue(FarStart({"Pout", "PA:Pout"}), AmplifierWizard().Runner());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("twice"), std::string::npos);
    r = vexasim::Pursue(FarStart({"Pout", "PAE", "Pout"}), w.Runner());
    EXPECT_FALSE(r.ok);
    r = vexasim::Pursue(FarStart({"Pout"}), [](int, const vexasim::RoundGrid&, vexasim::RoundData&, std::string& e) {
        e = "the wizard failed";
        return false;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the wizard failed");

    EXPECT_EQ(vexasim::DefaultTolerance("dB", 40), 0.05);
    EXPECT_EQ(vexasim::DefaultTolerance("%", 60), 0.5);
    EXPECT_NEAR(vexasim::DefaultTolerance("W", -20), 0.2, 1e-12);
}

// The chart's close view holds the last round's grid, the optima and the whole
// trade-off line; without rounds it is the whole chart.
TEST(Pursuit, TheCloseViewHoldsTheLastGridAndTheTradeOffLine) {
    vexasim::PursuitReport r;
    vexasim::GammaPoint centre{0.5, 0.5};
    double half = 0;
    vexasim::PursuitView(r, centre, half);
    EXPECT_EQ(centre.re, 0.0);
    EXPECT_EQ(centre.im, 0.0);
    EXPECT_EQ(half, 1.0);
    vexasim::RoundGrid g;
    g.centerMag = 0.3, g.centerAngDeg = 180, g.radius = 0.05;  // spans re -0.35 .. -0.25
    r.grids.push_back(g);
    r.tradeOff.push_back({{-0.1, 0.0}, 0, 0});
    vexasim::PursuitView(r, centre, half);
    EXPECT_NEAR(centre.re, -0.225, 1e-9);
    EXPECT_NEAR(centre.im, 0.0, 1e-9);
    EXPECT_NEAR(half, 0.9 * 0.25, 1e-9);
}

TEST(EdgeHint, SaysWhatTheUserCanDo) {
    // Inside the chart the grid can move towards the optimum or widen.
    const std::string inside = vexasim::OnEdgeText(0.3, 0.1);
    EXPECT_NE(inside.find("move the centre towards it"), std::string::npos);
    EXPECT_NE(inside.find("widen the radius"), std::string::npos);
    // At |gamma| 0.95 the grid reaches no further: widening is not offered.
    for (double deg : {0.0, 100.0, -170.0}) {
        const double a = DegreesToRadians(deg);
        const std::string rim = vexasim::OnEdgeText(0.94 * std::cos(a), 0.94 * std::sin(a));
        EXPECT_EQ(rim.find("widen"), std::string::npos) << rim;
        EXPECT_NE(rim.find("the largest the grid reaches"), std::string::npos) << rim;
    }
    EXPECT_EQ(vexasim::OnEdgeText(0.92, 0.0).find("the largest the grid reaches"), std::string::npos);
}

}  // namespace
