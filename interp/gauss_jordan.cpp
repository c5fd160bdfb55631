#include "interp/gauss_jordan.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__GNUC__) || defined(_MSC_VER)
#define LPT_RESTRICT __restrict
#else
#define LPT_RESTRICT
#endif

// The row kernels for the baseline instruction set of the target.
#define LPT_LANE_BYTES 16
namespace baseline {
#include "interp/gauss_jordan_pass.inc"
}  // namespace baseline
#undef LPT_LANE_BYTES

// Where the build allows it (GCC on x86-64 outside Windows, where the stack is
// aligned for wide spills), the same kernels are also compiled for AVX2 and
// AVX-512 and picked at run time. Neither target includes FMA, and
// contraction is off for this library, so every path rounds identically.
#if defined(LPT_INTERP_X86_DISPATCH)
#pragma GCC push_options
#pragma GCC target("avx2")
#define LPT_LANE_BYTES 32
namespace avx2 {
#include "interp/gauss_jordan_pass.inc"
}  // namespace avx2
#undef LPT_LANE_BYTES
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx512f", "prefer-vector-width=512")
#define LPT_LANE_BYTES 64
namespace avx512 {
#include "interp/gauss_jordan_pass.inc"
}  // namespace avx512
#undef LPT_LANE_BYTES
#pragma GCC pop_options
#endif

namespace {

struct RowKernels {
    const char* name;
    void (*update)(double*, const double*, double, std::size_t);
    double (*updateAndMax)(double*, const double*, double, std::size_t, std::size_t);
};

// Usable kernels, fastest first.
std::vector<RowKernels> AvailableKernels() {
    std::vector<RowKernels> kernels;
#if defined(LPT_INTERP_X86_DISPATCH)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) {
        kernels.push_back({"avx512", avx512::UpdateRow, avx512::UpdateRowAndMax});
    }
    if (__builtin_cpu_supports("avx2")) {
        kernels.push_back({"avx2", avx2::UpdateRow, avx2::UpdateRowAndMax});
    }
#endif
    kernels.push_back({"baseline", baseline::UpdateRow, baseline::UpdateRowAndMax});
    return kernels;
}

const std::vector<RowKernels>& Available() {
    static const std::vector<RowKernels> kernels = AvailableKernels();
    return kernels;
}

const RowKernels*& Current() {
    static const RowKernels* current = &Available().front();
    return current;
}

constexpr std::size_t kAlignDoubles = 8;  // 64 bytes

}  // namespace

RowMatrix::RowMatrix(int n) : size_(n > 0 ? n : 0) {
    const std::size_t rows = static_cast<std::size_t>(size_);
    const std::size_t stride = (rows + kAlignDoubles - 1) / kAlignDoubles * kAlignDoubles;
    storage_.assign(rows * stride + kAlignDoubles, 0.0);
    // First element on a 64-byte boundary; the vector's own allocation only
    // guarantees the alignment of a double.
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    const std::size_t skip = ((64 - address % 64) % 64) / sizeof(double);
    rows_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        rows_[i] = storage_.data() + skip + i * stride;
    }
}

std::vector<const char*> GaussJordanKernels() {
    std::vector<const char*> names;
    for (const RowKernels& k : Available()) {
        names.push_back(k.name);
    }
    return names;
}

bool SelectGaussJordanKernel(const char* name) {
    for (const RowKernels& k : Available()) {
        if (std::strcmp(k.name, name) == 0) {
            Current() = &k;
            return true;
        }
    }
    return false;
}

