// The circuit engine on the MOSFET example: the Medium grid (127 loads) through
// the host's evaluator, one analysis per load in the wizard's order, once with
// every analysis starting cold and once continued from the steady state before;
// and continued in the reverse order (from the centre out), which must cost about
// the same.
// Target for the continued sweep: at most 1.0 s wall on a 2-core machine, about
// 8 periods per analysis on average (stretch: 4).
//
// Counters: sweep_s (wall time of the 127 analyses), analysis_ms and
// analysis_max_ms (wall time per analysis), periods and periods_max (periods
// simulated until the steady state), cpu_s (process CPU time of the sweep: the
// machine is shared, and wall time counts the waits for a core), failed (loads
// without a steady state), and x_ngspice: the sweep's time per simulated period
// over ngspice's own time per period of the same circuit (a plain transient with
// 50 ohm at the output and nothing measured), i.e. what the engine adds to the
// integration itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "gamma/predefined_grid.h"
#include "vexasim/project_file/project_file.h"
#include "vexasim/circuit/circuit_evaluator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// ngspice's time per period of the example's circuit, measured once.
double NgspiceSecondsPerPeriod(const vexasim::ProjectData& project, std::string& error) {
    static double seconds = -1.0;
    if (seconds < 0.0) {
        const vexasim::ElementData* element = circuit::CircuitElement(project.schematics.at(0));
        if (!element ||
            !circuit::TransientSecondsPerPeriod(element->circuit, circuit::NetlistParams(*element), 200, seconds, error))
            seconds = -1.0;
    }
    return seconds;
}

void MosfetMediumGrid(benchmark::State& state, bool continued, bool reversed) {
    vexasim::ProjectFile file;
    std::vector<std::string> errors;
    if (!vexasim::LoadProjectFile(EXAMPLES_DIR "/mosfet_pa.json", file, errors)) {
        state.SkipWithError(errors.empty() ? "the example does not load" : errors.front().c_str());
        return;
    }
    vexasim::ProjectData& project = file.data;
    std::string error;
    const double ngspicePeriod = NgspiceSecondsPerPeriod(project, error);
    if (ngspicePeriod <= 0.0) {
        state.SkipWithError(("ngspice's own transient: " + error).c_str());
        return;
    }
    vexasim::ElementData* tuner = nullptr;
    for (auto& e : project.schematics.at(0).elements)
        if (e.name == "LTUNER1") tuner = &e;
    std::unique_ptr<double[]> mags, angs;
    const long n = MakePredefinedGrid(1, mags, angs);
    const vexasim::MeasurementData& pout = project.graphs.at(0).measurements.at(0);
    circuit::SetContinuation(continued);
    double maxMs = 0.0, maxPeriods = 0.0, cpu = 0.0;
    int failed = 0;
    for (auto _ : state) {
        circuit::EndAnalyses();  // the first load starts cold either way
        const vexasim::Evaluator evaluate = circuit::HostEvaluator();
        const circuit::AnalysisStats before = circuit::Stats();
        const double cpu0 = CpuSeconds();
        for (long step = 0; step < n; ++step) {
            const long k = reversed ? n - 1 - step : step;
            tuner->parameters.at(0).value = mags[k];
            tuner->parameters.at(1).value = angs[k] * kPi / 180.0;
            try {
                benchmark::DoNotOptimize(evaluate(project, pout));
            } catch (const vexasim::AnalysisError& e) {
                std::fprintf(stderr, "%s\n", e.what());
                ++failed;
                continue;
            }
            maxMs = std::max(maxMs, 1e3 * circuit::Stats().lastSeconds);
            maxPeriods = std::max(maxPeriods, static_cast<double>(circuit::Stats().lastPeriods));
        }
        cpu = CpuSeconds() - cpu0;
        const circuit::AnalysisStats& after = circuit::Stats();
        const double count = std::max(after.analyses - before.analyses, 1);
        const double seconds = after.seconds - before.seconds;
        const double periods = static_cast<double>(after.periods - before.periods);
        state.counters["sweep_s"] = seconds;
        state.counters["analysis_ms"] = 1e3 * seconds / count;
        state.counters["periods"] = periods / count;
        state.counters["x_ngspice"] = periods > 0.0 ? seconds / periods / ngspicePeriod : 0.0;
    }
    circuit::EndAnalyses();
    circuit::SetContinuation(true);
    state.counters["analysis_max_ms"] = maxMs;
    state.counters["periods_max"] = maxPeriods;
    state.counters["cpu_s"] = cpu;
    state.counters["failed"] = failed;
    state.counters["ngspice_period_ms"] = 1e3 * ngspicePeriod;
}

void BM_MosfetMediumGridCold(benchmark::State& state) { MosfetMediumGrid(state, false, false); }
void BM_MosfetMediumGridContinued(benchmark::State& state) { MosfetMediumGrid(state, true, false); }
void BM_MosfetMediumGridContinuedReversed(benchmark::State& state) { MosfetMediumGrid(state, true, true); }
BENCHMARK(BM_MosfetMediumGridCold)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_MosfetMediumGridContinued)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_MosfetMediumGridContinuedReversed)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
