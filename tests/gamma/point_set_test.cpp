// The gamma point set: centre and radius, the moved grids, points of gamma
// measurements, and how the set is shown on "Load Pull Points".
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "gamma/gamma_point.h"
#include "gamma/predefined_grid.h"
#include "platform/automation/input_source.h"
#include "project/lpsetup.h"
#include "vexasim/host.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

class PointSetTest : public ::testing::Test {
protected:
    // A project with a measured-data and a tab-data gamma measurement; the
    // context holds the points graph and the two gamma lists, as after the scan.
    void Open(const Points& measured) {
        vexasim::ProjectBuilder(host)
            .Schematic("Amp").Element("LTUNER1")
            .Graph("Gamma", 2)
            .Measurement("Amp", "LPGPM1", 2).Points(measured)
            .Measurement("Amp", "LPGPT1", 2).Points({{0.1, 0.1}, {0.2, 0.2}, {0.3, 0.3}});
        setup->SetApplication(host.Application());
        ASSERT_EQ(0, setup->CreatePointsGraph());
        ASSERT_EQ(0, setup->ScanGammaSourceMeasurements());
        ASSERT_EQ(1u, setup->gammaMeasurements.size());
        host.ClearCalls();
    }

    void TearDown() override {
        setup.reset();
        EXPECT_EQ(0, host.ExternalReferences());
    }

    const vexasim::GraphData& PointsGraph() {
        for (const auto& g : host.project().graphs)
            if (g.name == "Load Pull Points") return g;
        throw std::runtime_error("no points graph");
    }

    std::vector<GammaPoint> Set() const {
        std::vector<GammaPoint> r;
        const GammaPointSet set(*setup);
        for (long i = 0; i < set.Count(); ++i) r.push_back(set[i]);
        return r;
    }

    static void ExpectPoint(double magnitude, double angleDeg, const GammaPoint& p) {
        EXPECT_DOUBLE_EQ(magnitude, p.magnitude);
        EXPECT_DOUBLE_EQ(angleDeg, p.angleDeg);
    }

    int GraphCalls() const {
        int n = 0;
        for (const auto& c : host.Calls()) n += c.rfind("Graph.", 0) == 0 || c.rfind("Measurements.", 0) == 0;
        return n;
    }

    vexasim::Host host;
    std::unique_ptr<LPSetup> setup = std::make_unique<LPSetup>();
    platform::RecordingInputSource input;
    platform::ScopedInputSource scoped{input};
};

TEST_F(PointSetTest, CenterRadiusIsCheckedStoredOnlyWhenChangedAndClearsTheFlags) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (auto bad : {std::vector<double>{-0.1, 0, 0.5}, {0.1, 0, 0.0499989}, {nan, 0, 0.5}, {0.1, 0, nan},
                     {0.1, inf, 0.5}, {inf, 0, 0.5}, {0.1, nan, 0.5}}) {
        EXPECT_EQ(E_FAIL, setup->SetCenterRadius(bad[0], bad[1], bad[2])) << bad[0] << " " << bad[1] << " " << bad[2];
        EXPECT_TRUE(setup->setupChanged && setup->centerRadiusChanged);
        EXPECT_EQ(0.95, setup->radius);
    }
    EXPECT_EQ(0, setup->SetCenterRadius(3.0, -720.0, 0.049999));  // no upper limit, no angle range
    EXPECT_EQ(3.0, setup->centerMagnitude);
    EXPECT_EQ(-720.0, setup->centerAngleDeg);
    EXPECT_EQ(0.049999, setup->radius);
    EXPECT_TRUE(setup->setupChanged && setup->centerRadiusChanged);

    EXPECT_EQ(0, setup->SetCenterRadius(3.0000009, -720.0000009, 0.0499999));
    EXPECT_EQ(3.0, setup->centerMagnitude);
    EXPECT_EQ(0.049999, setup->radius);
    EXPECT_FALSE(setup->setupChanged || setup->centerRadiusChanged);
}

