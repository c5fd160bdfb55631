// Run: the one entry point through which the host starts the wizard.
#include <memory>
#include <string>

#include "component/com_boundary.h"
#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "project/lpsetup.h"
#include "ui/main_dialog.h"

namespace {

const char* const kVersionRefused = "This wizard requires Vexa 5.0 or greater.";
const char* const kUnexpected = "Unexpected C++ COM exception";
const char* const kInitFailed = "C++ COM ERROR - Problems initializing project";
const char* const kFinishFailed = "C++ COM ERROR - Problems finishing project set-up";
const char* const kSweepFailed = "C++ COM ERROR - Problems simulating active schematic";
const char* const kConstantWarning =
    "For at least one measurement, the calculated values at each data point are the same.\n"
    "          Therefore, contours for that measurement may not appear on the graph.";

// A sweep the simulator stopped is not one whose values were constant, though both
// return 1: the user is told how far it got.
std::string StoppedWarning(const SweepReport& sweep) {
    return "The simulation was stopped by the simulator after " + std::to_string(sweep.simulatedPoints) + " of " +
           std::to_string(sweep.pointCount) + " points.";
}

HWND AsWindow(LONG handle) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)); }

void ShowRunBox(LONG owner, const char* text, const char* caption) {
    MessageBoxA(AsWindow(owner), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

double HostVersion(IDispatch* host) {
    host::ComPtr<ITypeInfo> info;
    if (FAILED(host->GetTypeInfo(0, 0x409, info.put())) || !info) return 0.0;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)) || !attr) return 0.0;
    double minor = attr->wMinorVerNum;
    while (minor >= 1.0) minor /= 10.0;
    double version = attr->wMajorVerNum + minor;
    info->ReleaseTypeAttr(attr);
    return version;
}

void ReportComError(const char* message) {
    host::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put())) || !create) return;
    create->SetGUID(GUID_NULL);
    create->SetSource(const_cast<LPOLESTR>(kWizardProgId));
    host::Bstr text;
    try {
        text = host::FromAnsi(message);
    } catch (...) {
        return;
    }
    create->SetDescription(text.get());
    host::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.query(IID_IErrorInfo, info))) SetErrorInfo(0, info.get());
}

// What Run shows or reports of an exception that no inner operation caught: a
// host error in a box captioned with the project name, anything else through
// error information. Call it only inside a catch block.
static void ReportRunException() {
    try {
        throw;
    } catch (const _com_error& e) {
        host::ShowHostError(e);
    } catch (...) {
        ReportComError(kUnexpected);
    }
}

// The cancelled flag is set first, whatever else is wrong with the call.
STDMETHODIMP CLPTunerWizard::Run(IDispatch* hostObject, VARIANT_BOOL* pFlag) {
    if (pFlag) *pFlag = VARIANT_TRUE;
    if (!hostObject || !pFlag) return E_POINTER;
    try {
        host::ComPtr<IVexaApplication> app;
        HRESULT hr = hostObject->QueryInterface(IID_IVexaApplication, app.put_void());
        if (FAILED(hr) || !app) {
            ReportComError("The host does not provide the Application interface.");
            return FAILED(hr) ? hr : E_NOINTERFACE;
        }
        hostWindow = host::Get(app, &IVexaApplication::get_MainWindowHandle);
        if (HostVersion(hostObject) < 5.0) {
            ReportComError(kVersionRefused);
            return E_FAIL;
        }

        auto setup = std::make_unique<LPSetup>();
        setup->SetApplication(app.get());
        if (setup->InitializeProject() != 0) {
            setup->RemovePointsGraph();
            ShowRunBox(hostWindow, kInitFailed, "Error!");
            return S_OK;
        }
        if (setup->FinishProjectSetup() != 0) {
            setup->RemovePointsGraph();
            ShowRunBox(hostWindow, kFinishFailed, "Error!");
            return S_OK;
        }

        settings.ApplyToSetup(*setup);

        auto dialog = std::make_unique<CLPTunerDlg>(*setup);
        if (dialog->DoModal(GetActiveWindow()) == IDOK) {
            // The object is dirty when the dialog's final state differs from the
            // kept settings: a host that saves only dirty objects keeps them.
            if (settings.TakeFromSetup(*setup)) dirty = true;
            // Nothing of this run's setup has been simulated yet. The dialog's own
            // builds clear the change flag when they find nothing to rebuild (the
            // stored settings, unchanged), and Simulate must still simulate.
            setup->setupChanged = true;
            long result = setup->RunSweep();
            if (result < 0)
                ShowRunBox(hostWindow, kSweepFailed, "Error!");
            else if (result == 1 && setup->lastSweep.stopped)
                ShowRunBox(hostWindow, StoppedWarning(setup->lastSweep).c_str(), "Warning!");
            else if (result == 1)
                ShowRunBox(hostWindow, kConstantWarning, "Warning!");
            *pFlag = VARIANT_FALSE;
        }
        // The dialog, then the LPSetup, then the Application go out of scope here.
        return S_OK;
    } catch (...) {
        // The locals of the guarded region are gone by now, in reverse order. The
        // exception is shown or reported, then turned into the HRESULT by the
        // component's one policy.
        return lptuner::ExceptionsToHResult([]() -> HRESULT {
            ReportRunException();
            throw;
        });
    }
}
