// What a sweep finds again in the project and what it adds: data files by name,
// the contour graph by name, contour measurements by source and levels.
#include "sweep_fixture.h"

namespace {

class ContourOutputTest : public SweepTest {
protected:
    double scale = 1.0;
    void SetUp() override {
        SweepTest::SetUp();
        AddMeasurement("Pout", [this](Gamma g) { return scale * (10.0 - std::norm(g)); });
        AddMeasurement("Gain", [](Gamma g) { return 3.0 + g.real(); });
        AddMeasurement("Eff", [](Gamma g) { return 50.0 + 10.0 * g.imag(); });
    }
};

TEST_F(ContourOutputTest, RerunsReuseTheirDataFilesAndContoursWithTheSameLevels) {
    vexasim::ProjectBuilder(sim).DataFile("PoutGrid", "mine.txt", 3, "old text");
    EXPECT_EQ(Prepare({{"Amp:Pout", "PoutGrid"}}, 0).RunSweep(), 0);
    ASSERT_EQ(sim.project().dataFiles.size(), 1u);
    EXPECT_EQ(sim.project().dataFiles[0].fileName, "mine.txt");  // found by name, not generated
    const std::string first = sim.project().dataFiles[0].text;
    EXPECT_EQ(GridValues("PoutGrid").size(), 1681u);  // the old text is replaced whole
    const std::vector<std::string> contours = {"PoutGrid:LPCS[11,9,0.25]"};
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"), contours);

    // Same levels: the contour measurement is found again, nothing is added.
    EXPECT_EQ(Prepare({{"Amp:Pout", "PoutGrid"}}, 1).RunSweep(), 0);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"), contours);
    EXPECT_EQ(sim.project().dataFiles.size(), 1u);

    // Other levels: a second contour of the same data file beside the first.
    scale = 2.0;
    EXPECT_EQ(Prepare({{"Amp:Pout", "PoutGrid"}}, 0).RunSweep(), 0);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"),
              (std::vector<std::string>{"PoutGrid:LPCS[11,9,0.25]", "PoutGrid:LPCS[21,18,0.25]"}));
    EXPECT_EQ(sim.project().dataFiles.size(), 1u);
    EXPECT_NE(sim.project().dataFiles[0].text, first);
    EXPECT_EQ(FindGraph("Load Pull Data Contour Graph")->measurements.back().trace.lineVisible, true);
}

// A contour is asked for by its place in the list of chosen measurements; a place
// outside the list is refused and adds nothing.
TEST_F(ContourOutputTest, APlaceOutsideTheListIsRefused) {
    LPSetup& s = Prepare({{"Amp:Pout", "PoutGrid"}, {"Amp:Gain", "GainGrid"}}, 0);
    for (const long i : {-1L, 2L, 3L}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.UpdateContourGraph(0.0, 1.0, i), E_FAIL);
    }
    EXPECT_TRUE(MeasurementsOf("Load Pull Data Contour Graph").empty());
    EXPECT_EQ(s.UpdateContourGraph(0.0, 1.0, 1L), 0);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph").size(), 1u);
}

TEST_F(ContourOutputTest, CreatedFilesAreNamedByTheirPlaceInTheList) {
    vexasim::ProjectBuilder(sim)
        .DataFile("PoutGrid", "p.txt")
        .DataFile("GainGrid", "g.txt")
        .Graph("Load Pull Data Contour Graph", 2)
        .Graph("Load Pull Data Contour Graph", 2);
    EXPECT_EQ(Prepare({{"Amp:Pout", "PoutGrid"}, {"Amp:Gain", "GainGrid"}, {"Amp:Eff", "EffGrid"}}, 0).RunSweep(), 0);
    ASSERT_EQ(sim.project().dataFiles.size(), 3u);
    EXPECT_EQ(sim.project().dataFiles[2].name, "EffGrid");
    EXPECT_EQ(sim.project().dataFiles[2].fileName, "QuindleIsAHack2.txt");
    // The first contour graph of that name takes every contour; no other is added.
    int contourGraphs = 0;
    for (const auto& g : sim.project().graphs) contourGraphs += g.name == "Load Pull Data Contour Graph";
    EXPECT_EQ(contourGraphs, 2);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"),
              (std::vector<std::string>{"PoutGrid:LPCS[11,9,0.25]", "GainGrid:LPCS[4,2,0.25]",
                                        "EffGrid:LPCS[60,40,1.25]"}));
    int contours = 0;
    for (const auto& g : sim.project().graphs)
        if (g.name == "Load Pull Data Contour Graph") contours += static_cast<int>(g.measurements.size());
    EXPECT_EQ(contours, 3);
}

}  // namespace
