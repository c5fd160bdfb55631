// The simulated region, the maximum taken inside it, and the spline's leave-one-out
// error checked against refits of the wizard's own spline.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "interp/thin_plate_spline_method.h"
#include "vexasim/report/leave_one_out.h"
#include "vexasim/report/region.h"
#include "vexasim/report/run_results.h"

namespace {

using vexasim::GammaPoint;

TEST(SimulatedRegion, IsTheConvexHullOfThePoints) {
    // A 5 x 5 square lattice: points on the edges and inside are not vertices.
    std::vector<GammaPoint> lattice;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) lattice.push_back({-0.2 + 0.1 * i, 0.3 + 0.1 * j});
    lattice.push_back({NAN, 0.0});  // left out
    vexasim::Region r = vexasim::Region::Hull(lattice);
    ASSERT_FALSE(r.Empty());
    EXPECT_EQ(r.Vertices().size(), 4u);
    EXPECT_TRUE(r.Contains(0.0, 0.5));
    EXPECT_TRUE(r.Contains(0.2, 0.7));  // a corner
    EXPECT_FALSE(r.Contains(0.21, 0.5));
    EXPECT_FALSE(r.Contains(0.0, 0.0));
    EXPECT_NEAR(r.DepthOf(0.0, 0.5), 0.2, 1e-12);
    EXPECT_NEAR(r.DepthOf(-0.2, 0.45), 0.0, 1e-12);
    // Points on one line, or too few, cover no region.
    EXPECT_TRUE(vexasim::Region::Hull({{0, 0}, {0.1, 0.1}, {0.2, 0.2}, {0.3, 0.3}}).Empty());
    EXPECT_TRUE(vexasim::Region::Hull({{0, 0}, {0.1, 0.1}}).Empty());
    EXPECT_FALSE(r.Contains(NAN, 0.5));
}

// A grid rising towards +re everywhere: inside a region around the centre its
// maximum is on the region's right edge, and the grid rises across it.
TEST(SimulatedRegion, MaximaAreTakenInsideAndAnEdgeMaximumIsTold) {
    vexasim::ContourGrid rising, peak;
    for (int r = 0; r < vexasim::ContourGrid::kSize; ++r)
        for (int q = 0; q < vexasim::ContourGrid::kSize; ++q) {
            const double x = vexasim::ContourGrid::Coordinate(q), y = vexasim::ContourGrid::Coordinate(r);
            rising.values.push_back(10.0 * x);
            peak.values.push_back(5.0 - (x - 0.1) * (x - 0.1) - y * y);
        }
    const vexasim::Region region = vexasim::Region::Hull({{-0.3, -0.3}, {0.3, -0.3}, {0.3, 0.3}, {-0.3, 0.3}});
    bool onEdge = false;
    vexasim::GridMax m = vexasim::RegionMaximum(rising, region, onEdge);
    ASSERT_TRUE(m.found);
    EXPECT_NEAR(m.re, 0.3, 1e-9);
    EXPECT_NEAR(m.value, 3.0, 1e-9);
    EXPECT_TRUE(region.Contains(m.re, m.im));
    EXPECT_TRUE(onEdge);
    m = vexasim::RegionMaximum(peak, region, onEdge);
    EXPECT_NEAR(m.re, 0.1, 1e-9);
    EXPECT_NEAR(m.im, 0.0, 1e-9);
    EXPECT_FALSE(onEdge);
    // Without a region, the whole unit circle as before.
    m = vexasim::RegionMaximum(rising, vexasim::Region(), onEdge);
    EXPECT_NEAR(m.re, 1.0, 1e-9);
    EXPECT_FALSE(onEdge);
}

double Surface(double x, double y) { return 30 + 8 * std::sin(2.1 * x + 0.4) * std::cos(1.7 * y) + 3 * x * y; }

TEST(LeaveOneOut, ClosedFormEqualsRefitsOfTheWizardsSpline) {
    // 20 points: the four corners of the square attain every extreme twice, so the
    // spline refitted without any one point keeps the scaling of the whole set.
    std::vector<GammaPoint> points = {{-0.6, -0.5}, {0.6, -0.5}, {0.6, 0.5}, {-0.6, 0.5}};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(-0.45, 0.45);
    while (points.size() < 20) points.push_back({u(random), u(random)});
    std::vector<double> z;
    for (const GammaPoint& p : points) z.push_back(Surface(p.re, p.im));

    const vexasim::LeaveOneOut loo(points);
    ASSERT_TRUE(loo.Valid());
    const std::vector<double> e = loo.Errors(z);
    ASSERT_EQ(e.size(), points.size());
    double largest = 0;
    for (size_t k = 0; k < points.size(); ++k) {
        K_ThinPlateSplineMethod refit;
        for (size_t j = 0; j < points.size(); ++j)
            if (j != k) refit.AddPoint(points[j].re, points[j].im, z[j]);
        const double brute = z[k] - refit.Interpolate(points[k].re, points[k].im);
        EXPECT_NEAR(e[k], brute, 1e-9 * std::fabs(brute)) << k;
        largest = std::fmax(largest, std::fabs(brute));
    }
    EXPECT_GT(largest, 1e-3);  // the surface is not one the spline reproduces

    const vexasim::LooStats s = vexasim::SummariseErrors(e, points);
    EXPECT_EQ(s.count, 20);
    EXPECT_NEAR(std::fabs(s.largest), largest, 1e-9 * largest);
    double squares = 0;
    for (double v : e) squares += v * v;
    EXPECT_NEAR(s.rms, std::sqrt(squares / 20), 1e-12);

    // An affine surface is reproduced exactly: no error anywhere.
    std::vector<double> plane;
    for (const GammaPoint& p : points) plane.push_back(2 + 3 * p.re - p.im);
    for (double v : loo.Errors(plane)) EXPECT_NEAR(v, 0.0, 1e-9);
}

TEST(LeaveOneOut, RepeatedPointsNonFiniteValuesAndLinesGiveNoNumbers) {
    std::vector<GammaPoint> points = {{0, 0}, {0.5, 0}, {0, 0.5}, {0.5, 0.5}, {0.2, 0.3}, {0.5, 0}};
    const vexasim::LeaveOneOut loo(points);
    ASSERT_TRUE(loo.Valid());
    std::vector<double> z = {1, 2, 3, 4, 9, 7};
    std::vector<double> e = loo.Errors(z);
    EXPECT_TRUE(std::isnan(e[5]));  // the spline keeps the first sample at a place
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(std::isfinite(e[k])) << k;
    z[2] = NAN;
    for (double v : loo.Errors(z)) EXPECT_TRUE(std::isnan(v));
    EXPECT_FALSE(vexasim::LeaveOneOut({{0, 0}, {0.1, 0.1}, {0.2, 0.2}, {0.4, 0.4}}).Valid());
    EXPECT_EQ(vexasim::SummariseErrors(vexasim::LeaveOneOut({{0, 0}, {1, 1}}).Errors({1, 2}), points).count, 0);
}

}  // namespace
