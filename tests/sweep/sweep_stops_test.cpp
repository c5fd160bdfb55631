// Where a sweep stops, what it answers, and what it leaves behind.
#include <algorithm>

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
    bool HasMarker() {
        const std::vector<std::string> shown = MeasurementsOf("Load Pull Points");
        return !shown.empty() && shown.back() == "Current Simulation Point:API";
    }
    void ExpectTunerAtStart() {
        EXPECT_EQ(TunerValue(0), kStartMag);
        EXPECT_EQ(TunerValue(1), kStartAng);
    }
};

// Checks made before anything is simulated: E_FAIL, no box, no analysis, no marker.
TEST_F(SweepStopTest, FailsBeforeSimulatingWhenTheSetupCannotBeSwept) {
    const std::function<void(LPSetup&)> breakages[] = {
        [&](LPSetup&) { FindGraph("Load Pull Points")->hasWindow = false; },
        [&](LPSetup&) { sim.InjectNull("Windows.Item", 1); },
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
        sim.ClearFaults();
    }
}

// A colon in a source or measurement name lets two measurements share a display
// name. A chosen name must match exactly one, or the sweep would contour the
// wrong values while another chosen name matches none.
TEST_F(SweepStopTest, EachChosenNameMustMatchExactlyOneMeasurement) {
    vexasim::MeasurementData a, b;
    a.source = "Amp:X";
    a.name = "P";
    b.source = "Amp";
    b.name = "X:P";
    sim.project().graphs.at(0).measurements.push_back(a);
    sim.project().graphs.at(0).measurements.push_back(b);
    for (const auto& chosen : {std::vector<std::pair<std::string, std::string>>{{"Amp:X:P", "XGrid"}},
                               std::vector<std::pair<std::string, std::string>>{{"Amp:X:P", "XGrid"},
                                                                                {"Amp:Gone", "GoneGrid"}}}) {
        SCOPED_TRACE(chosen.size());
        LPSetup& s = Prepare(chosen);
        const int analyses = sim.AnalyzeCount();
        EXPECT_EQ(s.RunSweep(), E_FAIL);
        EXPECT_EQ(sim.AnalyzeCount(), analyses);
        EXPECT_TRUE(input.boxes.empty());
    }
    EXPECT_TRUE(sim.project().dataFiles.empty());
}

// A host call that answers S_FALSE stops the sweep with 1 wherever it is checked.
// The sweep says it stopped and how many points it simulated, and once it has
// moved the tuner it gives it back.
TEST_F(SweepStopTest, EveryStopIsReportedAsAStopAndGivesTheTunerBack) {
    vexasim::ProjectBuilder(sim).DataFile("Other", "other.txt");
    struct Case {
        const char* call;
        int k;        // counted from the start of the sweep
        int points;   // simulated before the stop; -1: all of them
        bool marker;  // the marker is still on the points graph
    };
    const Case cases[] = {
        {"Window.Activate", 1, 0, false},        {"Measurement.SetSize", 1, 0, true},
        {"Simulator.AddVariable", 1, 0, true},   {"Simulator.AddVariable", 2, 0, true},
        {"Simulator.Analyze", 1, 0, true},       {"Simulator.Analyze", 5, 4, true},
        {"Simulator.Analyze", 128, -1, true},    // after the sweep, with the tuner back
        {"DataFiles.Item", 1, -1, true},         {"Measurements.RemoveAll", 1, -1, true},
        {"Simulator.Analyze", 129, -1, false},   {"Window.Activate", 2, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + "@" + std::to_string(c.k));
        LPSetup& s = PrepareOne();
        ASSERT_EQ(s.pointCount, 127);
        sim.InjectStop(c.call, c.k);
        EXPECT_EQ(s.RunSweep(), 1);
        EXPECT_TRUE(s.lastSweep.stopped);
        EXPECT_EQ(s.lastSweep.simulatedPoints, c.points < 0 ? 127 : c.points);
        EXPECT_EQ(s.lastSweep.pointCount, 127);
        EXPECT_TRUE(input.boxes.empty());
        ExpectTunerAtStart();
        ASSERT_NE(FindGraph("Load Pull Points"), nullptr);
        EXPECT_EQ(HasMarker(), c.marker);
        EXPECT_TRUE(s.setupChanged);
        sim.ClearFaults();
    }
}

