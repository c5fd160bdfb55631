// A person at the terminal as the input source: every dialog and message box is
// drawn in the terminal at the layout of its template, and the person's keys and
// clicks become what the dialog does. The terminal is taken while a dialog or box
// is shown and given back in between, so that what a program prints after a
// dialog (progress, results) appears as usual.
//
//   platform::TerminalInputSource person;
//   platform::ScopedInputSource scope(person);
//   DialogBoxParamA(...);   // drawn in the terminal, answered at the keyboard
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/input_source.h"

namespace platform {

namespace terminal {
class Screen;
class DialogKeyboard;
}  // namespace terminal

class TerminalInputSource : public InputSource {
public:
    TerminalInputSource();
    ~TerminalInputSource() override;
    TerminalInputSource(const TerminalInputSource&) = delete;
    TerminalInputSource& operator=(const TerminalInputSource&) = delete;

    // Whether this process has a terminal on stdin and stdout that can show dialogs;
    // says why not.
    static bool Available(std::string& why);

    int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    DialogAction NextDialogAction(HWND dialog) override;
    void OnDialogActionRefused(HWND dialog, const DialogAction& action, const std::string& reason) override;
    void OnDialogEnded(HWND dialog) override;

    // Why the terminal could not be used, when a dialog was closed for that reason.
    const std::string& failure() const { return failure_; }

private:
    struct Shown;
    struct Box;
    bool Begin();
    void Forget(HWND dialog);
    // Draws the dialogs shown, the top one with its focus, and `box` over them.
    void Draw(Shown& shown, const Box* box);

    std::unique_ptr<terminal::Screen> screen_;
    std::vector<HWND> dialogs_;  // shown, the one on top last
    std::map<HWND, std::unique_ptr<terminal::DialogKeyboard>> keyboards_;
    std::string failure_;
};

}  // namespace platform
