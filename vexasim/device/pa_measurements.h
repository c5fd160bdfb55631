// The measurements the stand-in host computes from a schematic that holds the
// power-amplifier device: which names exist, their unit types, and their values
// for the loads that the schematic's tuner presents at the moment.
#pragma once
#include <string>

#include "vexasim/host.h"

namespace pa {

struct MeasurementInfo {
    const char* name;
    long unitType;  // 13 power in dB (base unit dBW), 14 power linear (W), 0 other
    const char* description;
};

// The real-valued measurements of a device schematic: "Pout" (dBW), "PoutW" (W),
// "DE" (%), "PAE" (%), "Gain" (dB), "Idc" (A).
const MeasurementInfo* FindMeasurement(const std::string& name);
const MeasurementInfo* Measurements(int& count);

// The value of a real measurement whose source names a schematic holding a device
// (an element with a "Vdd" parameter). Device parameters: Vdd, Vknee, Imax, Alpha
// (conduction angle, radians), Drive, Gain (dB), and the harmonic terminations
// H2Mag/H2Ang and H3Mag/H3Ang used when no "HBTUNER" sets them (default: short).
// The tuner: "LTUNER..." (Mag/Ang, fundamental) or "HBTUNER..." (Mag1..3/Ang1..3).
// Returns false when the schematic or the device is missing or the name is unknown.
bool EvaluateMeasurement(const vexasim::ProjectData& project, const vexasim::MeasurementData& measurement,
                         double& value);

// The evaluator to hand to vexasim::Host::SetEvaluator: values of unknown
// measurements are left at 0.
vexasim::Evaluator DeviceEvaluator();

}  // namespace pa
