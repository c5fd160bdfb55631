// The person at the display: Windows' own dialogs and message boxes, with no
// input source installed. Windows draws and answers them; nothing is recorded, so
// the run's status comes from what the wizard returned.
#include "vexasim/app/interactive.h"

namespace vexasim {
namespace {

class Person : public RunUser {
public:
    int OnMessageBox(HWND, const std::string&, const std::string&, UINT) override { return IDCANCEL; }
    platform::DialogAction NextDialogAction(HWND) override { return platform::DialogAction{}; }
    void OnDialogActionRefused(HWND, const platform::DialogAction&, const std::string&) override {}
    bool AnswersDialogs() const override { return false; }
    bool SawError() const override { return false; }
    std::vector<std::string> Problems() const override { return {}; }
    std::vector<std::string> Boxes() const override { return {}; }
};

}  // namespace

// Only on request: a run without --interactive keeps the scripted user, so that a
// pipe or a test never waits for a person.
bool PersonAvailable(bool forced, std::string& why) {
    if (!forced) why = "the real dialogs open only with --interactive";
    return forced;
}

std::unique_ptr<RunUser> MakePerson() { return std::make_unique<Person>(); }

}  // namespace vexasim
