// A scripted user for tests and batch runs: a queue of dialog actions, taken one at a
// time by the dialog on top, and of answers for the message boxes, which it records.
//
//   ScriptedInputSource user;
//   user.Select(1018, 1).Click(1024)      // main dialog: second schematic, then Add...
//       .Type(2008, "pout_lp").Click(IDOK)  // Add dialog: file name, OK
//       .Inspect([](HWND d) { ... })        // look at the dialog on top at this point
//       .Click(IDOK);                       // main dialog: Simulate
//   ScopedInputSource scope(user);
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/automation/dialog_action.h"
#include "platform/automation/input_source.h"

namespace platform {

struct RefusedAction {
    DialogAction action;
    std::string reason;
};

// One line of a dialog script: a dialog action in the text form of
// ParseDialogAction, or "answer <id>", the button (not 0) that answers the next
// message box.
struct ScriptLine {
    DialogAction action;
    int answer = 0;
};

// Reads a script, one line each; blank lines and lines starting with '#' are
// skipped. On a bad line it stops with false, the line's number and the reason.
bool ReadDialogScript(const std::string& script, std::vector<ScriptLine>& lines, int& badLine, std::string& why);

class ScriptedInputSource : public RecordingInputSource {
public:
    ScriptedInputSource& Click(int control) { return Add(DialogAction::Click(control)); }
    ScriptedInputSource& Select(int control, int item) { return Add(DialogAction::Select(control, item)); }
    ScriptedInputSource& Type(int control, std::string text) {
        return Add(DialogAction::Type(control, std::move(text)));
    }
    ScriptedInputSource& Highlight(int control, std::vector<int> items) {
        return Add(DialogAction::Highlight(control, std::move(items)));
    }
    ScriptedInputSource& Escape() { return Add(DialogAction::Escape()); }
    ScriptedInputSource& Close() { return Add(DialogAction::Close()); }
    ScriptedInputSource& Add(DialogAction action);
    // Runs `look` on the dialog on top when the script gets there; it is no user action.
    ScriptedInputSource& Inspect(std::function<void(HWND dialog)> look);
    // Appends a script in the text form of ParseDialogAction, one action per line;
    // "answer <id>" queues a message box answer; blank lines and lines starting with
    // '#' are skipped. On a bad line nothing is appended and the error names the line.
    bool AddScript(const std::string& script, std::string& error);

    DialogAction NextDialogAction(HWND dialog) override;
    void OnDialogActionRefused(HWND dialog, const DialogAction& action, const std::string& reason) override;

    // Steps not yet taken.
    size_t Pending() const { return steps_.size(); }

    // Actions the dialog could not take, and how often a dialog asked for more than the script held.
    std::vector<RefusedAction> refused;
    int endOfInput = 0;

private:
    struct Step {
        DialogAction action;
        std::function<void(HWND)> look;
    };
    std::deque<Step> steps_;
};

}  // namespace platform
