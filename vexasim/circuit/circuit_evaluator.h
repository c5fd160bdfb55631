// Measurements of schematics that hold a circuit element: the circuit engine runs
// once per tuner setting and parameter values, and every measurement of that
// analysis reads the same result. Schematics without one keep the closed-form device.
#pragma once
#include <string>

#include "vexasim/circuit/engine.h"
#include "vexasim/host.h"

namespace circuit {

// The schematic's circuit element, or null.
const vexasim::ElementData* CircuitElement(const vexasim::SchematicData& schematic);

// The element's parameters as the netlist sees them (angles in degrees).
Params NetlistParams(const vexasim::ElementData& element);

// Whether a name is a measurement that only a circuit element's schematic has:
// Pin, Pavs, Gt, Gp, and at compression "<base>_<level>dB" with base Pout, PAE,
// DE, Gain, Pin, Pavs or Idc ("Pout_1dB", "PAE_3dB"); unitType as the device's
// measurements have it (13 a power in dBW, 0 other).
bool IsCircuitMeasurement(const std::string& name, long& unitType);

// The loads the schematic's tuners and the element's harmonic parameters present,
// and the input port's source and available power.
Loads SchematicLoads(const vexasim::SchematicData& schematic, const vexasim::ElementData& element);

// The evaluator of the stand-in host: circuits through the engine, devices in closed
// form. A circuit whose analysis fails throws vexasim::AnalysisError naming the
// tuner setting.
vexasim::Evaluator HostEvaluator();

// What the circuit analyses of this process took.
struct AnalysisStats {
    int analyses = 0;
    double seconds = 0.0;  // sum
    long periods = 0;      // sum
    double lastSeconds = 0.0;
    int lastPeriods = 0;
    int driveUps = 0;  // of which drive-ups to compression (each counts its drives as analyses)
};
const AnalysisStats& Stats();

}  // namespace circuit
