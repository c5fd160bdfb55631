// The engine of a build without ngspice (Windows): circuits are refused plainly.
#include "vexasim/circuit/engine.h"

namespace circuit {
namespace {
const char* const kRefusal =
    "this build of vexasim has no circuit engine: circuit elements need the Linux build, which simulates them "
    "with ngspice";
}

bool Available() { return false; }

void SetLogFile(const std::string&) {}

bool CheckCircuit(const vexasim::CircuitData&, const Params&, std::string& error) {
    error = kRefusal;
    return false;
}

bool SimulateCircuit(const vexasim::CircuitData&, const Params&, const Loads&, Outputs&, std::string& error) {
    error = kRefusal;
    return false;
}

void SetContinuation(bool) {}

void EndAnalyses() {}

bool TransientSecondsPerPeriod(const vexasim::CircuitData&, const Params&, int, double&, std::string& error) {
    error = kRefusal;
    return false;
}

}  // namespace circuit
