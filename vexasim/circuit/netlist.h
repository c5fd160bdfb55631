// The deck the engine hands to ngspice: the element's netlist with its
// parameters as .param lines, the termination source at the output node and the
// transient analysis; and what the engine needs to know from the netlist text.
#pragma once
#include <string>
#include <vector>

#include "vexasim/circuit/engine.h"

namespace circuit {

// The name of the termination source the engine adds at the output node.
constexpr const char* kTerminationSource = "vlptuner_term";
// The source of the input port (a circuit that names an input node).
constexpr const char* kInputSource = "vlptuner_src";
// The name of the clock source that puts a time point on every half period.
constexpr const char* kClockSource = "vlptuner_clock";

struct Deck {
    std::vector<std::string> lines;  // title first, ".end" last
    int firstNetlistLine = 0;        // 1-based deck line of the netlist's first line
};

// Lines of the netlist, continuation lines ("+ ...") left as they are.
std::vector<std::string> NetlistLines(const std::string& netlist);

// With periods > 0, the transient analysis of that many periods; it streams every
// vector to the engine and keeps none (the transient may run across a whole sweep).
Deck BuildDeck(const vexasim::CircuitData& circuit, const Params& params, double periods);

// The problems of the netlist text that the engine finds before ngspice sees it:
// an output or input node that no element line names, a drive or supply source
// that is not a voltage source of the netlist, or lines the engine writes itself (.tran, .end,
// .control).
std::vector<std::string> NetlistProblems(const vexasim::CircuitData& circuit);

// The nodes of the drive source's line ("" when not found): positive, negative.
bool DriveNodes(const vexasim::CircuitData& circuit, std::string& positive, std::string& negative);
// The same for any element of the netlist, by name.
bool SourceNodes(const vexasim::CircuitData& circuit, const std::string& name, std::string& positive,
                 std::string& negative);

// Whether a DC current can flow from the output node into the circuit: some path
// to ground through elements other than capacitors. Behind a DC block it cannot,
// and the output's DC level is then no condition of the load.
bool OutputHasDcPath(const vexasim::CircuitData& circuit);
// The same for any node.
bool NodeHasDcPath(const vexasim::CircuitData& circuit, const std::string& node);

// Rewrites "line N" of ngspice's messages as the netlist's own line number.
std::string NetlistLineOf(const std::string& message, const Deck& deck, const vexasim::CircuitData& circuit);

// ngspice's warnings while it loads a deck or sets it up (a value defaulted or
// clamped, a parameter ignored): "" when there is none, else the warning with the
// netlist line it concerns. Its help for a hard operating point (gmin and source
// stepping) is no warning about the netlist.
std::string LoadWarning(const std::vector<std::string>& messages, const Deck& deck,
                        const vexasim::CircuitData& circuit);

std::string Lower(std::string s);

}  // namespace circuit
