#include "interp/thin_plate_spline_method.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "interp/gauss_jordan.h"
#include "interp/interpolator_holder.h"
#include "ring_layout.h"

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void AddRings(K_InterpMethod& m, int rings, double (*z)(double, double)) {
    for (const auto& p : ringlayout::Rings(rings)) m.AddPoint(p.x, p.y, z(p.x, p.y));
}

TEST(Tps, KernelAndTheUnitSquare) {
    EXPECT_EQ(ThinPlateKernel(1.0), 0.0);
    EXPECT_EQ(ThinPlateKernel(0.0), 0.0);
    EXPECT_EQ(ThinPlateKernel(-2.0), 0.0);
    EXPECT_DOUBLE_EQ(ThinPlateKernel(2.0), 4.0 * std::log(4.0));

    const double corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}};
    K_ThinPlateSplineMethod tps;
    for (const auto& c : corners) tps.AddPoint(c[0], c[1], c[2]);
    for (const auto& c : corners) EXPECT_NEAR(tps.Interpolate(c[0], c[1]), c[2], 1e-12);
    EXPECT_NEAR(tps.Interpolate(0.5, 0.5), 0.25, 1e-12);
}

TEST(Tps, ReproducesAPlaneWithZeroWeights) {
    K_ThinPlateSplineMethod tps;
    AddRings(tps, 3, [](double x, double y) { return 2.0 + 3.0 * x - y; });
    for (double x : {-0.9, -0.3, 0.0, 0.41, 0.95}) {
        for (double y : {-0.7, 0.0, 0.2, 0.8}) {
            EXPECT_NEAR(tps.Interpolate(x, y), 2.0 + 3.0 * x - y, 1e-10) << x << ", " << y;
        }
    }
    for (double w : tps.Weights()) EXPECT_NEAR(w, 0.0, 1e-10);
}

TEST(Tps, NormalisesToTheSamplesExtent) {
    K_ThinPlateSplineMethod tps;
    tps.AddPoint(-0.5, 0.0, 1.0);
    tps.AddPoint(0.5, 1.0, 2.0);
    tps.AddPoint(0.0, 2.0, 3.0);
    tps.AddPoint(0.25, 0.5, 0.0);
    tps.Interpolate(0.0, 0.0);
    EXPECT_EQ(tps.XMin(), -0.5);
    EXPECT_EQ(tps.XScale(), 1.0);
    EXPECT_EQ(tps.YMax(), 2.0);
    EXPECT_EQ(tps.YScale(), 0.5);
    EXPECT_EQ(tps.NodeX()[0], 0.0);
    EXPECT_EQ(tps.NodeY()[0], 0.0);
    EXPECT_EQ(tps.NodeX()[3], 0.75);
    EXPECT_EQ(tps.NodeY()[3], 0.25);
}

TEST(Tps, SolvesOncePerChangeOfTheSamples) {
    K_ThinPlateSplineMethod tps;
    AddRings(tps, 2, ringlayout::Surface);
    EXPECT_EQ(tps.SolveCount(), 0);
    const double first = tps.Interpolate(0.1, 0.2);
    tps.Interpolate(-0.3, 0.4);
    EXPECT_EQ(tps.SolveCount(), 1);

    // The smoothing value alone does not trigger a solve.
    tps.SetDoubleParam(0, 0.5);
    EXPECT_TRUE(SameBits(tps.Interpolate(0.1, 0.2), first));
    EXPECT_EQ(tps.SolveCount(), 1);

    // A new sample does, once; the smoothing value now applies.
    tps.AddPoint(0.33, -0.21, 1.0);
    EXPECT_TRUE(tps.FitStale());
    // With smoothing the spline no longer passes through its samples.
    EXPECT_GT(std::fabs(tps.Interpolate(0.33, -0.21) - 1.0), 1e-6);
    tps.Interpolate(0.2, 0.2);
    EXPECT_EQ(tps.SolveCount(), 2);
    EXPECT_FALSE(tps.FitStale());
}

