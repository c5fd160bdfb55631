#include "gamma/predefined_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

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

TEST(PredefinedGrid, EveryDensityHasItsRingsAndEndsAtTheCentre) {
    const long expectedCounts[] = {61, 127, 217, 331};
    for (long density = 0; density < 4; ++density) {
        SCOPED_TRACE(density);
        const Grid g = Make(density);
        ASSERT_EQ(g.count, expectedCounts[density]);
        ASSERT_TRUE(g.mag && g.ang);
        for (long i = 0; i < g.count; ++i) {
            EXPECT_LE(g.mag[i], 0.95);
            EXPECT_GE(g.ang[i], 0.0);
            EXPECT_LT(g.ang[i], 360.0);
        }
        // The centre is an exact (+0, +0).
        EXPECT_EQ(g.mag[g.count - 1], 0.0);
        EXPECT_EQ(g.ang[g.count - 1], 0.0);
        EXPECT_FALSE(std::signbit(g.mag[g.count - 1]) || std::signbit(g.ang[g.count - 1]));
    }
}

// Points named in the grid tables, as the doubles their decimal text parses to.
TEST(PredefinedGrid, SamplePointsAreTheSixDecimalDoubles) {
    struct Point {
        long density, index;
        double magnitude, angle;
    };
    const Point points[] = {
        {0, 0, 0.95, 0.0},        {0, 23, 0.95, 345.0},          {0, 24, 0.7125, 0.0},
        {0, 60, 0.0, 0.0},        {1, 36, 0.791667, 0.0},        {1, 65, 0.791667, 348.0},
        {1, 66, 0.633333, 0.0},   {2, 49, 0.83125, 8.571429},    {2, 50, 0.83125, 17.142857},
        {2, 55, 0.83125, 60.0},   {2, 89, 0.83125, 351.428571},  {3, 61, 0.855, 6.666667},
        {3, 62, 0.855, 13.333333}, {3, 113, 0.855, 353.333333},  {3, 324, 0.095, 0.0},
        {3, 329, 0.095, 300.0},   {3, 330, 0.0, 0.0},
    };
    for (const Point& p : points) {
        const Grid g = Make(p.density);
        EXPECT_EQ(g.mag[p.index], p.magnitude) << p.density << "/" << p.index;
        EXPECT_EQ(g.ang[p.index], p.angle) << p.density << "/" << p.index;
    }
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
