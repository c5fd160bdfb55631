#include "sweep/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

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

// This platform's C library in the C locale is the reference for every finite
// value: arbitrary bit patterns, and values near the grid's range with decimal
// ties at the sixth place.
TEST(NumberText, MatchesTheCLibraryForFiniteValues) {
    std::mt19937_64 random(20240611);
    char expected[400];
    for (int n = 0; n < 200000; ++n) {
        double v;
        if (n % 2 == 0) {
            const std::uint64_t bits = random();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v)) continue;
        } else {
            v = std::ldexp(static_cast<double>(random() % 100000000) - 5e7, static_cast<int>(random() % 30) - 30);
        }
        std::snprintf(expected, sizeof expected, "%.6f", v);
        ASSERT_EQ(lpformat::Fixed6(v), expected) << v;
        std::snprintf(expected, sizeof expected, "%g", v);
        ASSERT_EQ(lpformat::General(v), expected) << v;
    }
}

}  // namespace
