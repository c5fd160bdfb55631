// WizardSettings: the user's choices kept from one run of the wizard to the next
// and persisted by the host through IPersistStream. Settings refer to project
// items by name, so a name that no longer resolves is simply not applied.
#pragma once
#include <utility>
#include <vector>

#include "host/com_ptr.h"

class LPSetup;

struct ContourMeasurement {
    host::Bstr measurementName;
    host::Bstr dataFileName;
};

class WizardSettings {
public:
    WizardSettings() = default;
    WizardSettings(const WizardSettings&) = delete;
    WizardSettings& operator=(const WizardSettings&) = delete;
    WizardSettings(WizardSettings&&) = default;
    WizardSettings& operator=(WizardSettings&&) = default;

    // Every field back to its default; the strings and pairs are freed.
    void Reset();

    // Settings into a fresh LPSetup, before the dialog (each step's result ignored).
    void ApplyToSetup(LPSetup& setup) const;
    // The LPSetup back into the settings, after the dialog ended with Simulate.
    // True when that changed them, that is when Save would now write other bytes.
    bool TakeFromSetup(LPSetup& setup);

    // The same settings as other: the same bytes in the settings stream (a null
    // string differs from an empty one, doubles compare bit for bit).
    bool SameAs(const WizardSettings& other) const;

    host::Bstr schematicName;
    host::Bstr tunerName;
    std::vector<ContourMeasurement> contourMeasurements;
    LONG harmonic = 0;  // the stream's 32-bit integers
    double centerMag = 0.0;
    double centerAng = 0.0;
    double radius = 0.95;
    LONG gammaSource = -1;
    host::Bstr measuredDataMeasName;
    host::Bstr tabDataMeasName;

private:
    void Take(LPSetup& setup);  // the fields from the LPSetup
};
