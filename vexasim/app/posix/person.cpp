// The person at the terminal: the dialogs and message boxes drawn through the
// native user layer's terminal display, every box recorded for the run's status.
#include "platform/user32/terminal.h"
#include "vexasim/app/interactive.h"

namespace vexasim {
namespace {

bool IsErrorCaption(const std::string& caption) { return caption == "Error!" || caption == "Tessary"; }

// The person: every box is shown in the terminal, and recorded.
class Person : public RunUser {
public:
    int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        boxes_.push_back("[" + caption + "] " + text);
        if (IsErrorCaption(caption)) sawError_ = true;
        return terminal_.OnMessageBox(owner, text, caption, flags);
    }
    platform::DialogAction NextDialogAction(HWND dialog) override { return terminal_.NextDialogAction(dialog); }
    void OnDialogActionRefused(HWND dialog, const platform::DialogAction& action, const std::string& reason) override {
        terminal_.OnDialogActionRefused(dialog, action, reason);
    }
    void OnDialogEnded(HWND dialog) override { terminal_.OnDialogEnded(dialog); }
    bool SawError() const override { return sawError_; }
    std::vector<std::string> Problems() const override {
        if (terminal_.failure().empty()) return {};
        return {"the dialog could not be shown in the terminal: " + terminal_.failure()};
    }
    std::vector<std::string> Boxes() const override { return boxes_; }

private:
    platform::TerminalInputSource terminal_;
    std::vector<std::string> boxes_;
    bool sawError_ = false;
};

}  // namespace

bool PersonAvailable(bool, std::string& why) { return platform::TerminalInputSource::Available(why); }

std::unique_ptr<RunUser> MakePerson() { return std::make_unique<Person>(); }

}  // namespace vexasim
