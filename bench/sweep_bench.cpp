// A whole sweep on the stand-in host: the Extra Fine grid (331 points), four
// measurements, an evaluation function that costs nothing. The target is the
// wizard's own work, everything but the host's analyses, under 0.1 s.
//
// BM_WholeSweep times RunSweep and splits it with the analysis observer:
//   loop_ms      steps up to the restore of the tuner (331 analyses included),
//   analysis_ms  the time the host spent inside those analyses,
//   contour_ms   the contour output of the four measurements (fits, grid
//                evaluations, text, data files and graph; one analysis),
//   finish_ms    the last analysis, the window and the removal of the points graph,
//   wizard_ms    the whole sweep less analysis_ms,
//   inversions   kernel inversions per sweep (1: the four splines share one).
// The other benchmarks take the contour output apart on the same samples:
// the fits (one kernel inversion shared by the four splines), the 4 x 1681 grid
// evaluations and the text of the four data files.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <vector>

#include "interp/interpolator_holder.h"
#include "interp/thin_plate_spline_method.h"
#include "platform/automation/input_source.h"
#include "project/lpsetup.h"
#include "sweep/contour_grid.h"
#include "vexasim/host.h"

namespace {

using Clock = std::chrono::steady_clock;
using Gamma = std::complex<double>;

constexpr long kExtraFine = 3;
const char* const kMeasurements[] = {"Pout", "Gain", "Eff", "Ibias"};
constexpr int kMeasurementCount = 4;

double Measure(int which, Gamma g) {
    switch (which) {
        case 0: return 12.6 - 6.2 * std::norm(g - Gamma(0.4, 0.2));
        case 1: return 15.0 + 3.0 * g.real() - 2.0 * g.imag();
        case 2: return 60.0 - 40.0 * std::norm(g - Gamma(-0.2, 0.3));
        default: return 0.1 + 0.05 * std::abs(g);
    }
}

int MeasurementIndex(const std::string& name) {
    for (int i = 0; i < kMeasurementCount; ++i)
        if (name == kMeasurements[i]) return i;
    return -1;
}

Gamma TunerGamma(const vexasim::ProjectData& p) {
    const auto& params = p.schematics.at(0).elements.at(0).parameters;
    return std::polar(params.at(0).value, params.at(1).value);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The project, and where the time of one sweep went.
struct Bench {
    vexasim::Host sim;
    platform::RecordingInputSource input;
    platform::ScopedInputSource scopedInput{input};

    bool inAnalysis = false;
    Clock::time_point analysisStart;
    Clock::duration analysis{};
    std::vector<Clock::time_point> analyzeAll;  // ends of the analyses with (-1, -1)

    Bench() {
        vexasim::ProjectBuilder b(sim);
        b.Schematic("Amp").Element("LTUNER1", {Parameter("Mag", 0.1), Parameter("Ang", 0.3)}).Graph("Output", 3);
        for (const char* name : kMeasurements) b.Measurement("Amp", name, 1, 0);
        b.Units(13, "dBm").Units(14, "mW");
        sim.SetEvaluator([this](const vexasim::ProjectData& p, const vexasim::MeasurementData& m) {
            if (!inAnalysis) {
                inAnalysis = true;
                analysisStart = Clock::now();
            }
            return Measure(MeasurementIndex(m.name), TunerGamma(p));
        });
        sim.SetAnalyzeObserver([this](long first, long second) {
            const Clock::time_point now = Clock::now();
            analysis += now - analysisStart;
            inAnalysis = false;
            if (first == -1 && second == -1) analyzeAll.push_back(now);
        });
    }

    static vexasim::ParameterData Parameter(const char* name, double value) {
        vexasim::ParameterData p;
        p.name = name;
        p.value = value;
        return p;
    }

    // A run up to Simulate: project set up, four measurements chosen, the grid built.
    std::unique_ptr<LPSetup> Prepare() {
        auto setup = std::make_unique<LPSetup>();
        setup->SetApplication(sim.Application());
        long r = setup->FinishProjectSetup();
        for (const char* name : kMeasurements) {
            if (r != 0) break;
            r = setup->AddSelectedMeasurement(host::FromAnsi(std::string("Amp:") + name).get(),
                                              host::FromAnsi(std::string(name) + "Grid").get());
        }
        if (r == 0) r = setup->BuildGammaPoints(kExtraFine);
        if (r != 0 || setup->pointCount != 331) return nullptr;
        analysis = {};
        analyzeAll.clear();
        sim.ClearCalls();
        return setup;
    }
};

void BM_WholeSweep(benchmark::State& state) {
    Bench b;
    double loop = 0, analysis = 0, contour = 0, finish = 0, total = 0, inversions = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<LPSetup> setup = b.Prepare();
        if (!setup) {
            state.SkipWithError("the set-up failed");
            break;
        }
        const long inversionsBefore = K_ThinPlateSplineMethod::KernelInversionCount();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        const long r = setup->RunSweep();
        const Clock::time_point end = Clock::now();
        state.PauseTiming();
        if (r != 0 || b.analyzeAll.size() != 2 || !b.input.boxes.empty()) {
            state.SkipWithError("the sweep did not complete");
            break;
        }
        loop += Ms(b.analyzeAll[0] - start);
        contour += Ms(b.analyzeAll[1] - b.analyzeAll[0]);
        finish += Ms(end - b.analyzeAll[1]);
        analysis += Ms(b.analysis);
        total += Ms(end - start);
        inversions += static_cast<double>(K_ThinPlateSplineMethod::KernelInversionCount() - inversionsBefore);
        setup.reset();
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["loop_ms"] = loop / n;
    state.counters["analysis_ms"] = analysis / n;
    state.counters["contour_ms"] = contour / n;
    state.counters["finish_ms"] = finish / n;
    state.counters["wizard_ms"] = (total - analysis) / n;
    state.counters["inversions"] = inversions / n;
}
BENCHMARK(BM_WholeSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The samples one sweep feeds the four splines.
struct Samples {
    std::vector<double> x, y;
    std::vector<double> z[kMeasurementCount];
    Samples() {
        Bench b;
        std::unique_ptr<LPSetup> setup = b.Prepare();
        if (!setup) return;
        const double pi = 4.0 * std::atan(1.0);
        for (long k = 0; k < setup->pointCount; ++k) {
            const Gamma g = std::polar(setup->pointMagnitudes[k], pi * setup->pointAnglesDeg[k] / 180.0);
            x.push_back(g.real());
            y.push_back(g.imag());
            for (int i = 0; i < kMeasurementCount; ++i) z[i].push_back(Measure(i, g));
        }
    }
};
const Samples& SweepSamples() {
    static const Samples samples;
    return samples;
}

// Four holders fed like the sweep feeds them; fitted when fit is true.
std::vector<InterpolatorHolder> Fed(bool fit) {
    const Samples& s = SweepSamples();
    std::vector<InterpolatorHolder> holders(kMeasurementCount);
    for (std::size_t k = 0; k < s.x.size(); ++k)
        for (int i = 0; i < kMeasurementCount; ++i) holders[i].AddPoint(s.x[k], s.y[k], s.z[i][k]);
    if (fit)
        for (auto& h : holders) benchmark::DoNotOptimize(h.Interpolate(0.0, 0.0));
    return holders;
}

void BM_Fits(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<InterpolatorHolder> holders = Fed(false);
        state.ResumeTiming();
        // The first value of each solves it; the splines share one kernel inversion.
        for (auto& h : holders) benchmark::DoNotOptimize(h.Interpolate(0.0, 0.0));
        state.PauseTiming();
        holders.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Fits)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GridEvaluations(benchmark::State& state) {
    std::vector<InterpolatorHolder> holders = Fed(true);
    for (auto _ : state)
        for (auto& h : holders) benchmark::DoNotOptimize(contour::Evaluate(h));
}
BENCHMARK(BM_GridEvaluations)->Unit(benchmark::kMillisecond);

void BM_TextOutput(benchmark::State& state) {
    std::vector<InterpolatorHolder> holders = Fed(true);
    std::vector<std::vector<double>> grids;
    for (auto& h : holders) grids.push_back(contour::Evaluate(h));
    for (auto _ : state)
        for (const auto& g : grids) benchmark::DoNotOptimize(contour::Text(g));
}
BENCHMARK(BM_TextOutput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
