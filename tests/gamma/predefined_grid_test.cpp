#include "gamma/predefined_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The rule written out independently: exact value, printed with six decimals,
// parsed back.
double SixDecimals(double exact) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", exact);
    return std::strtod(text, nullptr);
}

struct Grid {
    long count = 0;
    std::unique_ptr<double[]> mag;
    std::unique_ptr<double[]> ang;
};

Grid Make(long density) {
    Grid g;
    g.count = MakePredefinedGrid(density, g.mag, g.ang);
    return g;
}

TEST(PredefinedGrid, EveryDensityFollowsTheRingRule) {
    const long expectedCounts[] = {61, 127, 217, 331};
    for (long density = 0; density < 4; ++density) {
        SCOPED_TRACE(density);
        const Grid g = Make(density);
        ASSERT_EQ(g.count, expectedCounts[density]);
        ASSERT_TRUE(g.mag && g.ang);
        const long rings = 4 + 2 * density;
        long i = 0;
        for (long k = rings; k >= 1; --k) {
            const double ringMag = SixDecimals(0.95 * k / rings);
            for (long j = 0; j < 6 * k; ++j, ++i) {
                EXPECT_EQ(g.mag[i], ringMag) << "point " << i;
                EXPECT_EQ(g.ang[i], SixDecimals(j * 360.0 / (6 * k))) << "point " << i;
                EXPECT_LT(g.ang[i], 360.0);
            }
        }
        ASSERT_EQ(i, g.count - 1);
        // The centre is an exact (+0, +0).
        EXPECT_EQ(g.mag[i], 0.0);
        EXPECT_EQ(g.ang[i], 0.0);
        EXPECT_FALSE(std::signbit(g.mag[i]) || std::signbit(g.ang[i]));
    }
}

TEST(PredefinedGrid, SamplePointsAreTheSixDecimalDoubles) {
    const Grid coarse = Make(0);
    EXPECT_EQ(coarse.mag[0], 0.95);
    EXPECT_EQ(coarse.ang[0], 0.0);
    EXPECT_EQ(coarse.mag[23], 0.95);
    EXPECT_EQ(coarse.ang[23], 345.0);
    EXPECT_EQ(coarse.mag[24], 0.7125);
    EXPECT_EQ(coarse.ang[24], 0.0);
    EXPECT_EQ(coarse.mag[60], 0.0);

    const Grid medium = Make(1);
    for (long i = 36; i < 66; ++i) {
        EXPECT_EQ(medium.mag[i], 0.791667);
        EXPECT_EQ(medium.ang[i], 12.0 * (i - 36));
    }
    EXPECT_EQ(medium.mag[66], 0.633333);

    const Grid fine = Make(2);
    EXPECT_EQ(fine.mag[49], 0.83125);
    EXPECT_EQ(fine.ang[49], 8.571429);
    EXPECT_EQ(fine.ang[50], 17.142857);
    EXPECT_EQ(fine.ang[89], 351.428571);
    EXPECT_EQ(fine.ang[55], 60.0);

    const Grid extra = Make(3);
    EXPECT_EQ(extra.mag[61], 0.855);
    EXPECT_EQ(extra.ang[61], 6.666667);
    EXPECT_EQ(extra.ang[62], 13.333333);
    EXPECT_EQ(extra.ang[113], 353.333333);
    for (long i = 324; i < 330; ++i) {
        EXPECT_EQ(extra.mag[i], 0.095);
    }
    EXPECT_EQ(extra.ang[329], 300.0);
}

TEST(PredefinedGrid, OutOfRangeDensityLeavesOutputsUntouched) {
    for (long density : {-1L, 4L, 1000L}) {
        auto mag = std::make_unique<double[]>(2);
        auto ang = std::make_unique<double[]>(3);
        double* const magBefore = mag.get();
        double* const angBefore = ang.get();
        EXPECT_EQ(MakePredefinedGrid(density, mag, ang), 0);
        EXPECT_EQ(mag.get(), magBefore);
        EXPECT_EQ(ang.get(), angBefore);

        std::unique_ptr<double[]> none1;
        std::unique_ptr<double[]> none2;
        EXPECT_EQ(MakePredefinedGrid(density, none1, none2), 0);
        EXPECT_FALSE(none1 || none2);
    }
}

}  // namespace
