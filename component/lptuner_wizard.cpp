#include "component/lptuner_wizard.h"

#include "host/call.h"

const OLECHAR* const kWizardProgId = OLESTR("Tessary.LPTuner.1");

CLPTunerWizard::CLPTunerWizard() : name(host::Str(OLESTR("LPTuner"))) {}
CLPTunerWizard::~CLPTunerWizard() = default;

STDMETHODIMP CLPTunerWizard::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IVexaWizard)) {
        *ppv = static_cast<IVexaWizard*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CLPTunerWizard::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) CLPTunerWizard::Release() {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP CLPTunerWizard::get_Name(BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocString(name.get() ? name.get() : OLESTR(""));
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CLPTunerWizard::put_Name(BSTR value) {
    if (value == name.get()) return S_OK;
    host::Bstr copy;
    if (value) {
        copy = host::Bstr::Attach(SysAllocStringLen(value, SysStringLen(value)));
        if (!copy.get()) return E_OUTOFMEMORY;
    }
    name = std::move(copy);
    dirty = true;
    return S_OK;
}
