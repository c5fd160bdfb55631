// What both dialogs need of the window system: their module, their error box, and
// reading text out of controls without overrunning a buffer.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

namespace ui {

// The module whose resources hold the dialog templates: the one this code is linked into.
HINSTANCE DialogModule();

// An error box owned by the dialog: caption "Error!", exclamation icon, OK button.
void ShowError(HWND dialog, const char* text);

// The first line of an edit box, cut to its first `limit` characters.
std::string ReadFirstLine(HWND edit, size_t limit);

// Entry `index` of a combo box, whatever its length; empty when there is no such entry.
std::string ReadComboEntry(HWND combo, LRESULT index);

}  // namespace ui
