// What both dialogs need of the window system: their module, their error box, and
// reading text out of controls without overrunning a buffer.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

namespace ui {

// The module whose resources hold the dialog templates: the one this code is linked into.
HINSTANCE DialogModule();

// The dialog object behind a dialog window: handed over as the WM_INITDIALOG
// parameter, kept in the window's user slot for every later message. Null for the
// messages that come before WM_INITDIALOG.
template <class Dialog>
Dialog* DialogObject(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        return reinterpret_cast<Dialog*>(lParam);
    }
    return reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

// An error box owned by the dialog: caption "Error!", exclamation icon, OK button.
void ShowError(HWND dialog, const char* text);

// The first line of an edit box, cut to its first `limit` characters.
std::string ReadFirstLine(HWND edit, size_t limit);

// Entry `index` of a combo box, whatever its length; empty when there is no such entry.
std::string ReadComboEntry(HWND combo, LRESULT index);

}  // namespace ui
