// MessageBoxA: the current input source plays the user.
#include <windows.h>

#include <iostream>

#include "platform/automation/input_source.h"

// A null caption reads "Error" and a null text is empty, as on Windows. An owner
// that is not a window is refused, as user32 does; with no input source installed
// there is nobody to answer, and the box fails instead of pressing a button.
extern "C" int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    try {
        if (hWnd && !IsWindow(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        const std::string text = lpText ? lpText : "";
        const std::string caption = lpCaption ? lpCaption : "Error";
        platform::InputSource* source = platform::CurrentInputSource();
        if (!source) {
            std::cerr << "MessageBoxA: no input source on this thread to answer the box [" << caption << "] "
                      << text << std::endl;
            SetLastError(ERROR_NOT_SUPPORTED);
            return 0;
        }
        return source->OnMessageBox(hWnd, text, caption, uType);
    } catch (...) {
        // No exception may cross a Windows API; a box that cannot be shown returns 0.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}
