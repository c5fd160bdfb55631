#include "sweep/contour_levels.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::string Name(double minimum, double maximum) {
    return contour::MeasurementName(contour::ComputeLevels(minimum, maximum));
}

TEST(ContourLevels, TruncateTowardZeroAndWidenTheStepWithTheSpan) {
    EXPECT_EQ(Name(0.3, 12.6), "LPCS[13,0,0.75]");
    const contour::Levels l = contour::ComputeLevels(-3.7, 4.2);
    EXPECT_EQ(l.top, 5.0);
    EXPECT_EQ(l.bottom, -3.0);  // toward zero, not down
    EXPECT_EQ(l.step, 0.5);     // span 8
    EXPECT_EQ(Name(0.0, 4.5), "LPCS[5,0,0.25]");    // span 5
    EXPECT_EQ(Name(0.0, 5.2), "LPCS[6,0,0.5]");     // span 6
    EXPECT_EQ(Name(-1.5, 7.9), "LPCS[8,-1,0.5]");   // span 9
    EXPECT_EQ(Name(0.0, 9.5), "LPCS[10,0,0.75]");   // span 10
    EXPECT_EQ(Name(-5.0, 9.0), "LPCS[10,-5,1]");    // span 15
    // The floor of the running maximum gives the top level 1.
    EXPECT_EQ(Name(-7.2, 1e-9), "LPCS[1,-7,0.5]");
}

TEST(ContourLevels, ExtremeValuesStayDefined) {
    // A minimum in (-1, 0) truncates to zero, never to a "-0" level.
    EXPECT_EQ(Name(-0.4, 2.0), "LPCS[3,0,0.25]");
    // Beyond any integer type: no overflowing conversion, the text of the value.
    EXPECT_EQ(Name(0.0, 1e300), "LPCS[1e+300,0,5e+298]");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Name(-inf, inf), "LPCS[inf,-inf,inf]");
}

}  // namespace
