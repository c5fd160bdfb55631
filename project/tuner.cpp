// The tuner's magnitude and angle parameters: which element (the selected tuner)
// and which of its parameter pairs (by tuner kind and harmonic) the sweep drives.
#include "project/lpsetup.h"
#include "project/tuner_kind.h"

namespace {

struct ParameterPair {
    const OLECHAR* magnitude;
    const OLECHAR* angle;
};

// An "LTUNER" element has one pair for every harmonic; any other tuner (an
// "HBTUNER") one pair per harmonic, the fundamental's for anything but 2 and 3.
ParameterPair PairFor(bool singlePair, long harmonic) {
    if (singlePair) return {OLESTR("Mag"), OLESTR("Ang")};
    switch (harmonic) {
        case 2:
            return {OLESTR("Mag2"), OLESTR("Ang2")};
        case 3:
            return {OLESTR("Mag3"), OLESTR("Ang3")};
        default:
            return {OLESTR("Mag1"), OLESTR("Ang1")};
    }
}

host::ComPtr<IVexaParameter> Lookup(const host::ComPtr<IVexaParameters>& parameters, const OLECHAR* name) {
    return host::Get(parameters, &IVexaParameters::Item, host::NameIndex(name));
}

}  // namespace

long LPSetup::SelectTuner(long index) {
    if (index == 0 && tunerCount == 0) return 0;
    if (index < 0 || index >= tunerCount || static_cast<size_t>(index) >= tuners.size()) return E_FAIL;
    selectedTuner = index;

    const long result = host::Guarded([&]() -> long {
        const host::ComPtr<IVexaElement> tuner = tuners[static_cast<size_t>(index)];
        if (!tuner) return E_FAIL;
        host::Bstr name = host::Get(tuner, &IVexaElement::get_Name);
        const TunerKind kind = TunerKindOf(name.get());
        if (kind == TunerKind::kNone) return E_FAIL;

        const ParameterPair pair = PairFor(kind == TunerKind::kLTuner, harmonic);
        host::ComPtr<IVexaParameters> parameters = host::Get(tuner, &IVexaElement::get_Parameters);
        magParameter = Lookup(parameters, pair.magnitude);
        angParameter = Lookup(parameters, pair.angle);
        if (!magParameter || !angParameter) return E_FAIL;
        return 0;
    });

    if (result != 0) {
        // A failed selection binds nothing: half a pair, or the pair of the tuner
        // selected before, must never be driven as if it belonged to this one.
        magParameter.reset();
        angParameter.reset();
        return result;
    }
    setupChanged = true;
    return 0;
}

long LPSetup::SetHarmonic(long newHarmonic) {
    harmonic = (newHarmonic >= 1 && newHarmonic <= 3) ? newHarmonic : 1;
    if (long r = SelectTuner(selectedTuner)) return r;
    setupChanged = true;
    return 0;
}
