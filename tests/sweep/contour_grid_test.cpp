#include "sweep/contour_grid.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ContourGrid, ConstantMeansEveryValueWithinOneNanoOfTheFirst) {
    std::vector<double> values(contour::kGridValues, 0.0);
    EXPECT_TRUE(contour::IsConstant(values));
    values[1000] = 0.999e-9;
    EXPECT_TRUE(contour::IsConstant(values));
    values[1680] = 1e-9;  // one value at the tolerance is enough
    EXPECT_FALSE(contour::IsConstant(values));
    values[1680] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(contour::IsConstant(values));
}

}  // namespace
