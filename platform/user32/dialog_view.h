// What a front end shows of the dialog on top: its caption and every control with
// its state. Read through this rather than the window functions when a whole dialog
// is to be drawn or printed.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace platform {

struct ControlView {
    HWND handle = nullptr;
    int id = 0;
    std::string className;  // "Button", "Static", "Edit", "ComboBox", "ListBox"
    DWORD style = 0;
    std::string text;
    bool enabled = true;
    UINT check = 0;
    std::vector<std::string> items;
    std::vector<int> selected;  // the selected or highlighted entries
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogView {
    HWND handle = nullptr;
    int templateId = 0;
    std::string caption;
    bool enabled = true;
    int cx = 0, cy = 0;  // dialog units
    std::vector<ControlView> controls;  // template order
};

// False when `dialog` is not a dialog of this thread.
bool DescribeDialog(HWND dialog, DialogView& view);

}  // namespace platform
