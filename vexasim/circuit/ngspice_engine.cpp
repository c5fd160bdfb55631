// The circuit engine on ngspice's shared library. The transient runs in ngspice's
// background thread ("bg_run"): only the running transient tells when the steady
// state is reached, and a foreground "run" cannot be stopped before its end (nor
// by a breakpoint from ngSpice_SetBkpt). The callbacks record every accepted time
// point (SendData), close each period, let the termination loop correct the
// load's harmonics, and give the termination source its voltage (GetVSRCData of
// ngSpice_Init_Sync). The host thread waits for a steady state, a failure or the
// time limit, then halts the run ("bg_halt") and removes the circuit, so that the
// next analysis starts clean. After a fatal error ngspice waits to be detached
// and cannot be used again: the engine then refuses further analyses.
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

// One analysis: touched by ngspice's thread while the transient runs, read by the
// host thread once it has stopped.
struct Run {
    Run(const vexasim::CircuitData& c, const Loads& loads, double vdd)
        : loop(loads, vdd, c.frequency), period(1.0 / c.frequency), maxPeriods(c.maxPeriods) {}

    TerminationLoop loop;
    double period;
    int maxPeriods;
    std::string nodeV, branchI, branchDrive, nodeDp, nodeDn;
    bool indexed = false;
    int idxT = -1, idxV = -1, idxI = -1, idxDrive = -1, idxDp = -1, idxDn = -1;

    std::vector<double> t, v, i, p;  // samples of the period under way
    double periodStart = 0.0;
    int periods = 0;
    bool done = false;  // a steady state was reached (under the engine's mutex)
    bool transient = false;  // the first time point came: the operating point is behind
    Outputs result;
};

struct Engine {
    bool initialised = false;
    bool dead = false;  // ngspice asked to be detached after a fatal error
    std::string logPath;  // ngspice's output; none until SetLogFile
    FILE* log = nullptr;

    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = true;
    std::vector<std::string> errors;  // ngspice's stderr lines since the last clear
    Run* run = nullptr;

