// A key or a click of the person at the terminal, as the screen reads it.
#pragma once

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

}  // namespace terminal
}  // namespace platform
