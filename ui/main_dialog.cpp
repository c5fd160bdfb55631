#include "ui/main_dialog.h"

#include "project/lpsetup.h"

// The dialog window does not exist yet in this build: DoModal reports that it could
// not be created, which Run treats like any dialog result other than Simulate.
CLPTunerDlg::CLPTunerDlg(LPSetup& setup) : setup_(setup) {}
CLPTunerDlg::~CLPTunerDlg() = default;
INT_PTR CLPTunerDlg::DoModal(HWND) { return -1; }
