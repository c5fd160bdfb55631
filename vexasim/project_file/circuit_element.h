// The circuit element of a project file:
//   {"name": "PA1", "parameters": {"Vdd": 50, "Vgs": 3.6},
//    "circuit": {"netlist": ["M1 d g 0 0 pwr", ...] or "netlistFile": "pa.cir",
//                "output": "d", "frequency": 14e6, "drive": "Vin",
//                "timeLimit": 20, "maxPeriods": 400, "stepsPerPeriod": 200}}
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "vexasim/host.h"

namespace vexasim {

// Reads the "circuit" object of an element at `place`; each problem is added as
// "place.key: problem". The netlist file is read relative to baseDir.
void ParseCircuit(const nlohmann::ordered_json& j, const std::string& place, const std::string& baseDir,
                  const ElementData& element, CircuitData& out, std::vector<std::string>& problems);

// The circuit as the project file writes it (the netlist inline, one line per string).
nlohmann::ordered_json CircuitJson(const CircuitData& circuit);

// Has the engine load every circuit element of the project; a netlist it refuses
// is reported as "where: place: ngspice's message (netlist line N: text)".
bool CheckCircuits(const ProjectData& project, const std::string& where, std::vector<std::string>& errors);

}  // namespace vexasim
