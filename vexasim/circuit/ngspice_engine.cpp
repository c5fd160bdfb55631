// The circuit engine on ngspice's shared library. The transient runs in ngspice's
// background thread ("bg_run"): only the running transient tells when the steady
// state is reached, and a foreground "run" cannot be stopped before its end (nor
// by a breakpoint from ngSpice_SetBkpt). The callbacks record every accepted time
// point (SendData), close each period, let the termination loop correct the
// load's harmonics, and give the termination source its voltage (GetVSRCData of
// ngSpice_Init_Sync).
//
// One transient serves a whole sweep. At a steady state the data callback holds
// ngspice's thread at the end of that period and the host thread takes the
// result; the next analysis of the same deck gives the termination loop its new
// loads and lets the thread go on, so that it starts from the steady state of its
// neighbour with no parsing and no operating point. ngspice keeps no vector of
// the transient (".save none"), so its memory does not grow with its length. A
// failure (no steady state, the time limit, a transient that stops) halts the run
// ("bg_halt") and removes the circuit, so that the next analysis starts clean.
// After a fatal error ngspice waits to be detached and cannot be used again: the
// engine then refuses further analyses.
#include <ngspice/sharedspice.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "vexasim/circuit/engine.h"
#include "vexasim/circuit/netlist.h"
#include "vexasim/circuit/netlist_safety.h"
#include "vexasim/circuit/startup_files.h"
#include "vexasim/circuit/termination.h"

namespace circuit {
namespace {

using Clock = std::chrono::steady_clock;

// The transient is long enough for any sweep: it is halted, never run out.
constexpr double kTransientPeriods = 1e8;

// Periods a continued analysis may take before it is started over cold: a
// neighbour's steady state that leads nowhere costs no more than a cold start.
constexpr int kContinuedPeriods = 60;

// A source of the netlist whose delivered power is measured: the voltage across
// it times the current out of its positive node.
struct SourceProbe {
    std::string branch, pos, neg;  // vector names; "" for a ground node
    int idxI = -1, idxP = -1, idxN = -1;
};

// The quantities sampled at every time point.
enum Quantity { kV, kI, kPin, kPdc, kIdc, kVin, kIin, kQuantities };

// The wave the input port's source sends at the fundamental: its available power
// is |b|^2 / (2 Z0 (1 - |gamma_s|^2)).
Complex IncidentWave(const Loads& loads) {
    const double pavs = std::pow(10.0, (loads.pavsDbm - 30.0) / 10.0);
    return Complex(std::sqrt(2.0 * kZ0 * pavs * std::max(0.0, 1.0 - std::norm(loads.source[0]))), 0.0);
}

Loads SourceLoads(const Loads& loads) {
    Loads s;
    for (int n = 0; n < 3; ++n) s.gamma[n] = loads.source[n];
    return s;
}

// The transient under way and the analysis it serves. ngspice's thread touches it
// while the state is Running; the host thread reads and changes it only while the
// state is not Running (under the engine's mutex).
struct Transient {
    enum class State {
        Running,    // an analysis is under way
        Steady,     // the analysis reached a steady state: ngspice's thread waits
        Exhausted,  // no steady state within the periods allowed
        Stopping,   // the host halts the run
    };

    Transient(const vexasim::CircuitData& c, const Loads& loads, const OutputBias& bias, const OutputBias& inputBias)
        : loop(loads, bias, c.frequency), period(1.0 / c.frequency), maxPeriods(c.maxPeriods) {
        if (!c.input.empty())
            source = std::make_unique<TerminationLoop>(SourceLoads(loads), inputBias, c.frequency, IncidentWave(loads));
    }

    TerminationLoop loop;
    std::unique_ptr<TerminationLoop> source;  // the input port's, when the circuit has one
    std::string nodeIn, branchIn;
    double period;
    std::string nodeV, branchI;
    SourceProbe drive;
    std::vector<SourceProbe> supplies;  // the netlist's own; none when the engine supplies the output
    bool indexed = false;
    int idxT = -1, idxV = -1, idxI = -1, idxVin = -1, idxIin = -1;

    std::vector<double> t, x[kQuantities];  // samples of the period under way
    double periodStart = 0.0;
    bool started = false;  // the first time point came: the operating point is behind

    int maxPeriods;
    int periods = 0;  // of this analysis
    State state = State::Running;
    Outputs result;
};

struct Engine {
    bool initialised = false;
    bool dead = false;  // ngspice asked to be detached after a fatal error
    std::string logPath;  // ngspice's output; none until SetLogFile
    FILE* log = nullptr;
    bool continuation = true;
    double idleVoltage = 0.0;  // the termination source when no analysis runs

    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = true;
    std::vector<std::string> errors;  // ngspice's stderr lines since the last clear
    std::string loaded;  // the deck ngspice holds, one text ("" none)
    std::unique_ptr<Transient> transient;
    Transient* run = nullptr;  // what ngspice's thread sees of it

