// The registry functions. An open key is a handle naming a path (hive and key
// names), not a snapshot: each call reads the file under a shared lock, and each
// change reads, changes and rewrites it under an exclusive lock, so that changes
// made by other processes between two calls are seen. A key deleted while a
// handle to it is open answers ERROR_KEY_DELETED.
//
// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes (the per-user classes
// view is not merged in). Not supported, and refused: volatile keys, links,
// RegOpenKeyEx options, control characters in key names.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/registry/registry_store.h"

namespace reg = platform::registry;

namespace {

struct OpenKey {
    bool machine = true;             // hive: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    std::vector<std::string> path;   // key names below the hive
    REGSAM access = KEY_ALL_ACCESS;
};

std::mutex handlesLock;
std::unordered_map<ULONG_PTR, OpenKey> handles;
ULONG_PTR nextHandle = 0x1000;

bool Resolve(HKEY hKey, OpenKey& out) {
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) {
        out = OpenKey{hKey == HKEY_LOCAL_MACHINE, {}, KEY_ALL_ACCESS};
        return true;
    }
    if (hKey == HKEY_CLASSES_ROOT) {
        out = OpenKey{true, {"Software", "Classes"}, KEY_ALL_ACCESS};
        return true;
    }
    std::lock_guard<std::mutex> guard(handlesLock);
    auto it = handles.find(reinterpret_cast<ULONG_PTR>(hKey));
    if (it == handles.end()) return false;
    out = it->second;
    return true;
}

HKEY NewHandle(OpenKey key) {
    std::lock_guard<std::mutex> guard(handlesLock);
    const ULONG_PTR h = nextHandle;
    nextHandle += 4;
    handles.emplace(h, std::move(key));
    return reinterpret_cast<HKEY>(h);
}

// Splits "a\b\c" into names. A leading backslash or an empty name in the middle is
// ERROR_BAD_PATHNAME; a trailing backslash is ignored; null or "" is no name at all.
LONG SplitPath(LPCSTR sub, std::vector<std::string>& names) {
    names.clear();
    if (!sub || !*sub) return ERROR_SUCCESS;
    if (*sub == '\\') return ERROR_BAD_PATHNAME;
    const char* p = sub;
    while (*p) {
        const char* end = std::strchr(p, '\\');
        const size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (n == 0) return ERROR_BAD_PATHNAME;
        if (n > 255) return ERROR_INVALID_PARAMETER;
        for (size_t i = 0; i < n; ++i)
            if (static_cast<unsigned char>(p[i]) < 0x20) return ERROR_INVALID_PARAMETER;
        names.emplace_back(p, n);
        if (!end) break;
        p = end + 1;
    }
    return ERROR_SUCCESS;
}

reg::Key* Find(reg::Tree& tree, const OpenKey& key) {
    reg::Key* k = key.machine ? &tree.machine : &tree.user;
    for (const std::string& name : key.path) {
        auto it = k->subkeys.find(name);
        if (it == k->subkeys.end()) return nullptr;
        k = &it->second;
    }
    return k;
}

