#include "sweep/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// What a C runtime that is not C99 writes differently: exponents, huge fixed
// values, not-a-number, infinities, and the sign of zero.
TEST(NumberText, WritesWhatC99WritesInTheCLocale) {
    EXPECT_EQ(lpformat::Fixed6(std::ldexp(1.0, 70)), "1180591620717411303424.000000");
    EXPECT_EQ(lpformat::Fixed6(std::numeric_limits<double>::max()).size(), 309u + 7u);
    EXPECT_EQ(lpformat::General(1234567.0), "1.23457e+06");
    EXPECT_EQ(lpformat::General(0.00001), "1e-05");
    EXPECT_EQ(lpformat::General(0.75), "0.75");
    EXPECT_EQ(lpformat::Fixed6(-0.0), "-0.000000");
    EXPECT_EQ(lpformat::Fixed6(-1e-9), "-0.000000");
    EXPECT_EQ(lpformat::General(-0.0), "-0");
    for (double nan : {kNaN, -kNaN}) {
        EXPECT_EQ(lpformat::Fixed6(nan), "nan");
        EXPECT_EQ(lpformat::General(nan), "nan");
    }
    EXPECT_EQ(lpformat::Fixed6(kInf), "inf");
    EXPECT_EQ(lpformat::Fixed6(-kInf), "-inf");
    EXPECT_EQ(lpformat::General(-kInf), "-inf");

    std::string s = "x";
    lpformat::AppendFixed6(s, 0.5);
    EXPECT_EQ(s, "x0.500000");
}

}  // namespace
