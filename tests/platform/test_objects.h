// A COM object the platform tests count references on. It lives on the stack,
// so Release never deletes; the count is what a test checks. It answers for
// ISupportErrorInfo only when given the one interface it reports errors for.
#pragma once
#include <objbase.h>

class TestObject : public ISupportErrorInfo {
public:
    explicit TestObject(const IID* reportsErrorsFor = nullptr) : reportsErrorsFor_(reportsErrorsFor) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !(reportsErrorsFor_ && IsEqualIID(riid, IID_ISupportErrorInfo)))
            return E_NOINTERFACE;
        *ppv = static_cast<ISupportErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, *reportsErrorsFor_) ? S_OK : S_FALSE;
    }
    ULONG refs = 1;

private:
    const IID* reportsErrorsFor_;
};

// The reference count of an object, read without changing it.
inline ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}
