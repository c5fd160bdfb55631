// The module's handle and path. The module finds itself as any code finds the
// module that holds it: by the address of one of its own objects. Its path is
// read through the wide API, so that a folder whose name has characters outside
// the ANSI code page still gives the path the loader used.
#include <windows.h>

#include "component/module.h"

// What the module carries as its type library, when the build makes it from
// lptuner.idl as data (natively: the IDL text in the "lpt_typelib" section; the
// DLL's TYPELIB resource comes from its resource script instead).
#include "lptuner_idl.inc"

namespace {
// An object of this module, by whose address the module is found.
const char kModuleAnchor = 0;
}  // namespace

HMODULE lptuner::ModuleHandle() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kModuleAnchor, &module))
        return nullptr;
    return module;
}

std::basic_string<OLECHAR> lptuner::ModulePath() {
    const HMODULE module = ModuleHandle();
    if (!module) return {};
    std::basic_string<OLECHAR> path(MAX_PATH, OLECHAR(0));
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try again with more room
    }
}
