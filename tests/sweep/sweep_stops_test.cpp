// Where a sweep stops, what it answers, and what it leaves behind.
#include "sweep_fixture.h"

namespace {

const HRESULT kLocked = static_cast<HRESULT>(0x80030005);  // access denied, from storage

class SweepStopTest : public SweepTest {
protected:
    void SetUp() override {
        SweepTest::SetUp();
        AddMeasurement("Pout", [](Gamma g) { return 10.0 - std::norm(g); });
    }
    LPSetup& PrepareOne() { return Prepare({{"Amp:Pout", "PoutGrid"}}); }
    bool HasMarker() { return MeasurementsOf("Load Pull Points").back() == "Current Simulation Point:API"; }
};

// Checks made before anything is simulated: E_FAIL, no box, no analysis, no marker.
TEST_F(SweepStopTest, FailsBeforeSimulatingWhenTheSetupCannotBeSwept) {
    const std::function<void(LPSetup&)> breakages[] = {
        [&](LPSetup&) { FindGraph("Load Pull Points")->hasWindow = false; },
        [&](LPSetup& s) {  // chosen in an earlier run, gone from the project since
            s.AddSelectedMeasurement(host::FromAnsi("Amp:Gone").get(), host::FromAnsi("GoneGrid").get());
        },
        [&](LPSetup& s) { s.pointCount = 2; },
        [&](LPSetup& s) { s.pointMagnitudes.resize(2); },  // never read past the points held
        [&](LPSetup& s) { s.angParameter = nullptr; },
        [&](LPSetup& s) { s.selectedSchematic = 1; },
    };
    int n = 0;
    for (const auto& breakage : breakages) {
        SCOPED_TRACE(n++);
        LPSetup& s = PrepareOne();
        breakage(s);
        const int analyses = sim.AnalyzeCount();
        EXPECT_EQ(s.RunSweep(), E_FAIL);
        EXPECT_EQ(sim.AnalyzeCount(), analyses);
        EXPECT_EQ(MeasurementsOf("Load Pull Points"), (std::vector<std::string>{"Tuner Impedances:API"}));
        EXPECT_TRUE(s.setupChanged);
        EXPECT_TRUE(input.boxes.empty());
    }
}

TEST_F(SweepStopTest, AnalysisStopLeavesTheTunerAtThatPoint) {
    LPSetup& s = PrepareOne();
    sim.InjectStop("Simulator.Analyze", 5);
    EXPECT_EQ(s.RunSweep(), 1);
    EXPECT_TRUE(input.boxes.empty());
    EXPECT_EQ(TunerValue(0), s.pointMagnitudes[4]);
    EXPECT_EQ(TunerValue(1), kPi * s.pointAnglesDeg[4] / 180.0);  // radians
    ASSERT_NE(FindGraph("Load Pull Points"), nullptr);
    EXPECT_TRUE(HasMarker());
    const auto& marker = FindGraph("Load Pull Points")->measurements.back();
    EXPECT_NEAR(marker.points.at(0).first, s.pointMagnitudes[4] * std::cos(TunerValue(1)), 1e-15);
    EXPECT_NEAR(marker.points.at(0).second, s.pointMagnitudes[4] * std::sin(TunerValue(1)), 1e-15);
    EXPECT_TRUE(sim.project().dataFiles.empty());
    EXPECT_TRUE(s.setupChanged);
}

// Gamma points on one line leave the spline without a fit: the data file gets a
// well-formed grid of "nan", and the sweep fails instead of reporting success.
TEST_F(SweepStopTest, UnfittableSamplesWriteAWellFormedGridAndFail) {
    LPSetup& s = PrepareOne();
    s.pointMagnitudes = {0.1, 0.3, 0.5, 0.7};
    s.pointAnglesDeg = {0.0, 0.0, 0.0, 0.0};
    s.pointCount = 4;
    EXPECT_EQ(s.RunSweep(), E_FAIL);
    EXPECT_TRUE(input.boxes.empty());
    ASSERT_EQ(sim.project().dataFiles.size(), 1u);
    const std::string& text = sim.project().dataFiles[0].text;
    std::string row;
    for (int q = 0; q < 41; ++q) row += "nan ";
    std::string grid;
    for (int r = 0; r < 41; ++r) grid += row + "\n";
    EXPECT_EQ(text, grid);
    EXPECT_TRUE(s.setupChanged);
}

TEST_F(SweepStopTest, DataFileLookupFailureEndsTheSweepQuietly) {
    vexasim::ProjectBuilder(sim).DataFile("Other", "other.txt");
    LPSetup& s = PrepareOne();
    sim.InjectFailure("DataFiles.Item", 1, kLocked, "The data file is locked");
    EXPECT_EQ(s.RunSweep(), kLocked);
    EXPECT_TRUE(input.boxes.empty());  // Run reports the failed sweep itself
    EXPECT_EQ(TunerValue(0), kStartMag);  // it stopped after the tuner was restored
    EXPECT_EQ(sim.project().dataFiles.size(), 1u);

    LPSetup& again = PrepareOne();
    sim.InjectStop("DataFiles.Item", 1);
    EXPECT_EQ(again.RunSweep(), 1);
    EXPECT_TRUE(input.boxes.empty());
    EXPECT_EQ(sim.project().dataFiles.size(), 1u);
}

TEST_F(SweepStopTest, HostErrorsAreShownAndReturned) {
    LPSetup& s = PrepareOne();
    sim.InjectFailure("Graphs.Add", 1, E_OUTOFMEMORY, "No room for another graph");
    EXPECT_EQ(s.RunSweep(), E_OUTOFMEMORY);  // from UpdateContourGraph
    ExpectHostErrorBox("No room for another graph");
    EXPECT_NE(FindDataFile("PoutGrid"), nullptr);  // what was written stays
    EXPECT_TRUE(s.setupChanged);

    input.boxes.clear();
    LPSetup& t = PrepareOne();
    sim.InjectFailure("Measurement.Value", 3, E_UNEXPECTED, "Analysis results are stale");
    EXPECT_EQ(t.RunSweep(), E_UNEXPECTED);
    ExpectHostErrorBox("Analysis results are stale");

    // A data file the host did not create is a null object: E_POINTER, no description.
    input.boxes.clear();
    LPSetup& u = Prepare({{"Amp:Pout", "OtherGrid"}});
    sim.InjectNull("DataFiles.Add", 1);
    EXPECT_EQ(u.RunSweep(), E_POINTER);
    ExpectHostErrorBox("");
}

TEST_F(SweepStopTest, ContourGraphWithoutWindowFailsAtTheEnd) {
    vexasim::ProjectBuilder(sim).Graph("Load Pull Data Contour Graph", 2);
    FindGraph("Load Pull Data Contour Graph")->hasWindow = false;
    LPSetup& s = PrepareOne();
    EXPECT_EQ(s.RunSweep(), E_FAIL);
    EXPECT_TRUE(input.boxes.empty());
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"), (std::vector<std::string>{"PoutGrid:LPCS[11,9,0.25]"}));
    EXPECT_EQ(TunerValue(0), kStartMag);
    EXPECT_NE(FindGraph("Load Pull Points"), nullptr);
    EXPECT_TRUE(s.setupChanged);
}

}  // namespace
