// The user's choices between the project scan and the sweep: the measurements to
// contour, each with the data file it is written to; the measured-data and
// tab-data-file gamma measurement selections; and the look-ups by index and by
// name through which the dialogs fill their lists and kept settings are matched
// against the project. Names compare exactly (host::Equal): same UTF-16 code units,
// case-sensitive, and a null name equals only a null name.
#include <utility>

#include "project/lpsetup.h"

namespace {

// Index into a list whose count field and length should agree; both are checked so
// that a count out of step can never reach past the end.
bool InList(long index, long count, size_t length) {
    return index >= 0 && index < count && static_cast<size_t>(index) < length;
}

long FindName(const std::vector<host::Bstr>& names, BSTR name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (host::Equal(names[i].get(), name)) return static_cast<long>(i);
    return -1;
}

long CopyName(const std::vector<host::Bstr>& names, long index, host::Bstr& name) {
    name.reset();
    return host::Guarded([&]() -> long {
        if (!InList(index, static_cast<long>(names.size()), names.size())) return E_FAIL;
        const host::Bstr& entry = names[static_cast<size_t>(index)];
        if (entry.is_null()) return E_FAIL;
        name = host::Copy(entry.get());
        return 0;
    });
}

// The host name of a listed object; null and E_FAIL outside the list or for an empty entry.
template <class I>
long HostName(const std::vector<host::ComPtr<I>>& list, long count, long index, host::Bstr& name) {
    name.reset();
    return host::Guarded([&]() -> long {
        if (!InList(index, count, list.size())) return E_FAIL;
        const host::ComPtr<I>& object = list[static_cast<size_t>(index)];
        if (!object) return E_FAIL;
        name = host::Get(object, &I::get_Name);
        return 0;
    });
}

// The first listed object whose host name equals the name. A candidate whose name
// the host cannot give is passed over without a message.
template <class I>
long FindHostName(const std::vector<host::ComPtr<I>>& list, long count, BSTR name) {
    for (long i = 0; InList(i, count, list.size()); ++i) {
        const host::ComPtr<I>& object = list[static_cast<size_t>(i)];
        if (!object) continue;
        host::Bstr candidate;
        if (FAILED(object->get_Name(candidate.put()))) continue;
        if (host::Equal(candidate.get(), name)) return i;
    }
    return -1;
}

// A selection setter: an index below 0 is no selection and refused; otherwise both
// flags say whether this call changed the selection.
long SetSelection(long index, long& selected, bool& changed, bool& setupChanged) {
    if (index < 0) return E_FAIL;
    changed = false;
    setupChanged = false;
    if (index == selected) return 0;
    selected = index;
    changed = true;
    setupChanged = true;
    return 0;
}

}  // namespace

long LPSetup::AddSelectedMeasurement(BSTR measurementName, BSTR dataFileName) {
    if (!measurementName || !dataFileName) return E_FAIL;
    return host::Guarded([&]() -> long {
        host::Bstr name = host::Copy(measurementName);
        host::Bstr fileName = host::Copy(dataFileName);
        // Grow both lists first, so that they can only change together.
        selectedMeasurementNames.reserve(selectedMeasurementNames.size() + 1);
        selectedMeasurementFileNames.reserve(selectedMeasurementFileNames.size() + 1);
        selectedMeasurementNames.push_back(std::move(name));
        selectedMeasurementFileNames.push_back(std::move(fileName));
        selectedMeasurementCount = static_cast<long>(selectedMeasurementNames.size());
        setupChanged = true;
        return 0;
    });
}

long LPSetup::GetSelectedMeasurement(long index, host::Bstr& measurementName, host::Bstr& dataFileName) {
    measurementName.reset();
    dataFileName.reset();
    const long result = host::Guarded([&]() -> long {
        if (!InList(index, selectedMeasurementCount, selectedMeasurementNames.size()) ||
            static_cast<size_t>(index) >= selectedMeasurementFileNames.size())
            return E_FAIL;
        measurementName = host::Copy(selectedMeasurementNames[static_cast<size_t>(index)].get());
        dataFileName = host::Copy(selectedMeasurementFileNames[static_cast<size_t>(index)].get());
        return 0;
    });
    if (result != 0) {
        measurementName.reset();
        dataFileName.reset();
    }
    return result;
}

long LPSetup::FindSelectedMeasurement(BSTR measurementName) const {
    return FindName(selectedMeasurementNames, measurementName);
}

long LPSetup::RemoveSelectedMeasurement(long index) {
    return host::Guarded([&]() -> long {
        if (!InList(index, selectedMeasurementCount, selectedMeasurementNames.size()) ||
            static_cast<size_t>(index) >= selectedMeasurementFileNames.size())
            return E_FAIL;
        selectedMeasurementNames.erase(selectedMeasurementNames.begin() + index);
        selectedMeasurementFileNames.erase(selectedMeasurementFileNames.begin() + index);
        selectedMeasurementCount = static_cast<long>(selectedMeasurementNames.size());
        return 0;
    });
}

long LPSetup::RemoveAllSelectedMeasurements() {
    return host::Guarded([&]() -> long {
        selectedMeasurementNames.clear();
        selectedMeasurementFileNames.clear();
        selectedMeasurementCount = 0;
        return 0;
    });
}

bool LPSetup::IsDataFileNameUsed(BSTR dataFileName) const {
    return FindName(selectedMeasurementFileNames, dataFileName) >= 0;
}

long LPSetup::GetSchematicName(long index, host::Bstr& name) {
    return HostName(tunerSchematics, tunerSchematicCount, index, name);
}

long LPSetup::FindSchematic(BSTR name) { return FindHostName(tunerSchematics, tunerSchematicCount, name); }

long LPSetup::GetTunerName(long index, host::Bstr& name) { return HostName(tuners, tunerCount, index, name); }

long LPSetup::FindTuner(BSTR name) { return FindHostName(tuners, tunerCount, name); }

long LPSetup::GetGammaMeasurementName(long index, host::Bstr& name) const {
    return CopyName(gammaMeasurementNames, index, name);
}

long LPSetup::FindGammaMeasurement(BSTR name) const { return FindName(gammaMeasurementNames, name); }

long LPSetup::GetTabFileMeasurementName(long index, host::Bstr& name) const {
    return CopyName(tabFileMeasurementNames, index, name);
}

long LPSetup::FindTabFileMeasurement(BSTR name) const { return FindName(tabFileMeasurementNames, name); }

long LPSetup::SetSelectedGammaMeasurement(long index) {
    return SetSelection(index, selectedGammaMeasurement, gammaMeasurementChanged, setupChanged);
}

long LPSetup::SetSelectedTabFileMeasurement(long index) {
    return SetSelection(index, selectedTabFileMeasurement, tabFileMeasurementChanged, setupChanged);
}