    ~Engine();
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

void Log(const char* text) {
    Engine& e = TheEngine();
    if (e.log) {
        std::fputs(text, e.log);
        std::fputc('\n', e.log);
    }
}

int OnChar(char* text, int, void*) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    Log(text);
    if (std::strncmp(text, "stderr ", 7) == 0) e.errors.emplace_back(text + 7);
    return 0;
}

int OnStat(char*, int, void*) { return 0; }

int OnExit(int, NG_BOOL, NG_BOOL, int, void*) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.dead = true;
    return 0;
}

int OnRunning(NG_BOOL noRun, int, void*) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.stopped = noRun;
    e.changed.notify_all();
    return 0;
}

int OnInitData(pvecinfoall, int, void*) { return 0; }

std::string VectorName(const char* name) {
    std::string n = Lower(name);
    if (n.size() > 3 && n.compare(0, 2, "v(") == 0 && n.back() == ')') n = n.substr(2, n.size() - 3);
    if (n.size() > 3 && n.compare(0, 2, "i(") == 0 && n.back() == ')') n = n.substr(2, n.size() - 3) + "#branch";
    return n;
}

SourceProbe Probe(const vexasim::CircuitData& c, const std::string& name) {
    SourceProbe s;
    s.branch = Lower(name) + "#branch";
    std::string pos, neg;
    if (SourceNodes(c, name, pos, neg)) {
        if (pos != "0" && pos != "gnd") s.pos = pos;
        if (neg != "0" && neg != "gnd") s.neg = neg;
    }
    return s;
}

void IndexSource(SourceProbe& s, const std::string& n, int k) {
    if (n == s.branch) s.idxI = k;
    if (!s.pos.empty() && n == s.pos) s.idxP = k;
    if (!s.neg.empty() && n == s.neg) s.idxN = k;
}

void IndexVectors(Transient& r, pvecvaluesall data) {
    for (int k = 0; k < data->veccount; ++k) {
        const pvecvalues value = data->vecsa[k];
        if (value->is_scale) {
            r.idxT = k;
            continue;
        }
        const std::string n = VectorName(value->name);
        if (n == r.nodeV) r.idxV = k;
        if (n == r.branchI) r.idxI = k;
        if (!r.nodeIn.empty() && n == r.nodeIn) r.idxVin = k;
        if (!r.branchIn.empty() && n == r.branchIn) r.idxIin = k;
        IndexSource(r.drive, n, k);
        for (SourceProbe& s : r.supplies) IndexSource(s, n, k);
    }
    r.indexed = true;
}

// Closes the period that ends at `end`; true when it was a steady state (then the
// result holds it).
bool ClosePeriod(Transient& r, double end) {
    Complex v[4], i[4];
    for (int n = 0; n < 4 && !r.loop.Blending(); ++n) {
        v[n] = Phasor(r.t, r.x[kV], r.periodStart, r.period, n);
        i[n] = Phasor(r.t, r.x[kI], r.periodStart, r.period, n);
    }
    Complex vIn[4], iIn[4];
    for (int n = 0; r.source && n < 4; ++n) {
        vIn[n] = Phasor(r.t, r.x[kVin], r.periodStart, r.period, n);
        iIn[n] = Phasor(r.t, r.x[kIin], r.periodStart, r.period, n);
    }
    ++r.periods;
    // Both ports correct on every period; the steady state is where both hold.
    const bool loaded = r.loop.EndPeriod(end, v, i);
    const bool driven = !r.source || r.source->EndPeriod(end, vIn, iIn);
    if (!loaded || !driven) return false;
    Outputs& o = r.result;
    for (int n = 0; n < 4; ++n) {
        o.vIn[n] = vIn[n];
        o.iIn[n] = iIn[n];
    }
    for (int n = 0; n < 4; ++n) {
        o.v[n] = v[n];
        o.i[n] = i[n];
    }
    o.periods = r.periods;
    o.termError = r.loop.GammaError();
    o.poutW = 0.5 * std::real(v[1] * std::conj(i[1]));
    auto mean = [&](Quantity q) { return Phasor(r.t, r.x[q], r.periodStart, r.period, 0).real(); };
    if (r.supplies.empty()) {
        o.idcA = -i[0].real();
        o.pdcW = v[0].real() * o.idcA;
    } else {
        o.idcA = mean(kIdc);
        o.pdcW = mean(kPdc);
    }
    // The input port delivers the fundamental; its current flows out of the circuit.
    o.pinW = r.source ? -0.5 * std::real(vIn[1] * std::conj(iIn[1])) : mean(kPin);
    o.lastPeriod.clear();
    for (size_t k = 0; k < r.t.size(); ++k) o.lastPeriod.push_back(Sample{r.t[k], r.x[kV][k], r.x[kI][k]});
    return true;
}

