// The circuit engine's analyses on ngspice's shared library (the transient and its
// callbacks: ngspice_transient.cpp).
//
// One transient serves a whole sweep: the next analysis of the same deck continues
// it from the steady state of its neighbour with no parsing and no operating point.
// A failure (no steady state, the time limit, a transient that stops) halts the run
// ("bg_halt") and removes the circuit, so that the next analysis starts clean.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

#include "vexasim/circuit/engine.h"
#include "vexasim/circuit/netlist.h"
#include "vexasim/circuit/ngspice_transient.h"
#include "vexasim/circuit/termination.h"

namespace circuit {
namespace {

using Clock = std::chrono::steady_clock;

// The transient is long enough for any sweep: it is halted, never run out.
constexpr double kTransientPeriods = 1e8;

// Periods a continued analysis may take before it is started over cold: a
// neighbour's steady state that leads nowhere costs no more than a cold start.
constexpr int kContinuedPeriods = 60;

bool SameSource(const Loads& a, const Loads& b) {
    return a.pavsDbm == b.pavsDbm && std::equal(a.source, a.source + 3, b.source);
}

bool SameOutput(const Loads& a, const Loads& b) { return std::equal(a.gamma, a.gamma + 3, b.gamma); }

// Gives the waiting transient its next analysis; false when there is none to
// continue (none waits at a steady state, or it holds another deck).
bool ContinueTransient(const std::string& deck, const vexasim::CircuitData& c, const Loads& loads) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    Transient* r = e.run;
    if (!e.continuation || !r || r->state != Transient::State::Steady || e.loaded != deck || e.stopped || e.dead)
        return false;
    r->loop.Retarget(loads, r->periodStart);
    if (r->source) {
        r->source->Retarget(SourceLoads(loads), r->periodStart, IncidentWave(loads));
        // What one port changes moves the other's steady state at its unchanged
        // source (a drive change, the output's most of all).
        if (!SameSource(loads, r->loads)) r->loop.Disturb();
        if (!SameOutput(loads, r->loads)) r->source->Disturb();
    }
    r->loads = loads;
    r->periods = 0;
    r->analysisStart = r->periodStart;
    r->maxPeriods = std::min(c.maxPeriods, kContinuedPeriods);
    r->result = Outputs();
    r->result.continued = true;
    r->state = Transient::State::Running;
    e.errors.clear();
    e.changed.notify_all();
    return true;
}

std::string DeckText(const Deck& deck) {
    std::string text;
    for (const std::string& l : deck.lines) text += l + "\n";
    return text;
}

OutputBias BiasOf(const vexasim::CircuitData& c, const Params& params) {
    double vdd = 0.0;
    for (const auto& p : params)
        if (Lower(p.first) == "vdd") vdd = p.second;
    OutputBias bias;
    const bool own = !c.supply.empty();
    bias.dc = !OutputHasDcPath(c) ? DcLoad::Free : own ? DcLoad::Open : DcLoad::Supply;
    bias.vdd = own ? 0.0 : vdd;
    bias.scale = std::fabs(vdd);
    return bias;
}

// The input port at DC: its generator is DC-blocked, so the DC is no condition;
// its corrections are bounded by its own waves.
OutputBias InputBias() {
    OutputBias bias;
    bias.dc = DcLoad::Free;
    return bias;
}

}  // namespace

bool Available() { return true; }

void SetLogFile(const std::string& path) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (e.log) std::fclose(e.log);
    e.log = path.empty() ? nullptr : std::fopen(path.c_str(), "w");
    e.logPath = e.log ? path : std::string();
}

void SetContinuation(bool on) {
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.continuation = on;
    }
    if (!on) EndAnalyses();
}

void EndAnalyses() {
    Engine& e = TheEngine();
    if (!e.initialised) return;
    HaltTransient();
    if (!e.loaded.empty()) Unload();
}

bool CheckCircuit(const vexasim::CircuitData& c, const Params& params, std::string& error) {
    if (!Ready(error)) return false;
    EndAnalyses();
    const Deck deck = BuildDeck(c, params, 0.0);
    if (!Load(c, deck, error)) return false;
    // Some warnings come only when ngspice sets the circuit up (a resistor without
    // a value is clamped): an operating point sets it up.
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.errors.clear();
    }
    Command("op");
    std::string warning;
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        warning = LoadWarning(e.errors, deck, c);
    }
    Unload();
    if (warning.empty()) return true;
    error = "ngspice warns about the netlist: " + warning;
    return false;
}

bool TransientSecondsPerPeriod(const vexasim::CircuitData& c, const Params& params, int periods, double& seconds,
                               std::string& error) {
    if (!Ready(error)) return false;
    Engine& e = TheEngine();
    EndAnalyses();
    if (!Load(c, BuildDeck(c, params, periods), error)) return false;
    // In this thread, without the termination loop: the source stays at the supply.
    e.idleVoltage = BiasOf(c, params).vdd;
    const Clock::time_point start = Clock::now();
    Command("run");
    seconds = std::chrono::duration<double>(Clock::now() - start).count() / (periods + 1);
    e.idleVoltage = 0.0;
    Unload();
    return true;
}

