// Message boxes in the terminal: their buttons, how one is drawn, and the keyboard
// and the mouse in it (arrows and Tab move the focus among the buttons, Enter or
// Space presses one, Esc is Cancel, or OK in a box with only OK, and a click
// presses the button under it).
#pragma once
#include <string>
#include <vector>

#include "platform/user32/terminal_key.h"
#include "platform/user32/terminal_layout.h"

namespace platform {
namespace terminal {

// The buttons of a type (MB_OK, MB_OKCANCEL, MB_YESNO, ...) as ids.
std::vector<int> MessageBoxButtons(unsigned flags);
const char* ButtonName(int id);

struct MessageBoxLayout {
    Rect frame;
    std::vector<Rect> buttons;
};
MessageBoxLayout DrawMessageBox(Canvas& canvas, const std::string& caption, const std::string& text,
                                unsigned flags, int focusedButton);

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
