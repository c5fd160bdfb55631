// The ncurses side of the terminal dialogs. Only here is ncurses included: its
// macros would otherwise meet the Windows names.
#include "platform/user32/terminal_screen.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <curses.h>
#include <term.h>
#include <unistd.h>

#include "platform/kernel/utf8.h"

namespace platform {
namespace terminal {

namespace {

// Key codes of our own for what terminfo may not name: Alt+Up and Alt+Down.
const int kKeyAltUp = KEY_MAX + 1;
const int kKeyAltDown = KEY_MAX + 2;

SCREEN* Of(void* s) { return static_cast<SCREEN*>(s); }

void DefineKeys() {
    // As xterm and tmux send them, and as the terminal's description names them.
    define_key("\033[1;3A", kKeyAltUp);
    define_key("\033[1;3B", kKeyAltDown);
    const struct {
        const char* cap;
        int code;
    } named[] = {{"kUP3", kKeyAltUp}, {"kDN3", kKeyAltDown}};
    for (const auto& n : named) {
        char* seq = tigetstr(const_cast<char*>(n.cap));
        if (seq && seq != reinterpret_cast<char*>(-1)) define_key(seq, n.code);
    }
}

chtype LineChar(char32_t ch) {
    switch (ch) {
        case kHLine:
            return ACS_HLINE;
        case kVLine:
            return ACS_VLINE;
        case kULCorner:
            return ACS_ULCORNER;
        case kURCorner:
            return ACS_URCORNER;
        case kLLCorner:
            return ACS_LLCORNER;
        default:
            return ACS_LRCORNER;
    }
}

attr_t Attrs(unsigned a) {
    attr_t r = A_NORMAL;
    if (a & kBold) r |= A_BOLD;
    if (a & kReverse) r |= A_REVERSE;
    if (a & kDim) r |= A_DIM;
    if (a & kUnderline) r |= A_UNDERLINE;
    return r;
}


}  // namespace

Screen::~Screen() {
    if (!screen_) return;
    set_term(Of(screen_));
    if (!isendwin()) endwin();
    delscreen(Of(screen_));
    screen_ = nullptr;
}

bool Screen::Usable(std::string& why) {
    if (!::isatty(0) || !::isatty(1)) {
        why = "stdin and stdout are not a terminal";
        return false;
    }
    const char* term = std::getenv("TERM");
    if (!term || !*term || std::string(term) == "dumb") {
        why = "TERM names no terminal that can show dialogs";
        return false;
    }
    int err = 0;
    TERMINAL* previous = cur_term;
    if (setupterm(term, 1, &err) != OK) {
        why = std::string("the terminal \"") + term + "\" is not known to this system";
        return false;
    }
    TERMINAL* probe = cur_term;
    set_curterm(previous);
    if (probe != previous) del_curterm(probe);
    return true;
}

bool Screen::Begin(std::string& error) {
    if (screen_) {
        set_term(Of(screen_));
        if (isendwin()) {
            reset_prog_mode();
            clearok(stdscr, TRUE);
        }
        return true;
    }
    // Texts are UTF-8: the terminal's character set decides how they are shown.
    std::setlocale(LC_CTYPE, "");
    std::fflush(stdout);
    SCREEN* s = newterm(nullptr, stdout, stdin);
    if (!s) {
        error = "the terminal cannot be driven";
        return false;
    }
    screen_ = s;
    set_term(s);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    // Long enough for a mouse report or a key sequence that arrives in pieces (through
    // tmux, over a slow connection); Esc alone is still answered at once to the eye.
    set_escdelay(150);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    DefineKeys();
    return true;
}

void Screen::Suspend() {
    if (!screen_) return;
    set_term(Of(screen_));
    if (!isendwin()) {
        erase();
        refresh();
        endwin();
    }
}

int Screen::rows() const { return LINES; }
int Screen::cols() const { return COLS; }

void Screen::Show(const Canvas& canvas, int row, int col) {
    erase();
    std::string utf8;
    for (int r = 0; r < canvas.rows() && r < LINES; ++r)
        for (int c = 0; c < canvas.cols() && c < COLS; ++c) {
            const Cell& cell = canvas.at(r, c);
            const attr_t a = Attrs(cell.attr);
            if (cell.ch >= kHLine && cell.ch <= kLRCorner) {
                mvaddch(r, c, LineChar(cell.ch) | a);
            } else if (cell.ch < 0x80) {
                mvaddch(r, c, static_cast<chtype>(cell.ch) | a);
            } else {
                utf8.clear();
                platform::AppendUtf8(utf8, cell.ch);
                attrset(a);
                mvaddstr(r, c, utf8.c_str());
                attrset(A_NORMAL);
            }
        }
    if (row >= 0 && row < LINES && col >= 0 && col < COLS) {
        curs_set(1);
        move(row, col);
    } else {
        curs_set(0);
    }
    refresh();
}

void Screen::Beep() { beep(); }

Key Screen::Read() {
    for (;;) {
        int ch = getch();
        switch (ch) {
            case ERR:
                continue;
            case '\t':
                return Key::Of(Key::kTab);
            case KEY_BTAB:
                return Key::Of(Key::kBackTab);
            case '\r':
            case '\n':
            case KEY_ENTER:
                return Key::Of(Key::kEnter);
            case KEY_UP:
                return Key::Of(Key::kUp);
            case KEY_DOWN:
                return Key::Of(Key::kDown);
            case KEY_LEFT:
                return Key::Of(Key::kLeft);
            case KEY_RIGHT:
                return Key::Of(Key::kRight);
            case KEY_HOME:
                return Key::Of(Key::kHome);
            case KEY_END:
                return Key::Of(Key::kEnd);
            case KEY_BACKSPACE:
            case 127:
            case 8:
                return Key::Of(Key::kBackspace);
            case KEY_DC:
                return Key::Of(Key::kDelete);
            case KEY_RESIZE:
                return Key::Of(Key::kResize);
            case kKeyAltUp:
                return Key::Of(Key::kAltUp);
            case kKeyAltDown:
                return Key::Of(Key::kAltDown);
            case 27: {
                // Esc alone, or Alt held with an arrow as terminals that prefix Esc send it.
                timeout(30);
                const int next = getch();
                timeout(-1);
                if (next == ERR) return Key::Of(Key::kEscape);
                if (next == KEY_DOWN) return Key::Of(Key::kAltDown);
                if (next == KEY_UP) return Key::Of(Key::kAltUp);
                // Alt with another key, or the rest of a sequence the terminal sent too
                // slowly: nothing in a dialog, and none of it may be taken as typing.
                flushinp();
                continue;
            }
            case KEY_MOUSE: {
                MEVENT ev;
                if (getmouse(&ev) == OK && (ev.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
                    return Key::Click(ev.y, ev.x);
                continue;
            }
            default:
                break;
        }
        if (ch == KEY_F(4)) return Key::Of(Key::kF4);
        if (ch < 0x20 || ch > 0xFF) continue;
        if (ch < 0x80) return Key::Char(static_cast<char32_t>(ch));
        // A character of several UTF-8 bytes arrives a byte at a time.
        const int more = (ch >> 5) == 6 ? 1 : (ch >> 4) == 14 ? 2 : (ch >> 3) == 30 ? 3 : -1;
        if (more < 0) continue;
        char32_t c = static_cast<char32_t>(ch & (0x3F >> more));
        bool whole = true;
        for (int k = 0; k < more && whole; ++k) {
            const int b = getch();
            whole = b != ERR && (b & 0xC0) == 0x80;
            c = (c << 6) | static_cast<char32_t>(b & 0x3F);
        }
        if (whole) return Key::Char(c);
    }
}

}  // namespace terminal
}  // namespace platform
