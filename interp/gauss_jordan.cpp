#include "interp/gauss_jordan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__GNUC__) || defined(_MSC_VER)
#define LPT_RESTRICT __restrict
#else
#define LPT_RESTRICT
#endif

#if defined(__GNUC__) && (defined(__SSE2__) || defined(__ARM_NEON) || defined(__aarch64__))
#define LPT_VECTOR_LOOPS 1
#else
#define LPT_VECTOR_LOOPS 0
#endif

// The row kernels for the baseline instruction set of the target.
#define LPT_LANE_BYTES 16
namespace baseline {
#include "interp/gauss_jordan_pass.inc"
}  // namespace baseline
#undef LPT_LANE_BYTES

// Where the build allows it (GCC on x86-64 outside Windows, where the stack is
// aligned for wide spills), the same kernels are also compiled for AVX2 and
// AVX-512 and picked at run time. Contraction into fused multiply-adds is off
// for this library, so every path rounds identically.
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
    double (*updateAndMax)(double*, const double*, double, const long long*, std::size_t);
    void (*applyPasses)(double*, const double*, std::size_t, const double*, std::size_t, std::size_t);
    double (*rowMax)(const double*, std::size_t);
};

#define LPT_ROW_KERNELS(name, ns) \
    RowKernels { name, ns::UpdateRow, ns::UpdateRowAndMax, ns::ApplyPasses, ns::RowMax }

// Usable kernels, fastest first.
std::vector<RowKernels> AvailableKernels() {
    std::vector<RowKernels> kernels;
#if defined(LPT_INTERP_X86_DISPATCH)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) {
        kernels.push_back(LPT_ROW_KERNELS("avx512", avx512));
    }
    if (__builtin_cpu_supports("avx2")) {
        kernels.push_back(LPT_ROW_KERNELS("avx2", avx2));
    }
#endif
    kernels.push_back(LPT_ROW_KERNELS("baseline", baseline));
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

// Search mask of a candidate column: ANDed with the bits of an element it
// yields its magnitude, while 0 yields +0, which never wins.
constexpr long long kCandidate = 0x7fffffffffffffffLL;

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