TEST_F(PointSetTest, GridIsScaledAndMovedToTheCentre) {
    Open({});
    // Default centre and radius: the Coarse grid itself, angles folded into -180..180.
    ASSERT_EQ(0, setup->BuildGammaPoints(0));
    std::unique_ptr<double[]> mag, ang;
    ASSERT_EQ(61, MakePredefinedGrid(0, mag, ang));
    auto set = Set();
    ASSERT_EQ(61u, set.size());
    for (size_t i = 0; i < set.size(); ++i) {
        EXPECT_NEAR(mag[i], set[i].magnitude, 1e-15) << i;
        EXPECT_NEAR(ang[i] > 180 ? ang[i] - 360 : ang[i], set[i].angleDeg, 1e-12) << i;
    }
    EXPECT_NEAR(-15.0, set[23].angleDeg, 1e-12);
    EXPECT_EQ(0.0, set[60].angleDeg);

    ASSERT_EQ(0, setup->SetCenterRadius(0.5, 90.0, 0.2));
    ASSERT_EQ(0, setup->BuildGammaPoints(0));
    set = Set();
    ASSERT_EQ(61u, set.size());
    ExpectPoint(0.5385164807134505, 68.19859051364818, set[0]);
    ExpectPoint(0.5385164807134504, 111.80140948635182, set[12]);
    ExpectPoint(0.5, 90.0, set[60]);
    EXPECT_EQ(61, setup->pointCount);
    EXPECT_TRUE(setup->gammaSource == 0 && setup->pointSourceKind == 0);
    EXPECT_TRUE(setup->setupChanged && !setup->centerRadiusChanged);

    // Moved right by 0.5: the points now outside the chart drop out, the rest keep grid order.
    ASSERT_EQ(0, setup->SetCenterRadius(0.5, 0.0, 0.95));
    ASSERT_EQ(0, setup->BuildGammaPoints(3));
    std::vector<GammaPoint> expected;
    ASSERT_EQ(331, MakePredefinedGrid(3, mag, ang));
    for (int i = 0; i < 331; ++i) {
        const double x = 0.5 + mag[i] * std::cos(ang[i] * kPi / 180), y = mag[i] * std::sin(ang[i] * kPi / 180);
        if (std::hypot(x, y) < 0.950001) expected.push_back({std::hypot(x, y), std::atan2(y, x) * 180 / kPi});
    }
    set = Set();
    ASSERT_EQ(expected.size(), set.size());
    ASSERT_LT(set.size(), 331u);
    for (size_t i = 0; i < set.size(); ++i) {
        EXPECT_NEAR(expected[i].magnitude, set[i].magnitude, 1e-12) << i;
        EXPECT_NEAR(expected[i].angleDeg, set[i].angleDeg, 1e-9) << i;
    }

    // What the user sees on the points graph: each point of the set, numbered
    // from 1, as red symbols without a line between them.
    const auto& shown = PointsGraph().measurements.at(0);
    EXPECT_EQ("Tuner Impedances:API", shown.DisplayName());
    ASSERT_EQ(set.size(), shown.points.size());
    for (size_t i = 0; i < set.size(); ++i) {
        EXPECT_EQ(double(i + 1), shown.xValues.at(i));
        EXPECT_NEAR(std::polar(set[i].magnitude, set[i].angleDeg * kPi / 180).real(), shown.points[i].first, 1e-15);
        EXPECT_NEAR(std::polar(set[i].magnitude, set[i].angleDeg * kPi / 180).imag(), shown.points[i].second, 1e-15);
    }
    const auto& t = shown.trace;
    EXPECT_EQ(std::make_tuple(false, true, 255L, 11L, 5L, 1L),
              std::make_tuple(t.lineVisible, t.symbolsVisible, t.color, t.symbolSize, t.symbolStyle, t.lineWidth));
}

