// The terminal as ncurses drives it: shows a canvas of cells and reads keys and
// mouse clicks. Taken when a dialog or message box is shown, given back (the
// terminal as it was) when none is.
#pragma once
#include <string>

#include "platform/user32/terminal_keys.h"
#include "platform/user32/terminal_layout.h"

namespace platform {
namespace terminal {

class Screen {
public:
    Screen() = default;
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // Whether stdin and stdout are a terminal that ncurses knows; says why not.
    static bool Usable(std::string& why);

    // Takes the terminal (again); false, with the reason, when it cannot.
    bool Begin(std::string& error);
    // Gives the terminal back as it was; Begin takes it again.
    void Suspend();

    int rows() const;
    int cols() const;
    // Shows `canvas` (sized rows() x cols()), the cursor at (row, col) or hidden when row < 0.
    void Show(const Canvas& canvas, int row, int col);
    // Waits for the next key or click.
    Key Read();
    void Beep();

private:
    void* screen_ = nullptr;  // the ncurses SCREEN
};

}  // namespace terminal
}  // namespace platform
