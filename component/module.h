// The module: its handle and path, the counts that decide whether it may be
// unloaded, and what it keeps for its whole life (the class factory and the
// type information of ILPTuner).
#pragma once
#include <objbase.h>
#include <oleauto.h>

#include <string>

namespace lptuner {

// The handle of the module this code is linked into (the DLL, the shared library,
// or a program that links the component statically).
HMODULE ModuleHandle();
// Its full file path, wide, so that a folder name outside the ANSI code page
// survives; empty when it cannot be found.
std::basic_string<OLECHAR> ModulePath();

// Live objects and server locks; the module may be unloaded when both are zero.
void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
bool ModuleInUse();

// The type information of ILPTuner from the registered type library 1.0, loaded
// on the first call and kept for the module's life. A failed load is not kept:
// its HRESULT is returned and the next call tries again. The caller owns a reference.
HRESULT WizardTypeInfo(ITypeInfo** out);

// Runs f under the module's critical section.
void EnterModule();
void LeaveModule();
template <class F>
auto WithModuleLock(F&& f) -> decltype(f()) {
    EnterModule();
    struct Leave {
        ~Leave() { LeaveModule(); }
    } leave;
    return f();
}

}  // namespace lptuner
