// A whole sweep: two measurements with known values over the gamma plane, a
// Medium grid, the data files, the contour graph and what the project is left with.
#include <algorithm>

#include "interp/thin_plate_spline_method.h"
#include "sweep/contour_grid.h"
#include "sweep_fixture.h"

namespace {

const SweepTest::Gamma kPeak(0.4, 0.2);
constexpr double kPeakValue = 12.6;
constexpr double kCurvature = 6.2;

double Paraboloid(SweepTest::Gamma g) { return kPeakValue - kCurvature * std::norm(g - kPeak); }

TEST_F(SweepTest, SweepWritesContourDataAndGraphAndRestoresTheProject) {
    AddMeasurement("Pout", Paraboloid);
    AddMeasurement("Bias", [](Gamma) { return -3.7; });
    LPSetup& s = Prepare({{"Amp:Pout", "PoutGrid"}, {"Amp:Bias", "BiasGrid"}});
    const int analysesBefore = sim.AnalyzeCount();
    const long inversionsBefore = K_ThinPlateSplineMethod::KernelInversionCount();

    // The constant measurement makes the result 1; the sweep itself completed.
    EXPECT_EQ(s.RunSweep(), 1);
    EXPECT_TRUE(input.boxes.empty());
    EXPECT_EQ(sim.AnalyzeCount() - analysesBefore, s.pointCount + 2);
    // The two splines share their nodes, and so one kernel inversion.
    EXPECT_EQ(K_ThinPlateSplineMethod::KernelInversionCount() - inversionsBefore, 1);
    EXPECT_EQ(s.selectedMeasurementIndices, (std::vector<long>{0, 1}));

    // Two data files, created with the generated file names.
    ASSERT_EQ(sim.project().dataFiles.size(), 2u);
    const auto& pout = sim.project().dataFiles[0];
    EXPECT_EQ(pout.name, "PoutGrid");
    EXPECT_EQ(pout.fileName, "QuindleIsAHack0.txt");
    EXPECT_EQ(pout.flag, -1);
    EXPECT_EQ(pout.type, 3);
    EXPECT_EQ(sim.project().dataFiles[1].fileName, "QuindleIsAHack1.txt");

    // Inside the sampled disk the grid follows the function to 1 % of its range
    // there, and its largest value is within one grid step of the peak; rows run
    // from Im = -1 upwards, columns from Re = -1 to the right.
    const std::vector<double> values = GridValues("PoutGrid");
    ASSERT_EQ(values.size(), static_cast<std::size_t>(contour::kGridValues));
    const double range = kCurvature * std::pow(0.95 + std::abs(kPeak), 2);
    double worst = 0.0;
    std::size_t top = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const Gamma g(contour::Coordinate(static_cast<int>(k % 41)), contour::Coordinate(static_cast<int>(k / 41)));
        if (std::abs(g) <= 0.95) worst = std::max(worst, std::abs(values[k] - Paraboloid(g)));
        if (values[k] > values[top]) top = k;
    }
    EXPECT_LT(worst, 0.01 * range);
    const Gamma peak(contour::Coordinate(static_cast<int>(top % 41)), contour::Coordinate(static_cast<int>(top / 41)));
    EXPECT_LE(std::abs(peak - kPeak), 0.05 + 1e-12) << peak;

    for (double v : GridValues("BiasGrid")) ASSERT_EQ(v, -3.7);

    // Contours on their own graph, one per data file, levels from the sampled
    // extremes (the constant one with the maximum's floor of 1e-9: top 1).
    const auto* contours = FindGraph("Load Pull Data Contour Graph");
    ASSERT_NE(contours, nullptr);
    EXPECT_EQ(contours->type, 2);
    EXPECT_EQ(MeasurementsOf("Load Pull Data Contour Graph"),
              (std::vector<std::string>{"PoutGrid:LPCS[13,0,0.75]", "BiasGrid:LPCS[1,-3,0.25]"}));
    for (const auto& m : contours->measurements) {
        EXPECT_TRUE(m.trace.lineVisible);
        EXPECT_FALSE(m.trace.symbolsVisible);
    }

    // The tuner is back where it was, the points graph is gone, the variables stay bound.
    EXPECT_EQ(TunerValue(0), kStartMag);
    EXPECT_EQ(TunerValue(1), kStartAng);
    EXPECT_EQ(FindGraph("Load Pull Points"), nullptr);
    EXPECT_EQ(sim.project().variables.count("TMag"), 1u);
    EXPECT_EQ(sim.project().variables.count("TAng"), 1u);
    EXPECT_FALSE(s.setupChanged);

    // Simulate again without a change: nothing happens, not even a host call.
    sim.ClearCalls();
    EXPECT_EQ(s.RunSweep(), 0);
    EXPECT_TRUE(sim.Calls().empty());
}

}  // namespace
