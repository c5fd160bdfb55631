// The interpolation work of the sweep, per measurement: feed the samples of
// a ring layout, solve the thin-plate spline, evaluate the 41 x 41 contour
// grid. Fit and evaluation are timed separately and together; the largest
// fit is set against the memory-traffic bound of its kernel inversion (one
// read and one write of the whole matrix per pass, at the bandwidth a plain
// copy of the matrix reaches in the same run).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/angles.h"
#include "interp/gauss_jordan.h"
#include "interp/interpolator_holder.h"
#include "interp/thin_plate_spline_method.h"

namespace {

struct Sample {
    double x;
    double y;
    double z;
};

// Rings k = R..1 of magnitude 0.95 k / R with 6k points from 0 degrees, then
// the centre (the rule of the pre-defined grids): 3R(R+1) + 1 samples.
std::vector<Sample> RingSamples(int rings, int measurement = 0) {
    std::vector<Sample> samples;
    auto add = [&](double x, double y) {
        const double z = std::sin(3.0 * x + measurement) * std::cos(2.0 * y) + 0.5 * x * y + std::exp(x);
        samples.push_back({x, y, z});
    };
    for (int k = rings; k >= 1; --k) {
        const double magnitude = 0.95 * k / rings;
        for (int j = 0; j < 6 * k; ++j) {
            const double angle = DegreesToRadians(j * 360.0 / (6 * k));
            add(magnitude * std::cos(angle), magnitude * std::sin(angle));
        }
    }
    add(0.0, 0.0);
    return samples;
}

std::unique_ptr<K_ThinPlateSplineMethod> Feed(const std::vector<Sample>& samples) {
    auto tps = std::make_unique<K_ThinPlateSplineMethod>();
    for (const Sample& s : samples) tps->AddPoint(s.x, s.y, s.z);
    return tps;
}

// The contour grid: x, y = -1 + 0.05 q for q = 0..40.
double EvaluateGrid(K_InterpMethod& m) {
    double sum = 0.0;
    for (int qx = 0; qx <= 40; ++qx) {
        for (int qy = 0; qy <= 40; ++qy) sum += m.Interpolate(-1.0 + 0.05 * qx, -1.0 + 0.05 * qy);
    }
    return sum;
}

void Describe(benchmark::State& state, int rings) {
    state.counters["n"] = 3.0 * rings * (rings + 1) + 1;
    state.SetLabel(GaussJordanKernels().front());
}

// Feeding the samples and solving (the first Interpolate runs the solve).
// Each iteration's spline dies before the next one solves, so nothing is
// shared between iterations.
void BM_Fit(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    const auto samples = RingSamples(rings);
    for (auto _ : state) {
        auto tps = Feed(samples);
        benchmark::DoNotOptimize(tps->Interpolate(0.0, 0.0));
        if (!tps->FitValid()) state.SkipWithError("singular fit");
    }
    Describe(state, rings);
}

void BM_Evaluate(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    auto tps = Feed(RingSamples(rings));
    tps->Interpolate(0.0, 0.0);
    for (auto _ : state) benchmark::DoNotOptimize(EvaluateGrid(*tps));
    Describe(state, rings);
}

void BM_FitAndEvaluate(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    const auto samples = RingSamples(rings);
    for (auto _ : state) {
        auto tps = Feed(samples);
        benchmark::DoNotOptimize(EvaluateGrid(*tps));
    }
    Describe(state, rings);
}

// m measurements sampled at the same gamma points, as the sweep feeds them:
// one holder per measurement, every point added to each holder in turn, then
// each holder's grid evaluated. The node-dependent part is solved once.
void BM_SharedNodes(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    const int measurements = static_cast<int>(state.range(1));
    std::vector<std::vector<Sample>> values;
    for (int m = 0; m < measurements; ++m) values.push_back(RingSamples(rings, m));
    const long before = K_ThinPlateSplineMethod::KernelInversionCount();
    for (auto _ : state) {
        std::vector<InterpolatorHolder> holders(static_cast<std::size_t>(measurements));
        for (std::size_t i = 0; i < values[0].size(); ++i) {
            for (int m = 0; m < measurements; ++m) {
                const Sample& s = values[static_cast<std::size_t>(m)][i];
                holders[static_cast<std::size_t>(m)].AddPoint(s.x, s.y, s.z);
            }
        }
        for (auto& h : holders) benchmark::DoNotOptimize(EvaluateGrid(*h.Method()));
    }
    Describe(state, rings);
    state.counters["m"] = measurements;
    state.counters["inversions_per_iter"] = static_cast<double>(K_ThinPlateSplineMethod::KernelInversionCount() - before) /
                                            static_cast<double>(state.iterations());
}

// Seconds for one plain copy of an n x n matrix of doubles (best of `reps`).
double CopySeconds(std::size_t n, int reps) {
    std::vector<double> from(n * n, 1.0);
    std::vector<double> to(n * n, 0.0);
    double best = 1e30;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        std::copy(from.begin(), from.end(), to.begin());
        benchmark::ClobberMemory();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        from[static_cast<std::size_t>(r) % from.size()] += to[to.size() - 1];
    }
    return best;
}

// The plain copy on its own, for its bandwidth (bytes read plus written).
void BM_CopyMatrix(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    std::vector<double> from(n * n, 1.0);
    std::vector<double> to(n * n, 0.0);
    for (auto _ : state) {
        std::copy(from.begin(), from.end(), to.begin());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 *
                            static_cast<std::int64_t>(n * n * sizeof(double)));
    state.counters["n"] = static_cast<double>(n);
}

// The fit against its bound, measured side by side: bound = n passes x one
// copy of the matrix. Also checks that the fit reproduces every sample to
// within 1e-9 of the largest |z|.
void BM_FitVersusCopyBound(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    const auto samples = RingSamples(rings);
    const std::size_t n = samples.size();
    double fitSeconds = 0.0;
    double boundSeconds = 0.0;
    for (auto _ : state) {
        boundSeconds += static_cast<double>(n) * CopySeconds(n, 20);
        const auto t0 = std::chrono::steady_clock::now();
        auto tps = Feed(samples);
        tps->Interpolate(0.0, 0.0);
        const auto t1 = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        fitSeconds += seconds;
        state.SetIterationTime(seconds);

        double largest = 0.0;
        double worst = 0.0;
        for (const Sample& s : samples) {
            largest = std::max(largest, std::fabs(s.z));
            worst = std::max(worst, std::fabs(tps->Interpolate(s.x, s.y) - s.z));
        }
        if (!tps->FitValid() || !(worst <= 1e-9 * largest)) {
            state.SkipWithError(("samples not reproduced: worst " + std::to_string(worst / largest) +
                                 " of max |z|").c_str());
            break;
        }
        state.counters["worst_rel_error"] = worst / largest;
    }
    const double iterations = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["fit_s"] = fitSeconds / iterations;
    state.counters["bound_s"] = boundSeconds / iterations;
    state.counters["fit_over_bound"] = fitSeconds / boundSeconds;
    Describe(state, rings);
}

}  // namespace

BENCHMARK(BM_Fit)->Arg(4)->Arg(6)->Arg(8)->Arg(10)->Arg(18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Evaluate)->Arg(4)->Arg(6)->Arg(8)->Arg(10)->Arg(18)->Arg(26)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitAndEvaluate)->Arg(4)->Arg(6)->Arg(8)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedNodes)->Args({10, 1})->Args({10, 4})->Args({18, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyMatrix)->Arg(331)->Arg(2107)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitVersusCopyBound)->Arg(26)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
