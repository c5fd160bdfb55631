// The deck the engine builds and the Fourier analysis it measures with.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "host/angles.h"
#include "vexasim/circuit/netlist.h"
#include "vexasim/circuit/termination.h"

namespace {

vexasim::CircuitData Circuit() {
    vexasim::CircuitData c;
    c.netlist = "Vin g 0 sin(0 {vdrive} {f0})\n* a comment\nM1 D g 0 0 nmos\n+ w=1\n";
    c.output = "d";
    c.frequency = 1e6;
    c.drive = "Vin";
    c.maxPeriods = 10;
    c.stepsPerPeriod = 100;
    return c;
}

TEST(CircuitDeck, HoldsParametersNetlistTerminationAndAnalysis) {
    const circuit::Deck d = circuit::BuildDeck(Circuit(), {{"Vdd", 28.0}, {"Vdrive", 0.5}}, 10.0);
    ASSERT_GE(d.lines.size(), 10u);
    EXPECT_EQ(d.lines[1], ".param Vdd=28");
    EXPECT_EQ(d.lines[2], ".param Vdrive=0.5");
    EXPECT_EQ(d.lines[3], ".param f0=1000000");
    EXPECT_EQ(d.firstNetlistLine, 5);
    EXPECT_EQ(d.lines[4], "Vin g 0 sin(0 {vdrive} {f0})");
    auto has = [&](const std::string& line) {
        for (const auto& l : d.lines)
            if (l == line) return true;
        return false;
    };
    EXPECT_TRUE(has("rlptuner_term d lptuner_term 50"));
    EXPECT_TRUE(has("vlptuner_term lptuner_term 0 external"));
    EXPECT_TRUE(has(".save none"));
    EXPECT_TRUE(has(".tran 1e-08 1.1e-05 0 1e-08"));
    EXPECT_EQ(d.lines.back(), ".end");
    EXPECT_TRUE(circuit::NetlistProblems(Circuit()).empty());  // "D" is node "d": names are not case-sensitive

    std::string pos, neg;
    ASSERT_TRUE(circuit::DriveNodes(Circuit(), pos, neg));
    EXPECT_EQ(pos, "g");
    EXPECT_EQ(neg, "0");
    EXPECT_EQ(circuit::NetlistLineOf("Error on line 7 or its substitute: m1 d g 0 0 nmos", d, Circuit()),
              "Error on line 7 or its substitute: m1 d g 0 0 nmos (netlist line 3: M1 D g 0 0 nmos)");
    EXPECT_EQ(circuit::NetlistLineOf("Netlist line no. 2: x", d, Circuit()), "Netlist line no. 2: x");

    vexasim::CircuitData ground = Circuit();
    ground.output = "0";
    EXPECT_EQ(circuit::NetlistProblems(ground).at(0), "output: the tuner cannot load the ground node");
}

// Harmonics of a signal sampled at uneven times, as ngspice's time steps fall.
TEST(CircuitDeck, PhasorsOfUnevenSamplesAreExactForTheStraightLineBetweenThem) {
    const double period = 2e-6, t0 = 3 * period;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(0.2, 1.0);
    std::vector<double> t, x;
    for (double s = t0 - 1e-8; s < t0 + period + 2e-8; s += period / 400 * jitter(random)) {
        t.push_back(s);
        const double w = 2 * kPi / period;
        x.push_back(1.5 + 2.0 * std::cos(w * s + 0.3) + 0.25 * std::cos(3 * w * s - 1.0));
    }
    EXPECT_NEAR(std::abs(circuit::Phasor(t, x, t0, period, 0) - 1.5), 0.0, 1e-4);
    EXPECT_NEAR(std::abs(circuit::Phasor(t, x, t0, period, 1) - std::polar(2.0, 0.3)), 0.0, 1e-4);
    EXPECT_NEAR(std::abs(circuit::Phasor(t, x, t0, period, 2)), 0.0, 1e-4);
    EXPECT_NEAR(std::abs(circuit::Phasor(t, x, t0, period, 3) - std::polar(0.25, -1.0)), 0.0, 1e-4);
}

}  // namespace
