// The ngspice side of the circuit engine: the transient that runs in ngspice's
// background thread, the callbacks that sample it and close its periods, and the
// loading and halting of circuits. The analyses (ngspice_engine.cpp) drive it
// from the host thread.
//
// The transient runs in ngspice's background thread ("bg_run"): only the running
// transient tells when the steady state is reached, and a foreground "run" cannot
// be stopped before its end (nor by a breakpoint from ngSpice_SetBkpt). The
// callbacks record every accepted time point (SendData), close each span (a
// blend, or a period measured every half period), let the termination loop
// correct the load's harmonics, and give the termination source its voltage
// (GetVSRCData of ngSpice_Init_Sync).
//
// At a steady state the data callback holds ngspice's thread at the end of that
// span and the host thread takes the result; the next analysis of the same deck
// gives the termination loop its new loads and lets the thread go on. ngspice
// keeps no vector of the transient (".save none"), so its memory does not grow
// with its length. After a fatal error ngspice waits to be detached and cannot be
// used again.
#pragma once
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vexasim/circuit/engine.h"
#include "vexasim/circuit/netlist.h"
#include "vexasim/circuit/termination.h"

namespace circuit {

// The wave the input port's source sends at the fundamental: its available power
// is |b|^2 / (2 Z0 (1 - |gamma_s|^2)).
Complex IncidentWave(const Loads& loads);

// The input port's terminations, as a load's.
Loads SourceLoads(const Loads& loads);

// A source of the netlist whose delivered power is measured: the voltage across
// it times the current out of its positive node.
struct SourceProbe {
    std::string branch, pos, neg;  // vector names; "" for a ground node
    int idxI = -1, idxP = -1, idxN = -1;
};

// The quantities sampled at every time point.
enum Quantity { kV, kI, kPin, kPdc, kIdc, kVin, kIin, kQuantities };

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

    Transient(const vexasim::CircuitData& c, const Loads& loads, const OutputBias& bias, const OutputBias& inputBias,
              bool careful);

    Loads loads;  // of the analysis under way
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
    double analysisStart = 0.0;
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

// The one engine of the process.
Engine& TheEngine();

// ngspice's command line.
void Command(const char* text);

// Initialises ngspice on first use; false when it cannot run (again).
bool Ready(std::string& error);

// Loads the deck; false with ngspice's message when it refuses it.
bool Load(const vexasim::CircuitData& c, const Deck& deck, std::string& error);

// Removes the circuit from ngspice.
void Unload();

// Lets a waiting transient go and halts it; waits until ngspice's thread has let
// go, and hands back what the transient measured.
std::unique_ptr<Transient> HaltTransient();

// Starts the transient of the loaded deck for a first analysis.
void StartTransient(std::unique_ptr<Transient> transient);

// A source of the netlist as a probe of its delivered power.
SourceProbe Probe(const vexasim::CircuitData& c, const std::string& name);

}  // namespace circuit
