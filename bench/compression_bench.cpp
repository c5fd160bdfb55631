// The drive-up to compression on the MOSFET example driven at its input port:
// the Medium grid (127 loads) through the host's evaluator in the wizard's order,
// each load's drive-up continuing from the steady state of the load before and
// guided by where the loads before found each level. Target: the grid at 1 dB
// compression under 10 s wall on a 2-core machine.
//
// Counters: sweep_s (wall time of the 127 drive-ups), cpu_s (processor time of
// the process meanwhile, ngspice's thread included), drives (drives simulated per
// load, the small-signal one and the refinement around each level included),
// drives_max (the most at one load), analysis_ms (wall time per drive), periods
// (per drive), failed (loads whose drive-up failed: no steady state at some
// drive, or the cap reached).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gamma/predefined_grid.h"
#include "vexasim/project_file/project_file.h"
#include "vexasim/circuit/circuit_evaluator.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The levels asked: 1 dB, or 1 and 3 dB.
void BM_MosfetMediumGrid(benchmark::State& state) {
    vexasim::ProjectFile file;
    std::vector<std::string> errors;
    if (!vexasim::LoadProjectFile(EXAMPLES_DIR "/mosfet_pa_compression.json", file, errors)) {
        state.SkipWithError(errors.empty() ? "the example does not load" : errors.front().c_str());
        return;
    }
    vexasim::ProjectData& project = file.data;
    vexasim::ElementData* tuner = nullptr;
    for (auto& e : project.schematics.at(0).elements)
        if (e.name == "LTUNER1") tuner = &e;
    std::vector<double> levels = {1.0};
    if (state.range(0) > 1) levels.push_back(static_cast<double>(state.range(0)));
    project.schematics.at(0).elements.at(0).circuit.driveUp.levels = levels;
    std::unique_ptr<double[]> mags, angs;
    const long n = MakePredefinedGrid(1, mags, angs);
    vexasim::MeasurementData pout;
    pout.source = "PA";
    pout.name = "Pout_1dB";
    int failed = 0;
    for (auto _ : state) {
        circuit::EndAnalyses();
        const vexasim::Evaluator evaluate = circuit::HostEvaluator();
        const circuit::AnalysisStats before = circuit::Stats();
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu = std::clock();
        int most = 0;
        for (long k = 0; k < n; ++k) {
            tuner->parameters.at(0).value = mags[k];
            tuner->parameters.at(1).value = angs[k] * kPi / 180.0;
            const int analyses = circuit::Stats().analyses;
            for (double level : levels) {
                pout.name = "Pout_" + std::to_string(static_cast<int>(level)) + "dB";
                try {
                    benchmark::DoNotOptimize(evaluate(project, pout));
                } catch (const vexasim::AnalysisError& e) {
                    std::fprintf(stderr, "%s\n", e.what());
                    ++failed;
                    break;
                }
            }
            most = std::max(most, circuit::Stats().analyses - analyses);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_s"] = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
        state.counters["drives_max"] = most;
        const circuit::AnalysisStats& after = circuit::Stats();
        const double drives = std::max(after.analyses - before.analyses, 1);
        state.counters["sweep_s"] = wall;
        state.counters["drives"] = drives / static_cast<double>(n);
        state.counters["analysis_ms"] = 1e3 * (after.seconds - before.seconds) / drives;
        state.counters["periods"] = static_cast<double>(after.periods - before.periods) / drives;
    }
    circuit::EndAnalyses();
    state.counters["failed"] = failed;
}
BENCHMARK(BM_MosfetMediumGrid)->Arg(1)->Arg(3)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
