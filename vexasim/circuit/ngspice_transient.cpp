#include "vexasim/circuit/ngspice_transient.h"

#include <ngspice/sharedspice.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "vexasim/circuit/netlist_safety.h"
#include "vexasim/circuit/startup_files.h"

namespace circuit {

Complex IncidentWave(const Loads& loads) {
    const double pavs = vexasim::DbmToWatts(loads.pavsDbm);
    return Complex(std::sqrt(2.0 * kZ0 * pavs * std::max(0.0, 1.0 - std::norm(loads.source[0]))), 0.0);
}

Loads SourceLoads(const Loads& loads) {
    Loads s;
    for (int n = 0; n < 3; ++n) s.gamma[n] = loads.source[n];
    return s;
}

Transient::Transient(const vexasim::CircuitData& c, const Loads& loads, const OutputBias& bias,
                     const OutputBias& inputBias, bool careful)
    : loads(loads), loop(loads, bias, c.frequency), period(1.0 / c.frequency), maxPeriods(c.maxPeriods) {
    if (!c.input.empty())
        source = std::make_unique<TerminationLoop>(SourceLoads(loads), inputBias, c.frequency, IncidentWave(loads));
    if (careful) {
        loop.SetCareful();
        if (source) source->SetCareful();
    }
}

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

namespace {

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

}  // namespace

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

namespace {

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
    const bool blend0 = r.loop.Blending() || (r.source && r.source->Blending());
    if (blend0) {
        // A span that blends a correction in is measured by neither port.
        for (TerminationLoop* l : {&r.loop, r.source.get()})
            if (l) l->Skip();
        r.periods = static_cast<int>(std::ceil((end - r.analysisStart) / r.period - 1e-6));
        return false;
    }
    const double start = end - r.period;
    for (int n = 0; n < 4; ++n) {
        v[n] = Phasor(r.t, r.x[kV], start, r.period, n);
        i[n] = Phasor(r.t, r.x[kI], start, r.period, n);
    }
    Complex vIn[4], iIn[4];
    for (int n = 0; r.source && n < 4; ++n) {
        vIn[n] = Phasor(r.t, r.x[kVin], start, r.period, n);
        iIn[n] = Phasor(r.t, r.x[kIin], start, r.period, n);
    }
    r.periods = static_cast<int>(std::ceil((end - r.analysisStart) / r.period - 1e-6));
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
    auto mean = [&](Quantity q) { return Phasor(r.t, r.x[q], start, r.period, 0).real(); };
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
    for (size_t k = 0; k < r.t.size(); ++k)
        if (r.t[k] >= start - 1e-9 * r.period) o.lastPeriod.push_back(Sample{r.t[k], r.x[kV][k], r.x[kI][k]});
    return true;
}

// Length of the span under way: a blend when either port blends a correction in,
// else the shorter of what the ports ask.
double SpanLength(const Transient& r) {
    if (!r.source) return r.loop.SpanLength();
    if (r.loop.Blending()) return r.loop.SpanLength();
    if (r.source->Blending()) return r.source->SpanLength();
    return std::min(r.loop.SpanLength(), r.source->SpanLength());
}

// Drops the samples before time s, the first kept one moved onto s on the straight line.
void DropBefore(Transient& r, double s) {
    size_t k = 0;
    while (k + 1 < r.t.size() && r.t[k + 1] <= s) ++k;
    if (k + 1 < r.t.size() && r.t[k] < s) {
        const double f = (s - r.t[k]) / (r.t[k + 1] - r.t[k]);
        for (auto& x : r.x) x[k] += f * (x[k + 1] - x[k]);
        r.t[k] = s;
    }
    r.t.erase(r.t.begin(), r.t.begin() + static_cast<long>(k));
    for (auto& x : r.x) x.erase(x.begin(), x.begin() + static_cast<long>(k));
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
    const double end = r->periodStart + SpanLength(*r);
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
    // The next window: after a blend it starts where the blend ends; else it is a
    // period that ends where the next span ends.
    const bool blending = r->loop.Blending() || (r->source && r->source->Blending());
    DropBefore(*r, blending ? end : end + SpanLength(*r) - r->period);
    r->periodStart = end;
    if (beyond) push(t, 1.0);
    // A continued analysis that stalls is not pursued: a cold start does better.
    const bool stalled = r->result.continued && (r->loop.Stalled() || (r->source && r->source->Stalled()));
    if (!steady && r->periods < r->maxPeriods && !stalled) return 0;
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

}  // namespace

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

namespace {

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

}  // namespace

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

Engine::~Engine() {
    // A transient that waits for the next analysis holds ngspice's thread in a
    // callback of this engine: let it go before the engine goes.
    if (run) HaltTransient();
    if (log) std::fclose(log);
}

}  // namespace circuit
