#include "platform/user32/terminal_message_box.h"

#include <windows.h>

#include <algorithm>

#include "platform/kernel/utf8.h"

namespace platform {
namespace terminal {

std::vector<int> MessageBoxButtons(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case 2:  // MB_ABORTRETRYIGNORE
            return {IDABORT, IDRETRY, IDIGNORE};
        case 3:  // MB_YESNOCANCEL
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case 5:  // MB_RETRYCANCEL
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

const char* ButtonName(int id) {
    switch (id) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "Abort";
        case IDRETRY:
            return "Retry";
        case IDIGNORE:
            return "Ignore";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "?";
    }
}

MessageBoxLayout DrawMessageBox(Canvas& canvas, const std::string& caption, const std::string& text, unsigned flags,
                                int focusedButton) {
    MessageBoxLayout layout;
    const std::vector<int> buttons = MessageBoxButtons(flags);
    const int maxInner = std::max(10, std::min(70, canvas.cols() - 6));
    // The text wrapped at spaces, its own line breaks kept.
    std::vector<std::string> lines;
    std::u32string all = DecodeText(text);
    std::u32string line;
    auto flush = [&]() {
        std::string s;
        for (char32_t ch : line) AppendUtf8(s, ch);
        lines.push_back(s);
        line.clear();
    };
    for (size_t i = 0; i <= all.size(); ++i) {
        if (i == all.size() || all[i] == U'\n') {
            if (!line.empty() && line.back() == U'\r') line.pop_back();
            flush();
            continue;
        }
        line.push_back(all[i]);
        if (static_cast<int>(line.size()) > maxInner) {
            size_t cut = line.rfind(U' ');
            if (cut == std::u32string::npos || cut == 0) cut = static_cast<size_t>(maxInner);
            std::u32string rest = line.substr(cut == static_cast<size_t>(maxInner) ? cut : cut + 1);
            line.resize(cut);
            flush();
            line = rest;
        }
    }
    int buttonsWidth = 0;
    for (int id : buttons) buttonsWidth += TextWidth(ButtonName(id)) + 6;
    int inner = std::max(buttonsWidth, TextWidth(caption) + 6);
    for (const auto& l : lines) inner = std::max(inner, TextWidth(l));
    inner = std::min(inner, std::max(10, canvas.cols() - 6));
    const int rows = static_cast<int>(lines.size()) + 6, cols = inner + 4;
    layout.frame = Rect{std::max(0, (canvas.rows() - rows) / 2), std::max(0, (canvas.cols() - cols) / 2), rows, cols};
    const Rect& f = layout.frame;
    canvas.Fill(f);
    canvas.Box(f);
    canvas.Text(f.row, f.col + 2, " " + caption + " ", cols - 4, kBold);
    for (size_t k = 0; k < lines.size(); ++k)
        canvas.Text(f.row + 2 + static_cast<int>(k), f.col + 2, lines[k], inner);
    int at = f.col + (cols - buttonsWidth) / 2;
    const int row = f.row + rows - 2;
    for (size_t k = 0; k < buttons.size(); ++k) {
        const std::string name = ButtonName(buttons[k]);
        const bool focused = static_cast<int>(k) == focusedButton;
        const std::string label = focused ? "[[ " + name + " ]]" : " [ " + name + " ] ";
        const int w = TextWidth(label);
        canvas.Text(row, at, label, w, focused ? kBold | kReverse : kNormal);
        layout.buttons.push_back(Rect{row, at, 1, w});
        at += w;
    }
    return layout;
}

MessageBoxKeyboard::MessageBoxKeyboard(unsigned flags) : buttons_(MessageBoxButtons(flags)) {}

bool MessageBoxKeyboard::OnKey(const MessageBoxLayout& layout, const Key& key, int& answer) {
    const int n = static_cast<int>(buttons_.size());
    switch (key.code) {
        case Key::kLeft:
        case Key::kUp:
        case Key::kBackTab:
            focus_ = (focus_ + n - 1) % n;
            return false;
        case Key::kRight:
        case Key::kDown:
        case Key::kTab:
            focus_ = (focus_ + 1) % n;
            return false;
        case Key::kEnter:
            answer = buttons_[static_cast<size_t>(focus_)];
            return true;
        case Key::kChar:
            if (key.ch != U' ') return false;
            answer = buttons_[static_cast<size_t>(focus_)];
            return true;
        case Key::kEscape:
            // Esc is Cancel, or OK in a box that has only OK; a Yes/No box must be answered.
            for (int id : buttons_)
                if (id == IDCANCEL) {
                    answer = id;
                    return true;
                }
            if (n == 1 && buttons_[0] == IDOK) {
                answer = IDOK;
                return true;
            }
            return false;
        case Key::kClick:
            for (size_t k = 0; k < layout.buttons.size() && k < buttons_.size(); ++k)
                if (layout.buttons[k].Contains(key.row, key.col)) {
                    answer = buttons_[k];
                    return true;
                }
            return false;
        default:
            return false;
    }
}

}  // namespace terminal
}  // namespace platform
