// Two sweeps at once: two wizard objects in two apartments fit their splines on
// two threads, over the same gamma points and over different ones, so that the
// process-wide shared kernel is reused, replaced and released from both threads
// at the same time. Every value must be bit for bit what a spline solving alone
// gets. The ThreadSanitizer build (scripts/ci-tsan) runs this test too and fails
// on any data race.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "interp/interpolator_holder.h"
#include "interp/thin_plate_spline_method.h"
#include "tests/interp/ring_layout.h"

namespace {

constexpr int kMeasurements = 3;

double Measured(int measurement, double x, double y) {
    return ringlayout::Surface(x, y) * (measurement + 1) + std::cos(3.0 * y) * measurement;
}

// One sweep's fits: the measurements over the rings, read on a small grid.
std::vector<double> SweepFits(int rings) {
    std::vector<InterpolatorHolder> holders(kMeasurements);
    for (const auto& p : ringlayout::Rings(rings))
        for (int m = 0; m < kMeasurements; ++m) holders[static_cast<size_t>(m)].AddPoint(p.x, p.y, Measured(m, p.x, p.y));
    std::vector<double> values;
    for (auto& h : holders)
        for (int i = -3; i <= 3; ++i)
            for (int j = -3; j <= 3; ++j) values.push_back(h.Interpolate(0.25 * i, 0.25 * j));
    return values;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(SharedKernelThreads, TwoSweepsFitAtOnceAndGetWhatEachGetsAlone) {
    const std::vector<double> alone3 = SweepFits(3);
    const std::vector<double> alone4 = SweepFits(4);
    ASSERT_FALSE(std::isnan(alone3[0]));
    const long before = K_ThinPlateSplineMethod::KernelInversionCount();

    // Thread A alternates its grid, thread B keeps one: the shared kernel is
    // matched, rebuilt and dropped from both sides while the other works.
    constexpr int kRounds = 12;
    int wrongA = 0;
    int wrongB = 0;
    std::thread a([&] {
        for (int r = 0; r < kRounds; ++r) {
            const int rings = r % 2 ? 4 : 3;
            if (!SameBits(SweepFits(rings), rings == 4 ? alone4 : alone3)) ++wrongA;
        }
    });
    std::thread b([&] {
        for (int r = 0; r < kRounds; ++r)
            if (!SameBits(SweepFits(3), alone3)) ++wrongB;
    });
    a.join();
    b.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    // Sharing still works across the threads' interleaving: fewer inversions
    // than one per spline (the other thread may replace the slot between two
    // measurements of a sweep, so a sweep may invert more than once).
    const long inversions = K_ThinPlateSplineMethod::KernelInversionCount() - before;
    EXPECT_GE(inversions, 1);
    EXPECT_LT(inversions, kMeasurements * 2 * kRounds);
}

}  // namespace
