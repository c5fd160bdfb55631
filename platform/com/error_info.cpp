// Error information: the object CreateErrorInfo makes, and the per-thread slot
// SetErrorInfo fills and GetErrorInfo empties (the information is taken once).
#include <oleauto.h>

#include <atomic>
#include <new>

#include "platform/com/com_object.h"

namespace {

class ErrorInfo final : public platform::ComObject<IErrorInfo, ICreateErrorInfo> {
public:
    // IUnknown: the IErrorInfo base is the object's identity.
    void* Interface(REFIID riid) override {
        if (IsEqualIID(riid, IID_IErrorInfo)) return static_cast<IErrorInfo*>(this);
        if (IsEqualIID(riid, IID_ICreateErrorInfo)) return static_cast<ICreateErrorInfo*>(this);
        return nullptr;
    }

    // IErrorInfo
    STDMETHODIMP GetGUID(GUID* pGUID) override {
        if (!pGUID) return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    STDMETHODIMP GetSource(BSTR* out) override { return Get(source_, out); }
    STDMETHODIMP GetDescription(BSTR* out) override { return Get(description_, out); }
    STDMETHODIMP GetHelpFile(BSTR* out) override { return Get(helpFile_, out); }
    STDMETHODIMP GetHelpContext(DWORD* out) override {
        if (!out) return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }

    // ICreateErrorInfo
    STDMETHODIMP SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    STDMETHODIMP SetSource(LPOLESTR s) override { return Set(source_, s); }
    STDMETHODIMP SetDescription(LPOLESTR s) override { return Set(description_, s); }
    STDMETHODIMP SetHelpFile(LPOLESTR s) override { return Set(helpFile_, s); }
    STDMETHODIMP SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

private:
    ~ErrorInfo() {
        SysFreeString(source_);
        SysFreeString(description_);
        SysFreeString(helpFile_);
    }

    // A text never set comes back as a null BSTR.
    static HRESULT Get(BSTR held, BSTR* out) {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (!held) return S_OK;
        *out = SysAllocStringLen(held, SysStringLen(held));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Set(BSTR& held, LPOLESTR s) {
        BSTR fresh = SysAllocString(s);
        if (s && !fresh) return E_OUTOFMEMORY;
        SysFreeString(held);
        held = fresh;
        return S_OK;
    }

    GUID guid_ = GUID_NULL;
    BSTR source_ = nullptr;
    BSTR description_ = nullptr;
    BSTR helpFile_ = nullptr;
    DWORD helpContext_ = 0;
};

// The thread's error information; whatever is still held when the thread ends is released.
class ThreadSlot {
public:
    ~ThreadSlot() { Reset(nullptr); }
    void Reset(IErrorInfo* info) {
        IErrorInfo* old = info_;
        info_ = info;
        if (old) old->Release();
    }
    IErrorInfo* Take() {
        IErrorInfo* info = info_;
        info_ = nullptr;
        return info;
    }

private:
    IErrorInfo* info_ = nullptr;
};

thread_local ThreadSlot slot;

}  // namespace

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    auto* info = new (std::nothrow) ErrorInfo;
    *pperrinfo = info;
    return info ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved != 0) return E_INVALIDARG;
    if (perrinfo) perrinfo->AddRef();
    slot.Reset(perrinfo);
    return S_OK;
}

// Null out-pointers and a non-zero reserved value give E_INVALIDARG, as ole32 does.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (dwReserved != 0 || !pperrinfo) return E_INVALIDARG;
    *pperrinfo = slot.Take();
    return *pperrinfo ? S_OK : S_FALSE;
}

}  // extern "C"
