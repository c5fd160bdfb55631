#include "vexasim/app/interactive.h"

namespace vexasim {
namespace {

bool HasDialogOptions(const DialogOptions& o) {
    return !o.schematic.empty() || !o.tuner.empty() || o.harmonic != 0 || o.grid >= 0 || !o.centerMag.empty() ||
           !o.radius.empty() || !o.measuredData.empty() || !o.tabData.empty() || !o.measures.empty() ||
           o.removeAll || !o.scriptFile.empty() || o.simulate;
}

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

}  // namespace

bool ChooseInteractive(bool forced, const DialogOptions& options, bool& interactive, std::string& error) {
    std::string why;
    if (forced) {
        if (HasDialogOptions(options)) {
            error = "--interactive takes no dialog option and no --script: the person at the terminal sets the dialog";
            return false;
        }
        if (!PersonAvailable(true, why)) {
            error = "--interactive needs a terminal: " + why;
            return false;
        }
        interactive = true;
        return true;
    }
    interactive = !HasDialogOptions(options) && PersonAvailable(false, why);
    return true;
}

std::unique_ptr<RunUser> MakeRunUser(bool interactive, std::vector<DialogStep> steps) {
    if (interactive) return MakePerson();
    return std::make_unique<Scripted>(std::move(steps));
}

}  // namespace vexasim
