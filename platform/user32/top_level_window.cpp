// Top-level windows: only what a host's main window needs to be, a window of class
// "Static" that owns message boxes and dialogs. Everything else is refused.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/user32/window.h"

namespace {

thread_local std::vector<std::unique_ptr<platform::ui::Window>> topLevel;

bool IsStaticClass(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return false;  // class atoms are not supported
    const char* expected = "static";
    for (; *name && *expected; ++name, ++expected)
        if ((*name | 0x20) != *expected) return false;
    return *name == '\0' && *expected == '\0';
}

}  // namespace

extern "C" {

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE, LPVOID lpParam) {
    if (!lpClassName || !IsStaticClass(lpClassName)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (hWndParent || hMenu || lpParam || (dwStyle & WS_CHILD)) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    try {
        auto w = platform::ui::CreateTopLevelWindow(lpWindowName ? lpWindowName : "", dwStyle);
        w->exStyle = dwExStyle;
        w->x = X;
        w->y = Y;
        w->cx = nWidth;
        w->cy = nHeight;
        topLevel.push_back(std::move(w));
        return topLevel.back()->handle;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

// Only the top-level windows made above; a dialog ends through EndDialog.
BOOL DestroyWindow(HWND hWnd) {
    auto it = std::find_if(topLevel.begin(), topLevel.end(), [&](const auto& w) { return w->handle == hWnd; });
    if (it == topLevel.end()) {
        SetLastError(platform::ui::Find(hWnd) ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    platform::ui::Destroy(it->get());
    topLevel.erase(it);
    return TRUE;
}

}  // extern "C"