bool GaussJordanInvert(double** a, int size) {
    if (size <= 0) {
        return true;
    }
    const RowKernels& kernels = *Current();
    const std::size_t n = static_cast<std::size_t>(size);

    // Work storage: the used flags (shared by rows and columns), the pivot of
    // each pass, and the physical column order. The columns not yet used are
    // kept in physical positions [0, active) so that the pivot search reads
    // one contiguous run per row; column c lives at position positionOf[c].
    std::vector<char> used(n, 0);
    std::vector<std::size_t> pivotRow(n), pivotColumn(n);
    std::vector<std::size_t> columnAt(n), positionOf(n);
    for (std::size_t c = 0; c < n; ++c) {
        columnAt[c] = c;
        positionOf[c] = c;
    }
    std::size_t active = n;

    // Returns the lowest column among the positions [0, active) of `row` that
    // hold the magnitude `best`; with the row being the first to hold it, that
    // is the first candidate of a row-major scan.
    auto firstColumnWith = [&](const double* row, double best) {
        std::size_t column = n;
        for (std::size_t q = 0; q < active; ++q) {
            if (std::fabs(row[q]) == best && columnAt[q] < column) {
                column = columnAt[q];
            }
        }
        return column;
    };

    // Pivot search of pass 0; later searches ride along the previous pass.
    double best = 0.0;
    std::size_t bestRow = 0;
    for (std::size_t j = 0; j < n; ++j) {
        double rowBest = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            const double m = std::fabs(a[j][k]);
            rowBest = m > rowBest ? m : rowBest;
        }
        if (rowBest > best) {
            best = rowBest;
            bestRow = j;
        }
    }

    for (std::size_t pass = 0; pass < n; ++pass) {
        if (!(best > 0.0)) {
            return false;
        }
        const std::size_t row = bestRow;
        const std::size_t p = firstColumnWith(a[row], best);

        used[p] = 1;
        if (row != p) {
            std::swap(a[row], a[p]);
        }
        pivotRow[pass] = row;
        pivotColumn[pass] = p;

        // Column p leaves the unused run: it trades places with the column in
        // the run's last position, in every row, as each row is visited.
        const std::size_t from = positionOf[p];
        const std::size_t to = active - 1;
        const std::size_t moved = columnAt[to];
        columnAt[from] = moved;
        positionOf[moved] = from;
        columnAt[to] = p;
        positionOf[p] = to;
        active = to;

        double* const pivot = a[p];
        std::swap(pivot[from], pivot[to]);
        const double pivinv = 1.0 / pivot[to];
        pivot[to] = 1.0;
        for (std::size_t q = 0; q < n; ++q) {
            pivot[q] *= pivinv;
        }

        best = 0.0;
        bestRow = 0;
        for (std::size_t r = 0; r < n; ++r) {
            if (r == p) {
                continue;
            }
            double* const target = a[r];
            std::swap(target[from], target[to]);
            const double d = target[to];
            target[to] = 0.0;
            if (used[r]) {
                kernels.update(target, pivot, d, n);
            } else {
                const double rowBest = kernels.updateAndMax(target, pivot, d, active, n);
                if (rowBest > best) {
                    best = rowBest;
                    bestRow = r;
                }
            }
        }
    }

    // Undo the column exchanges, last pass first, together with the physical
    // column order: output column c is physical position positionOf[source[c]].
    std::vector<std::size_t> source(n);
    for (std::size_t c = 0; c < n; ++c) {
        source[c] = c;
    }
    for (std::size_t pass = n; pass-- > 0;) {
        if (pivotRow[pass] != pivotColumn[pass]) {
            std::swap(source[pivotRow[pass]], source[pivotColumn[pass]]);
        }
    }
    std::vector<std::size_t> gather(n);
    bool identity = true;
    for (std::size_t c = 0; c < n; ++c) {
        gather[c] = positionOf[source[c]];
        identity = identity && gather[c] == c;
    }
    if (!identity) {
        std::vector<double> scratch(n);
        for (std::size_t r = 0; r < n; ++r) {
            double* const target = a[r];
            for (std::size_t c = 0; c < n; ++c) {
                scratch[c] = target[gather[c]];
            }
            for (std::size_t c = 0; c < n; ++c) {
                target[c] = scratch[c];
            }
        }
    }
    return true;
}