    ~Engine() {
        if (log) std::fclose(log);
    }
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

void IndexVectors(Run& r, pvecvaluesall data) {
    for (int k = 0; k < data->veccount; ++k) {
        const pvecvalues value = data->vecsa[k];
        if (value->is_scale) {
            r.idxT = k;
            continue;
        }
        const std::string n = VectorName(value->name);
        if (n == r.nodeV) r.idxV = k;
        if (n == r.branchI) r.idxI = k;
        if (n == r.branchDrive) r.idxDrive = k;
        if (!r.nodeDp.empty() && n == r.nodeDp) r.idxDp = k;
        if (!r.nodeDn.empty() && n == r.nodeDn) r.idxDn = k;
    }
    r.indexed = true;
}

void ClosePeriod(Run& r, double end) {
    Complex v[4], i[4];
    for (int n = 0; n < 4; ++n) {
        v[n] = Phasor(r.t, r.v, r.periodStart, r.period, n);
        i[n] = Phasor(r.t, r.i, r.periodStart, r.period, n);
    }
    ++r.periods;
    const bool steady = r.loop.EndPeriod(end, v, i);
    if (steady) {
        Outputs& o = r.result;
        for (int n = 0; n < 4; ++n) {
            o.v[n] = v[n];
            o.i[n] = i[n];
        }
        o.periods = r.periods;
        o.termError = r.loop.GammaError();
        o.poutW = 0.5 * std::real(v[1] * std::conj(i[1]));
        o.idcA = -i[0].real();
        o.pdcW = v[0].real() * o.idcA;
        o.pinW = Phasor(r.t, r.p, r.periodStart, r.period, 0).real();
        o.lastPeriod.clear();
        for (size_t k = 0; k < r.t.size(); ++k) o.lastPeriod.push_back(Sample{r.t[k], r.v[k], r.i[k]});
        Engine& e = TheEngine();
        std::lock_guard<std::mutex> lock(e.mutex);
        r.done = true;
        e.changed.notify_all();
    }
}

int OnData(pvecvaluesall data, int, int, void*) {
    Engine& e = TheEngine();
    Run* r = e.run;
    if (!r || r->done || r->periods >= r->maxPeriods) return 0;
    if (!r->transient) {
        std::lock_guard<std::mutex> lock(e.mutex);
        r->transient = true;
    }
    if (!r->indexed) IndexVectors(*r, data);
    if (r->idxT < 0 || r->idxV < 0 || r->idxI < 0) return 0;
    auto at = [&](int k) { return k < 0 ? 0.0 : data->vecsa[k]->creal; };
    const double t = at(r->idxT), v = at(r->idxV), i = at(r->idxI);
    const double p = -(at(r->idxDp) - at(r->idxDn)) * at(r->idxDrive);
    const double end = r->periodStart + r->period;
    const double eps = 1e-6 * r->period;
    if (t >= end - eps && !r->t.empty()) {
        if (t > end + eps) {
            // The period ends between two time points: close it on the straight line.
            const double f = (end - r->t.back()) / (t - r->t.back());
            r->t.push_back(end);
            r->v.push_back(r->v.back() + f * (v - r->v.back()));
            r->i.push_back(r->i.back() + f * (i - r->i.back()));
            r->p.push_back(r->p.back() + f * (p - r->p.back()));
        } else {
            r->t.push_back(t);
            r->v.push_back(v);
            r->i.push_back(i);
            r->p.push_back(p);
        }
        ClosePeriod(*r, end);
        const double bt = r->t.back(), bv = r->v.back(), bi = r->i.back(), bp = r->p.back();
        r->t.assign(1, bt);
        r->v.assign(1, bv);
        r->i.assign(1, bi);
        r->p.assign(1, bp);
        r->periodStart = end;
        if (t <= end + eps) return 0;
    }
    r->t.push_back(t);
    r->v.push_back(v);
    r->i.push_back(i);
    r->p.push_back(p);
    return 0;
}

int OnVoltage(double* value, double time, char*, int, void*) {
    Run* r = TheEngine().run;
    *value = r ? r->loop.Voltage(time) : 0.0;
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
        if (e.dead) return;
    }
    Command("destroy all");
    Command("remcirc");
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

bool CheckCircuit(const vexasim::CircuitData& c, const Params& params, std::string& error) {
    if (!Ready(error)) return false;
    const Deck deck = BuildDeck(c, params, false);
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

bool SimulateCircuit(const vexasim::CircuitData& c, const Params& params, const Loads& loads, Outputs& out,
                     std::string& error) {
    if (!Ready(error)) return false;
    double vdd = 0.0;
    for (const auto& p : params)
        if (Lower(p.first) == "vdd") vdd = p.second;
    const Clock::time_point start = Clock::now();
    Deck deck = BuildDeck(c, params, true);
    if (!Load(c, deck, error)) return false;

    Engine& e = TheEngine();
    auto run = std::make_unique<Run>(c, loads, vdd);
    run->nodeV = Lower(c.output);
    run->branchI = std::string(kTerminationSource) + "#branch";
    run->branchDrive = Lower(c.drive) + "#branch";
    std::string pos, neg;
    if (DriveNodes(c, pos, neg)) {
        if (pos != "0" && pos != "gnd") run->nodeDp = pos;
        if (neg != "0" && neg != "gnd") run->nodeDn = neg;
    }
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.errors.clear();
        e.stopped = false;
        e.run = run.get();
    }
    Command("bg_run");
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(c.timeLimit));
    bool timedOut = false;
    {
        // ngspice cannot be halted in its operating point and then given another
        // circuit; the operating point ends by itself (it has its own iteration
        // limits), so the time limit stops the transient only.
        std::unique_lock<std::mutex> lock(e.mutex);
        while (!run->done && !e.stopped && !e.dead) {
            if (Clock::now() >= deadline && run->transient) {
                timedOut = true;
                break;
            }
            if (Clock::now() >= deadline)
                e.changed.wait_for(lock, std::chrono::milliseconds(5));
            else
                e.changed.wait_until(lock, deadline);
        }
    }
    // Halt whatever still runs, and wait until ngspice's thread has let go.
    while (ngSpice_running()) {
        Command("bg_halt");
        std::unique_lock<std::mutex> lock(e.mutex);
        e.changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return e.stopped; });
    }
    std::vector<std::string> errors;
    {
        std::lock_guard<std::mutex> lock(e.mutex);
        e.run = nullptr;
        errors = e.errors;
    }
    Unload();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (run->done) {
        out = std::move(run->result);
        out.seconds = seconds;
        const double pout = std::max(out.poutW, 1e-12), pin = std::max(out.pinW, 1e-12);
        out.poutDbw = 10.0 * std::log10(pout);
        // Without supply power (a circuit without a supply) there is no efficiency.
        const bool supplied = out.pdcW > 1e-9 * std::max(std::fabs(out.poutW), std::fabs(out.pinW)) + 1e-12;
        out.drainEffPct = supplied ? 100.0 * out.poutW / out.pdcW : 0.0;
        out.paePct = supplied ? 100.0 * (out.poutW - out.pinW) / out.pdcW : 0.0;
        out.gainDb = 10.0 * std::log10(pout / pin);
        return true;
    }
    char buf[160];
    if (timedOut) {
        std::snprintf(buf, sizeof buf, "the analysis took longer than its time limit of %g s (%d periods simulated)",
                      c.timeLimit, run->periods);
        error = buf;
    } else if (run->periods >= c.maxPeriods) {
        if (run->loop.GammaError() < TerminationLoop::kGammaTolerance)
            std::snprintf(buf, sizeof buf,
                          "no steady state after %d periods (the fundamental current still changes by %.2g from one "
                          "period to the next)",
                          run->periods, run->loop.CurrentChange());
        else
            std::snprintf(buf, sizeof buf,
                          "no steady state after %d periods (the loads are still off by %.2g in reflection "
                          "coefficient)",
                          run->periods, run->loop.GammaError());
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

}  // namespace circuit
