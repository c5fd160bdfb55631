#include "vexasim/device/pa_measurements.h"

#include <cmath>
#include <cstring>

#include "host/angles.h"
#include "vexasim/device/pa_model.h"
#include "vexasim/model/tuner.h"

namespace pa {
namespace {


const vexasim::ParameterData* Find(const vexasim::ElementData& e, const char* name) {
    for (const auto& p : e.parameters)
        if (p.name == name) return &p;
    return nullptr;
}

double Value(const vexasim::ElementData& e, const char* name, double fallback) {
    return vexasim::ParameterValue(e, name, fallback);
}


std::complex<double> Polar(double mag, double angRad) { return std::polar(mag, angRad); }

}  // namespace

bool EvaluateMeasurement(const vexasim::ProjectData& project, const vexasim::MeasurementData& measurement,
                         double& value) {
    const vexasim::SchematicData* schematic = nullptr;
    for (const auto& s : project.schematics)
        if (s.name == measurement.source) {
            schematic = &s;
            break;
        }
    if (!schematic) return false;
    const vexasim::ElementData* device = nullptr;
    const vexasim::ElementData* tuner = nullptr;
    for (const auto& e : schematic->elements) {
        if (!device && Find(e, "Vdd")) device = &e;
        if (!tuner && vexasim::IsTuner(e)) tuner = &e;
    }
    if (!device) return false;

    Device d;
    d.vdd = Value(*device, "Vdd", d.vdd);
    d.vknee = Value(*device, "Vknee", d.vknee);
    d.imax = Value(*device, "Imax", d.imax);
    d.conductionDeg = RadiansToDegrees(Value(*device, "Alpha", DegreesToRadians(d.conductionDeg)));
    d.drive = Value(*device, "Drive", d.drive);
    d.gainDb = Value(*device, "Gain", d.gainDb);

    Loads loads;
    loads.gamma[1] = Polar(Value(*device, "H2Mag", 1.0), Value(*device, "H2Ang", kPi));
    loads.gamma[2] = Polar(Value(*device, "H3Mag", 1.0), Value(*device, "H3Ang", kPi));
    if (tuner) vexasim::TunerGammas(*tuner, loads.gamma);
    const vexasim::MeasurementInfo* info = vexasim::FindMeasurement(measurement.name);
    return info && !info->circuitOnly && vexasim::OutputValue(Evaluate(d, loads), measurement.name, value);
}

}  // namespace pa
