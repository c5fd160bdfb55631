// MessageBoxA: the current input source plays the user.
#include <windows.h>

#include "platform/automation/input_source.h"

// A null caption reads "Error" and a null text is empty, as on Windows.
extern "C" int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    try {
        return platform::CurrentInputSource().OnMessageBox(hWnd, lpText ? lpText : "",
                                                           lpCaption ? lpCaption : "Error", uType);
    } catch (...) {
        // No exception may cross a Windows API; a box that cannot be shown returns 0.
        return 0;
    }
}
