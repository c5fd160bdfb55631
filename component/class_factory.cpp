// The class factory of LPTuner and DllGetClassObject. The module has one factory,
// made on the first request under the module's lock and kept until the module
// is unloaded; references to it do not keep the module loaded (LockServer does).
#include <atomic>
#include <new>

#include "component/com_boundary.h"
#include "component/lptuner_wizard.h"
#include "component/module.h"
#include "host/com_ptr.h"
#include "lptuner_h.h"

namespace {

class CLPTunerFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return lptuner::ExceptionsToHResult([&]() -> HRESULT {
            if (!ppv) return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
                *ppv = static_cast<IClassFactory*>(this);
                AddRef();
                return S_OK;
            }
            *ppv = nullptr;
            return E_NOINTERFACE;
        });
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // An outer object must ask for IUnknown: it gets the inner, non-delegating one.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return lptuner::ExceptionsToHResult([&]() -> HRESULT {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
            return CLPTunerWizard::Create(outer, riid, ppv);
        });
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        return lptuner::ExceptionsToHResult([&]() -> HRESULT {
            lptuner::LockModule(lock != FALSE);
            return S_OK;
        });
    }

private:
    ~CLPTunerFactory() = default;
    std::atomic<ULONG> refs_{1};
};

// The module's reference to its factory, released when the module is unloaded.
host::ComPtr<IClassFactory> factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualCLSID(rclsid, CLSID_LPTuner)) return CLASS_E_CLASSNOTAVAILABLE;
        return lptuner::WithModuleLock([&]() -> HRESULT {
            if (!factory) factory = host::ComPtr<IClassFactory>::Attach(new CLPTunerFactory);
            return factory->QueryInterface(riid, ppv);
        });
    });
}
