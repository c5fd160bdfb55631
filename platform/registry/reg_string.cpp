#include "platform/registry/reg_string.h"

namespace platform::registry {

namespace {

// An open key, closed when it goes out of scope.
class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey() {
        if (h_) RegCloseKey(h_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

}  // namespace

bool QueryString(HKEY root, const std::string& path, const char* name, std::string& text) {
    text.clear();
    OpenedKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::string data(size, '\0');
    if (size && RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
                    ERROR_SUCCESS)
        return false;
    data.resize(size);
    while (!data.empty() && data.back() == '\0') data.pop_back();
    text = std::move(data);
    return true;
}

LONG SetString(HKEY root, const std::string& path, const char* name, const std::string& text) {
    OpenedKey key;
    const LONG status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                        key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

bool HasSubkeys(HKEY root, const std::string& path) {
    OpenedKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    char name[256];
    DWORD size = sizeof name;
    return RegEnumKeyExA(key.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS;
}

}  // namespace platform::registry