// One operation on the file: load under the lock, run op on the tree, and write
// back when op reports a change. op returns a Win32 status.
template <class Op>
LONG Transact(bool change, Op&& op) {
    const std::string path = reg::RegistryPath();
    reg::FileLock lock(path, change);
    if (!lock.held()) return ERROR_ACCESS_DENIED;
    reg::Tree tree;
    LONG status = reg::Load(path, tree);
    if (status != ERROR_SUCCESS) return status;
    bool changed = false;
    try {
        status = op(tree, changed);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (status == ERROR_SUCCESS && changed) status = reg::Save(path, tree);
    return status;
}

// The key a handle names, for an operation that needs the given access right.
template <class Op>
LONG OnKey(HKEY hKey, REGSAM need, bool change, Op&& op) {
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    if ((key.access & need) != need) return ERROR_ACCESS_DENIED;
    return Transact(change, [&](reg::Tree& tree, bool& changed) -> LONG {
        reg::Key* k = Find(tree, key);
        if (!k) return ERROR_KEY_DELETED;
        return op(*k, changed);
    });
}

LONG CopyOut(const std::string& data, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpcbData) return lpData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD size = static_cast<DWORD>(data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        std::memcpy(lpData, data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (Reserved != 0 || (lpClass && *lpClass) || lpSecurityAttributes) return ERROR_INVALID_PARAMETER;
    if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (LONG status = SplitPath(lpSubKey, names); status != ERROR_SUCCESS) return status;
    if (!names.empty() && !(key.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    bool created = false;
    const LONG status = Transact(true, [&](reg::Tree& tree, bool& changed) -> LONG {
        reg::Key* k = Find(tree, key);
        if (!k) return ERROR_KEY_DELETED;
        for (const std::string& name : names) {
            auto it = k->subkeys.find(name);
            if (it == k->subkeys.end()) {
                it = k->subkeys.emplace(name, reg::Key{}).first;
                created = changed = true;
            }
            k = &it->second;
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    for (std::string& name : names) key.path.push_back(std::move(name));
    key.access = samDesired;
    *phkResult = NewHandle(std::move(key));
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (ulOptions != 0) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (!Resolve(hKey, key)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (LONG status = SplitPath(lpSubKey, names); status != ERROR_SUCCESS) return status;
    for (std::string& name : names) key.path.push_back(std::move(name));
    const LONG status = Transact(false, [&](reg::Tree& tree, bool&) -> LONG {
        return Find(tree, key) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) return status;
    key.access = samDesired;
    *phkResult = NewHandle(std::move(key));
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
    if (Reserved != 0 || (!lpData && cbData != 0)) return ERROR_INVALID_PARAMETER;
    const std::string name = lpValueName ? lpValueName : "";
    reg::Value value;
    value.type = dwType;
    if (cbData) value.data.assign(reinterpret_cast<const char*>(lpData), cbData);
    return OnKey(hKey, KEY_SET_VALUE, true, [&](reg::Key& k, bool& changed) -> LONG {
        k.values[name] = std::move(value);
        changed = true;
        return ERROR_SUCCESS;
    });
}

// The registry keeps narrow text, as RegSetValueExA would store it: the name and
// REG_SZ or REG_EXPAND_SZ data are converted from UTF-16 to UTF-8 (the ANSI code
// page of the layer, so nothing is lost); other data is kept as given.
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
    if (Reserved != 0 || (!lpData && cbData != 0)) return ERROR_INVALID_PARAMETER;
    auto narrow = [](const WCHAR* text, size_t units) {
        std::string out;
        if (units == 0) return out;
        const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
        out.resize(static_cast<size_t>(n > 0 ? n : 0));
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), &out[0], n, nullptr, nullptr);
        return out;
    };
    size_t nameUnits = 0;
    while (lpValueName && lpValueName[nameUnits]) ++nameUnits;
    const std::string name = narrow(lpValueName, nameUnits);
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        return RegSetValueExA(hKey, name.c_str(), 0, dwType, lpData, cbData);
    std::vector<WCHAR> units(cbData / sizeof(WCHAR));
    if (!units.empty()) std::memcpy(units.data(), lpData, units.size() * sizeof(WCHAR));
    const std::string data = narrow(units.data(), units.size());  // the terminator, when given, comes along
    return RegSetValueExA(hKey, name.c_str(), 0, dwType, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    const std::string name = lpValueName ? lpValueName : "";
    return OnKey(hKey, KEY_QUERY_VALUE, false, [&](reg::Key& k, bool&) -> LONG {
        auto it = k.values.find(name);
        if (it == k.values.end()) return ERROR_FILE_NOT_FOUND;
        if (lpType) *lpType = it->second.type;
        return CopyOut(it->second.data, lpData, lpcbData);
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    const std::string name = lpValueName ? lpValueName : "";
    return OnKey(hKey, KEY_SET_VALUE, true, [&](reg::Key& k, bool& changed) -> LONG {
        if (k.values.erase(name) == 0) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

// With a subkey: that key and everything below it. Without: everything below the
// key and its values; the key itself stays. The hives themselves cannot be emptied.
LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    std::vector<std::string> names;
    if (LONG status = SplitPath(lpSubKey, names); status != ERROR_SUCCESS) return status;
    if (names.empty() && (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_CLASSES_ROOT))
        return ERROR_ACCESS_DENIED;
    return OnKey(hKey, 0, true, [&](reg::Key& k, bool& changed) -> LONG {
        if (names.empty()) {
            k.subkeys.clear();
            k.values.clear();
            changed = true;
            return ERROR_SUCCESS;
        }
        reg::Key* parent = &k;
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            auto it = parent->subkeys.find(names[i]);
            if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
            parent = &it->second;
        }
        if (parent->subkeys.erase(names.back()) == 0) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

// Subkeys come in the order of their names, compared without regard to case.
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpClass || lpcchClass || lpftLastWriteTime) return ERROR_CALL_NOT_IMPLEMENTED;
    return OnKey(hKey, KEY_ENUMERATE_SUB_KEYS, false, [&](reg::Key& k, bool&) -> LONG {
        if (dwIndex >= k.subkeys.size()) return ERROR_NO_MORE_ITEMS;
        auto it = k.subkeys.begin();
        std::advance(it, dwIndex);
        const std::string& name = it->first;
        if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
        std::memcpy(lpName, name.c_str(), name.size() + 1);
        *lpcchName = static_cast<DWORD>(name.size());
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> guard(handlesLock);
    return handles.erase(reinterpret_cast<ULONG_PTR>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