TEST_F(PointSetTest, RepeatedBuildWithNothingChangedDoesNothing) {
    Open({{0.1, 0.0}, {0.0, 0.1}, {-0.1, 0.0}});
    ASSERT_EQ(0, setup->SetSelectedGammaMeasurement(0));  // clears gammaMeasurementChanged
    for (long source : {2L, 4L}) {
        ASSERT_EQ(0, setup->BuildGammaPoints(source));
        const auto before = Set().size();
        host.ClearCalls();
        EXPECT_EQ(0, setup->BuildGammaPoints(source));
        EXPECT_TRUE(host.Calls().empty()) << source;
        EXPECT_FALSE(setup->setupChanged);
        EXPECT_EQ(before, Set().size());
    }
    // Same centre and radius again: still nothing to do for the grid.
    ASSERT_EQ(0, setup->BuildGammaPoints(2));
    ASSERT_EQ(0, setup->SetCenterRadius(0.0, 0.0, 0.9500001));
    host.ClearCalls();
    EXPECT_EQ(0, setup->BuildGammaPoints(2));
    EXPECT_TRUE(host.Calls().empty());
    // A changed centre, or another density, rebuilds and shows again.
    ASSERT_EQ(0, setup->SetCenterRadius(0.1, 0.0, 0.5));
    EXPECT_EQ(0, setup->BuildGammaPoints(2));
    EXPECT_TRUE(setup->setupChanged);
    EXPECT_EQ(0, setup->BuildGammaPoints(1));
    EXPECT_EQ(2, host.CallCount("Simulator.Analyze"));
}

TEST_F(PointSetTest, TooFewPointsStopWithoutTouchingTheGraph) {
    Open({});
    ASSERT_EQ(0, setup->BuildGammaPoints(0));
    host.ClearCalls();
    ASSERT_EQ(0, setup->SetCenterRadius(2.0, 0.0, 0.05));
    EXPECT_EQ(1, setup->BuildGammaPoints(0));
    EXPECT_EQ(0, GraphCalls());
    EXPECT_EQ(0, setup->pointCount);
    EXPECT_FALSE(setup->setupChanged);
    EXPECT_EQ(61u, PointsGraph().measurements.at(0).points.size());  // the previous set stays shown
    // Asking again is not "nothing to do": the short set is built again and refused again.
    EXPECT_EQ(1, setup->BuildGammaPoints(0));
    EXPECT_TRUE(input.boxes.empty());
}

TEST_F(PointSetTest, MeasuredPointsAreConvertedAndFiltered) {
    Open({{0.5, 0.5}, {-0.3, 0.0}, {0.0, -0.2}, {-0.0, -0.2}, {-5e-7, 0.2}, {0.950001, 0.0}, {0.9500009, 0.0}});
    long count = -1;
    std::unique_ptr<double[]> mag, ang;
    ASSERT_EQ(0, setup->ReadMeasurementPoints(1, count, mag, ang));
    ASSERT_EQ(7, count);
    ExpectPoint(0.7071067811865476, 45.0, {mag[0], ang[0]});
    ExpectPoint(0.3, 180.0, {mag[1], ang[1]});
    ExpectPoint(0.2, -89.99971352110245, {mag[2], ang[2]});
    ExpectPoint(0.2, -89.99971352110245, {mag[3], ang[3]});  // -0.0 is guarded like +0
    ExpectPoint(std::hypot(5e-7, 0.2), 90.00028647889755, {mag[4], ang[4]});  // -5e-7 taken as -1e-6

    // Before any grid the points are built but the build fails: there is no density.
    EXPECT_EQ(E_FAIL, setup->BuildGammaPoints(4));
    EXPECT_EQ(6u, setup->pointMagnitudes.size());
    EXPECT_EQ(0, GraphCalls());

    ASSERT_EQ(0, setup->BuildGammaPoints(1));
    ASSERT_EQ(0, setup->BuildGammaPoints(4));
    const auto set = Set();
    ASSERT_EQ(6u, set.size());  // 0.950001 dropped, 0.9500009 kept, order kept
    EXPECT_EQ(0.9500009, set[5].magnitude);
    ExpectPoint(0.7071067811865476, 45.0, set[0]);
    EXPECT_TRUE(setup->pointSourceKind == 1 && setup->gammaSource == 1 && setup->gammaMeasurementChanged);
    EXPECT_EQ(6u, PointsGraph().measurements.at(0).points.size());
    ASSERT_EQ(0, setup->BuildGammaPoints(5));
    EXPECT_EQ(2, setup->pointSourceKind);
    EXPECT_EQ(3, setup->pointCount);
}

