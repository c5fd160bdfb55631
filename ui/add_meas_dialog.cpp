#include "ui/add_meas_dialog.h"

#include <string>

#include "host/call.h"
#include "project/lpsetup.h"
#include "ui/dialog_support.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"

namespace {

const char* const kNoValidMeasurements = "Project contains no valid load pull measurments";
const char* const kValidNameFailed = "C++ COM ERROR - Problems getting valid measurement name";
const char* const kNoFileName = "You must input a valid data file name";
const char* const kFileNameUsed = "That data file name has already been used - please select another name";
const char* const kNothingSelected = "Select a measurement to add.";
const char* const kAddFailed = "C++ COM ERROR - Problems adding measurement";

const INT_PTR kErrorResult = IDD_ADD_MEASUREMENT;  // the dialog closed itself after an error
const size_t kFileNameChars = 100;

}  // namespace

CAddMeasDlg::CAddMeasDlg(LPSetup& setup, CLPTunerDlg& mainDialog) : setup_(setup), main_(mainDialog) {}

INT_PTR CAddMeasDlg::DoModal(HWND owner) {
    const INT_PTR result = DialogBoxParamA(ui::DialogModule(), MAKEINTRESOURCEA(IDD_ADD_MEASUREMENT), owner,
                                           &CAddMeasDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = list_ = edit_ = nullptr;
    return result;
}

INT_PTR CALLBACK CAddMeasDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CAddMeasDlg* self = ui::DialogObject<CAddMeasDlg>(hwnd, message, lParam);
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->hwnd_ = hwnd;
    try {
        switch (message) {
            case WM_INITDIALOG:
                self->OnInitDialog();
                return TRUE;
            case WM_COMMAND:
                if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) self->OnOK();
                if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) self->End(IDCANCEL);
                return TRUE;
            default:
                return FALSE;
        }
    } catch (...) {
        // Nothing may leave a dialog procedure; the LPSetup is left as it is.
        self->End(kErrorResult);
        return TRUE;
    }
}

void CAddMeasDlg::Error(const char* text) { ui::ShowError(hwnd_, text); }

void CAddMeasDlg::End(INT_PTR result) { EndDialog(hwnd_, result); }

// The valid measurements not yet chosen, in project order, the first one selected.
void CAddMeasDlg::OnInitDialog() {
    list_ = GetDlgItem(hwnd_, IDC_VALID_LIST);
    edit_ = GetDlgItem(hwnd_, IDC_FILE_NAME);
    SendMessageA(list_, CB_RESETCONTENT, 0, 0);
    if (setup_.validMeasurementCount < 1) {
        Error(kNoValidMeasurements);
        End(kErrorResult);
        return;
    }
    for (long i = 0; i < setup_.validMeasurementCount; ++i) {
        host::Bstr name;
        if (setup_.GetValidMeasurementName(i, name) != 0) {
            Error(kValidNameFailed);
            End(kErrorResult);
            return;
        }
        if (setup_.FindSelectedMeasurement(name.get()) >= 0) continue;
        SendMessageA(list_, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(host::ToAnsiLossy(name.get()).c_str()));
    }
    SendMessageA(list_, CB_SETCURSEL, 0, 0);
}

void CAddMeasDlg::OnOK() {
    const std::string fileName = ui::ReadFirstLine(edit_, kFileNameChars);
    if (fileName.empty()) {
        Error(kNoFileName);
        return;
    }
    host::Bstr wideFileName;
    try {
        wideFileName = host::FromAnsi(fileName);
    } catch (const _com_error&) {
        Error(kAddFailed);
        End(kErrorResult);
        return;
    }
    if (setup_.IsDataFileNameUsed(wideFileName.get())) {
        Error(kFileNameUsed);
        return;
    }
    // Every valid measurement may already be listed (kept settings can name one the
    // project no longer has): then there is nothing to add.
    const LRESULT selected = SendMessageA(list_, CB_GETCURSEL, 0, 0);
    if (selected < 0) {
        Error(kNothingSelected);
        return;
    }
    // The display name is read whole, however long it is.
    const std::string measurementName = ui::ReadComboEntry(list_, selected);
    long result = E_FAIL;
    try {
        host::Bstr wideName = host::FromAnsi(measurementName);
        result = setup_.AddSelectedMeasurement(wideName.get(), wideFileName.get());
    } catch (const _com_error&) {
        result = E_FAIL;
    }
    if (result != 0) {
        Error(kAddFailed);
        End(kErrorResult);
        return;
    }
    // A measurement the main list cannot show is taken back, so that list entry i
    // stays measurement i.
    if (!main_.AddMeasurementEntry(measurementName.c_str(), fileName.c_str())) {
        setup_.RemoveSelectedMeasurement(setup_.selectedMeasurementCount - 1);
        Error(kAddFailed);
        End(kErrorResult);
        return;
    }
    End(IDOK);
}
