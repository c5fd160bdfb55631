#include "component/lptuner_wizard.h"

#include <new>

#include "component/com_boundary.h"
#include "component/module.h"
#include "host/call.h"

const OLECHAR* const kWizardProgId = OLESTR("Tessary.LPTuner.1");

CLPTunerWizard::CLPTunerWizard(IUnknown* outer)
    : name(host::Str(OLESTR("LPTuner"))), controlling_(outer ? outer : &inner_) {
    lptuner::ObjectCreated();
}

CLPTunerWizard::~CLPTunerWizard() { lptuner::ObjectDestroyed(); }

HRESULT CLPTunerWizard::Create(IUnknown* outer, REFIID riid, void** ppv) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        // Throws when the object or its default Name cannot be allocated.
        CLPTunerWizard* object = new CLPTunerWizard(outer);
        // The query adds the reference handed out; dropping the creation reference
        // destroys the object again when the query failed.
        const HRESULT hr = object->inner_.QueryInterface(riid, ppv);
        object->inner_.Release();
        return hr;
    });
}

// ---- identity ----

STDMETHODIMP CLPTunerWizard::Inner::QueryInterface(REFIID riid, void** ppv) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        CLPTunerWizard* o = owner;
        if (IsEqualIID(riid, IID_IUnknown)) {
            // An aggregate's own identity is its inner unknown; a plain object's is ILPTuner.
            *ppv = o->controlling_ == this ? static_cast<IUnknown*>(static_cast<ILPTuner*>(o))
                                           : static_cast<IUnknown*>(this);
        } else if (IsEqualIID(riid, IID_ILPTuner)) {
            *ppv = static_cast<ILPTuner*>(o);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *ppv = static_cast<ISupportErrorInfo*>(o);
        } else if (IsEqualIID(riid, IID_IVexaWizard)) {
            *ppv = static_cast<IVexaWizard*>(o);
        } else if (IsEqualIID(riid, IID_IPersistStream)) {
            *ppv = static_cast<IPersistStream*>(o);
        } else {
            return E_NOINTERFACE;
        }
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    });
}

STDMETHODIMP_(ULONG) CLPTunerWizard::Inner::AddRef() { return ++owner->refs_; }

STDMETHODIMP_(ULONG) CLPTunerWizard::Inner::Release() {
    const ULONG left = --owner->refs_;
    if (left == 0) delete owner;
    return left;
}

STDMETHODIMP CLPTunerWizard::QueryInterface(REFIID riid, void** ppv) { return controlling_->QueryInterface(riid, ppv); }
STDMETHODIMP_(ULONG) CLPTunerWizard::AddRef() { return controlling_->AddRef(); }
STDMETHODIMP_(ULONG) CLPTunerWizard::Release() { return controlling_->Release(); }

// ---- IDispatch ----

STDMETHODIMP CLPTunerWizard::GetTypeInfoCount(UINT* pctinfo) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    });
}

STDMETHODIMP CLPTunerWizard::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        return lptuner::WizardTypeInfo(ppTInfo);
    });
}

STDMETHODIMP CLPTunerWizard::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        host::ComPtr<ITypeInfo> info;
        const HRESULT hr = lptuner::WizardTypeInfo(info.put());
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(info.get(), rgszNames, cNames, rgDispId);
    });
}

STDMETHODIMP CLPTunerWizard::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        host::ComPtr<ITypeInfo> info;
        const HRESULT hr = lptuner::WizardTypeInfo(info.put());
        if (FAILED(hr)) return hr;
        return DispInvoke(static_cast<ILPTuner*>(this), info.get(), dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    });
}

// ---- Name ----

STDMETHODIMP CLPTunerWizard::get_Name(BSTR* out) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!out) return E_POINTER;
        *out = name.get() ? SysAllocStringLen(name.get(), name.length()) : SysAllocString(OLESTR(""));
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP CLPTunerWizard::put_Name(BSTR value) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (value == name.get()) return S_OK;  // the very string already held
        host::Bstr copy;
        if (value) {
            copy = host::Bstr::Attach(SysAllocStringLen(value, SysStringLen(value)));
            if (!copy.get()) return E_OUTOFMEMORY;
        }
        name = std::move(copy);
        dirty = true;
        return S_OK;
    });
}

// ---- ISupportErrorInfo ----

STDMETHODIMP CLPTunerWizard::InterfaceSupportsErrorInfo(REFIID riid) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        return IsEqualIID(riid, IID_IVexaWizard) ? S_OK : S_FALSE;
    });
}
