// The base of every host object: IUnknown with a reference count that the shared
// state sums over all objects, ISupportErrorInfo, IDispatch without type
// information, and Guard, the frame of every member: it records the call, applies
// an injected fault, and turns what the body throws into an HRESULT with error info.
#pragma once
#include <new>
#include <type_traits>
#include <utility>

#include "host/vexa.h"
#include "vexasim/model/state.h"

namespace vexasim::model {

// Sets the thread's error information to the description, as raised by interface iid.
void SetError(REFIID iid, const std::string& description);

template <class I>
class Unknown : public I, public ISupportErrorInfo {
public:
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_) || Also(riid)) {
            *ppv = static_cast<I*>(this);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        ++state_->externalReferences;
        return ++refs_;
    }
    STDMETHODIMP_(ULONG) Release() override {
        --state_->externalReferences;
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // Every member that fails sets error information, so the interface and
    // IDispatch (through which GetTypeInfo is called) both support it.
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, iid_) || Also(riid) ? S_OK : S_FALSE;
    }

protected:
    // The new object carries one reference, handed to the caller.
    Unknown(StatePtr state, REFIID iid) : state_(std::move(state)), iid_(iid) {
        ++state_->liveObjects;
        ++state_->externalReferences;
    }
    virtual ~Unknown() { --state_->liveObjects; }

    // A member without an out value.
    template <class F>
    HRESULT Guard(const char* call, F&& body) {
        return Frame(call, [] {}, std::forward<F>(body));
    }

    // A member with an out value, which is cleared before anything else happens:
    // a failure, a stop and a null answer all leave it null (0).
    template <class Out, class F>
    HRESULT Guard(const char* call, Out* out, F&& body) {
        if (!out) {
            state_->Enter(call);
            return E_POINTER;
        }
        return Frame(call, [out] { *out = Out{}; }, std::forward<F>(body));
    }

    State& state() { return *state_; }
    const StatePtr& shared() const { return state_; }

private:
    bool Also(REFIID riid) const {
        if constexpr (std::is_base_of_v<IDispatch, I>) return IsEqualIID(riid, IID_IDispatch);
        return false;
    }

    template <class C, class F>
    HRESULT Frame(const char* call, C&& clear, F&& body) {
        try {
            const Fault* fault = state_->Enter(call);
            clear();
            if (!state_->hostOpen) Fail(E_FAIL, "The host has been closed");
            if (fault) {
                switch (fault->kind) {
                    case FaultKind::Failure: SetError(iid_, fault->description); return fault->hr;
                    case FaultKind::Stop: return S_FALSE;
                    case FaultKind::Null: return S_OK;
                }
            }
            state_->AssignIds();
            return body();
        } catch (const HostError& e) {
            clear();
            SetError(iid_, e.description);
            return e.hr;
        } catch (const std::bad_alloc&) {
            clear();
            return E_OUTOFMEMORY;
        } catch (...) {
            clear();
            return E_FAIL;
        }
    }

    StatePtr state_;
    const IID& iid_;
    ULONG refs_ = 1;
};

// A host object: IDispatch answers without type information.
template <class I>
class Object : public Unknown<I> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

protected:
    Object(StatePtr state, REFIID iid) : Unknown<I>(std::move(state), iid) {}
};

// Hands a new BSTR copy of text to an out parameter.
inline HRESULT PutText(BSTR* out, const std::string& text) {
    *out = NewBstr(text);
    return S_OK;
}

}  // namespace vexasim::model
