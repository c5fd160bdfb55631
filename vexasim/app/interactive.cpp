#include "vexasim/app/interactive.h"

#include "platform/user32/terminal.h"

namespace vexasim {
namespace {

bool HasDialogOptions(const DialogOptions& o) {
    return !o.schematic.empty() || !o.tuner.empty() || o.harmonic != 0 || o.grid >= 0 || !o.centerMag.empty() ||
           !o.radius.empty() || !o.measuredData.empty() || !o.tabData.empty() || !o.measures.empty() ||
           o.removeAll || !o.scriptFile.empty() || o.simulate;
}

bool IsErrorCaption(const std::string& caption) { return caption == "Error!" || caption == "Tessary"; }

class Scripted : public RunUser {
public:
    explicit Scripted(std::vector<DialogStep> steps) : user_(std::move(steps)) {}
    int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        return user_.OnMessageBox(owner, text, caption, flags);
    }
    platform::DialogAction NextDialogAction(HWND dialog) override { return user_.NextDialogAction(dialog); }
    void OnDialogActionRefused(HWND dialog, const platform::DialogAction& action, const std::string& reason) override {
        user_.OnDialogActionRefused(dialog, action, reason);
    }
    bool SawError() const override { return user_.SawError(); }
    std::vector<std::string> Problems() const override { return user_.Problems(); }
    std::vector<std::string> Boxes() const override { return user_.Boxes(); }

private:
    ScriptedUser user_;
};

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

bool ChooseInteractive(bool forced, const DialogOptions& options, bool& interactive, std::string& error) {
    std::string why;
    if (forced) {
        if (HasDialogOptions(options)) {
            error = "--interactive takes no dialog option and no --script: the person at the terminal sets the dialog";
            return false;
        }
        if (!platform::TerminalInputSource::Available(why)) {
            error = "--interactive needs a terminal: " + why;
            return false;
        }
        interactive = true;
        return true;
    }
    interactive = !HasDialogOptions(options) && platform::TerminalInputSource::Available(why);
    return true;
}

std::unique_ptr<RunUser> MakeRunUser(bool interactive, std::vector<DialogStep> steps) {
    if (interactive) return std::make_unique<Person>();
    return std::make_unique<Scripted>(std::move(steps));
}

}  // namespace vexasim