// The textbook loop order touches the whole matrix in every pass. Only the
// candidates of the next pivot search (unused rows x unused columns) and the
// next pivot's column are needed right away, so the work is regrouped in
// blocks of kBlockPasses passes:
//
// - the rows unused at the start of a block are updated eagerly, but only in
//   the columns unused at the start of the block, which are kept together in
//   physical positions [0, blockActive); the next pivot search rides along;
// - everything else (rows used before the block; the other columns of the
//   fresh rows) is updated once at the end of the block, all of the block's
//   passes per element in order, from snapshots of the block's pivot rows and
//   the factor d of every row in every pass;
// - a pivot row is brought up to date before it is scaled, and the factor of
//   a row used before the block is computed from its one element.
//
// Every element still goes through exactly the operations of the textbook
// order, in the same order; only when they happen changes.
bool GaussJordanInvert(double** a, int size) {
    if (size <= 0) {
        return true;
    }
    const RowKernels& kernels = *Current();
    const std::size_t n = static_cast<std::size_t>(size);
    // 16 passes x 128 columns of snapshots is 16 KiB: a band stays in a
    // first-level cache next to the row it updates.
    constexpr std::size_t kBlockPasses = 16;
    constexpr std::size_t kBandColumns = 128;
    const std::size_t stride = (n + kAlignDoubles - 1) / kAlignDoubles * kAlignDoubles;

    // Work storage. `used` serves rows and columns alike. Column c lives at
    // physical position positionOf[c]; the columns still unused at the start
    // of a block occupy [0, active). `candidate` marks the positions that the
    // pivot search may pick within a block (kCandidate, else 0).
    std::vector<char> used(n, 0);
    std::vector<std::size_t> pivotRow(n), pivotColumn(n);
    std::vector<std::size_t> columnAt(n), positionOf(n);
    for (std::size_t c = 0; c < n; ++c) {
        columnAt[c] = c;
        positionOf[c] = c;
    }
    std::vector<long long> candidate(n, kCandidate);
    std::vector<double> pivots(kBlockPasses * stride);   // the block's scaled pivot rows
    std::vector<double> factors(n * kBlockPasses);       // d of row r in block pass j: [r * kBlockPasses + j]
    std::vector<std::size_t> pending(n, 0);              // first block pass not yet applied to a fresh row's other columns
    std::vector<std::size_t> blockPivotPosition(kBlockPasses);
    std::vector<std::size_t> freshRows;
    std::vector<std::size_t> oldRows;
    freshRows.reserve(n);
    oldRows.reserve(n);
    std::size_t active = n;

    // Pivot search of pass 0; later searches ride along the previous pass.
    double best = 0.0;
    std::size_t bestRow = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const double rowBest = kernels.rowMax(a[j], n);
        if (rowBest > best) {
            best = rowBest;
            bestRow = j;
        }
    }

    for (std::size_t first = 0; first < n; first += kBlockPasses) {
        const std::size_t passes = std::min(kBlockPasses, n - first);
        const std::size_t blockActive = active;
        freshRows.clear();
        oldRows.clear();
        for (std::size_t r = 0; r < n; ++r) {
            (used[r] ? oldRows : freshRows).push_back(r);
            pending[r] = 0;
        }

        for (std::size_t j = 0; j < passes; ++j) {
            if (!(best > 0.0)) {
                return false;
            }
            // The first largest candidate in row-major order: the first row
            // holding the maximum (found above), and in it the lowest column.
            const std::size_t row = bestRow;
            std::size_t p = n;
            for (std::size_t q = 0; q < blockActive; ++q) {
                if (candidate[q] != 0 && std::fabs(a[row][q]) == best && columnAt[q] < p) {
                    p = columnAt[q];
                }
            }

            used[p] = 1;
            if (row != p) {
                std::swap(a[row], a[p]);
                // The block's factors belong to the row's contents. (Both
                // rows are fresh and not yet pivots: nothing else pending.)
                std::swap_ranges(&factors[row * kBlockPasses], &factors[row * kBlockPasses] + j,
                                 &factors[p * kBlockPasses]);
            }
            pivotRow[first + j] = row;
            pivotColumn[first + j] = p;
            const std::size_t at = positionOf[p];
            candidate[at] = 0;
            blockPivotPosition[j] = at;

            // Bring the pivot row up to date, scale it, keep a snapshot.
            double* const pivot = a[p];
            kernels.applyPasses(pivot + blockActive, pivots.data() + pending[p] * stride + blockActive, stride,
                                &factors[p * kBlockPasses + pending[p]], j - pending[p], n - blockActive);
            const double pivinv = 1.0 / pivot[at];
            pivot[at] = 1.0;
            for (std::size_t q = 0; q < n; ++q) {
                pivot[q] *= pivinv;
            }
            pending[p] = j + 1;
            std::copy(pivot, pivot + n, pivots.data() + j * stride);

            // Rows used before the block: only their factor, from the one
            // element, through the block's earlier passes.
            for (const std::size_t r : oldRows) {
                const double* const f = &factors[r * kBlockPasses];
                double v = a[r][at];
                for (std::size_t i = 0; i < j; ++i) {
                    v = v - pivots[i * stride + at] * f[i];
                }
                factors[r * kBlockPasses + j] = v;
            }

            // Fresh rows: the candidate columns now, with the next search.
            best = 0.0;
            bestRow = 0;
            for (const std::size_t r : freshRows) {
                if (r == p) {
                    continue;
                }
                double* const target = a[r];
                const double d = target[at];
                factors[r * kBlockPasses + j] = d;
                target[at] = 0.0;
                if (used[r]) {
                    kernels.update(target, pivot, d, blockActive);
                } else {
                    const double rowBest = kernels.updateAndMax(target, pivot, d, candidate.data(), blockActive);
                    if (rowBest > best) {
                        best = rowBest;
                        bestRow = r;
                    }
                }
            }
        }

        // The delayed updates of the block, a band of columns at a time so
        // that the band of the pivot snapshots stays in the first-level cache
        // while every row streams past it once.
        for (std::size_t band = 0; band < n; band += kBandColumns) {
            const std::size_t bandEnd = std::min(n, band + kBandColumns);
            for (const std::size_t r : oldRows) {
                kernels.applyPasses(a[r] + band, pivots.data() + band, stride, &factors[r * kBlockPasses], passes,
                                    bandEnd - band);
            }
            const std::size_t from = std::max(band, blockActive);
            if (from < bandEnd) {
                for (const std::size_t r : freshRows) {
                    kernels.applyPasses(a[r] + from, pivots.data() + pending[r] * stride + from, stride,
                                        &factors[r * kBlockPasses + pending[r]], passes - pending[r], bandEnd - from);
                }
            }
        }
        // In its own pass a pivot column was zeroed before the update.
        for (const std::size_t r : oldRows) {
            double* const target = a[r];
            const double* const f = &factors[r * kBlockPasses];
            for (std::size_t j = 0; j < passes; ++j) {
                const std::size_t at = blockPivotPosition[j];
                double v = 0.0 - pivots[j * stride + at] * f[j];
                for (std::size_t i = j + 1; i < passes; ++i) {
                    v = v - pivots[i * stride + at] * f[i];
                }
                target[at] = v;
            }
        }

        // The block's pivot columns leave the candidate run: each one found in
        // [0, active) trades places with an unused column from the tail.
        active = blockActive - passes;
        std::size_t spare = active;
        for (std::size_t q = 0; q < active; ++q) {
            if (candidate[q] != 0) {
                continue;
            }
            while (candidate[spare] == 0) {
                ++spare;
            }
            for (std::size_t r = 0; r < n; ++r) {
                std::swap(a[r][q], a[r][spare]);
            }
            const std::size_t movedIn = columnAt[spare];
            const std::size_t movedOut = columnAt[q];
            columnAt[q] = movedIn;
            positionOf[movedIn] = q;
            columnAt[spare] = movedOut;
            positionOf[movedOut] = spare;
            std::swap(candidate[q], candidate[spare]);
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
            std::copy(scratch.begin(), scratch.end(), target);
        }
    }
    return true;
}
