#include "interp/weight_ave_method.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(WeightAve, WeightsFallToZeroAtTheRadius) {
    K_WeightAveMethod one;
    EXPECT_EQ(one.Interpolate(0, 0), 0.0);  // no samples
    one.AddPoint(0, 0, 5);
    EXPECT_EQ(one.Interpolate(0.75, 0), 5.0);  // (0.5)^3 normalised to 1
    EXPECT_EQ(one.Interpolate(1.5, 0), 0.0);   // at the radius: weight 0
    EXPECT_EQ(one.Interpolate(0, -2), 0.0);

    K_WeightAveMethod two;
    two.AddPoint(0, 0, 2);
    two.AddPoint(1, 0, 4);
    EXPECT_DOUBLE_EQ(two.Interpolate(0.5, 0), 3.0);
    // A sample on the point does not override the others.
    EXPECT_DOUBLE_EQ(two.Interpolate(0, 0), (2.0 + 4.0 / 27.0) / (1.0 + 1.0 / 27.0));

    K_WeightAveMethod edge;
    edge.AddPoint(0, 0, 2);
    edge.AddPoint(1.5, 0, 4);
    EXPECT_EQ(edge.Interpolate(0, 0), 2.0);
}

TEST(WeightAve, ParametersAndSampleChanges) {
    K_WeightAveMethod m;
    m.AddPoint(0, 0, 2);
    m.AddPoint(1, 0, 4);
    m.SetDoubleParam(0, 1.0);  // linear weights
    EXPECT_DOUBLE_EQ(m.Interpolate(0.25, 0), (2.0 * (5.0 / 6.0) + 4.0 * 0.5) / (5.0 / 6.0 + 0.5));

    // A radius below 1e-6 (zero, negative, NaN) is 1e-6: only samples closer
    // than that count.
    for (double r : {0.0, -3.0, 1e-9, std::nan("")}) {
        m.SetDoubleParam(1, r);
        EXPECT_EQ(m.Interpolate(0.5, 0), 0.0) << r;
        EXPECT_EQ(m.Interpolate(1e-7, 0), 2.0) << r;
        EXPECT_EQ(m.Interpolate(1, 0), 4.0) << r;
    }

    // The buffer follows the sample count up and down.
    m.SetDoubleParam(1, 1.5);
    m.AddPoint(0.5, 0.5, 10);
    const double three = m.Interpolate(0.5, 0.25);
    EXPECT_GT(three, 4.0);
    m.ClearPoints();
    EXPECT_EQ(m.Interpolate(0.5, 0.25), 0.0);
    m.AddPoint(3, 3, 1);
    EXPECT_EQ(m.Interpolate(3, 3.1), 1.0);
}

}  // namespace
