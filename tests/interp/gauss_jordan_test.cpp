#include "interp/gauss_jordan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "interp/thin_plate_spline_method.h"
#include "ring_layout.h"

namespace {

using Matrix = std::vector<std::vector<double>>;

// The textbook loop order, written out plainly: the optimised inversion must
// choose the same pivots and round every element the same way.
bool ReferenceInvert(Matrix& a) {
    const int n = static_cast<int>(a.size());
    std::vector<int> used(n, 0), pivotRow(n), pivotColumn(n);
    for (int pass = 0; pass < n; ++pass) {
        double big = 0.0;
        int row = 0, column = 0;
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                if (!used[j] && !used[k] && std::fabs(a[j][k]) > big) {
                    big = std::fabs(a[j][k]);
                    row = j;
                    column = k;
                }
        if (big == 0.0) return false;
        used[column] = 1;
        std::swap(a[row], a[column]);
        pivotRow[pass] = row;
        pivotColumn[pass] = column;
        const double pivinv = 1.0 / a[column][column];
        a[column][column] = 1.0;
        for (int k = 0; k < n; ++k) a[column][k] *= pivinv;
        for (int r = 0; r < n; ++r) {
            if (r == column) continue;
            const double d = a[r][column];
            a[r][column] = 0.0;
            for (int k = 0; k < n; ++k) a[r][k] = a[r][k] - a[column][k] * d;
        }
    }
    for (int pass = n - 1; pass >= 0; --pass)
        for (int r = 0; r < n; ++r) std::swap(a[r][pivotRow[pass]], a[r][pivotColumn[pass]]);
    return true;
}

// Inverts `m` with the library into a RowMatrix; returns the success flag.
bool LibraryInvert(const Matrix& m, RowMatrix& out) {
    const int n = static_cast<int>(m.size());
    out = RowMatrix(n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) out[i][j] = m[i][j];
    }
    return GaussJordanInvert(out.Rows(), n);
}

// Inverts `m` with the plain loop order and with every row kernel compiled
// for this machine, and requires the same outcome and the same bits.
void ExpectBitIdentical(const Matrix& m, const std::string& what) {
    SCOPED_TRACE(what);
    Matrix expected = m;
    const bool expectedOk = ReferenceInvert(expected);
    const int n = static_cast<int>(m.size());
    const std::vector<const char*> kernels = GaussJordanKernels();
    for (const char* kernel : kernels) {
        SCOPED_TRACE(kernel);
        ASSERT_TRUE(SelectGaussJordanKernel(kernel));
        RowMatrix actual;
        ASSERT_EQ(LibraryInvert(m, actual), expectedOk);
        if (!expectedOk) continue;
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(std::memcmp(actual[i], expected[i].data(), n * sizeof(double)), 0)
                << "row " << i << " differs";
        }
    }
    SelectGaussJordanKernel(kernels.front());
}

Matrix RingKernel(int rings, double smoothing) {
    const auto points = ringlayout::Rings(rings);
    const int n = static_cast<int>(points.size());
    Matrix k(n, std::vector<double>(n));
    // Normalised as the spline does: the layout spans [-0.95, 0.95] both ways.
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double xi = (points[i].x + 0.95) / 1.9, xj = (points[j].x + 0.95) / 1.9;
            const double yi = (points[i].y + 0.95) / 1.9, yj = (points[j].y + 0.95) / 1.9;
            k[i][j] = i == j ? smoothing
                             : ThinPlateKernel(std::sqrt((yi - yj) * (yi - yj) + (xi - xj) * (xi - xj)));
        }
    }
    return k;
}

Matrix Random(int n, unsigned seed, bool integers) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    std::uniform_int_distribution<int> small(-2, 2);
    Matrix m(n, std::vector<double>(n));
    for (auto& row : m) {
        for (double& v : row) v = integers ? small(rng) : real(rng);
    }
    return m;
}

TEST(GaussJordan, SmallExamples) {
    RowMatrix m;
    ASSERT_TRUE(LibraryInvert({{0, 2}, {3, 0}}, m));
    EXPECT_EQ(m[0][0], 0.0);
    EXPECT_EQ(m[0][1], 1.0 / 3.0);
    EXPECT_EQ(m[1][0], 0.5);
    EXPECT_EQ(m[1][1], 0.0);

    EXPECT_FALSE(LibraryInvert({{1, 2}, {2, 4}}, m));
    EXPECT_FALSE(LibraryInvert({{0, 0}, {0, 0}}, m));
    // Only an exact zero counts as singular: a tiny pivot is still taken.
    ASSERT_TRUE(LibraryInvert({{1e-300}}, m));
    EXPECT_EQ(m[0][0], 1.0 / 1e-300);
    // NaNs are never chosen as pivots, so a matrix of NaNs is singular.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(LibraryInvert({{nan, nan}, {nan, 0}}, m));
    EXPECT_TRUE(GaussJordanInvert(nullptr, 0));
}

// Every kernel compiled for this machine against the plain loop order, bit
// for bit, on matrices that exercise the pivot choice: ties between equal
// magnitudes (small integers), the zero diagonal of an exact thin-plate
// kernel, sizes around the vector widths and the blocks of passes, and
// singular matrices that fail part-way.
TEST(GaussJordan, BitIdenticalToThePlainLoopOrder) {
    ASSERT_FALSE(GaussJordanKernels().empty());
    EXPECT_FALSE(SelectGaussJordanKernel("no such kernel"));
    for (int n : {1, 3, 7, 8, 9, 17, 33, 64}) {
        ExpectBitIdentical(Random(n, 11u + n, false), "random " + std::to_string(n));
        ExpectBitIdentical(Random(n, 5u + n, true), "integers " + std::to_string(n));
    }
    // H (x) B, H a Hadamard matrix and B inexact: rows keep exact ties in
    // magnitude through the elimination, also after the unused columns have
    // been regrouped, while the rounding still depends on the pivot order.
    auto sign = [](std::size_t row, std::size_t column) {  // Sylvester's H
        int parity = 0;
        for (std::size_t bits = row & column; bits != 0; bits >>= 1) parity ^= static_cast<int>(bits & 1);
        return parity ? -1.0 : 1.0;
    };
    for (const std::size_t h : {4u, 8u}) {
        const Matrix b = Random(8, 7u, false);
        Matrix kron(8 * h, std::vector<double>(8 * h));
        for (std::size_t i = 0; i < 8 * h; ++i)
            for (std::size_t j = 0; j < 8 * h; ++j)
                kron[i][j] = sign(i / 8, j / 8) * b[i % 8][j % 8];
        ExpectBitIdentical(kron, "Hadamard x random " + std::to_string(8 * h));
    }

    Matrix rankDeficient = Random(30, 3u, false);
    rankDeficient[17] = rankDeficient[4];
    ExpectBitIdentical(rankDeficient, "repeated row");

    ExpectBitIdentical(RingKernel(4, 0.0), "4 rings");
    ExpectBitIdentical(RingKernel(6, 1e-3), "6 rings, smoothed");
    ExpectBitIdentical(RingKernel(10, 0.0), "10 rings");
}

}  // namespace
