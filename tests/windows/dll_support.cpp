// The identifiers of lptuner.idl are defined here, from the header widl made.
#include <initguid.h>

#include "tests/windows/dll_support.h"
#include "tests/windows/module_path.h"

#include <vector>

namespace dlltest {

namespace {

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

}  // namespace

std::string DllPath() { return ProgramDirectory() + "LPTuner.dll"; }

std::wstring DllPathW() {
    const std::string path = DllPath();
    return std::wstring(path.begin(), path.end());
}

DWORD Regsvr32(const std::string& arguments) {
    std::string command = "regsvr32.exe /s " + arguments + " \"" + DllPath() + "\"";
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process)) {
        ADD_FAILURE() << "cannot start " << command << ": " << GetLastError();
        return ~0u;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string RegString(HKEY root, const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<missing>";
    std::vector<char> data(1024, '\0');
    DWORD size = static_cast<DWORD>(data.size() - 1), type = 0;
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
    return std::string(data.data());
}

bool RegKeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

int RegValueCount(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
}

std::string GuidText(REFGUID guid) {
    OLECHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return Narrow(text);
}

std::string Narrow(BSTR s) {
    if (!s) return "<null>";
    const int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace dlltest

std::basic_string<OLECHAR> TestedModulePath() { return dlltest::DllPathW(); }
