// The measurements the stand-in host computes from a schematic that holds the
// power-amplifier device: which names exist, their unit types, and their values
// for the loads that the schematic's tuner presents at the moment.
#pragma once
#include <string>

#include "vexasim/host.h"

namespace pa {

// The value of a real measurement whose source names a schematic holding a device
// (an element with a "Vdd" parameter): the measurements of vexasim/analysis.h that
// are not a circuit's own. Device parameters: Vdd, Vknee, Imax, Alpha
// (conduction angle, radians), Drive, Gain (dB), and the harmonic terminations
// H2Mag/H2Ang and H3Mag/H3Ang used when no harmonic tuner sets them (default: short).
// The loads are the first tuner's (vexasim/model/tuner.h).
// Returns false when the schematic or the device is missing or the name is unknown.
bool EvaluateMeasurement(const vexasim::ProjectData& project, const vexasim::MeasurementData& measurement,
                         double& value);

}  // namespace pa
