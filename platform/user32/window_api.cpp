// The window functions of user32 over the native dialog windows. No exception
// crosses them: a failure inside answers as a failed call.
#include <windows.h>

#include "platform/user32/window.h"

using platform::ui::Find;
using platform::ui::FindChild;
using platform::ui::Window;
using platform::ui::WindowKind;

namespace {

Window* Known(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

Window* Item(HWND hDlg, int id) {
    Window* dialog = Known(hDlg);
    if (!dialog) return nullptr;
    Window* c = FindChild(dialog, id);
    if (!c) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return c;
}

template <class F>
auto Guard(F&& f, decltype(f()) onFailure) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return onFailure;
    }
}

}  // namespace

extern "C" {

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* c = Item(hDlg, nIDDlgItem);
    return c ? c->handle : nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    Window* w = Known(hWnd);
    return w && w->parent ? w->id : 0;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return Guard(
        [&]() -> LRESULT {
            Window* w = Known(hWnd);
            return w ? platform::ui::Send(w, Msg, wParam, lParam) : 0;
        },
        0);
}

LRESULT SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return Guard(
        [&]() -> LRESULT {
            Window* c = Item(hDlg, nIDDlgItem);
            return c ? platform::ui::Send(c, Msg, wParam, lParam) : 0;
        },
        0);
}

BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    return Guard(
        [&]() -> BOOL {
            Window* c = Item(hDlg, nIDDlgItem);
            return c ? static_cast<BOOL>(platform::ui::Send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)))
                     : FALSE;
        },
        FALSE);
}

UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    Window* c = Item(hDlg, nIDDlgItem);
    if (!c) {
        if (lpString && cchMax > 0) lpString[0] = '\0';
        return 0;
    }
    return static_cast<UINT>(
        platform::ui::Send(c, WM_GETTEXT, static_cast<WPARAM>(cchMax < 0 ? 0 : cchMax), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    Window* w = Known(hWnd);
    if (!w) {
        if (lpString && nMaxCount > 0) lpString[0] = '\0';
        return 0;
    }
    return static_cast<int>(platform::ui::Send(w, WM_GETTEXT, static_cast<WPARAM>(nMaxCount < 0 ? 0 : nMaxCount),
                                               reinterpret_cast<LPARAM>(lpString)));
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    Window* c = Item(hDlg, nIDButton);
    if (!c) return FALSE;
    platform::ui::Send(c, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    Window* c = Item(hDlg, nIDButton);
    return c ? static_cast<UINT>(platform::ui::Send(c, BM_GETCHECK, 0, 0)) : 0;
}

// Returns whether the window was disabled before.
BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* w = Known(hWnd);
    if (!w) return FALSE;
    const BOOL wasDisabled = w->Enabled() ? FALSE : TRUE;
    if (bEnable)
        w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Window* w = Known(hWnd);
    return w && w->Enabled() ? TRUE : FALSE;
}

BOOL IsWindow(HWND hWnd) { return Find(hWnd) ? TRUE : FALSE; }

// Supported: the dialog's DWLP_USER slot, and reading the style, extended style and id.
LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Window* w = Known(hWnd);
    if (!w) return 0;
    switch (nIndex) {
        case GWL_STYLE:
            return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
        case GWLP_ID:
            return w->id;
        default:
            if (nIndex == static_cast<int>(DWLP_USER) && w->kind == WindowKind::kDialog) return w->user;
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Window* w = Known(hWnd);
    if (!w) return 0;
    if (nIndex == static_cast<int>(DWLP_USER) && w->kind == WindowKind::kDialog) {
        const LONG_PTR previous = w->user;
        w->user = dwNewLong;
        return previous;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

}  // extern "C"
