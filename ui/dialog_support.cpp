#include "ui/dialog_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ui {

namespace {
// An object of this module, by whose address the module is found.
const char kModuleAnchor = 0;
}  // namespace

HINSTANCE DialogModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kModuleAnchor, &module))
        return nullptr;
    return module;
}

void ShowError(HWND dialog, const char* text) { MessageBoxA(dialog, text, "Error!", MB_OK | MB_ICONEXCLAMATION); }

std::string ReadFirstLine(HWND edit, size_t limit) {
    // EM_GETLINE takes the buffer size in its first word and writes no terminator.
    limit = std::min<size_t>(limit, 0xFFFF);
    std::vector<char> buffer(std::max(limit, sizeof(WORD)), '\0');
    const WORD size = static_cast<WORD>(limit);
    std::memcpy(buffer.data(), &size, sizeof size);
    const LRESULT copied = SendMessageA(edit, EM_GETLINE, 0, reinterpret_cast<LPARAM>(buffer.data()));
    const size_t n = copied > 0 ? std::min(static_cast<size_t>(copied), limit) : 0;
    return std::string(buffer.data(), n);
}

std::string ReadComboEntry(HWND combo, LRESULT index) {
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (index < 0 || length < 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(buffer.data()));
    if (copied < 0) return std::string();
    return std::string(buffer.data(), std::min(static_cast<size_t>(copied), static_cast<size_t>(length)));
}

}  // namespace ui
