// Who answers the wizard's dialogs in a run: the options replayed as a scripted
// user, or the person at the terminal. A run opens the dialogs in the terminal when
// it is asked to (--interactive) or when it is given no dialog option and stdin and
// stdout are a terminal; anything else (pipes, CI) keeps the scripted user.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/input_source.h"
#include "vexasim/app/dialog_script.h"

namespace vexasim {

class RunUser : public platform::InputSource {
public:
    // An error box was shown (the run's exit status is then 1).
    virtual bool SawError() const = 0;
    // What went wrong between the user and the dialogs.
    virtual std::vector<std::string> Problems() const = 0;
    // Every message box, as "[caption] text".
    virtual std::vector<std::string> Boxes() const = 0;
    // False for a person who answers the system's own dialogs: no input source is
    // installed for the run.
    virtual bool AnswersDialogs() const { return true; }
};

// Decides whether the run is interactive: `forced` by --interactive, which takes no
// dialog option and needs a terminal. False with the reason for options that contradict.
bool ChooseInteractive(bool forced, const DialogOptions& options, bool& interactive, std::string& error);

// Whether a person can answer the dialogs here (`forced`: --interactive asked for
// it); false with the reason. Each system has its own (posix/, windows/).
bool PersonAvailable(bool forced, std::string& why);
std::unique_ptr<RunUser> MakePerson();

// The person when `interactive`, else the scripted user of `steps`.
std::unique_ptr<RunUser> MakeRunUser(bool interactive, std::vector<DialogStep> steps);

}  // namespace vexasim
