// CLPTunerDlg: the main wizard dialog (template 102), modal over an LPSetup. It keeps
// no copy of the user's choices: every action is applied to the LPSetup at once, and
// the controls only show what the LPSetup holds.
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

    // Appends "measurement ----> data file" to the measurement list and updates Add,
    // Remove and Remove All. Called while the list is filled and by the Add Measurement
    // dialog once it has added the measurement to the LPSetup. False when the list box
    // refused the entry.
    bool AddMeasurementEntry(const char* measurementName, const char* dataFileName);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id, int code);

    bool FillSchematicList();
    bool FillTunerList();
    bool FillMeasurementList();
    void FillGammaList(int radio, int list, long count, bool tabFile);
    bool ApplyHarmonic(long harmonic);
    bool UpdateHarmonicsForTunerType();
    void SetEnableMode(int mode);
    void ApplyGammaSource(long source);
    void TakeBuildResult(long result);
    void OnSchematicChange();
    void OnTunerChange();
    void OnGammaMeasurement(bool fromRadio);
    void OnTabFileMeasurement(bool fromRadio);
    void OnSetCenterRadius();
    void OnRemove();
    void OnRemoveAll();
    void OnSimulate();
    void OnCancel();

    void Error(const char* text);
    void ErrorEnd(const char* text);
    void End(INT_PTR result);
    HWND Item(int id) const;

    LPSetup& setup_;
    std::unique_ptr<CAddMeasDlg> addDialog_;
    HWND hwnd_ = nullptr;
    bool ended_ = false;
};
