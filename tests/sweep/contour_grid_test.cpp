#include "sweep/contour_grid.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "interp/interpolator_holder.h"
#include "sweep/format.h"

namespace {

TEST(ContourGrid, CoordinatesComeFromTheIndex) {
    EXPECT_EQ(contour::Coordinate(0), -1.0);
    EXPECT_EQ(contour::Coordinate(20), 0.0);
    EXPECT_EQ(contour::Coordinate(40), 1.0);
    EXPECT_DOUBLE_EQ(contour::Coordinate(27), 0.35);
}

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

TEST(ContourGrid, TextHasOneLinePerRowFromTheBottom) {
    // A plane is reproduced exactly by the spline: z = 2 + 3 Re - Im.
    InterpolatorHolder holder;
    const double samples[][2] = {{0.5, 0.0}, {-0.5, 0.3}, {0.0, -0.7}, {0.2, 0.6}, {-0.3, -0.2}};
    for (const auto& s : samples) holder.AddPoint(s[0], s[1], 2.0 + 3.0 * s[0] - s[1]);
    const std::vector<double> values = contour::Evaluate(holder);
    ASSERT_EQ(values.size(), static_cast<std::size_t>(contour::kGridValues));
    EXPECT_NEAR(values[0], 0.0, 1e-9);           // -1 - 1j
    EXPECT_NEAR(values[40], 6.0, 1e-9);          // +1 - 1j: along a row Re grows
    EXPECT_NEAR(values[40 * 41], -2.0, 1e-9);    // -1 + 1j
    EXPECT_NEAR(values[1680], 4.0, 1e-9);        // +1 + 1j
    EXPECT_FALSE(contour::IsConstant(values));

    // Value r/100 + q/10000 at row r, column q: every text is eight characters.
    std::vector<double> grid(contour::kGridValues);
    for (int k = 0; k < contour::kGridValues; ++k) grid[k] = (k / 41) * 0.01 + (k % 41) * 0.0001;
    const std::string text = contour::Text(grid);
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ASSERT_EQ(line.size(), 41u * 9u) << "row " << n;
        EXPECT_EQ(line.substr(0, 9), lpformat::Fixed6(n * 0.01) + " ") << "row " << n;
        EXPECT_EQ(line.substr(40 * 9), lpformat::Fixed6(n * 0.01 + 0.004) + " ") << "row " << n;
        ++n;
    }
    EXPECT_EQ(n, 41);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