TEST(Tps, FailedSolvesGiveNaNAndRecoverWhenSamplesChange) {
    K_ThinPlateSplineMethod tps;
    // No samples: NaN, without touching sample 0.
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.0, 0.0)));
    EXPECT_FALSE(tps.FitValid());

    // All on one x: the scale is infinite and the kernel singular.
    tps.AddPoint(0.2, 0.0, 1.0);
    tps.AddPoint(0.2, 0.37, 2.0);
    tps.AddPoint(0.2, 1.0, 3.0);
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.2, 0.37)));
    EXPECT_FALSE(tps.FitValid());
    EXPECT_TRUE(tps.FitStale());
    EXPECT_EQ(tps.XScale(), HUGE_VAL);
    EXPECT_EQ(tps.Affine()[0], 0.0);  // nothing solved yet
    // Still stale, so each call tries again.
    tps.Interpolate(0.2, 0.37);
    EXPECT_EQ(tps.SolveCount(), 3);  // the empty one counted too

    tps.AddPoint(0.7, 0.55, 4.0);
    EXPECT_NEAR(tps.Interpolate(0.7, 0.55), 4.0, 1e-12);
    EXPECT_NEAR(tps.Interpolate(0.2, 1.0), 3.0, 1e-12);
    EXPECT_TRUE(tps.FitValid());

    // A singular solve after a good one keeps the last affine part.
    const double a0 = tps.Affine()[0];
    tps.ClearPoints();
    tps.AddPoint(0.1, 0.3, 1.0);
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.1, 0.3)));
    EXPECT_EQ(tps.Affine()[0], a0);
    tps.ClearPoints();
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.1, 0.3)));
}

// Measurements sampled at the same gamma points share one kernel inversion
// and get exactly what a spline solving alone gets.
TEST(Tps, SplinesOnTheSameNodesShareOneInversion) {
    auto second = [](double x, double y) { return std::cos(4.0 * x * y) - y; };
    const long before = K_ThinPlateSplineMethod::KernelInversionCount();
    std::vector<double> shared;
    {
        std::vector<InterpolatorHolder> holders(3);
        for (const auto& p : ringlayout::Rings(4)) {
            holders[0].AddPoint(p.x, p.y, ringlayout::Surface(p.x, p.y));
            holders[1].AddPoint(p.x, p.y, second(p.x, p.y));
            holders[2].AddPoint(p.x, p.y, p.x * p.x);
        }
        for (auto& h : holders) shared.push_back(h.Interpolate(0.123, -0.456));
        EXPECT_EQ(K_ThinPlateSplineMethod::KernelInversionCount(), before + 1);
    }
    // The second measurement alone (the shared inverse died with the holders
    // above): a fresh inversion, the same bits.
    K_ThinPlateSplineMethod alone;
    for (const auto& p : ringlayout::Rings(4)) alone.AddPoint(p.x, p.y, second(p.x, p.y));
    EXPECT_TRUE(SameBits(alone.Interpolate(0.123, -0.456), shared[1]));
    EXPECT_EQ(K_ThinPlateSplineMethod::KernelInversionCount(), before + 2);

    // A moved node, or another smoothing value, is another kernel.
    K_ThinPlateSplineMethod moved;
    AddRings(moved, 4, ringlayout::Surface);
    moved.AddPoint(0.0, 1e-9, 1.0);
    moved.Interpolate(0.0, 0.0);
    EXPECT_EQ(K_ThinPlateSplineMethod::KernelInversionCount(), before + 3);
    K_ThinPlateSplineMethod smoothed;
    smoothed.SetDoubleParam(0, 1e-3);
    AddRings(smoothed, 4, ringlayout::Surface);
    smoothed.AddPoint(0.0, 1e-9, 1.0);
    smoothed.Interpolate(0.0, 0.0);
    EXPECT_EQ(K_ThinPlateSplineMethod::KernelInversionCount(), before + 4);
}

// Samples on one slanted line: the kernel matrix of their nodes is invertible,
// but the border matrix P^T K^-1 P is not (its x and y columns are the same).
// The fit fails as a whole, stays stale, and keeps the last affine part.
TEST(Tps, SingularBorderMatrixLeavesNoFit) {
    const double nodes[3] = {0.0, 0.5, 1.0};  // normalised: (0,0), (0.5,0.5), (1,1)
    RowMatrix k(3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            k[i][j] = i == j ? 0.0 : ThinPlateKernel(std::sqrt(2.0) * std::fabs(nodes[i] - nodes[j]));
    ASSERT_TRUE(GaussJordanInvert(k.Rows(), 3));

    K_ThinPlateSplineMethod tps;
    AddRings(tps, 2, ringlayout::Surface);
    tps.Interpolate(0.0, 0.0);
    ASSERT_TRUE(tps.FitValid());
    const double affine[3] = {tps.Affine()[0], tps.Affine()[1], tps.Affine()[2]};

    tps.ClearPoints();
    for (double t : nodes) tps.AddPoint(t, t - 0.5, 1.0 + t);
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.7, 0.1)));
    EXPECT_TRUE(std::isnan(tps.Interpolate(0.5, 0.0)));  // not even at a sample
    EXPECT_FALSE(tps.FitValid());
    EXPECT_TRUE(tps.FitStale());
    EXPECT_EQ(tps.NodeX()[1], 0.5);  // the normalisation is the new one
    for (int q = 0; q < 3; ++q) EXPECT_TRUE(SameBits(tps.Affine()[q], affine[q])) << q;
}

