#include "vexasim/device/pa_measurements.h"

#include <cmath>
#include <cstring>

#include "host/angles.h"
#include "vexasim/device/pa_model.h"

namespace pa {
namespace {

const MeasurementInfo kMeasurements[] = {
    {"Pout", 13, "fundamental output power"},
    {"PoutW", 14, "fundamental output power"},
    {"DE", 0, "drain efficiency, %"},
    {"PAE", 0, "power-added efficiency, %"},
    {"Gain", 0, "operating gain, dB"},
    {"Idc", 0, "DC drain current, A"},
};

const vexasim::ParameterData* Find(const vexasim::ElementData& e, const char* name) {
    for (const auto& p : e.parameters)
        if (p.name == name) return &p;
    return nullptr;
}

double Value(const vexasim::ElementData& e, const char* name, double fallback) {
    const vexasim::ParameterData* p = Find(e, name);
    return p ? p->value : fallback;
}


std::complex<double> Polar(double mag, double angRad) { return std::polar(mag, angRad); }

}  // namespace

const MeasurementInfo* Measurements(int& count) {
    count = static_cast<int>(sizeof kMeasurements / sizeof kMeasurements[0]);
    return kMeasurements;
}

const MeasurementInfo* FindMeasurement(const std::string& name) {
    for (const MeasurementInfo& m : kMeasurements)
        if (name == m.name) return &m;
    return nullptr;
}

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
        if (!tuner && (e.name.compare(0, 6, "LTUNER") == 0 || e.name.compare(0, 7, "HBTUNER") == 0)) tuner = &e;
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
    if (tuner) {
        if (tuner->name.compare(0, 6, "LTUNER") == 0) {
            loads.gamma[0] = Polar(Value(*tuner, "Mag", 0.0), Value(*tuner, "Ang", 0.0));
        } else {
            loads.gamma[0] = Polar(Value(*tuner, "Mag1", 0.0), Value(*tuner, "Ang1", 0.0));
            loads.gamma[1] = Polar(Value(*tuner, "Mag2", 1.0), Value(*tuner, "Ang2", kPi));
            loads.gamma[2] = Polar(Value(*tuner, "Mag3", 1.0), Value(*tuner, "Ang3", kPi));
        }
    }
    Outputs o = Evaluate(d, loads);
    const std::string& n = measurement.name;
    if (n == "Pout") value = o.poutDbw;
    else if (n == "PoutW") value = o.poutW;
    else if (n == "DE") value = o.drainEffPct;
    else if (n == "PAE") value = o.paePct;
    else if (n == "Gain") value = o.gainDb;
    else if (n == "Idc") value = o.idcA;
    else return false;
    return true;
}

vexasim::Evaluator DeviceEvaluator() {
    return [](const vexasim::ProjectData& project, const vexasim::MeasurementData& m) {
        double v = 0.0;
        return EvaluateMeasurement(project, m, v) ? v : 0.0;
    };
}

}  // namespace pa
