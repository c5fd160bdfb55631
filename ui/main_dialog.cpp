#include "ui/main_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/call.h"
#include "project/lpsetup.h"
#include "ui/add_meas_dialog.h"
#include "ui/dialog_support.h"
#include "ui/resource.h"

namespace {

const char* const kSchematicNameFailed = "C++ COM ERROR - Problems getting schematic name";
const char* const kTunerNameFailed = "C++ COM ERROR - Problems getting tuner name";
const char* const kSelectSchematicFailed = "C++ COM ERROR - Problems setting selected schematic";
const char* const kSelectTunerFailed = "C++ COM ERROR - Problems setting selected tuner";
const char* const kSelectHarmonicFailed = "C++ COM ERROR - Problems setting selected harmonic index";
const char* const kSelectedTunerNameFailed = "C++ COM ERROR - Problems getting selected tuner name";
const char* const kForceHarmonicFailed = "C++ COM ERROR - Problems setting harmonic index";
const char* const kGammaMeasurementFailed = "C++ COM ERROR - Problems setting selected gamma measurement index";
const char* const kTabFileMeasurementFailed =
    "C++ COM ERROR - Problems setting selected tab data file measurement index";
const char* const kDensityFailed = "C++ COM ERROR - Problems setting tuner density";
const char* const kSelectedMeasurementFailed = "C++ COM ERROR - Problems getting selected measurement";
const char* const kRemoveFailed = "C++ COM ERROR - Problems getting number of active measurements";
const char* const kTooFewPoints =
    "The number of points must be greater than or equal to 3.\n           The settings do not meet this condition.";
const char* const kEmptyEdit = "An edit box contains an invalid number.";
const char* const kInvalidNumber[3] = {"The center magnitude box contains an invalid number.",
                                       "The center angle box contains an invalid number.",
                                       "The radius box contains an invalid number."};
const char* const kNegativeMagnitude = "The center magnitude must be greater or equal to 0.";
const char* const kRadiusTooSmall = "The radius must be greater than or equal to 0.05.";
const char* const kCenterRadiusRefused = "Problems setting center and/or radius values.";
const char* const kNothingHighlighted = "One or more measurements must be highlighted.";
const char* const kNoTunerSchematic =
    "The project must contain a schematic with a load pull tuner.  Please add a tuner schematic to the project.";
const char* const kNoValidMeasurement =
    "The project must contain a measurement that does not return a complex type.  Please add a non-complex "
    "measurement to the project.";
const char* const kNeitherItem =
    "The project must contain a schematic with a load pull tuner and a measurement that does not return a complex "
    "type.  Please add these items to the project.";

const INT_PTR kErrorResult = IDD_LPTUNER_DIALOG;  // the dialog closed itself after an error

// The seven gamma radios; each starts a group of its own, so the dialog checks them itself.
const int kGammaRadios[] = {IDC_CENTER_RADIUS, IDC_COARSE,        IDC_MEDIUM, IDC_FINE,
                            IDC_EXTRA_FINE,    IDC_MEASURED_DATA, IDC_TAB_DATA};
const int kDensityRadios[] = {IDC_COARSE, IDC_MEDIUM, IDC_FINE, IDC_EXTRA_FINE};
const int kCenterRadiusControls[] = {IDC_CENTER_MAG, IDC_CENTER_ANG, IDC_RADIUS, IDC_SET_CENTER_RADIUS,
                                     IDC_COARSE,     IDC_MEDIUM,     IDC_FINE,   IDC_EXTRA_FINE};

const size_t kNumberChars = 20;   // read of each center/radius edit box
const size_t kEntryChars = 511;   // measurement list entry
const double kMinimumRadius = 0.049999;
const double kSameValue = 1e-6;

// A number as typed: strtod must read the whole text (white space before it is skipped,
// none may follow), and what it reads must be finite.
bool ParseNumber(const std::string& text, double& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    return end != begin && end == begin + text.size() && std::isfinite(value);
}

std::string FormatNumber(double value) {
    const int n = std::snprintf(nullptr, 0, "%lf", value);
    if (n <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::snprintf(buffer.data(), buffer.size(), "%lf", value);
    return std::string(buffer.data(), static_cast<size_t>(n));
}

bool IsSingleTunerName(BSTR name) {
    const OLECHAR* prefix = lpnames::kLTuner;
    const UINT n = 6;
    return SysStringLen(name) >= n && std::char_traits<OLECHAR>::compare(name, prefix, n) == 0;
}

}  // namespace

CLPTunerDlg::CLPTunerDlg(LPSetup& setup) : setup_(setup), addDialog_(std::make_unique<CAddMeasDlg>(setup, *this)) {}
CLPTunerDlg::~CLPTunerDlg() = default;

INT_PTR CLPTunerDlg::DoModal(HWND owner) {
    ended_ = false;
    const INT_PTR result = DialogBoxParamA(ui::DialogModule(), MAKEINTRESOURCEA(IDD_LPTUNER_DIALOG), owner,
                                           &CLPTunerDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    return result;
}

INT_PTR CALLBACK CLPTunerDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CLPTunerDlg* self = ui::DialogObject<CLPTunerDlg>(hwnd, message, lParam);
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->hwnd_ = hwnd;
    try {
        switch (message) {
            case WM_INITDIALOG:
                self->OnInitDialog();
                return TRUE;
            case WM_COMMAND:
                self->OnCommand(LOWORD(wParam), HIWORD(wParam));
                return TRUE;
            default:
                return FALSE;
        }
    } catch (...) {
        // Nothing may leave a dialog procedure. What can fail here is memory for the
        // dialog's own text; the dialog ends as after any failure inside it.
        self->setup_.RemovePointsGraph();
        self->End(kErrorResult);
        return TRUE;
    }
}

HWND CLPTunerDlg::Item(int id) const { return GetDlgItem(hwnd_, id); }

void CLPTunerDlg::Error(const char* text) { ui::ShowError(hwnd_, text); }

// The common error ending: the points graph goes, the user is told, the dialog closes.
void CLPTunerDlg::ErrorEnd(const char* text) {
    setup_.RemovePointsGraph();
    Error(text);
    End(kErrorResult);
}

void CLPTunerDlg::End(INT_PTR result) {
    ended_ = true;
    EndDialog(hwnd_, result);
}

// Once the dialog has ended with an error, initialisation goes no further.
void CLPTunerDlg::OnInitDialog() {
    EnableWindow(Item(IDOK), TRUE);
    if (!FillSchematicList() || !FillTunerList()) return;
    if (!ApplyHarmonic(setup_.harmonic) || !UpdateHarmonicsForTunerType()) return;
    SetEnableMode(0);
    ApplyGammaSource(setup_.gammaSource);
    if (ended_) return;
    SetDlgItemTextA(hwnd_, IDC_CENTER_MAG, FormatNumber(setup_.centerMagnitude).c_str());
    SetDlgItemTextA(hwnd_, IDC_CENTER_ANG, FormatNumber(setup_.centerAngleDeg).c_str());
    SetDlgItemTextA(hwnd_, IDC_RADIUS, FormatNumber(setup_.radius).c_str());
    if (!FillMeasurementList()) return;
    FillGammaList(IDC_MEASURED_DATA, IDC_MEASURED_DATA_LIST, static_cast<long>(setup_.gammaMeasurementNames.size()),
                  false);
    FillGammaList(IDC_TAB_DATA, IDC_TAB_DATA_LIST, static_cast<long>(setup_.tabFileMeasurementNames.size()), true);
}

void CLPTunerDlg::OnCommand(int id, int code) {
    const bool clicked = code == BN_CLICKED;
    switch (id) {
        case IDC_SCHEMATIC_LIST:
            if (code == CBN_SELCHANGE) OnSchematicChange();
            break;
        case IDC_TUNER_LIST:
            if (code == CBN_SELCHANGE) OnTunerChange();
            break;
        case IDC_HARMONIC_1:
        case IDC_HARMONIC_2:
        case IDC_HARMONIC_3:
            if (clicked) ApplyHarmonic(id == IDC_HARMONIC_1 ? 1 : id == IDC_HARMONIC_2 ? 2 : 3);
            break;
        case IDC_CENTER_RADIUS:
            // The grid of the last density built comes back (Medium when none was).
            if (clicked) {
                SetEnableMode(0);
                ApplyGammaSource(setup_.gammaSource);
            }
            break;
        case IDC_COARSE:
        case IDC_MEDIUM:
        case IDC_FINE:
        case IDC_EXTRA_FINE:
            if (clicked) {
                SetEnableMode(0);
                ApplyGammaSource(static_cast<long>(std::find(std::begin(kDensityRadios), std::end(kDensityRadios), id) -
                                                   std::begin(kDensityRadios)));
            }
            break;
        case IDC_MEASURED_DATA:
            if (clicked) OnGammaMeasurement(true);
            break;
        case IDC_MEASURED_DATA_LIST:
            if (code == CBN_SELCHANGE) OnGammaMeasurement(false);
            break;
        case IDC_TAB_DATA:
            if (clicked) OnTabFileMeasurement(true);
            break;
        case IDC_TAB_DATA_LIST:
            if (code == CBN_SELCHANGE) OnTabFileMeasurement(false);
            break;
        case IDC_SET_CENTER_RADIUS:
            if (clicked) OnSetCenterRadius();
            break;
        case IDC_ADD:
            // The Add Measurement dialog adds the list entry itself.
            if (clicked) addDialog_->DoModal(GetActiveWindow());
            break;
        case IDC_REMOVE:
            if (clicked) OnRemove();
            break;
        case IDC_REMOVE_ALL:
            if (clicked) OnRemoveAll();
            break;
        case IDOK:
            if (clicked) OnSimulate();
            break;
        case IDCANCEL:
            if (clicked) OnCancel();
            break;
        default:
            break;
    }
}

// The drop-down lists hold entry i of the LPSetup list at index i, so that a selection
// index means the same in both.
bool CLPTunerDlg::FillSchematicList() {
    const HWND list = Item(IDC_SCHEMATIC_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (long i = 0; i < setup_.tunerSchematicCount; ++i) {
        host::Bstr name;
        if (setup_.GetSchematicName(i, name) != 0) {
            ErrorEnd(kSchematicNameFailed);
            return false;
        }
        SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(host::ToAnsiLossy(name.get()).c_str()));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(setup_.selectedSchematic), 0);
    return true;
}

bool CLPTunerDlg::FillTunerList() {
    const HWND list = Item(IDC_TUNER_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (long i = 0; i < setup_.tunerCount; ++i) {
        host::Bstr name;
        if (setup_.GetTunerName(i, name) != 0) {
            ErrorEnd(kTunerNameFailed);
            return false;
        }
        SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(host::ToAnsiLossy(name.get()).c_str()));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(setup_.selectedTuner), 0);
    return true;
}

// List entry i must be measurement i of the LPSetup, or Remove would take the wrong
// one: an entry that cannot be got or listed ends the dialog instead of being skipped.
bool CLPTunerDlg::FillMeasurementList() {
    for (long i = 0; i < setup_.selectedMeasurementCount; ++i) {
        host::Bstr name, file;
        if (setup_.GetSelectedMeasurement(i, name, file) != 0 ||
            !AddMeasurementEntry(host::ToAnsiLossy(name.get()).c_str(), host::ToAnsiLossy(file.get()).c_str())) {
            ErrorEnd(kSelectedMeasurementFailed);
            return false;
        }
    }
    return true;
}

// A name that cannot be got leaves no entry and no message; since each entry goes in
// at its own index, no later entry can take its place and stand for the wrong measurement.
void CLPTunerDlg::FillGammaList(int radio, int listId, long count, bool tabFile) {
    const HWND list = Item(listId);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    if (count == 0) {
        EnableWindow(Item(radio), FALSE);
        return;
    }
    for (long i = 0; i < count; ++i) {
        host::Bstr name;
        const long r = tabFile ? setup_.GetTabFileMeasurementName(i, name) : setup_.GetGammaMeasurementName(i, name);
        if (r != 0) continue;
        SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(host::ToAnsiLossy(name.get()).c_str()));
    }
    const long selected = tabFile ? setup_.selectedTabFileMeasurement : setup_.selectedGammaMeasurement;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

bool CLPTunerDlg::ApplyHarmonic(long harmonic) {
    CheckDlgButton(hwnd_, IDC_HARMONIC_1, BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_HARMONIC_2, BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_HARMONIC_3, BST_UNCHECKED);
    if (harmonic == 2) {
        CheckDlgButton(hwnd_, IDC_HARMONIC_2, BST_CHECKED);
    } else if (harmonic == 3) {
        CheckDlgButton(hwnd_, IDC_HARMONIC_3, BST_CHECKED);
    } else {
        CheckDlgButton(hwnd_, IDC_HARMONIC_1, BST_CHECKED);
        harmonic = 1;
    }
    if (setup_.SetHarmonic(harmonic) != 0) {
        ErrorEnd(kSelectHarmonicFailed);
        return false;
    }
    return true;
}

// A single-pair tuner drives the fundamental only.
bool CLPTunerDlg::UpdateHarmonicsForTunerType() {
    bool fundamentalOnly = setup_.tunerCount < 1;
    if (!fundamentalOnly) {
        host::Bstr name;
        const LRESULT index = SendMessageA(Item(IDC_TUNER_LIST), CB_GETCURSEL, 0, 0);
        if (setup_.GetTunerName(static_cast<long>(index), name) != 0) {
            ErrorEnd(kSelectedTunerNameFailed);
            return false;
        }
        fundamentalOnly = IsSingleTunerName(name.get());
        if (!fundamentalOnly) {
            EnableWindow(Item(IDC_HARMONIC_2), TRUE);
            EnableWindow(Item(IDC_HARMONIC_3), TRUE);
            return true;
        }
    }
    CheckDlgButton(hwnd_, IDC_HARMONIC_1, BST_CHECKED);
    for (int id : {IDC_HARMONIC_2, IDC_HARMONIC_3}) {
        CheckDlgButton(hwnd_, id, BST_UNCHECKED);
        EnableWindow(Item(id), FALSE);
    }
    if (setup_.tunerCount >= 1 && setup_.SetHarmonic(1) != 0) {
        ErrorEnd(kForceHarmonicFailed);
        return false;
    }
    return true;
}

// Mode 0 center/radius grid, 1 measured-data measurement, 2 tab-data-file measurement.
void CLPTunerDlg::SetEnableMode(int mode) {
    for (int id : kCenterRadiusControls) EnableWindow(Item(id), mode == 0);
    EnableWindow(Item(IDC_MEASURED_DATA_LIST), mode == 1);
    EnableWindow(Item(IDC_TAB_DATA_LIST), mode == 2);
}

void CLPTunerDlg::ApplyGammaSource(long source) {
    for (int id : kGammaRadios) CheckDlgButton(hwnd_, id, BST_UNCHECKED);
    if (source < 0 || source > 5) source = 1;
    if (source <= 3) {
        CheckDlgButton(hwnd_, IDC_CENTER_RADIUS, BST_CHECKED);
        CheckDlgButton(hwnd_, kDensityRadios[source], BST_CHECKED);
    } else {
        CheckDlgButton(hwnd_, source == 4 ? IDC_MEASURED_DATA : IDC_TAB_DATA, BST_CHECKED);
    }
    TakeBuildResult(setup_.BuildGammaPoints(source));
}

// Too few points leaves the dialog open; a failed build ends it; anything else (a host
// failure the build has already shown) is taken as it is.
void CLPTunerDlg::TakeBuildResult(long result) {
    if (result == 1)
        Error(kTooFewPoints);
    else if (result == static_cast<long>(E_FAIL))
        ErrorEnd(kDensityFailed);
}

void CLPTunerDlg::OnSchematicChange() {
    const long index = static_cast<long>(SendMessageA(Item(IDC_SCHEMATIC_LIST), CB_GETCURSEL, 0, 0));
    const long before = setup_.selectedSchematic;
    if (setup_.SelectSchematic(index) != 0) {
        ErrorEnd(kSelectSchematicFailed);
        return;
    }
    // Picking the schematic already chosen keeps its tuner and the measurements listed.
    if (index == before) return;
    if (!FillTunerList() || !UpdateHarmonicsForTunerType()) return;
    OnRemoveAll();
}

void CLPTunerDlg::OnTunerChange() {
    const long index = static_cast<long>(SendMessageA(Item(IDC_TUNER_LIST), CB_GETCURSEL, 0, 0));
    if (setup_.SelectTuner(index) != 0) {
        ErrorEnd(kSelectTunerFailed);
        return;
    }
    UpdateHarmonicsForTunerType();
}

void CLPTunerDlg::OnGammaMeasurement(bool fromRadio) {
    const long index = static_cast<long>(SendMessageA(Item(IDC_MEASURED_DATA_LIST), CB_GETCURSEL, 0, 0));
    if (setup_.SetSelectedGammaMeasurement(index) != 0) {
        ErrorEnd(kGammaMeasurementFailed);
        return;
    }
    if (fromRadio) SetEnableMode(1);
    ApplyGammaSource(4);
}

void CLPTunerDlg::OnTabFileMeasurement(bool fromRadio) {
    const long index = static_cast<long>(SendMessageA(Item(IDC_TAB_DATA_LIST), CB_GETCURSEL, 0, 0));
    if (setup_.SetSelectedTabFileMeasurement(index) != 0) {
        ErrorEnd(kTabFileMeasurementFailed);
        return;
    }
    if (fromRadio) SetEnableMode(2);
    ApplyGammaSource(5);
}

void CLPTunerDlg::OnSetCenterRadius() {
    const int edits[3] = {IDC_CENTER_MAG, IDC_CENTER_ANG, IDC_RADIUS};
    std::string text[3];
    for (int i = 0; i < 3; ++i) text[i] = ui::ReadFirstLine(Item(edits[i]), kNumberChars);
    if (text[0].empty() || text[1].empty() || text[2].empty()) {
        Error(kEmptyEdit);
        return;
    }
    double value[3];
    for (int i = 0; i < 3; ++i) {
        if (!ParseNumber(text[i], value[i])) {
            Error(kInvalidNumber[i]);
            return;
        }
    }
    const double magnitude = value[0], angle = value[1], radius = value[2];
    if (!(magnitude >= 0.0)) {
        Error(kNegativeMagnitude);
        return;
    }
    if (!(radius >= kMinimumRadius)) {
        Error(kRadiusTooSmall);
        return;
    }
    const double before[3] = {setup_.centerMagnitude, setup_.centerAngleDeg, setup_.radius};
    if (setup_.SetCenterRadius(magnitude, angle, radius) != 0) {
        Error(kCenterRadiusRefused);
        return;
    }
    if (std::fabs(magnitude - before[0]) < kSameValue && std::fabs(angle - before[1]) < kSameValue &&
        std::fabs(radius - before[2]) < kSameValue)
        return;
    TakeBuildResult(setup_.BuildGammaPoints(setup_.gammaSource));
}

bool CLPTunerDlg::AddMeasurementEntry(const char* measurementName, const char* dataFileName) {
    std::string entry = std::string(measurementName ? measurementName : "") + " ----> " +
                        (dataFileName ? dataFileName : "");
    if (entry.size() > kEntryChars) entry.resize(kEntryChars);
    const LRESULT added =
        SendMessageA(Item(IDC_MEASUREMENT_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    if (added < 0) return false;
    if (setup_.selectedMeasurementCount == setup_.validMeasurementCount) EnableWindow(Item(IDC_ADD), FALSE);
    EnableWindow(Item(IDC_REMOVE), TRUE);
    EnableWindow(Item(IDC_REMOVE_ALL), TRUE);
    return true;
}

// Entry i of the list is measurement i of the LPSetup: removing from the highest index
// down keeps the indices still to be removed pointing at the same measurements.
void CLPTunerDlg::OnRemove() {
    const HWND list = Item(IDC_MEASUREMENT_LIST);
    const LRESULT highlighted = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    const long most = std::min<long>(static_cast<long>(highlighted), setup_.selectedMeasurementCount);
    std::vector<int> chosen;
    if (most > 0) {
        chosen.resize(static_cast<size_t>(most));
        const LRESULT n =
            SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(most), reinterpret_cast<LPARAM>(chosen.data()));
        chosen.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (chosen.empty()) {
        Error(kNothingHighlighted);
        return;
    }
    std::sort(chosen.begin(), chosen.end());
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        if (setup_.RemoveSelectedMeasurement(*it) != 0) {
            ErrorEnd(kRemoveFailed);
            return;
        }
        SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(*it), 0);
    }
    if (setup_.selectedMeasurementCount == 0) {
        EnableWindow(Item(IDC_REMOVE), FALSE);
        EnableWindow(Item(IDC_REMOVE_ALL), FALSE);
    }
    EnableWindow(Item(IDC_ADD), TRUE);
}

void CLPTunerDlg::OnRemoveAll() {
    setup_.RemoveAllSelectedMeasurements();
    SendMessageA(Item(IDC_MEASUREMENT_LIST), LB_RESETCONTENT, 0, 0);
    if (setup_.selectedMeasurementCount == 0) {
        EnableWindow(Item(IDC_REMOVE), FALSE);
        EnableWindow(Item(IDC_REMOVE_ALL), FALSE);
    }
    EnableWindow(Item(IDC_ADD), TRUE);
}

// Simulate checks only that the project has something to simulate and to contour.
void CLPTunerDlg::OnSimulate() {
    const bool schematics = setup_.tunerSchematicCount >= 1;
    const bool measurements = setup_.validMeasurementCount >= 1;
    if (schematics && measurements) {
        End(IDOK);
        return;
    }
    Error(!schematics && !measurements ? kNeitherItem : !schematics ? kNoTunerSchematic : kNoValidMeasurement);
    End(kErrorResult);
    setup_.RemovePointsGraph();
}

void CLPTunerDlg::OnCancel() {
    setup_.RemovePointsGraph();
    End(IDCANCEL);
}
