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
#include "platform/user32/terminal_layout.h"

namespace platform {
namespace terminal {

struct Key {
    enum Code {
        kNone,
        kChar,  // `ch`
        kTab,
        kBackTab,
        kEnter,
        kEscape,
        kUp,
        kDown,
        kLeft,
        kRight,
        kAltUp,
        kAltDown,
        kF4,
        kBackspace,
        kDelete,
        kHome,
        kEnd,
        kClick,  // the left mouse button at (`row`, `col`) of the screen
        kResize,
    };
    Code code = kNone;
    char32_t ch = 0;
    int row = -1, col = -1;

    static Key Of(Code code) {
        Key k;
        k.code = code;
        return k;
    }
    static Key Char(char32_t ch) {
        Key k;
        k.code = kChar;
        k.ch = ch;
        return k;
    }
    static Key Click(int row, int col) {
        Key k;
        k.code = kClick;
        k.row = row;
        k.col = col;
        return k;
    }
};

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

// The keyboard in a message box: which button has the focus, and the answer.
class MessageBoxKeyboard {
public:
    explicit MessageBoxKeyboard(unsigned flags);
    int focus() const { return focus_; }
    // True, with `answer` set to the id of the button pressed, when the box is answered.
    bool OnKey(const MessageBoxLayout& layout, const Key& key, int& answer);

private:
    std::vector<int> buttons_;
    int focus_ = 0;
};

}  // namespace terminal
}  // namespace platform
