// The IUnknown of the native layer's own COM objects: a thread-safe reference
// count that starts at one (the reference handed to the creator), and a
// QueryInterface that answers IUnknown with the first base, the object's
// identity, and every other interface through the object's Interface().
#pragma once
#include <objbase.h>

#include <atomic>

namespace platform {

template <class Identity, class... More>
class ComObject : public Identity, public More... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) ? static_cast<Identity*>(this) : Interface(riid);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    // The object as the interface riid (not IUnknown), or null when it has none.
    virtual void* Interface(REFIID riid) = 0;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace platform
