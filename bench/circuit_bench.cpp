// The circuit engine on the MOSFET example: the Medium grid (127 loads) through
// the host's evaluator, one analysis per load, as the wizard's sweep asks for
// them. Target: the whole sweep under 30 s on a 2-core machine. The wizard's own
// share of a sweep is bench_sweep_bench's; the engine does not change it.
//
// Counters: sweep_s (wall time of the 127 analyses), analysis_ms and
// analysis_max_ms (wall time per analysis), periods and periods_max (periods
// simulated until the steady state), cpu_s (process CPU time of the sweep: the
// machine is shared, and wall time counts the waits for a core).
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "gamma/predefined_grid.h"
#include "vexasim/app/project_file.h"
#include "vexasim/circuit/circuit_evaluator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void BM_MosfetMediumGrid(benchmark::State& state) {
    vexasim::ProjectFile file;
    std::vector<std::string> errors;
    if (!vexasim::LoadProjectFile(EXAMPLES_DIR "/mosfet_pa.json", file, errors)) {
        state.SkipWithError(errors.empty() ? "the example does not load" : errors.front().c_str());
        return;
    }
    vexasim::ProjectData& project = file.data;
    vexasim::ElementData* tuner = nullptr;
    for (auto& e : project.schematics.at(0).elements)
        if (e.name == "LTUNER1") tuner = &e;
    std::unique_ptr<double[]> mags, angs;
    const long n = MakePredefinedGrid(1, mags, angs);
    const vexasim::MeasurementData& pout = project.graphs.at(0).measurements.at(0);
    double maxMs = 0.0, maxPeriods = 0.0, cpu = 0.0;
    for (auto _ : state) {
        const vexasim::Evaluator evaluate = circuit::HostEvaluator();
        const int analyses = circuit::Stats().analyses;
        const long periods = circuit::Stats().periods;
        const double seconds = circuit::Stats().seconds;
        const double cpu0 = CpuSeconds();
        for (long k = 0; k < n; ++k) {
            tuner->parameters.at(0).value = mags[k];
            tuner->parameters.at(1).value = angs[k] * kPi / 180.0;
            try {
                benchmark::DoNotOptimize(evaluate(project, pout));
            } catch (const vexasim::AnalysisError& e) {
                state.SkipWithError(e.what());
                return;
            }
            maxMs = std::max(maxMs, 1e3 * circuit::Stats().lastSeconds);
            maxPeriods = std::max(maxPeriods, static_cast<double>(circuit::Stats().lastPeriods));
        }
        cpu = CpuSeconds() - cpu0;
        const double count = circuit::Stats().analyses - analyses;
        state.counters["sweep_s"] = circuit::Stats().seconds - seconds;
        state.counters["analysis_ms"] = 1e3 * (circuit::Stats().seconds - seconds) / count;
        state.counters["periods"] = static_cast<double>(circuit::Stats().periods - periods) / count;
    }
    state.counters["analysis_max_ms"] = maxMs;
    state.counters["periods_max"] = maxPeriods;
    state.counters["cpu_s"] = cpu;
}
BENCHMARK(BM_MosfetMediumGrid)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
