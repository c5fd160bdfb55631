#include "interp/interp_method.h"

#include <gtest/gtest.h>

#include "interp/interpolator_holder.h"
#include "interp/thin_plate_spline_method.h"
#include "interp/weight_ave_method.h"

namespace {

TEST(InterpStorage, DuplicatePositionsKeepTheFirstSample) {
    K_WeightAveMethod m;
    m.AddPoint(0.1, 0.2, 5);
    m.AddPoint(0.1, 0.2, 7);
    m.AddPoint(0.1, 0.3, 7);
    m.AddPoint(0.0, 0.2, 8);
    m.AddPoint(-0.0, 0.2, 9);  // equal to 0.0: a duplicate
    ASSERT_EQ(m.Samples().size(), 3u);
    EXPECT_EQ(m.Samples()[0].z, 5);
    EXPECT_EQ(m.Samples()[1].y, 0.3);
    EXPECT_EQ(m.Samples()[2].z, 8);
    m.ClearPoints();
    m.AddPoint(0.1, 0.2, 6);
    ASSERT_EQ(m.Samples().size(), 1u);
    EXPECT_EQ(m.Samples()[0].z, 6);

    // For the spline a duplicate still marks the fit stale. (Not three
    // corners of the unit square: distance 1 is a zero of the kernel, and
    // that kernel matrix is singular.)
    K_ThinPlateSplineMethod tps;
    tps.AddPoint(0, 0, 1);
    tps.AddPoint(1, 0.2, 2);
    tps.AddPoint(0.3, 1, 3);
    tps.Interpolate(0.5, 0.5);
    tps.AddPoint(1, 0.2, 9);
    EXPECT_TRUE(tps.FitStale());
    EXPECT_NEAR(tps.Interpolate(1, 0.2), 2.0, 1e-12);
    EXPECT_EQ(tps.SolveCount(), 2);
}

TEST(InterpolatorHolder, SelectsAndReplacesTheMethod) {
    InterpolatorHolder holder;
    EXPECT_EQ(holder.MethodCode(), 2);
    K_InterpMethod* const tps = holder.Method();
    ASSERT_NE(dynamic_cast<K_ThinPlateSplineMethod*>(tps), nullptr);
    EXPECT_EQ(tps->DoubleParamCount(), 1);
    holder.AddPoint(0, 0, 1);
    holder.AddPoint(1, 0.2, 2);
    holder.AddPoint(0.3, 1, 3);
    EXPECT_NEAR(holder.Interpolate(0.3, 1), 3.0, 1e-12);
    holder.SelectMethod(2);  // the current code: nothing changes
    EXPECT_EQ(holder.Method(), tps);

    holder.SelectMethod(1);
    EXPECT_EQ(holder.MethodCode(), 1);
    auto* wa = dynamic_cast<K_WeightAveMethod*>(holder.Method());
    ASSERT_NE(wa, nullptr);
    EXPECT_TRUE(wa->Samples().empty());  // the samples went with the old method
    EXPECT_EQ(wa->DoubleParamCount(), 2);
    holder.AddPoint(0, 0, 5);
    EXPECT_EQ(holder.Interpolate(0.75, 0), 5.0);
    holder.SelectMethod(1);
    EXPECT_EQ(holder.Method(), wa);

    holder.SelectMethod(7);  // any code but 1 is the spline
    EXPECT_EQ(holder.MethodCode(), 7);
    EXPECT_NE(dynamic_cast<K_ThinPlateSplineMethod*>(holder.Method()), nullptr);
}

}  // namespace
