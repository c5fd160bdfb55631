// The keyboard and the mouse in a dialog, as a person uses Windows dialogs: Tab and
// Shift+Tab move the focus through the tab stops in template order, arrow keys move
// within a radio group, list or combo box, Space toggles or presses, Enter presses
// the default button, Esc is Cancel, Alt+Down or F4 opens a combo box, typing edits
// the focused edit box, a click focuses and presses. What changes the dialog comes
// out as the same actions a scripted user takes; the rest (focus, carets, the
// dropped-down list) stays here.
#pragma once
#include <string>

#include "platform/automation/dialog_action.h"
#include "platform/user32/dialog_view.h"
#include "platform/user32/terminal_key.h"
#include "platform/user32/terminal_layout.h"

namespace platform {
namespace terminal {

class DialogKeyboard {
public:
    const FocusState& state() const { return state_; }

    // Puts the focus where it may be in `view` as it now is: on the first tab stop at
    // the start, on the next one when the focused control was disabled.
    void Settle(const DialogView& view);

    // Takes a key; true, with `action` set, when the dialog is to do something.
    bool OnKey(const DialogView& view, const DialogLayout& layout, const Key& key, DialogAction& action);

private:
    void FocusOn(const DialogView& view, int index, bool fromTab);
    bool MoveTab(const DialogView& view, bool back);
    bool Arrow(const DialogView& view, int step, DialogAction& action);
    bool Edit(const DialogView& view, const Key& key, DialogAction& action);
    bool ComboKey(const DialogView& view, const Key& key, DialogAction& action);
    bool ListKey(const DialogView& view, const Key& key, DialogAction& action);
    bool Click(const DialogView& view, const DialogLayout& layout, const Key& key, DialogAction& action);
    bool PressDefault(const DialogView& view, DialogAction& action);

    FocusState state_;
    bool settled_ = false;
};

}  // namespace terminal
}  // namespace platform
