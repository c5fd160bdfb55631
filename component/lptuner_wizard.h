// CLPTunerWizard: the wizard's COM object, run by the host through IVexaWizard.
#pragma once
#include <windows.h>

#include "component/wizard_settings.h"
#include "host/com_ptr.h"
#include "host/vexa.h"

// The ProgID under which the class is registered; also the source of the COM error
// information that Run reports.
extern const OLECHAR* const kWizardProgId;  // "Tessary.LPTuner.1"

class CLPTunerWizard : public IVexaWizard {
public:
    CLPTunerWizard();
    virtual ~CLPTunerWizard();
    CLPTunerWizard(const CLPTunerWizard&) = delete;
    CLPTunerWizard& operator=(const CLPTunerWizard&) = delete;

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IVexaWizard
    STDMETHOD(get_Name)(BSTR* name) override;
    STDMETHOD(put_Name)(BSTR name) override;
    STDMETHOD(Run)(IDispatch* host, VARIANT_BOOL* pFlag) override;

    // The host's main window, read at the start of every Run; owner of Run's boxes.
    LONG hostWindow = 0;
    WizardSettings settings;
    host::Bstr name;
    bool dirty = false;

private:
    ULONG refs_ = 1;
};

// The host's version from its type information: major plus the minor number as a
// decimal fraction (5.10 is 5.1, 4.12 is 4.12); 0.0 when it cannot be read.
double HostVersion(IDispatch* host);

// Makes an error object with the null interface GUID, the wizard's ProgID as source
// and the message as description the thread's current error information.
void ReportComError(const char* message);