int OnData(pvecvaluesall data, int, int, void*) {
    Engine& e = TheEngine();
    Transient* r = e.run;
    if (!r || r->state != Transient::State::Running) return 0;
    if (!r->started) {
        std::lock_guard<std::mutex> lock(e.mutex);
        r->started = true;
    }
    if (!r->indexed) IndexVectors(*r, data);
    if (r->idxT < 0 || r->idxV < 0 || r->idxI < 0) return 0;
    if (r->source && (r->idxVin < 0 || r->idxIin < 0)) return 0;
    auto at = [&](int k) { return k < 0 ? 0.0 : data->vecsa[k]->creal; };
    auto power = [&](const SourceProbe& s) { return -(at(s.idxP) - at(s.idxN)) * at(s.idxI); };
    double now[kQuantities] = {at(r->idxV), at(r->idxI), power(r->drive), 0.0, 0.0, at(r->idxVin), at(r->idxIin)};
    for (const SourceProbe& s : r->supplies) {
        now[kPdc] += power(s);
        now[kIdc] -= at(s.idxI);
    }
    const double t = at(r->idxT);
    auto push = [&](double time, double f) {
        // f: where this point lies between the last sample (0) and the new one (1).
        r->t.push_back(time);
        for (int q = 0; q < kQuantities; ++q) r->x[q].push_back(r->x[q].back() + f * (now[q] - r->x[q].back()));
    };
    const double end = r->periodStart + r->period;
    const double eps = 1e-6 * r->period;
    if (t < end - eps || r->t.empty()) {
        if (r->t.empty()) {
            r->t.push_back(t);
            for (int q = 0; q < kQuantities; ++q) r->x[q].push_back(now[q]);
        } else {
            push(t, 1.0);
        }
        return 0;
    }
    // The period ends at this point, or between the last one and this one: then
    // it is closed on the straight line.
    const bool beyond = t > end + eps;
    if (beyond)
        push(end, (end - r->t.back()) / (t - r->t.back()));
    else
        push(t, 1.0);
    const bool steady = ClosePeriod(*r, end);
    r->t.erase(r->t.begin(), r->t.end() - 1);
    for (auto& x : r->x) x.erase(x.begin(), x.end() - 1);
    r->periodStart = end;
    if (beyond) push(t, 1.0);
    if (!steady && r->periods < r->maxPeriods) return 0;
    // Tell the host, and wait here for the next analysis (or the halt): the
    // circuit stays at this steady state meanwhile.
    std::unique_lock<std::mutex> lock(e.mutex);
    r->state = steady ? Transient::State::Steady : Transient::State::Exhausted;
    e.changed.notify_all();
    e.changed.wait(lock, [&] { return r->state == Transient::State::Running || r->state == Transient::State::Stopping; });
    return 0;
}

int OnVoltage(double* value, double time, char* name, int, void*) {
    Engine& e = TheEngine();
    Transient* r = e.run;
    if (name && Lower(name) == kInputSource) {
        *value = r && r->source ? r->source->Voltage(time) : 0.0;
        return 0;
    }
    *value = r ? r->loop.Voltage(time) : e.idleVoltage;
    return 0;
}

int OnCurrent(double* value, double, char*, int, void*) {
    *value = 0.0;
    return 0;
}

int OnSync(double, double*, double, int, int, int, void*) { return 0; }

void Command(const char* text) {
    std::string c = text;
    ngSpice_Command(&c[0]);
}

bool Ready(std::string& error) {
    Engine& e = TheEngine();
    if (!e.initialised) {
        // What runs must not depend on start-up files where the host was started.
        StartupFilesHidden hidden;
        if (!hidden.Ok()) {
            error = "the circuit engine cannot start without reading start-up files (no private folder)";
            return false;
        }
        e.initialised = true;
        ngSpice_Init(OnChar, OnStat, OnExit, OnData, OnInitData, OnRunning, nullptr);
        int ident = 0;
        ngSpice_Init_Sync(OnVoltage, OnCurrent, OnSync, &ident, nullptr);
    }
    std::lock_guard<std::mutex> lock(e.mutex);
    if (e.dead) {
        error = "the circuit engine stopped after an earlier error and cannot run again in this process";
        return false;
    }
    return true;
}