// Two splines over the same nodes may share the kernel's inverse. When one of
// them changes its samples (new values at the same nodes, or new nodes), the
// other keeps its fit and its values bit for bit, without solving again.
TEST(Tps, ASplineSharingItsKernelIsUnaffectedByTheOthersChange) {
    const auto points = ringlayout::Rings(3);
    K_ThinPlateSplineMethod a, b;
    for (const auto& p : points) {
        a.AddPoint(p.x, p.y, ringlayout::Surface(p.x, p.y));
        b.AddPoint(p.x, p.y, p.x - 2.0 * p.y);
    }
    const double probes[3][2] = {{0.1, 0.2}, {-0.5, 0.3}, {0.77, -0.61}};
    std::vector<double> before;
    for (const auto& q : probes) {
        a.Interpolate(q[0], q[1]);
        before.push_back(b.Interpolate(q[0], q[1]));
    }

    // a: other values at the same nodes, then a node more.
    a.ClearPoints();
    for (const auto& p : points) a.AddPoint(p.x, p.y, p.x * p.y);
    EXPECT_NEAR(a.Interpolate(points[5].x, points[5].y), points[5].x * points[5].y, 1e-12);
    a.AddPoint(0.05, 0.07, 3.0);
    EXPECT_NEAR(a.Interpolate(0.05, 0.07), 3.0, 1e-12);

    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(SameBits(b.Interpolate(probes[i][0], probes[i][1]), before[i])) << i;
    EXPECT_EQ(b.SolveCount(), 1);
    EXPECT_TRUE(b.FitValid());
}

// The value is the plain sum of the definition, in order, bit for bit.
TEST(Tps, EvaluationIsThePlainSum) {
    K_ThinPlateSplineMethod tps;
    AddRings(tps, 3, ringlayout::Surface);
    tps.Interpolate(0.0, 0.0);
    const double* a = tps.Affine();
    for (const double x : {-0.8, 0.0, 0.123, 0.95}) {
        const double y = 0.6 - x;
        const double xn = (x - tps.XMin()) * tps.XScale();
        const double yn = (y - tps.YMin()) * tps.YScale();
        double f = (yn * a[2] + xn * a[1]) + a[0];
        for (std::size_t i = 0; i < tps.Weights().size(); ++i) {
            const double dx = xn - tps.NodeX()[i], dy = yn - tps.NodeY()[i];
            f = f + tps.Weights()[i] * ThinPlateKernel(std::sqrt(dx * dx + dy * dy));
        }
        EXPECT_TRUE(SameBits(tps.Interpolate(x, y), f)) << x;
    }
}

// Regression: the 18-ring layout (1027 samples) reproduces every sample to
// within 1e-9 of the largest |z| (elimination with partial pivoting loses
// about five digits here).
TEST(Tps, EighteenRingLayoutReproducesItsSamples) {
    const auto points = ringlayout::Rings(18);
    ASSERT_EQ(points.size(), 1027u);
    K_ThinPlateSplineMethod tps;
    double largest = 0.0;
    for (const auto& p : points) {
        const double z = ringlayout::Surface(p.x, p.y);
        tps.AddPoint(p.x, p.y, z);
        largest = std::max(largest, std::fabs(z));
    }
    double worst = 0.0;
    for (const auto& p : points) {
        worst = std::max(worst, std::fabs(tps.Interpolate(p.x, p.y) - ringlayout::Surface(p.x, p.y)));
    }
    EXPECT_TRUE(tps.FitValid());
    EXPECT_EQ(tps.SolveCount(), 1);
    EXPECT_LE(worst, 1e-9 * largest);
    // Between the samples it follows the surface closely.
    EXPECT_NEAR(tps.Interpolate(0.31, -0.27), ringlayout::Surface(0.31, -0.27), 1e-5);
}

}  // namespace
