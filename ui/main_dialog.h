// CLPTunerDlg: the main wizard dialog (template 102), modal over an LPSetup.
#pragma once
#include <windows.h>

#include <memory>

class LPSetup;
class CAddMeasDlg;

class CLPTunerDlg {
public:
    explicit CLPTunerDlg(LPSetup& setup);
    ~CLPTunerDlg();
    CLPTunerDlg(const CLPTunerDlg&) = delete;
    CLPTunerDlg& operator=(const CLPTunerDlg&) = delete;

    // Shows the dialog modally. Returns 1 (Simulate, project check passed), 2 (cancelled),
    // 102 (closed itself after an error) or -1 when the dialog could not be created.
    INT_PTR DoModal(HWND owner);

private:
    LPSetup& setup_;
};
