// Modules are shared objects: LoadLibraryA is dlopen, GetProcAddress is dlsym.
// A module handle is either what LoadLibraryA returned or the load address of a
// module (what dladdr reports as its base, the native counterpart of the
// HINSTANCE a DLL is given, and what GetModuleHandleExA finds); the
// GetModuleFileName functions accept both. Paths are UTF-8, the layer's ANSI
// code page, and convert to UTF-16 without loss.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// Copies a path out as Windows does: a path that does not fit is truncated and
// terminated, the result is nSize and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD CopyPath(const std::string& path, LPSTR out, DWORD nSize) {
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= nSize) {
        std::memcpy(out, path.data(), nSize - 1);
        out[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", &path[0], path.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ModulePath(HMODULE module) {
    Dl_info info;
    if (dladdr(module, &info) && info.dli_fbase == static_cast<void*>(module) && info.dli_fname)
        return info.dli_fname;
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return std::string();
    // The main program's link map has an empty name.
    return map->l_name[0] ? std::string(map->l_name) : ExecutablePath();
}

}  // namespace

extern "C" {

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* handle = dlopen(lpLibFileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) SetLastError(ERROR_MOD_NOT_FOUND);
    return static_cast<HMODULE>(handle);
}

BOOL FreeLibrary(HMODULE hLibModule) {
    if (!hLibModule || dlclose(hLibModule) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Exports are looked up by name only; an ordinal (a "name" below 0x10000) is refused.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (!hModule || !lpProcName) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (reinterpret_cast<ULONG_PTR>(lpProcName) < 0x10000) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    void* symbol = dlsym(hModule, lpProcName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

// The module that holds an address: the load address of the program or shared
// object. Only the form that takes no reference is supported.
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule) {
    if (!phModule) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *phModule = nullptr;
    if (dwFlags != (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    Dl_info info;
    if (!lpModuleName || !dladdr(lpModuleName, &info) || !info.dli_fbase) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    *phModule = static_cast<HMODULE>(info.dli_fbase);
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (!lpFilename && nSize != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string path = hModule ? ModulePath(hModule) : ExecutablePath();
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyPath(path, lpFilename, nSize);
}

// As GetModuleFileNameA, in UTF-16: a path that does not fit is truncated to
// nSize - 1 units and terminated, the result nSize and the last error
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (!lpFilename && nSize != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string path = hModule ? ModulePath(hModule) : ExecutablePath();
    const int bytes = static_cast<int>(path.size());
    const int units = path.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, nullptr, 0);
    if (units <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, &wide[0], units);
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (wide.size() >= nSize) {
        std::memcpy(lpFilename, wide.data(), (nSize - 1) * sizeof(WCHAR));
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(wide.size());
}

}  // extern "C"
