// A real top-level window standing for the host's main window: message boxes refuse
// an owner that is not a window, as user32 does.
#pragma once
#include <windows.h>

namespace comtest {

class HostWindow {
public:
    HostWindow()
        : hwnd_(CreateWindowExA(0, "STATIC", "Vexa", WS_POPUP | WS_CAPTION, 0, 0, 200, 100, nullptr, nullptr,
                                nullptr, nullptr)) {}
    ~HostWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND get() const { return hwnd_; }
    // As the host hands it over (IVexaApplication::get_MainWindowHandle).
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(hwnd_)); }

private:
    HWND hwnd_;
};

}  // namespace comtest
