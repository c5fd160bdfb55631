#include "vexasim/model/tuner.h"

#include "host/angles.h"

namespace vexasim {

bool IsTunerName(const std::string& name) {
    for (const char* prefix : kTunerPrefixes)
        if (name.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    return false;
}

bool IsTuner(const ElementData& element) { return IsTunerName(element.name); }

bool IsHarmonicTuner(const ElementData& element) { return element.name.compare(0, 7, kTunerPrefixes[1]) == 0; }

bool IsAngleParameter(const std::string& name) {
    return name.compare(0, 3, "Ang") == 0 ||
           (name.size() >= 3 && name.compare(name.size() - 3, 3, "Ang") == 0) || name == "Alpha";
}

double ParameterValue(const ElementData& element, const std::string& name, double fallback) {
    for (const auto& p : element.parameters)
        if (p.name == name) return p.value;
    return fallback;
}

void TunerGammas(const ElementData& tuner, std::complex<double> gamma[3]) {
    if (!IsHarmonicTuner(tuner)) {
        gamma[0] = std::polar(ParameterValue(tuner, "Mag", 0.0), ParameterValue(tuner, "Ang", 0.0));
        return;
    }
    for (int n = 0; n < 3; ++n) {
        const std::string k = std::to_string(n + 1);
        gamma[n] = std::polar(ParameterValue(tuner, "Mag" + k, n ? 1.0 : 0.0), ParameterValue(tuner, "Ang" + k, n ? kPi : 0.0));
    }
}

int TunerHarmonic(const ElementData& element, const std::string& parameter) {
    if (!IsTuner(element)) return 0;
    if (!IsHarmonicTuner(element)) return parameter == "Mag" || parameter == "Ang" ? 1 : 0;
    for (int k = 1; k <= 3; ++k)
        if (parameter == "Mag" + std::to_string(k) || parameter == "Ang" + std::to_string(k)) return k;
    return 0;
}

void HarmonicSetting(const ElementData& tuner, int harmonic, double& magnitude, double& angle) {
    const std::string k = IsHarmonicTuner(tuner) ? std::to_string(harmonic) : "";
    magnitude = ParameterValue(tuner, "Mag" + k, 0.0);
    angle = ParameterValue(tuner, "Ang" + k, 0.0);
}

}  // namespace vexasim
