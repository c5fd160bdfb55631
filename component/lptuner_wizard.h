// CLPTunerWizard: the wizard's COM object (class LPTuner). The host creates it,
// runs it through IVexaWizard, and keeps its settings through IPersistStream.
//
// QueryInterface answers, in this order: ILPTuner (also for IUnknown),
// ISupportErrorInfo, IVexaWizard, IPersistStream. IDispatch is reached only as
// the base of ILPTuner; IDispatch and IPersist themselves are not answered.
// The object may be aggregated: its IUnknown methods then go to the outer
// object, and the outer holds the inner, non-delegating unknown.
// It lives in a single-threaded apartment, so its reference count is not atomic.
#pragma once
#include <windows.h>

#include "component/wizard_settings.h"
#include "host/com_ptr.h"
#include "host/vexa.h"
#include "lptuner_h.h"

// The ProgID under which the class is registered; also the source of the COM error
// information that Run reports.
extern const OLECHAR* const kWizardProgId;  // "Tessary.LPTuner.1"

class CLPTunerWizard : public ILPTuner, public ISupportErrorInfo, public IVexaWizard, public IPersistStream {
public:
    // A plain object with one reference, owned by the caller.
    CLPTunerWizard() : CLPTunerWizard(nullptr) {}
    virtual ~CLPTunerWizard();
    CLPTunerWizard(const CLPTunerWizard&) = delete;
    CLPTunerWizard& operator=(const CLPTunerWizard&) = delete;

    // Makes an object and hands out riid. With an outer object, riid must be
    // IUnknown and the inner unknown is handed out.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown: the controlling unknown's (the outer object's when aggregated)
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IDispatch, answered from the registered type library
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                      VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // ILPTuner and IVexaWizard: the Name property
    STDMETHOD(get_Name)(BSTR* name) override;
    STDMETHOD(put_Name)(BSTR name) override;
    // IVexaWizard (run.cpp)
    STDMETHOD(Run)(IDispatch* host, VARIANT_BOOL* pFlag) override;

    // ISupportErrorInfo: S_OK for IVexaWizard only, whose Run reports through error info
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

    // IPersist / IPersistStream (persist.cpp)
    STDMETHOD(GetClassID)(CLSID* pClassID) override;
    STDMETHOD(IsDirty)() override;
    STDMETHOD(Load)(IStream* pStm) override;
    STDMETHOD(Save)(IStream* pStm, BOOL fClearDirty) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pcbSize) override;

    // The host's main window, read at the start of every Run; owner of Run's boxes.
    LONG hostWindow = 0;
    WizardSettings settings;
    host::Bstr name;
    bool dirty = false;

private:
    explicit CLPTunerWizard(IUnknown* outer);

    // The non-delegating unknown: the object's own identity and reference count.
    struct Inner : IUnknown {
        explicit Inner(CLPTunerWizard* o) : owner(o) {}
        STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        CLPTunerWizard* owner;
    };

    Inner inner_{this};
    IUnknown* controlling_;  // the outer object, or inner_
    ULONG refs_ = 1;
};

// The host's version from its type information: major plus the minor number as a
// decimal fraction (5.10 is 5.1, 4.12 is 4.12); 0.0 when it cannot be read.
double HostVersion(IDispatch* host);

// Makes an error object with the null interface GUID, the wizard's ProgID as source
// and the message as description the thread's current error information.
void ReportComError(const char* message);
