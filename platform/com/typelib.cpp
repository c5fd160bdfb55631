// Loading, registering and unregistering type libraries, and the Disp* helpers.
//
// Registration writes what oleaut32 writes for one library version:
//   HKCR\TypeLib\{libid}\<major.minor, hex> = help string
//       FLAGS = "0", HELPDIR = help folder, <lcid, hex>\win64 (win32) = path
//   HKCR\Interface\{iid} = name, with ProxyStubClsid32 and ProxyStubClsid = the
//       automation marshaler, TypeLib = {libid} and Version = major.minor,
//   for every dual or automation-compatible interface of the library.
// LoadTypeLibEx takes REGKIND_NONE and REGKIND_REGISTER; REGKIND_DEFAULT, whose
// rules depend on how the path is written, is refused (E_NOTIMPL).
#include <cstdio>
#include <string>

#include "platform/com/typelib_model.h"
#include "platform/registry/reg_string.h"

#include "platform/com/com_text.h"


namespace tl = platform::typelib;

namespace {

using platform::GuidText;
using platform::kGuidChars;
using platform::Narrow;

const char kSection[] = "lpt_typelib";
const char kAutomationMarshaler[] = "{00020424-0000-0000-C000-000000000046}";
const char* const kPlatformKey = sizeof(void*) == 8 ? "win64" : "win32";

std::string Hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", v);
    return buf;
}

std::string VersionText(WORD major, WORD minor) { return Hex(major) + "." + Hex(minor); }

LONG SetString(const std::string& path, const char* name, const std::string& text) {
    return platform::registry::SetString(HKEY_CLASSES_ROOT, path, name, text);
}

bool GetString(const std::string& path, const char* name, std::string& text) {
    return platform::registry::QueryString(HKEY_CLASSES_ROOT, path, name, text);
}

bool HasSubkeys(const std::string& path) { return platform::registry::HasSubkeys(HKEY_CLASSES_ROOT, path); }

// An open key, closed when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

// Interfaces that registration lists under HKCR\Interface.
bool IsAutomationInterface(const TYPEATTR& a) {
    return a.typekind == TKIND_DISPATCH ||
           (a.typekind == TKIND_INTERFACE && (a.wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL)));
}

HRESULT LoadFile(const std::string& path, ITypeLib** out) {
    std::string text;
    if (!tl::ReadElfSection(path, kSection, text)) return TYPE_E_CANTLOADLIBRARY;
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    tl::Library lib;
    std::string error;
    if (!tl::ParseIdl(text, lib, error)) return TYPE_E_CANTLOADLIBRARY;
    return tl::CreateTypeLib(std::move(lib), out);
}

// What a registration step holds of a library, released on every exit (a
// thrown bad_alloc included).
struct Held {
    explicit Held(ITypeLib* owner) : owner(owner) {}
    ~Held() {
        SysFreeString(text);
        if (typeAttr) info->ReleaseTypeAttr(typeAttr);
        if (info) info->Release();
        if (libAttr) owner->ReleaseTLibAttr(libAttr);
        if (lib) lib->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    ITypeLib* owner;
    TLIBATTR* libAttr = nullptr;
    ITypeInfo* info = nullptr;
    TYPEATTR* typeAttr = nullptr;
    BSTR text = nullptr;
    ITypeLib* lib = nullptr;
};

}  // namespace

