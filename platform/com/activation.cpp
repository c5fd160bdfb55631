// Class activation for in-process servers, as COM does it: ProgID -> CLSID ->
// HKCR\CLSID\{clsid}\InprocServer32 -> load the module -> DllGetClassObject.
// Loaded servers stay loaded until CoFreeUnusedLibraries finds that their
// DllCanUnloadNow answers S_OK (or the last apartment is uninitialised).
//
// Only single-threaded apartments exist here: COINIT_MULTITHREADED, and classes
// registered as "Free" (which would need marshaling), are refused with E_NOTIMPL.
#include <objbase.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/registry/reg_string.h"

#include "platform/com/com_text.h"


namespace {

using platform::GuidText;
using platform::kGuidChars;
using platform::Narrow;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

struct Server {
    HMODULE module = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

// The servers are called with the lock held; a server that activates another
// class from inside DllGetClassObject takes it again on the same thread.
std::recursive_mutex serversLock;
std::map<std::string, Server> servers;
int apartments = 0;  // threads with CoInitialize in force; guarded by serversLock

thread_local int initCount = 0;

std::string ClsidKey(REFCLSID clsid) {
    OLECHAR text[kGuidChars];
    StringFromGUID2(clsid, text, kGuidChars);
    return "CLSID\\" + Narrow(text);
}

// An export as the function type it has (through the generic function pointer type).
template <class Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The loaded server for a module path, loading it on first use.
HRESULT LoadServer(const std::string& path, Server& out) {
    auto it = servers.find(path);
    if (it == servers.end()) {
        Server s;
        s.module = LoadLibraryA(path.c_str());
        if (!s.module) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        s.getClassObject = Export<GetClassObjectFn>(s.module, "DllGetClassObject");
        s.canUnloadNow = Export<CanUnloadNowFn>(s.module, "DllCanUnloadNow");
        if (!s.getClassObject) {
            FreeLibrary(s.module);
            return CO_E_ERRORINDLL;
        }
        it = servers.emplace(path, s).first;
    }
    out = it->second;
    return S_OK;
}

}  // namespace

extern "C" {

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    const DWORD kDisableOle1Dde = 0x4;  // no DDE here: accepted and meaningless
    if (pvReserved) return E_INVALIDARG;
    const DWORD model = dwCoInit & ~kDisableOle1Dde;
    if (model == COINIT_MULTITHREADED) return initCount ? RPC_E_CHANGED_MODE : E_NOTIMPL;
    if (model != COINIT_APARTMENTTHREADED) return E_INVALIDARG;
    if (initCount++ > 0) return S_FALSE;
    std::lock_guard<std::recursive_mutex> guard(serversLock);
    ++apartments;
    return S_OK;
}

void CoUninitialize(void) {
    if (initCount == 0 || --initCount > 0) return;
    std::lock_guard<std::recursive_mutex> guard(serversLock);
    if (--apartments == 0) CoFreeUnusedLibraries();
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    *lpclsid = GUID_NULL;
    try {
        std::string text;
        if (!*lpszProgID || !platform::registry::QueryString(HKEY_CLASSES_ROOT, Narrow(lpszProgID) + "\\CLSID",
                                                             nullptr, text))
            return CO_E_CLASSSTRING;
        std::u16string wide(text.begin(), text.end());
        CLSID clsid;
        if (text.size() + 1 != kGuidChars || FAILED(CLSIDFromString(wide.c_str(), &clsid))) return CO_E_CLASSSTRING;
        *lpclsid = clsid;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"

namespace {

// The class object of an in-process server, as CoGetClassObject finds it.
HRESULT GetClassObject(REFCLSID rclsid, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (initCount == 0) return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    try {
        const std::string key = ClsidKey(rclsid) + "\\InprocServer32";
        std::string path, model;
        if (!platform::registry::QueryString(HKEY_CLASSES_ROOT, key, nullptr, path) || path.empty())
            return REGDB_E_CLASSNOTREG;
        if (platform::registry::QueryString(HKEY_CLASSES_ROOT, key, "ThreadingModel", model) && model == "Free")
            return E_NOTIMPL;
        std::lock_guard<std::recursive_mutex> guard(serversLock);
        Server server;
        if (HRESULT hr = LoadServer(path, server); FAILED(hr)) return hr;
        return server.getClassObject(rclsid, riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" {

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = GetClassObject(rclsid, dwClsContext, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

// A server without DllCanUnloadNow stays loaded, as on Windows.
void CoFreeUnusedLibraries(void) {
    std::lock_guard<std::recursive_mutex> guard(serversLock);
    for (auto it = servers.begin(); it != servers.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
            FreeLibrary(it->second.module);
            it = servers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // extern "C"
