// The dialog tests' probe: a dialog procedure that records what it is sent and lets
// a test act on the dialog, a scripted user, and short forms of the messages.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

#include "platform/automation/dialog_script.h"
#include "ui/dialog_support.h"

namespace dialogtest {

// A dialog procedure that records what it is sent and lets a test act on it.
struct Probe {
    std::function<void(HWND)> init;
    std::function<void(HWND, int id, int code)> command;  // default: IDOK and IDCANCEL end the dialog
    std::vector<std::pair<int, int>> commands;            // (id, notification code)
    WPARAM initFocus = 0;
    LPARAM initParam = 0;
    HWND hwnd = nullptr;
    HWND activeDuringInit = nullptr;
    bool destroyed = false;

    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<Probe*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self) return FALSE;
        switch (message) {
            case WM_INITDIALOG:
                self->hwnd = hwnd;
                self->initFocus = wParam;
                self->initParam = lParam;
                self->activeDuringInit = GetActiveWindow();
                if (self->init) self->init(hwnd);
                return TRUE;
            case WM_COMMAND:
                self->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
                if (self->command)
                    self->command(hwnd, LOWORD(wParam), HIWORD(wParam));
                else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                    EndDialog(hwnd, LOWORD(wParam));
                return TRUE;
            case WM_DESTROY:
                self->destroyed = true;
                return TRUE;
            default:
                return FALSE;
        }
    }

    INT_PTR Run(int templateId, HWND owner = nullptr) {
        return DialogBoxParamA(ui::DialogModule(), MAKEINTRESOURCEA(templateId), owner, &Proc,
                               reinterpret_cast<LPARAM>(this));
    }
};

inline LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}
inline LRESULT SendText(HWND dialog, int id, UINT message, WPARAM wParam, const char* text) {
    return Send(dialog, id, message, wParam, reinterpret_cast<LPARAM>(text));
}
inline DWORD Style(HWND dialog, int id) { return static_cast<DWORD>(GetWindowLongPtrA(GetDlgItem(dialog, id), GWL_STYLE)); }

class DialogLayerTest : public ::testing::Test {
protected:
    platform::ScriptedInputSource user;
    platform::ScopedInputSource scope{user};
    Probe probe;
};

}  // namespace dialogtest
