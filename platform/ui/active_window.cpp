// The active window. No window exists in the native layer until dialogs do, so
// there is none; the dialog code replaces this file.
#include <windows.h>

extern "C" HWND GetActiveWindow(void) { return nullptr; }
