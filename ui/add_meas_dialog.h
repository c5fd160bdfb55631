// CAddMeasDlg: the Add Measurement dialog (template 204) behind "Add..." of the main
// dialog. It offers the valid measurements not yet chosen, asks for the name of the
// data file to create for the one picked, and adds the pair to the LPSetup and to the
// main dialog's list.
#pragma once
#include <windows.h>

class LPSetup;
class CLPTunerDlg;

class CAddMeasDlg {
public:
    CAddMeasDlg(LPSetup& setup, CLPTunerDlg& mainDialog);
    CAddMeasDlg(const CAddMeasDlg&) = delete;
    CAddMeasDlg& operator=(const CAddMeasDlg&) = delete;

    // Shows the dialog modally: 1 (a measurement was added), 2 (cancelled), 204 (closed
    // after an error) or -1 when it could not be created.
    INT_PTR DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnOK();
    void Error(const char* text);
    void End(INT_PTR result);

    LPSetup& setup_;
    CLPTunerDlg& main_;
    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    HWND edit_ = nullptr;
};