TEST_F(SweepStopTest, AStopInsideTheSweepRestoresTheTunerAfterTheLastPoint) {
    LPSetup& s = PrepareOne();
    sim.InjectStop("Simulator.Analyze", 5);
    sim.ClearCalls();
    EXPECT_EQ(s.RunSweep(), 1);
    // The fifth point was set, its analysis refused, and then the saved values went back.
    const std::vector<std::string>& calls = sim.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
              (std::vector<std::string>{"Simulator.Analyze", "Simulator.SetVariable", "Simulator.SetVariable",
                                        "Simulator.Analyze"}));
    ExpectTunerAtStart();
    const auto& marker = FindGraph("Load Pull Points")->measurements.back();
    const double angle = kPi * s.pointAnglesDeg[4] / 180.0;
    EXPECT_NEAR(marker.points.at(0).first, s.pointMagnitudes[4] * std::cos(angle), 1e-15);
    EXPECT_NEAR(marker.points.at(0).second, s.pointMagnitudes[4] * std::sin(angle), 1e-15);
    // drawn as a blue symbol, apart from the red points of the set
    EXPECT_TRUE(marker.trace.symbolsVisible && !marker.trace.lineVisible);
    EXPECT_EQ(marker.trace.color, 0xFF0000);
    EXPECT_NE(marker.trace.color, FindGraph("Load Pull Points")->measurements.front().trace.color);
    EXPECT_TRUE(sim.project().dataFiles.empty());
}

// The restore is a best effort: its own failure changes neither the result nor
// the message of the failure that ended the sweep.
TEST_F(SweepStopTest, AFailedRestoreLeavesTheOriginalFailureStanding) {
    LPSetup& s = PrepareOne();
    sim.InjectFailure("Measurement.Value", 3, E_UNEXPECTED, "Analysis results are stale");
    sim.InjectFailure("Simulator.SetVariable", 7, E_ACCESSDENIED, "The tuner is locked");
    sim.InjectStop("Simulator.Analyze", 4);
    EXPECT_EQ(s.RunSweep(), E_UNEXPECTED);
    ExpectHostErrorBox("Analysis results are stale");
    EXPECT_FALSE(s.lastSweep.stopped);
    // The magnitude could not be restored; the angle was.
    EXPECT_EQ(TunerValue(0), s.pointMagnitudes[2]);
    EXPECT_EQ(TunerValue(1), kStartAng);
}

// Objects the sweep checks for: a null answer fails it with E_FAIL and no box.
TEST_F(SweepStopTest, NullObjectsWhereTheSweepChecksFailIt) {
    struct Case {
        const char* call;
        int k;
        bool simulated;  // the points were simulated before the failure
    };
    const Case cases[] = {
        {"Measurements.Add", 1, false},  // the marker
        {"Graph.Traces", 1, false},      {"Traces.Item", 1, false},
        {"Project.DataFiles", 1, true},  {"Graphs.Add", 1, true},
        {"Measurements.Add", 2, true},   // the contour measurement
        {"Graph.Traces", 2, true},       {"Traces.Item", 2, true},
        {"Windows.Item", 2, true},       // the contour graph's window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + "@" + std::to_string(c.k));
        LPSetup& s = PrepareOne();
        const int analyses = sim.AnalyzeCount();
        sim.InjectNull(c.call, c.k);
        EXPECT_EQ(s.RunSweep(), E_FAIL);
        EXPECT_FALSE(s.lastSweep.stopped);
        EXPECT_EQ(sim.AnalyzeCount() - analyses >= 127, c.simulated);
        EXPECT_TRUE(input.boxes.empty());
        ExpectTunerAtStart();
        EXPECT_TRUE(s.setupChanged);
        sim.ClearFaults();
        sim.project().graphs.erase(
            std::remove_if(sim.project().graphs.begin(), sim.project().graphs.end(),
                           [](const vexasim::GraphData& g) { return g.name == "Load Pull Data Contour Graph"; }),
            sim.project().graphs.end());
    }
}

// Nothing chosen to contour: every point is still simulated and the tuner given
// back, no data file is touched, and without a contour graph from an earlier run
// the final window look-up fails.
TEST_F(SweepStopTest, NoMeasurementChosenSimulatesEveryPointAndFailsAtTheEnd) {
    vexasim::ProjectBuilder(sim).DataFile("Other", "other.txt", 3, "kept");
    LPSetup& s = Prepare({});
    const int analyses = sim.AnalyzeCount();
    EXPECT_EQ(s.RunSweep(), E_FAIL);
    EXPECT_EQ(sim.AnalyzeCount() - analyses, 127 + 2);
    EXPECT_EQ(s.lastSweep.simulatedPoints, 127);
    ExpectTunerAtStart();
    EXPECT_EQ(sim.project().dataFiles.size(), 1u);
    EXPECT_EQ(sim.project().dataFiles[0].text, "kept");
    EXPECT_EQ(FindGraph("Load Pull Data Contour Graph"), nullptr);
    EXPECT_TRUE(input.boxes.empty());
}