extern "C" {

HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    if (!szFile) return E_INVALIDARG;
    if (regkind != REGKIND_NONE && regkind != REGKIND_REGISTER) return E_NOTIMPL;
    try {
        ITypeLib* lib = nullptr;
        HRESULT hr = LoadFile(Narrow(szFile), &lib);
        if (FAILED(hr)) return hr;
        if (regkind == REGKIND_REGISTER && FAILED(hr = RegisterTypeLib(lib, szFile, nullptr))) {
            lib->Release();
            return hr;
        }
        *pptlib = lib;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// Takes the registered version with the same major and the highest minor at
// least the one asked for, for the locale asked for or, failing that, neutral.
HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    try {
        const std::string libKey = "TypeLib\\" + GuidText(rguid);
        Key key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return TYPE_E_LIBNOTREGISTERED;
        long best = -1;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            unsigned major = 0, minor = 0;
            char tail = 0;
            if (std::sscanf(name, "%x.%x%c", &major, &minor, &tail) != 2) continue;
            if (major == wVerMajor && minor >= wVerMinor && static_cast<long>(minor) > best) best = minor;
        }
        if (best < 0) return TYPE_E_LIBNOTREGISTERED;
        const std::string versionKey = libKey + "\\" + VersionText(wVerMajor, static_cast<WORD>(best));
        std::string path;
        if (!GetString(versionKey + "\\" + Hex(lcid) + "\\" + kPlatformKey, nullptr, path) &&
            !GetString(versionKey + "\\0\\" + kPlatformKey, nullptr, path))
            return TYPE_E_LIBNOTREGISTERED;
        ITypeLib* lib = nullptr;
        const HRESULT hr = LoadFile(path, &lib);
        if (SUCCEEDED(hr)) *pptlib = lib;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
    if (!ptlib || !szFullPath) return E_INVALIDARG;
    try {
        std::string libid, version, versionKey, platformKey, flags;
        {
            Held held(ptlib);
            HRESULT hr = ptlib->GetLibAttr(&held.libAttr);
            if (FAILED(hr)) return hr;
            const TLIBATTR* attr = held.libAttr;
            libid = GuidText(attr->guid);
            version = VersionText(attr->wMajorVerNum, attr->wMinorVerNum);
            versionKey = "TypeLib\\" + libid + "\\" + version;
            platformKey = versionKey + "\\" + Hex(attr->lcid) + "\\" + kPlatformKey;
            flags = Hex(attr->wLibFlags);
        }

        std::string help;
        {
            Held held(ptlib);
            ptlib->GetDocumentation(-1, nullptr, &held.text, nullptr, nullptr);
            help = Narrow(held.text);
        }

        if (SetString(versionKey, nullptr, help) != ERROR_SUCCESS ||
            SetString(versionKey + "\\FLAGS", nullptr, flags) != ERROR_SUCCESS ||
            SetString(versionKey + "\\HELPDIR", nullptr, Narrow(szHelpDir)) != ERROR_SUCCESS ||
            SetString(platformKey, nullptr, Narrow(szFullPath)) != ERROR_SUCCESS)
            return TYPE_E_REGISTRYACCESS;

        HRESULT hr = S_OK;
        const UINT count = ptlib->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            Held held(ptlib);
            if (FAILED(ptlib->GetTypeInfo(i, &held.info))) continue;
            if (SUCCEEDED(held.info->GetTypeAttr(&held.typeAttr)) && IsAutomationInterface(*held.typeAttr) &&
                SUCCEEDED(held.info->GetDocumentation(MEMBERID_NIL, &held.text, nullptr, nullptr, nullptr))) {
                const std::string key = "Interface\\" + GuidText(held.typeAttr->guid);
                if (SetString(key, nullptr, Narrow(held.text)) != ERROR_SUCCESS ||
                    SetString(key + "\\ProxyStubClsid", nullptr, kAutomationMarshaler) != ERROR_SUCCESS ||
                    SetString(key + "\\ProxyStubClsid32", nullptr, kAutomationMarshaler) != ERROR_SUCCESS ||
                    SetString(key + "\\TypeLib", nullptr, libid) != ERROR_SUCCESS ||
                    SetString(key + "\\TypeLib", "Version", version) != ERROR_SUCCESS)
                    hr = TYPE_E_REGISTRYACCESS;
            }
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// Removes the version's key and the Interface keys that point at this library;
// the library's own key goes when no version is left. A version that is not
// registered gives TYPE_E_REGISTRYACCESS.
HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
    if (syskind != SYS_WIN32 && syskind != SYS_WIN64) return E_INVALIDARG;
    try {
        const std::string libid = GuidText(libID);
        const std::string libKey = "TypeLib\\" + libid;
        const std::string versionKey = libKey + "\\" + VersionText(wVerMajor, wVerMinor);
        {
            Key key;
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, versionKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
                return TYPE_E_REGISTRYACCESS;
        }
        std::string path;
        Held library(nullptr);
        if (GetString(versionKey + "\\" + Hex(lcid) + (syskind == SYS_WIN64 ? "\\win64" : "\\win32"), nullptr, path) &&
            SUCCEEDED(LoadFile(path, &library.lib))) {
            const UINT count = library.lib->GetTypeInfoCount();
            for (UINT i = 0; i < count; ++i) {
                Held held(nullptr);
                if (FAILED(library.lib->GetTypeInfo(i, &held.info))) continue;
                if (SUCCEEDED(held.info->GetTypeAttr(&held.typeAttr)) && IsAutomationInterface(*held.typeAttr)) {
                    const std::string key = "Interface\\" + GuidText(held.typeAttr->guid);
                    std::string owner;
                    if (GetString(key + "\\TypeLib", nullptr, owner) && owner == libid)
                        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
                }
            }
        }
        if (RegDeleteTreeA(HKEY_CLASSES_ROOT, versionKey.c_str()) != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
        if (!HasSubkeys(libKey)) RegDeleteTreeA(HKEY_CLASSES_ROOT, libKey.c_str());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid) {
    if (!ptinfo) return E_INVALIDARG;
    return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                   VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) {
    if (!ptinfo) return E_INVALIDARG;
    return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}

}  // extern "C"
