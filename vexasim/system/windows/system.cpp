#include "vexasim/system/system.h"

#include <windows.h>

#include <algorithm>

namespace vexasim {
namespace {

// The system's text for an error code, without its line end.
std::string ErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string r = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!r.empty() && (r.back() == '\n' || r.back() == '\r' || r.back() == ' ' || r.back() == '.')) r.pop_back();
    return r;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string tmp = TemporaryName(path);
    HANDLE file = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = tmp + ": " + ErrorText(GetLastError());
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 24));
        DWORD written = 0;
        ok = WriteFile(file, text.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    const DWORD code = GetLastError();
    if (!CloseHandle(file) || !ok) {
        error = tmp + ": " + ErrorText(ok ? GetLastError() : code);
        DeleteFileA(tmp.c_str());
        return false;
    }
    // Unlike rename() of the C library, this replaces a file that is already there.
    if (!MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = path + ": " + ErrorText(GetLastError());
        DeleteFileA(tmp.c_str());
        return false;
    }
    return true;
}

std::string TemporaryName(const std::string& path) {
    return path + ".tmp-" + std::to_string(GetCurrentProcessId());
}

bool ReplaceFile(const std::string& from, const std::string& path, std::string& error) {
    if (MoveFileExA(from.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = path + ": " + ErrorText(GetLastError());
    return false;
}

bool MakeFolder(const std::string& path) {
    // Each folder on the way is created when missing; a drive ("C:") or a server
    // share cannot be, and the answer is whether the whole path is a folder.
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            const std::string part = path.substr(0, i);
            if (!IsFolder(part)) CreateDirectoryA(part.c_str(), nullptr);
        }
    return IsFolder(path);
}

std::string AbsolutePath(const std::string& path) {
    const DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::string full(n, '\0');
    const DWORD got = GetFullPathNameA(path.c_str(), n, &full[0], nullptr);
    if (got == 0 || got >= n) return path;
    full.resize(got);
    return full;
}

std::string::size_type LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

bool IsTerminal(int stream) {
    const DWORD which = stream == 0 ? STD_INPUT_HANDLE : stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

void SleepMilliseconds(int ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace vexasim