// A measurement whose spline cannot be fitted (here a reading that is not a number)
// costs nothing else: its data file, which an earlier contour still shows, keeps
// its text, every other measurement is written, and the sweep fails at its end
// with a box that names it.
TEST_F(SweepStopTest, AnUnfittableMeasurementIsNamedAndTouchesNothing) {
    int reads = 0;
    AddMeasurement("Bad", [&](Gamma g) { return ++reads == 7 ? std::nan("") : 1.0 + g.real(); });
    vexasim::ProjectBuilder(sim)
        .DataFile("BadGrid", "bad.txt", 3, "earlier grid\n")
        .Graph("Load Pull Data Contour Graph", 2)
        .Measurement("BadGrid", "LPCS[3,0,0.25]", 3);
    LPSetup& s = Prepare({{"Amp:Bad", "BadGrid"}, {"Amp:Pout", "PoutGrid"}});
    reads = 0;
    EXPECT_EQ(s.RunSweep(), E_FAIL);
    EXPECT_FALSE(s.lastSweep.stopped);
    ASSERT_EQ(input.boxes.size(), 1u);
    EXPECT_EQ(input.boxes[0].caption, "Tessary");
    EXPECT_EQ(input.boxes[0].owner, nullptr);
    EXPECT_EQ(input.boxes[0].text,
              "The values of Amp:Bad could not be fitted over the gamma plane (a reading that is not a number, or "
              "gamma points on one line). No contours were written for it, and its data file was left as it was.");
    EXPECT_EQ(FindDataFile("BadGrid")->text, "earlier grid\n");
    EXPECT_EQ(GridValues("PoutGrid").size(), 1681u);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"),
              (std::vector<std::string>{"BadGrid:LPCS[3,0,0.25]", "PoutGrid:LPCS[11,9,0.25]"}));
    ExpectTunerAtStart();
    EXPECT_EQ(FindGraph("Load Pull Points"), nullptr);
    EXPECT_TRUE(s.setupChanged);  // Simulate again sweeps again
}

// Gamma points on one line leave no spline fitted at all: no data file is created.
TEST_F(SweepStopTest, PointsOnOneLineFitNothingAndCreateNoDataFile) {
    AddMeasurement("Gain", [](Gamma g) { return 3.0 + g.real(); });
    LPSetup& s = Prepare({{"Amp:Pout", "PoutGrid"}, {"Amp:Gain", "GainGrid"}});
    s.pointMagnitudes = {0.1, 0.3, 0.5, 0.7};
    s.pointAnglesDeg = {0.0, 0.0, 0.0, 0.0};
    s.pointCount = 4;
    EXPECT_EQ(s.RunSweep(), E_FAIL);
    ASSERT_EQ(input.boxes.size(), 1u);
    EXPECT_NE(input.boxes[0].text.find("The values of Amp:Pout, Amp:Gain could not be fitted"), std::string::npos);
    EXPECT_NE(input.boxes[0].text.find("their data files were left as they were."), std::string::npos);
    EXPECT_TRUE(sim.project().dataFiles.empty());
    EXPECT_EQ(FindGraph("Load Pull Data Contour Graph"), nullptr);
}

TEST_F(SweepStopTest, DataFileLookupFailureEndsTheSweepQuietly) {
    vexasim::ProjectBuilder(sim).DataFile("Other", "other.txt");
    LPSetup& s = PrepareOne();
    sim.InjectFailure("DataFiles.Item", 1, kLocked, "The data file is locked");
    EXPECT_EQ(s.RunSweep(), kLocked);
    EXPECT_TRUE(input.boxes.empty());  // Run reports the failed sweep itself
    ExpectTunerAtStart();
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
    ExpectTunerAtStart();

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
    ExpectTunerAtStart();
    EXPECT_NE(FindGraph("Load Pull Points"), nullptr);
    EXPECT_TRUE(s.setupChanged);
}

}  // namespace
