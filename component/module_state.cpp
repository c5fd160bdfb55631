// What the module keeps: its object and lock counts, and the type information
// loaded once for its whole life, released when the module is unloaded.
#include "component/module.h"

#include "component/com_boundary.h"

#include "host/com_ptr.h"
#include "lptuner_h.h"

namespace {

LONG volatile objects = 0;
LONG volatile locks = 0;

// Constructed when the module is loaded, destroyed when it is unloaded.
struct ModuleState {
    ModuleState() { InitializeCriticalSection(&section); }
    ~ModuleState() {
        typeInfo.reset();
        DeleteCriticalSection(&section);
    }
    ModuleState(const ModuleState&) = delete;
    ModuleState& operator=(const ModuleState&) = delete;

    CRITICAL_SECTION section;
    host::ComPtr<ITypeInfo> typeInfo;
};

ModuleState state;

}  // namespace

namespace lptuner {

void ObjectCreated() { InterlockedIncrement(&objects); }
void ObjectDestroyed() { InterlockedDecrement(&objects); }
void LockModule(bool lock) {
    if (lock)
        InterlockedIncrement(&locks);
    else
        InterlockedDecrement(&locks);
}
bool ModuleInUse() { return objects != 0 || locks != 0; }

void EnterModule() { EnterCriticalSection(&state.section); }
void LeaveModule() { LeaveCriticalSection(&state.section); }

HRESULT WizardTypeInfo(ITypeInfo** out) {
    *out = nullptr;
    return WithModuleLock([&]() -> HRESULT {
        if (!state.typeInfo) {
            host::ComPtr<ITypeLib> lib;
            HRESULT hr = LoadRegTypeLib(LIBID_TessaryLib, 1, 0, 0, lib.put());
            if (FAILED(hr)) return hr;
            hr = lib->GetTypeInfoOfGuid(IID_ILPTuner, state.typeInfo.put());
            if (FAILED(hr)) return hr;
        }
        *out = state.typeInfo.get();
        (*out)->AddRef();
        return S_OK;
    });
}

}  // namespace lptuner

STDAPI DllCanUnloadNow() {
    return lptuner::ExceptionsToHResult([]() -> HRESULT { return lptuner::ModuleInUse() ? S_FALSE : S_OK; });
}
