// In-place matrix inversion by Gauss-Jordan elimination with full pivoting.
#pragma once

#include <cstddef>
#include <vector>

// A square matrix of doubles kept as one row pointer per row, so that rows
// can be exchanged by exchanging pointers. The rows live in one block, each
// starting on a 64-byte boundary.
class RowMatrix {
public:
    RowMatrix() = default;
    explicit RowMatrix(int n);

    RowMatrix(const RowMatrix&) = delete;
    RowMatrix& operator=(const RowMatrix&) = delete;
    RowMatrix(RowMatrix&&) noexcept = default;
    RowMatrix& operator=(RowMatrix&&) noexcept = default;

    int Size() const { return size_; }
    double* operator[](int row) { return rows_[static_cast<std::size_t>(row)]; }
    const double* operator[](int row) const { return rows_[static_cast<std::size_t>(row)]; }
    double** Rows() { return rows_.data(); }

private:
    int size_ = 0;
    std::vector<double> storage_;
    std::vector<double*> rows_;
};

// Inverts the n x n matrix given by its row pointers in place and returns
// true, or returns false for a singular matrix (one whose largest remaining
// candidate pivot is exactly zero; there is no tolerance), leaving the
// contents unspecified. Rows may come back exchanged in the pointer array;
// rows[i] then points at row i of the inverse.
//
// Pivots are chosen and every element is computed exactly as in the textbook
// loop order: per pass, the first largest |a[j][k]| over unused rows j and
// unused columns k in row-major order; the pivot row scaled by 1/pivot; every
// other row updated as a[r][k] - a[p][k] * a[r][p] after a[r][p] = 0; the
// column exchanges undone last pass first. The work is only regrouped (the
// pivot search fused into the previous pass, updates that no pivot search
// needs yet applied a block of passes at a time, columns held in another
// physical order), so the results are bit-identical to that order as long as
// the library is compiled without floating-point contraction.
bool GaussJordanInvert(double** rows, int n);

// The row kernels compiled in and usable on this machine, fastest first
// (e.g. "avx512", "avx2", "baseline"). They give identical results; the
// choice exists so that tests and benchmarks can hold each to that.
std::vector<const char*> GaussJordanKernels();
// Makes the named kernel the one used from now on (process-wide, not
// thread-safe); false if it is not available here.
bool SelectGaussJordanKernel(const char* name);