bool SimulateCircuit(const vexasim::CircuitData& c, const Params& params, const Loads& loads, Outputs& out,
                     std::string& error) {
    if (!Ready(error)) return false;
    if (!c.input.empty() && !(std::abs(loads.source[0]) < 1.0)) {
        error = "the source's reflection coefficient at the fundamental is 1 or more: it has no power available";
        return false;
    }
    Engine& e = TheEngine();
    const Clock::time_point start = Clock::now();
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(c.timeLimit));
    const Deck deck = BuildDeck(c, params, kTransientPeriods);
    const std::string text = DeckText(deck);
    bool continued = ContinueTransient(text, c, loads);
    bool careful = false;
    int abandoned = 0;  // periods of the attempts that were started over
    for (;;) {
        if (!continued) {
            EndAnalyses();
            if (!Load(c, deck, error)) return false;
            {
                std::lock_guard<std::mutex> lock(e.mutex);
                e.loaded = text;
            }
            auto run = std::make_unique<Transient>(c, loads, BiasOf(c, params), InputBias(), careful);
            run->nodeV = Lower(c.output);
            run->branchI = std::string(kTerminationSource) + "#branch";
            if (!c.input.empty()) {
                run->nodeIn = Lower(c.input);
                run->branchIn = std::string(kInputSource) + "#branch";
            } else {
                run->drive = Probe(c, c.drive);
            }
            for (const std::string& s : c.supply) run->supplies.push_back(Probe(c, s));
            StartTransient(std::move(run));
        }
        Transient* run = e.run;
        bool timedOut = false;
        {
            // ngspice cannot be halted in its operating point and then given another
            // circuit; the operating point ends by itself (it has its own iteration
            // limits), so the time limit stops the transient only.
            std::unique_lock<std::mutex> lock(e.mutex);
            while (run->state == Transient::State::Running && !e.stopped && !e.dead) {
                if (Clock::now() >= deadline && run->started) {
                    timedOut = true;
                    break;
                }
                if (Clock::now() >= deadline)
                    e.changed.wait_for(lock, std::chrono::milliseconds(5));
                else
                    e.changed.wait_until(lock, deadline);
            }
        }
        if (run->state == Transient::State::Steady) {
            out = run->result;
            out.periods += abandoned;
            out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            const double pout = std::max(out.poutW, 1e-12), pin = std::max(out.pinW, 1e-12);
            out.poutDbw = 10.0 * std::log10(pout);
            // Without supply power (a circuit without a supply) there is no efficiency.
            const bool supplied = out.pdcW > 1e-9 * std::max(std::fabs(out.poutW), std::fabs(out.pinW)) + 1e-12;
            out.drainEffPct = supplied ? 100.0 * out.poutW / out.pdcW : 0.0;
            out.paePct = supplied ? 100.0 * (out.poutW - out.pinW) / out.pdcW : 0.0;
            out.gainDb = 10.0 * std::log10(pout / pin);
            if (!c.input.empty()) {
                out.pavsW = vexasim::DbmToWatts(loads.pavsDbm);
                out.gtDb = 10.0 * std::log10(pout / out.pavsW);
            }
            if (!e.continuation) EndAnalyses();
            return true;
        }
        // A failure: the next analysis starts cold.
        const bool exhausted = run->state == Transient::State::Exhausted;
        const std::unique_ptr<Transient> halted = HaltTransient();
        const int periods = halted->periods + abandoned;
        double gammaError = halted->loop.GammaError(), currentChange = halted->loop.CurrentChange();
        if (halted->source) {
            gammaError = std::max(gammaError, halted->source->GammaError());
            currentChange = std::max(currentChange, halted->source->CurrentChange());
        }
        std::vector<std::string> errors;
        {
            std::lock_guard<std::mutex> lock(e.mutex);
            errors = e.errors;
        }
        Unload();
        const bool again = !timedOut && (continued || (exhausted && !careful));
        if (again && !Ready(error)) return false;
        if (again) {
            // A continuation that leads nowhere is started over cold: what a load
            // gives never depends on the load before it. A cold start that finds no
            // steady state is tried once more with a careful loop.
            careful = !continued;
            continued = false;
            abandoned = periods;
            continue;
        }
        char buf[160];
        if (timedOut) {
            std::snprintf(buf, sizeof buf, "the analysis took longer than its time limit of %g s (%d periods simulated)",
                          c.timeLimit, periods);
            error = buf;
        } else if (exhausted) {
            if (gammaError < TerminationLoop::kGammaTolerance)
                std::snprintf(buf, sizeof buf,
                              "no steady state after %d periods (the fundamental current still changes by %.2g from "
                              "one period to the next)",
                              periods, currentChange);
            else
                std::snprintf(buf, sizeof buf,
                              "no steady state after %d periods (the loads are still off by %.2g in reflection "
                              "coefficient)",
                              periods, gammaError);
            error = buf;
        } else {
            std::string why;
            for (const std::string& l : errors)
                if (l.find("rror") != std::string::npos || l.find("too small") != std::string::npos)
                    why += (why.empty() ? "" : " ") + l;
            error = "the transient does not converge" + (why.empty() ? std::string() : " (ngspice: " + why + ")");
        }
        return false;
    }
}

}  // namespace circuit
