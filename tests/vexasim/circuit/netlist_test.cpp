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

// Whether the output node has a DC path into the circuit decides the termination's
// DC condition: only capacitors block it; a subcircuit's own node names are not
// the netlist's.
TEST(CircuitDeck, AnOutputBehindCapacitorsAloneHasNoDcPath) {
    auto path = [](const std::string& netlist) {
        vexasim::CircuitData c = Circuit();
        c.netlist = netlist;
        c.output = "out";
        return circuit::OutputHasDcPath(c);
    };
    EXPECT_TRUE(path("Vs s 0 sin(0 1 1meg)\nRs s out 25\n"));
    EXPECT_TRUE(path("Vs s 0 sin(0 1 1meg)\nRs s a 25\nLs a OUT 1u\n"));  // names are not case-sensitive
    EXPECT_FALSE(path("Vs s 0 sin(0 1 1meg)\nRs s a 25\nCb a out 1n\n"));
    EXPECT_FALSE(path("Vs s 0 sin(0 1 1meg)\nCb s out 1n\nRload out x 5\nCx x gnd 1n\n"));  // a floating branch
    EXPECT_TRUE(path("Vsup sup 0 28\nLch sup dr 3u\nRw dr out 1m\nM1 dr g 0 nmos\n"));  // through the supply source
    EXPECT_TRUE(path("M1 out g 0 0 nmos\nVg g 0 1\n"));  // through a transistor
    EXPECT_FALSE(path("M1 dr g 0 0 nmos\nCb dr out 1n\nVg g 0 1\n"));
    EXPECT_FALSE(path(".subckt blk a out\nR1 a out 1\n.ends\nCb dr out 1n\nR2 dr 0 1\n"));
    EXPECT_TRUE(path(".subckt blk a b\nC1 a b 1n\n.ends\nX1 out 0 blk\n"));  // a subcircuit may conduct
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
