// The windows of the native dialog layer: a dialog and its controls as objects,
// found by handle, each answering the messages of its class as user32 documents
// them. Internal to platform/user32.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/dialog_action.h"
#include "platform/user32/resource_script.h"

namespace platform {
namespace ui {

enum class WindowKind { kDialog, kButton, kStatic, kEdit, kComboBox, kListBox };

struct Window {
    HWND handle = nullptr;
    Window* parent = nullptr;  // the dialog of a control; null for a dialog
    WindowKind kind = WindowKind::kStatic;
    std::string className;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;

    // Buttons.
    UINT check = BST_UNCHECKED;
    // Combo boxes and list boxes: the entries; `selected` marks the highlighted
    // entries of a multiple-selection list box, `current` is the selection of a
    // combo box or single-selection list box (-1 none).
    std::vector<std::string> items;
    std::vector<char> selected;
    int current = -1;
    // Edit boxes: the most the user can type.
    size_t limit = 32767;

    // Dialogs.
    int templateId = 0;
    HWND owner = nullptr;
    DLGPROC proc = nullptr;
    LONG_PTR user = 0;
    bool ended = false;
    INT_PTR result = 0;
    std::vector<std::unique_ptr<Window>> children;

    bool Enabled() const { return (style & WS_DISABLED) == 0; }
    bool MultipleSelection() const { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
};

// The window of a handle on this thread, or null.
Window* Find(HWND handle);
// A control of a dialog by id, or null.
Window* FindChild(Window* dialog, int id);

// Builds a dialog and its controls from a template; the handles are live until Destroy.
std::unique_ptr<Window> CreateDialogWindow(const DialogTemplate& tmpl, DLGPROC proc, HWND owner);
void Destroy(Window* dialog);

// Delivers a message to a window as SendMessage does.
LRESULT Send(Window* window, UINT message, WPARAM wParam, LPARAM lParam);

// Does what the user asked in `dialog`; returns why it could not (empty when done).
std::string ApplyAction(Window* dialog, const DialogAction& action);

// The modal dialogs of this thread, the one on top last.
std::vector<Window*>& ModalStack();

}  // namespace ui
}  // namespace platform
