// Moving the kept settings into a run's LPSetup and back. Both directions ignore
// the results of the LPSetup operations: a name that no longer resolves, or a value
// the LPSetup refuses, simply leaves the LPSetup as the project scan left it.
#include "component/wizard_settings.h"

#include <cstring>

#include "project/lpsetup.h"

namespace {

bool SameString(const host::Bstr& a, const host::Bstr& b) {
    if (a.is_null() || b.is_null()) return a.is_null() == b.is_null();
    return a.length() == b.length() && std::memcmp(a.get(), b.get(), sizeof(OLECHAR) * a.length()) == 0;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

void WizardSettings::Reset() {
    schematicName.reset();
    tunerName.reset();
    contourMeasurements.clear();
    harmonic = 0;
    centerMag = 0.0;
    centerAng = 0.0;
    radius = 0.95;
    gammaSource = -1;
    measuredDataMeasName.reset();
    tabDataMeasName.reset();
}

void WizardSettings::ApplyToSetup(LPSetup& setup) const {
    setup.SetHarmonic(harmonic);
    setup.SetCenterRadius(centerMag, centerAng, radius);
    setup.BuildGammaPoints(gammaSource);
    setup.SelectSchematic(setup.FindSchematic(schematicName.get()));
    setup.SelectTuner(setup.FindTuner(tunerName.get()));
    for (const ContourMeasurement& pair : contourMeasurements)
        setup.AddSelectedMeasurement(pair.measurementName.get(), pair.dataFileName.get());
    setup.SetSelectedGammaMeasurement(setup.FindGammaMeasurement(measuredDataMeasName.get()));
    setup.SetSelectedTabFileMeasurement(setup.FindTabFileMeasurement(tabDataMeasName.get()));
}

bool WizardSettings::SameAs(const WizardSettings& o) const {
    if (!SameString(schematicName, o.schematicName) || !SameString(tunerName, o.tunerName) ||
        contourMeasurements.size() != o.contourMeasurements.size() || harmonic != o.harmonic ||
        !SameBits(centerMag, o.centerMag) || !SameBits(centerAng, o.centerAng) || !SameBits(radius, o.radius) ||
        gammaSource != o.gammaSource || !SameString(measuredDataMeasName, o.measuredDataMeasName) ||
        !SameString(tabDataMeasName, o.tabDataMeasName))
        return false;
    for (size_t i = 0; i < contourMeasurements.size(); ++i) {
        const ContourMeasurement& a = contourMeasurements[i];
        const ContourMeasurement& b = o.contourMeasurements[i];
        if (!SameString(a.measurementName, b.measurementName) || !SameString(a.dataFileName, b.dataFileName))
            return false;
    }
    return true;
}

bool WizardSettings::TakeFromSetup(LPSetup& setup) {
    WizardSettings taken;
    taken.Take(setup);
    const bool changed = !SameAs(taken);
    *this = std::move(taken);
    return changed;
}

// A name whose index is out of range (or whose look-up failed) stays null.
void WizardSettings::Take(LPSetup& setup) {
    Reset();
    auto named = [&setup](long (LPSetup::*get)(long, host::Bstr&) const, long index) {
        host::Bstr name;
        return (setup.*get)(index, name) == 0 ? std::move(name) : host::Bstr();
    };
    auto namedMutable = [&setup](long (LPSetup::*get)(long, host::Bstr&), long index) {
        host::Bstr name;
        return (setup.*get)(index, name) == 0 ? std::move(name) : host::Bstr();
    };
    schematicName = namedMutable(&LPSetup::GetSchematicName, setup.selectedSchematic);
    tunerName = namedMutable(&LPSetup::GetTunerName, setup.selectedTuner);
    for (long i = 0; i < setup.selectedMeasurementCount; ++i) {
        ContourMeasurement pair;
        setup.GetSelectedMeasurement(i, pair.measurementName, pair.dataFileName);
        contourMeasurements.push_back(std::move(pair));
    }
    harmonic = static_cast<LONG>(setup.harmonic);
    centerMag = setup.centerMagnitude;
    centerAng = setup.centerAngleDeg;
    radius = setup.radius;
    gammaSource = static_cast<LONG>(setup.gammaSource);
    measuredDataMeasName = named(&LPSetup::GetGammaMeasurementName, setup.selectedGammaMeasurement);
    tabDataMeasName = named(&LPSetup::GetTabFileMeasurementName, setup.selectedTabFileMeasurement);
}
