// The project the whole-wizard tests run on, natively and against the real DLL:
// schematic "Amp" with a resistor and the tuner "LTUNER1" (Mag 0.1, Ang 0.3 rad),
// and a graph of two real measurements: "Gain", a paraboloid of the tuner's gamma
// with its top, 12.6, at 0.4+0.2j, and "Flat", the constant 2.5.
#pragma once
#include <complex>

#include "vexasim/host.h"

namespace wizardtest {

using Gamma = std::complex<double>;

inline Gamma TunerGamma(const vexasim::ProjectData& p) {
    double mag = 0, ang = 0;
    for (const auto& e : p.schematics[0].elements)
        for (const auto& prm : e.parameters) {
            if (prm.name == "Mag") mag = prm.value;
            if (prm.name == "Ang") ang = prm.value;
        }
    return std::polar(mag, ang);
}

inline double Paraboloid(Gamma g) { return 12.6 - 10.0 * std::norm(g - Gamma(0.4, 0.2)); }

inline void BuildProject(vexasim::Host& host) {
    vexasim::ProjectBuilder(host)
        .Schematic("Amp")
        .Element("R1", {{"R", 50}})
        .Element("LTUNER1", {{"Mag", 0.1}, {"Ang", 0.3}})
        .Graph("Output", 3)
        .Measurement("Amp", "Gain", 1)
        .Measurement("Amp", "Flat", 1)
        .Units(13, "dBm");
    host.SetEvaluator([](const vexasim::ProjectData& p, const vexasim::MeasurementData& m) {
        return m.name == "Gain" ? Paraboloid(TunerGamma(p)) : 2.5;
    });
}

}  // namespace wizardtest
