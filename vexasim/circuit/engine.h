// The circuit engine of the stand-in host: it simulates a circuit element's
// netlist in periodic steady state with the tuner's impedances presented at the
// output node at the fundamental, 2nd and 3rd harmonics, and measures it by
// Fourier analysis over the last period.
//
// The engine is ngspice, loaded in-process through its shared-library interface.
// ngspice keeps global state: there is one engine per process, used from the
// host thread only. A build without it (Windows) refuses circuits with a message.
#pragma once
#include <complex>
#include <string>
#include <utility>
#include <vector>

#include "vexasim/analysis.h"
#include "vexasim/host.h"

namespace circuit {

// Reference impedance of the tuner's reflection coefficients (vexasim/analysis.h).
using vexasim::kZ0;

// The netlist's .param values: name and value as the project file writes it
// (angles in degrees).
using Params = std::vector<std::pair<std::string, double>>;

// The loads at the output node and the input port's source (vexasim/analysis.h).
using Loads = vexasim::Loads;

// One sample of the last simulated period.
struct Sample {
    double t = 0.0;
    double v = 0.0;  // output node voltage
    double i = 0.0;  // current into the termination (out of the circuit)
};

// The measured outputs (vexasim/analysis.h; pinW is the power the drive source
// delivers, or the fundamental into the input port), and the analysis's own.
struct Outputs : vexasim::Outputs {
    int periods = 0;         // periods simulated until the steady state
    double seconds = 0.0;    // wall time of the analysis
    double termError = 0.0;  // largest |b/a - gamma| over the three harmonics at the end
    bool continued = false;  // started from the steady state of the analysis before
    std::complex<double> v[4], i[4];  // phasors at the output, 0 = DC
    std::complex<double> vIn[4], iIn[4];  // at the input port (current out of the circuit)
    std::vector<Sample> lastPeriod;
};

// Whether this build has the engine.
bool Available();

// Where ngspice's own output goes ("" drops it). Opened on first use, appended.
void SetLogFile(const std::string& path);

// Loads the netlist into ngspice with these parameters to see whether it accepts it.
// On refusal, error holds ngspice's message and the line of the netlist.
bool CheckCircuit(const vexasim::CircuitData& circuit, const Params& params, std::string& error);

// Runs the circuit to periodic steady state with the given loads. On failure,
// error says what happened ("does not converge ...", "no steady state ...",
// "took longer than ...").
//
// A sweep is one continued simulation: after a steady state the circuit stays
// loaded and its transient waits, and the next analysis of the same circuit with
// the same parameters (only the loads differ) continues it from there, so that it
// costs the few periods the circuit needs to settle at the new loads. Any other
// circuit or parameter value, and any analysis after a failed one, starts cold.
bool SimulateCircuit(const vexasim::CircuitData& circuit, const Params& params, const Loads& loads, Outputs& out,
                     std::string& error);

// Whether analyses continue from one another (the default) or each starts cold,
// which gives the same values within the tolerance of the steady state.
void SetContinuation(bool on);

// Ends a waiting transient and removes the circuit: the next analysis starts cold.
void EndAnalyses();

// ngspice's own time per period of the circuit: a transient of that many periods
// with a plain 50 ohm termination to the supply and nothing measured (what a
// continued analysis is compared with).
bool TransientSecondsPerPeriod(const vexasim::CircuitData& circuit, const Params& params, int periods,
                               double& seconds, std::string& error);

}  // namespace circuit
