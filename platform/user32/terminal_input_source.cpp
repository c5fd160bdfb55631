// The person at the terminal: dialogs drawn, keys read, actions handed to the dialog.
#include "platform/user32/terminal.h"

#include <algorithm>
#include <cstdio>

#include "platform/user32/dialog_view.h"
#include "platform/user32/terminal_keys.h"
#include "platform/user32/terminal_message_box.h"
#include "platform/user32/terminal_layout.h"
#include "platform/user32/terminal_screen.h"

namespace platform {

using terminal::Canvas;
using terminal::Key;

struct TerminalInputSource::Shown {
    bool fits = true;
    DialogView view;
    terminal::DialogLayout layout;
    terminal::MessageBoxLayout box;
};

struct TerminalInputSource::Box {
    std::string caption, text;
    UINT flags = 0;
    int focus = 0;
};

TerminalInputSource::TerminalInputSource() : screen_(std::make_unique<terminal::Screen>()) {}

TerminalInputSource::~TerminalInputSource() = default;

bool TerminalInputSource::Available(std::string& why) { return terminal::Screen::Usable(why); }

bool TerminalInputSource::Begin() {
    std::string error;
    if (screen_->Begin(error)) return true;
    if (failure_.empty()) {
        failure_ = error;
        std::fprintf(stderr, "the dialog cannot be shown: %s\n", error.c_str());
    }
    return false;
}

void TerminalInputSource::Forget(HWND dialog) {
    dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
    keyboards_.erase(dialog);
}

void TerminalInputSource::Draw(Shown& shown, const Box* box) {
    Canvas canvas(screen_->rows(), screen_->cols());
    // Dialogs that ended without telling (a dialog destroyed from outside) are dropped.
    for (size_t i = 0; i < dialogs_.size();)
        if (!IsWindow(dialogs_[i]))
            Forget(dialogs_[i]);
        else
            ++i;
    int cursorRow = -1, cursorCol = -1;
    shown.fits = true;
    for (size_t i = 0; i < dialogs_.size(); ++i) {
        DialogView view;
        if (!DescribeDialog(dialogs_[i], view)) continue;
        int rows = 0, cols = 0;
        terminal::DialogSize(view, rows, cols);
        const bool top = i + 1 == dialogs_.size();
        if (!top) {
            if (rows <= canvas.rows() && cols <= canvas.cols()) terminal::DrawDialog(canvas, view, terminal::FocusState());
            continue;
        }
        terminal::DialogKeyboard& keyboard = *keyboards_[dialogs_[i]];
        keyboard.Settle(view);
        if (rows > canvas.rows() || cols > canvas.cols()) {
            // Too small a terminal: say what it takes rather than show part of the dialog.
            shown.fits = false;
            Canvas blank(canvas.rows(), canvas.cols());
            canvas = blank;
            const std::string lines[] = {
                "The dialog \"" + view.caption + "\" needs a terminal of " + std::to_string(cols) + " x " +
                    std::to_string(rows) + " characters;",
                "this one is " + std::to_string(canvas.cols()) + " x " + std::to_string(canvas.rows()) + ".",
                "Enlarge it, or press Esc to cancel the dialog.",
            };
            for (int k = 0; k < 3; ++k) canvas.Text(k, 0, lines[k], canvas.cols());
        } else {
            shown.layout = terminal::DrawDialog(canvas, view, keyboard.state());
            cursorRow = shown.layout.cursorRow;
            cursorCol = shown.layout.cursorCol;
        }
        shown.view = std::move(view);
    }
    if (box) {
        shown.box = terminal::DrawMessageBox(canvas, box->caption, box->text, box->flags, box->focus);
        cursorRow = cursorCol = -1;
    }
    screen_->Show(canvas, cursorRow, cursorCol);
}

DialogAction TerminalInputSource::NextDialogAction(HWND dialog) {
    if (!Begin()) return DialogAction();  // no terminal: closed as by its close box
    if (std::find(dialogs_.begin(), dialogs_.end(), dialog) == dialogs_.end()) {
        dialogs_.push_back(dialog);
        keyboards_[dialog] = std::make_unique<terminal::DialogKeyboard>();
    } else if (dialogs_.back() != dialog) {
        // Back on top: whatever was over it has gone.
        dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
        dialogs_.push_back(dialog);
    }
    terminal::DialogKeyboard& keyboard = *keyboards_[dialog];
    for (;;) {
        Shown shown;
        Draw(shown, nullptr);
        const Key key = screen_->Read();
        if (key.code == Key::kResize) continue;
        if (!shown.fits) {
            if (key.code == Key::kEscape) return DialogAction::Escape();
            continue;
        }
        DialogAction action;
        if (keyboard.OnKey(shown.view, shown.layout, key, action)) return action;
    }
}

void TerminalInputSource::OnDialogActionRefused(HWND, const DialogAction&, const std::string&) {
    // The dialog would not take it (a disabled control): as on Windows, a beep.
    screen_->Beep();
}

void TerminalInputSource::OnDialogEnded(HWND dialog) {
    Forget(dialog);
    // With no dialog left the terminal is the program's again.
    if (dialogs_.empty()) screen_->Suspend();
}

int TerminalInputSource::OnMessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) {
    Box box;
    box.caption = caption;
    box.text = text;
    box.flags = flags;
    if (!Begin()) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return terminal::MessageBoxButtons(flags)[0];
    }
    terminal::MessageBoxKeyboard keyboard(flags);
    int answer = 0;
    for (;;) {
        box.focus = keyboard.focus();
        Shown shown;
        Draw(shown, &box);
        const Key key = screen_->Read();
        if (key.code == Key::kResize) continue;
        if (keyboard.OnKey(shown.box, key, answer)) break;
    }
    if (dialogs_.empty()) screen_->Suspend();
    return answer;
}

}  // namespace platform