TEST_F(PointSetTest, UnusableMeasurementsAreRefused) {
    Open({{0.1, 0.1}, {0.2, 0.2}});
    long count = -1;
    auto mag = std::make_unique<double[]>(1), ang = std::make_unique<double[]>(1);
    EXPECT_EQ(E_FAIL, setup->ReadMeasurementPoints(3, count, mag, ang));
    EXPECT_TRUE(mag && ang);  // nothing written for an unknown kind
    EXPECT_EQ(1, setup->ReadMeasurementPoints(1, count, mag, ang));
    EXPECT_TRUE(!mag && !ang);
    EXPECT_EQ(-1, count);
    ASSERT_EQ(0, setup->BuildGammaPoints(0));
    EXPECT_EQ(1, setup->BuildGammaPoints(4));
    EXPECT_TRUE(setup->pointMagnitudes.empty());
    EXPECT_EQ(0, setup->pointSourceKind);

    // A real-valued measurement cannot hold gamma points.
    auto& measured = host.project().graphs.at(0).measurements.at(0);
    measured.points.push_back({0.3, 0.3});
    measured.resultType = 1;
    mag = std::make_unique<double[]>(1);
    EXPECT_EQ(E_FAIL, setup->ReadMeasurementPoints(1, count, mag, ang));
    EXPECT_TRUE(!mag && !ang);
    EXPECT_EQ(E_FAIL, setup->BuildGammaPoints(4));
    EXPECT_TRUE(input.boxes.empty());

    // An index past the list is a missing measurement, not a read out of bounds.
    setup->selectedGammaMeasurement = 5;
    EXPECT_EQ(E_POINTER, setup->BuildGammaPoints(4));
    ASSERT_EQ(1u, input.boxes.size());
    EXPECT_EQ("Tessary", input.boxes[0].caption);
    EXPECT_EQ("", input.boxes[0].text);
}

TEST_F(PointSetTest, HostFailuresAreShownAndReturned) {
    Open({{0.1, 0.1}, {0.2, 0.2}, {0.3, 0.3}});
    struct Fault {
        const char* call;
        char kind;  // 'f' failure, 's' S_FALSE, 'n' null
        long source;
        long expected;
    };
    const HRESULT denied = E_ACCESSDENIED;
    for (const Fault& f : {Fault{"Measurements.RemoveAll", 'f', 0, denied}, {"Measurements.RemoveAll", 's', 0, 1},
                           {"Measurement.SetSize", 's', 0, 1}, {"Measurements.Add", 'n', 0, E_FAIL},
                           {"Graph.Traces", 'n', 0, E_FAIL}, {"Traces.Item", 'n', 0, E_FAIL},
                           {"Trace.put_Color", 'f', 0, denied}, {"Simulator.Analyze", 'f', 0, denied},
                           {"Simulator.Analyze", 's', 0, 1}, {"Measurement.Value", 'f', 4, denied},
                           {"Application.Project", 'n', 0, E_POINTER}}) {
        SCOPED_TRACE(std::string(f.call) + " " + f.kind);
        input.boxes.clear();
        setup->centerRadiusChanged = setup->gammaMeasurementChanged = true;
        if (f.kind == 'f') host.InjectFailure(f.call, 0, denied, "no access");
        if (f.kind == 's') host.InjectStop(f.call, 0);
        if (f.kind == 'n') host.InjectNull(f.call, 0);
        EXPECT_EQ(f.expected, setup->BuildGammaPoints(f.source));
        host.ClearFaults();
        EXPECT_FALSE(setup->setupChanged);
        EXPECT_EQ(0, setup->pointCount);
        if (f.expected < 0 && f.expected != E_FAIL) {
            ASSERT_EQ(1u, input.boxes.size());
            EXPECT_EQ("Tessary", input.boxes[0].caption);
            EXPECT_EQ(f.expected == denied ? "no access" : "", input.boxes[0].text);
            EXPECT_EQ(UINT(MB_OK), input.boxes[0].flags);
            EXPECT_EQ(nullptr, input.boxes[0].owner);
        } else {
            EXPECT_TRUE(input.boxes.empty());
        }
        // The failed build is not taken as current: asking again builds and shows it.
        EXPECT_EQ(0, setup->BuildGammaPoints(f.source));
        EXPECT_TRUE(setup->setupChanged);
    }
    setup->pointsGraph.reset();
    setup->centerRadiusChanged = true;
    EXPECT_EQ(E_FAIL, setup->BuildGammaPoints(0));
    EXPECT_EQ(E_FAIL, setup->BuildGammaPoints(-1));
    EXPECT_EQ(E_FAIL, setup->BuildGammaPoints(6));
}

}  // namespace
