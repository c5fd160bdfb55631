// The host's tuner elements, which present loads to the circuit: an "LTUNER..."
// sets the fundamental with its parameters Mag and Ang; an "HBTUNER..." the
// fundamental and the 2nd and 3rd harmonics with Mag1..Mag3 and Ang1..Ang3.
// Angles are in radians, as the host keeps them.
#pragma once
#include <complex>
#include <string>

#include "vexasim/analysis.h"
#include "vexasim/host.h"

namespace vexasim {

// The impedance a reflection coefficient stands for.
inline std::complex<double> GammaToImpedance(std::complex<double> gamma, double z0 = kZ0) {
    return z0 * (1.0 + gamma) / (1.0 - gamma);
}

// The element names' prefixes, in this order (an "LTUNER" is tested first).
constexpr const char* kTunerPrefixes[] = {"LTUNER", "HBTUNER"};

bool IsTunerName(const std::string& name);
bool IsTuner(const ElementData& element);
bool IsHarmonicTuner(const ElementData& element);

// Parameters that are angles, kept in radians by the host (degrees in the project
// file and a netlist): those named "Ang...", "...Ang" or "Alpha".
bool IsAngleParameter(const std::string& name);

// A parameter's value, or the fallback when the element has no parameter of that name.
double ParameterValue(const ElementData& element, const std::string& name, double fallback);

// The reflection coefficients a tuner presents at f0, 2 f0 and 3 f0 (harmonics
// unset by an HBTUNER are a short, gamma -1); an LTUNER sets gamma[0] and leaves
// the harmonics as they are.
void TunerGammas(const ElementData& tuner, std::complex<double> gamma[3]);

// The harmonic (1 to 3) whose load a parameter of the element sets: an LTUNER's
// Mag and Ang set the load at whatever harmonic it is used for (1), an HBTUNER's
// MagK and AngK the K-th; 0 for any other parameter or element.
int TunerHarmonic(const ElementData& element, const std::string& parameter);

// A harmonic's setting as the tuner's own parameters hold it: the magnitude and
// the angle (radians, not reduced to one turn).
void HarmonicSetting(const ElementData& tuner, int harmonic, double& magnitude, double& angle);

}  // namespace vexasim
