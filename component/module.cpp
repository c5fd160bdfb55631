// The module's handle, and on Windows its entry point. This is the one file of the
// component that knows which system it is built for: on Windows the loader hands
// the DLL its handle; natively the handle is the load address of the shared
// object (or program) that holds this code, and the type library the module
// carries is its IDL text in the "lpt_typelib" section.
#include <windows.h>

#include "component/module.h"

#ifdef _WIN32

namespace {
HMODULE moduleHandle = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleHandle = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HMODULE lptuner::ModuleHandle() { return moduleHandle; }

#else

#include <dlfcn.h>

// Generated from lptuner.idl by the build.
#include "lptuner_idl.inc"

HMODULE lptuner::ModuleHandle() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&lptuner::ModuleHandle), &info)) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

#endif

std::string lptuner::ModulePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(ModuleHandle(), &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try again with more room
    }
}
