// The sweep's calls as the host sees them: what each analysis is asked for, where
// the tuner stands at it, how the variables are bound and how the marker looks.
#include "sweep_fixture.h"

namespace {

struct Analysis {
    long first, second;
    double magnitude, angle;  // of the tuner, as the host holds them
};

class SweepCallsTest : public SweepTest {
protected:
    void SetUp() override {
        SweepTest::SetUp();
        AddMeasurement("Pout", [](Gamma g) { return 10.0 - std::norm(g); });
        sim.SetAnalyzeObserver([this](long first, long second) {
            analyses.push_back({first, second, TunerValue(0), TunerValue(1)});
        });
    }
    std::vector<Analysis> analyses;
};

TEST_F(SweepCallsTest, EachPointIsSetAndAnalysedThenTheTunerIsRestoredAndAnalysedTwice) {
    LPSetup& s = Prepare({{"Amp:Pout", "PoutGrid"}}, 0);
    analyses.clear();
    sim.ClearCalls();
    EXPECT_EQ(s.RunSweep(), 0);
    ASSERT_EQ(analyses.size(), 61u + 2u);
    for (std::size_t k = 0; k < 61; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(analyses[k].first, 0);
        EXPECT_EQ(analyses[k].second, -1);
        EXPECT_EQ(analyses[k].magnitude, s.pointMagnitudes[k]);
        EXPECT_EQ(analyses[k].angle, kPi * s.pointAnglesDeg[k] / 180.0);  // radians
    }
    for (std::size_t k = 61; k < 63; ++k) {
        EXPECT_EQ(analyses[k].first, -1);
        EXPECT_EQ(analyses[k].second, -1);
        EXPECT_EQ(analyses[k].magnitude, kStartMag);
        EXPECT_EQ(analyses[k].angle, kStartAng);
    }
    EXPECT_EQ(sim.CallCount("Simulator.SetVariable"), 2 * 61 + 2);

    // The variables are bound to the tuner's own parameters, passed as objects.
    EXPECT_EQ(sim.CallCount("Simulator.AddVariable"), 2);
    const auto& tuner = sim.project().schematics.at(0).elements.at(0);
    EXPECT_EQ(sim.BoundParameter("TMag"), &tuner.parameters.at(0));
    EXPECT_EQ(sim.BoundParameter("TAng"), &tuner.parameters.at(1));
}

// The magnitude is set before the angle: with the second setting of the first
// point refused, its analysis sees the new magnitude and the old angle.
TEST_F(SweepCallsTest, TheMagnitudeIsSetBeforeTheAngle) {
    LPSetup& s = Prepare({{"Amp:Pout", "PoutGrid"}}, 0);
    analyses.clear();
    sim.InjectStop("Simulator.SetVariable", 2);  // answered, and not applied
    EXPECT_EQ(s.RunSweep(), 0);                  // the sweep does not check SetVariable
    ASSERT_FALSE(analyses.empty());
    EXPECT_EQ(analyses[0].magnitude, s.pointMagnitudes[0]);
    EXPECT_EQ(analyses[0].angle, kStartAng);
}

}  // namespace
