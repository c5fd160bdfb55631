// DllRegisterServer and DllUnregisterServer: the registration script as data.
//
// Registering walks the keys in order: a ForceRemove key is deleted with everything
// below it first, then every key is created with its default and named values.
// Unregistering walks them backwards: a NoRemove key stays and loses only the
// named values the script gives it; any other key is deleted with everything below
// it. What is already gone counts as removed, so unregistering twice succeeds.
#include <olectl.h>

#include <string>

#include "component/com_boundary.h"
#include "component/module.h"
#include "host/call.h"
#include "lptuner_h.h"

namespace {

enum class Removal { Normal, ForceRemove, NoRemove };

struct NamedValue {
    const char* name;
    const char* data;
};

// Paths and data may hold %CLSID%, %LIBID% and %MODULE% (the module's own path).
struct ScriptKey {
    HKEY root;
    const char* path;
    Removal removal;
    const char* defaultValue;  // null: none
    NamedValue values[2];      // unused entries have a null name
};

const char kAddinKey[] = "Software\\Norvane\\Vexa\\Addins\\Tessary.LPTuner";

const ScriptKey kScript[] = {
    {HKEY_CLASSES_ROOT, "Tessary.LPTuner.1", Removal::Normal, "LPTuner Class", {}},
    {HKEY_CLASSES_ROOT, "Tessary.LPTuner.1\\CLSID", Removal::Normal, "%CLSID%", {}},
    {HKEY_CLASSES_ROOT, "Tessary.LPTuner", Removal::Normal, "LPTuner Class", {}},
    {HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CLSID", Removal::Normal, "%CLSID%", {}},
    {HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CurVer", Removal::Normal, "Tessary.LPTuner.1", {}},
    {HKEY_CLASSES_ROOT, "CLSID", Removal::NoRemove, nullptr, {}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%", Removal::ForceRemove, "LPTuner Class", {}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%\\ProgID", Removal::Normal, "Tessary.LPTuner.1", {}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%\\VersionIndependentProgID", Removal::Normal, "Tessary.LPTuner", {}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%\\Programmable", Removal::ForceRemove, nullptr, {}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%\\InprocServer32", Removal::Normal, "%MODULE%",
     {{"ThreadingModel", "Apartment"}}},
    {HKEY_CLASSES_ROOT, "CLSID\\%CLSID%\\TypeLib", Removal::Normal, "%LIBID%", {}},
    {HKEY_LOCAL_MACHINE, "Software", Removal::NoRemove, nullptr, {}},
    {HKEY_LOCAL_MACHINE, "Software\\Norvane", Removal::NoRemove, nullptr, {}},
    {HKEY_LOCAL_MACHINE, "Software\\Norvane\\Vexa", Removal::NoRemove, nullptr, {}},
    {HKEY_LOCAL_MACHINE, "Software\\Norvane\\Vexa\\Addins", Removal::NoRemove, nullptr, {}},
    {HKEY_LOCAL_MACHINE, kAddinKey, Removal::NoRemove, nullptr,
     {{"FriendlyName", "Tessary Wizard"}, {"Description", "Run the simulated Tessary Wizard"}}},
};

std::string GuidText(REFGUID g) {
    OLECHAR text[39];  // "{8-4-4-4-12}" and the terminator
    StringFromGUID2(g, text, 39);
    std::string out;
    for (int i = 0; text[i]; ++i) out += static_cast<char>(text[i]);
    return out;
}

using Wide = std::basic_string<OLECHAR>;

// The script's own text is ASCII.
Wide Widen(const std::string& ascii) { return Wide(ascii.begin(), ascii.end()); }

// Key paths hold only ASCII (%CLSID% and %LIBID%); values may hold the module's
// path, which is kept wide from the loader to the registry.
struct Substitutions {
    std::string clsid = GuidText(CLSID_LPTuner);
    std::string libid = GuidText(LIBID_TessaryLib);
    Wide module = lptuner::ModulePath();

    std::string ExpandPath(const char* text) const {
        std::string out = text;
        const std::pair<const char*, const std::string*> marks[] = {{"%CLSID%", &clsid}, {"%LIBID%", &libid}};
        for (const auto& [mark, value] : marks) {
            const std::string m = mark;
            for (size_t at = out.find(m); at != std::string::npos; at = out.find(m, at + value->size()))
                out.replace(at, m.size(), *value);
        }
        return out;
    }

    Wide ExpandValue(const char* text) const {
        Wide out = Widen(ExpandPath(text));
        const Wide mark = Widen("%MODULE%");
        for (size_t at = out.find(mark); at != Wide::npos; at = out.find(mark, at + module.size()))
            out.replace(at, mark.size(), module);
        return out;
    }
};

class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (h_) RegCloseKey(h_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

LONG SetString(HKEY key, const char* name, const Wide& text) {
    const Wide wideName = name ? Widen(name) : Wide();
    return RegSetValueExW(key, name ? wideName.c_str() : nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * sizeof(OLECHAR)));
}

LONG RegisterKey(const ScriptKey& k, const Substitutions& subst) {
    const std::string path = subst.ExpandPath(k.path);
    if (k.removal == Removal::ForceRemove) {
        const LONG status = RegDeleteTreeA(k.root, path.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
    }
    OpenKey key;
    LONG status = RegCreateKeyExA(k.root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                  key.put(), nullptr);
    if (status == ERROR_SUCCESS && k.defaultValue)
        status = SetString(key.get(), nullptr, subst.ExpandValue(k.defaultValue));
    for (const NamedValue& v : k.values)
        if (status == ERROR_SUCCESS && v.name) status = SetString(key.get(), v.name, subst.ExpandValue(v.data));
    return status;
}

LONG UnregisterKey(const ScriptKey& k, const Substitutions& subst) {
    const std::string path = subst.ExpandPath(k.path);
    if (k.removal != Removal::NoRemove) {
        const LONG status = RegDeleteTreeA(k.root, path.c_str());
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    OpenKey key;
    LONG status = RegOpenKeyExA(k.root, path.c_str(), 0, KEY_SET_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    for (const NamedValue& v : k.values) {
        if (status != ERROR_SUCCESS || !v.name) continue;
        status = RegDeleteValueA(key.get(), v.name);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    return status;
}

SYSKIND ThisSystem() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

}  // namespace

STDAPI DllRegisterServer() {
    return lptuner::ExceptionsToHResult([]() -> HRESULT {
        const Substitutions subst;
        if (subst.module.empty()) return SELFREG_E_CLASS;
        for (const ScriptKey& k : kScript) {
            const LONG status = RegisterKey(k, subst);
            if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
        }
        // The type library this module holds, registered under its plain path.
        host::ComPtr<ITypeLib> lib;
        HRESULT hr = LoadTypeLibEx(subst.module.c_str(), REGKIND_NONE, lib.put());
        Wide path = subst.module;  // the SDK's RegisterTypeLib takes a non-const path
        if (SUCCEEDED(hr)) hr = RegisterTypeLib(lib.get(), &path[0], nullptr);
        return hr;
    });
}

// Entries already gone count as removed; a key or value that cannot be removed
// for any other reason makes the result SELFREG_E_CLASS (the rest is still removed).
STDAPI DllUnregisterServer() {
    return lptuner::ExceptionsToHResult([]() -> HRESULT {
        const Substitutions subst;
        HRESULT result = S_OK;
        for (size_t i = sizeof kScript / sizeof kScript[0]; i-- > 0;)
            if (UnregisterKey(kScript[i], subst) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
        // A library that is not registered (any more) is answered with one of these;
        // Wine's oleaut32 says E_INVALIDARG.
        const HRESULT hr = UnRegisterTypeLib(LIBID_TessaryLib, 1, 0, 0, ThisSystem());
        const bool gone = hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED || hr == E_INVALIDARG;
        if (FAILED(hr) && !gone && SUCCEEDED(result)) result = SELFREG_E_TYPELIB;
        return result;
    });
}
