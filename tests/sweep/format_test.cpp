#include "sweep/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

TEST(NumberText, FixedSixDecimals) {
    EXPECT_EQ(lpformat::Fixed6(0.0), "0.000000");
    EXPECT_EQ(lpformat::Fixed6(12.5), "12.500000");
    EXPECT_EQ(lpformat::Fixed6(-2.25), "-2.250000");
    EXPECT_EQ(lpformat::Fixed6(0.1234565), "0.123456");  // the double lies just below the tie
    EXPECT_EQ(lpformat::Fixed6(5e-7), "0.000000");       // likewise
    EXPECT_EQ(lpformat::Fixed6(0.0000015), "0.000002");
    // Large values in full, never with an exponent.
    EXPECT_EQ(lpformat::Fixed6(1e22), "10000000000000000000000.000000");
    EXPECT_EQ(lpformat::Fixed6(std::ldexp(1.0, 70)), "1180591620717411303424.000000");
    EXPECT_EQ(lpformat::Fixed6(std::numeric_limits<double>::max()).size(), 309u + 7u);
    // The sign follows the sign bit, as in C.
    EXPECT_EQ(lpformat::Fixed6(-0.0), "-0.000000");
    EXPECT_EQ(lpformat::Fixed6(-1e-9), "-0.000000");
    // Not-a-number has no sign; infinities have words.
    EXPECT_EQ(lpformat::Fixed6(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(lpformat::Fixed6(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(lpformat::Fixed6(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(lpformat::Fixed6(-std::numeric_limits<double>::infinity()), "-inf");

    std::string s = "x";
    lpformat::AppendFixed6(s, 1.0);
    EXPECT_EQ(s, "x1.000000");
}

TEST(NumberText, GeneralFormat) {
    EXPECT_EQ(lpformat::General(13.0), "13");
    EXPECT_EQ(lpformat::General(0.75), "0.75");
    EXPECT_EQ(lpformat::General(-3.0), "-3");
    EXPECT_EQ(lpformat::General(100000.0), "100000");
    EXPECT_EQ(lpformat::General(1234567.0), "1.23457e+06");  // two exponent digits, never three
    EXPECT_EQ(lpformat::General(0.0001), "0.0001");
    EXPECT_EQ(lpformat::General(0.00001), "1e-05");
    EXPECT_EQ(lpformat::General(1e300), "1e+300");
    EXPECT_EQ(lpformat::General(-0.0), "-0");
    EXPECT_EQ(lpformat::General(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(lpformat::General(-std::numeric_limits<double>::infinity()), "-inf");
}

// The C library of this platform in the C locale is the reference for every
// finite value, including rounding of ties and long fixed texts.
TEST(NumberText, MatchesTheCLocaleForFiniteValues) {
    std::mt19937_64 random(20240611);
    char expected[400];
    for (int n = 0; n < 200000; ++n) {
        const bool anyBits = n % 2 == 0;
        double v;
        if (anyBits) {
            const std::uint64_t bits = random();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v)) continue;
        } else {
            // Values near the grid's range, with decimal ties at the sixth place.
            v = std::ldexp(static_cast<double>(random() % 100000000) - 50000000.0, static_cast<int>(random() % 30) - 30);
        }
        std::snprintf(expected, sizeof expected, "%.6f", v);
        ASSERT_EQ(lpformat::Fixed6(v), expected) << v;
        std::snprintf(expected, sizeof expected, "%g", v);
        ASSERT_EQ(lpformat::General(v), expected) << v;
    }
}

}  // namespace