// ngspice's account of a refused netlist, from its stderr lines.
std::string RefusalText(const std::vector<std::string>& lines) {
    std::string text;
    bool started = false;
    for (const std::string& l : lines) {
        if (!started && (l.compare(0, 5, "Error") == 0 || l.find("line no.") != std::string::npos ||
                         l.find("rror on line") != std::string::npos))
            started = true;
        if (!started || l.find("Please check your input") != std::string::npos ||
            l.find("cannot recover") != std::string::npos)
            continue;
        if (text.find(l) != std::string::npos) continue;  // ngspice repeats the line number
        text += (text.empty() ? "" : " ") + l;
    }
    if (text.empty() && !lines.empty()) text = lines.back();
    return text;
}

void Unload();

// Loads the deck; false with ngspice's message when it refuses it.
bool Load(const vexasim::CircuitData& c, const Deck& deck, std::string& error) {
    // Only a netlist that describes a circuit reaches ngspice, however it was made.
    const std::vector<std::string> unsafe = NetlistSafetyProblems(c.netlist);
    if (!unsafe.empty()) {
        error = "the netlist is refused: " + unsafe.front();
        return false;
    }
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.errors.clear();
    }
    std::vector<std::string> lines = deck.lines;
    std::vector<char*> pointers;
    for (std::string& l : lines) pointers.push_back(&l[0]);
    pointers.push_back(nullptr);
    const int status = ngSpice_Circ(pointers.data());
    std::unique_lock<std::mutex> lock(e.mutex);
    bool refused = status != 0 || e.dead;
    for (const std::string& l : e.errors) refused = refused || l.compare(0, 5, "Error") == 0;
    if (!refused) {
        // A warning means ngspice changed the circuit to load it: refused like an error.
        const std::string warning = LoadWarning(e.errors, deck, c);
        if (warning.empty()) return true;
        error = "ngspice warns about the netlist: " + warning;
        lock.unlock();
        Unload();
        return false;
    }
    error = "ngspice does not accept the netlist: " + NetlistLineOf(RefusalText(e.errors), deck, c);
    return false;
}

void Unload() {
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.loaded.clear();
        if (e.dead) return;
    }
    Command("destroy all");
    Command("remcirc");
}

// Lets a waiting transient go and halts it; waits until ngspice's thread has let
// go, and hands back what the transient measured.
std::unique_ptr<Transient> HaltTransient() {
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        if (e.run) e.run->state = Transient::State::Stopping;
        e.changed.notify_all();
    }
    while (ngSpice_running()) {
        Command("bg_halt");
        std::unique_lock<std::mutex> lock(e.mutex);
        e.changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return e.stopped; });
    }
    std::lock_guard<std::mutex> lock(e.mutex);
    e.run = nullptr;
    return std::move(e.transient);
}

// Starts the transient of the loaded deck for a first analysis.
void StartTransient(std::unique_ptr<Transient> transient) {
    Engine& e = TheEngine();
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.errors.clear();
        e.stopped = false;
        e.transient = std::move(transient);
        e.run = e.transient.get();
    }
    Command("bg_run");
}

// Gives the waiting transient its next analysis; false when there is none to
// continue (none waits at a steady state, or it holds another deck).
bool ContinueTransient(const std::string& deck, const vexasim::CircuitData& c, const Loads& loads) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mutex);
    Transient* r = e.run;
    if (!e.continuation || !r || r->state != Transient::State::Steady || e.loaded != deck || e.stopped || e.dead)
        return false;
    r->loop.Retarget(loads, r->periodStart);
    if (r->source) r->source->Retarget(SourceLoads(loads), r->periodStart, IncidentWave(loads));
    r->periods = 0;
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

Engine::~Engine() {
    // A transient that waits for the next analysis holds ngspice's thread in a
    // callback of this engine: let it go before the engine goes.
    if (run) HaltTransient();
    if (log) std::fclose(log);
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
    int abandoned = 0;  // periods of a continuation that was started over
    for (;;) {
        if (!continued) {
            EndAnalyses();
            if (!Load(c, deck, error)) return false;
            {
                std::lock_guard<std::mutex> lock(e.mutex);
                e.loaded = text;
            }
            auto run = std::make_unique<Transient>(c, loads, BiasOf(c, params), InputBias());
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
                out.pavsW = std::pow(10.0, (loads.pavsDbm - 30.0) / 10.0);
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
        if (continued && !timedOut && !Ready(error)) return false;
        if (continued && !timedOut) {
            // A continuation that leads nowhere is started over cold: what a load
            // gives never depends on the load before it.
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
