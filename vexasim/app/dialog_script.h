// Driving the wizard's dialogs from the command line: the options a user of the
// dialog would set become scripted user actions, so the dialog's own logic runs
// exactly as with a person. Message boxes are printed to stderr with their caption.
#pragma once
#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/dialog_action.h"
#include "platform/automation/input_source.h"

namespace vexasim {

struct DialogOptions {
    std::string schematic, tuner;
    int harmonic = 0;  // 0: leave as it is
    int grid = -1;     // 0..3, -1: leave as it is
    std::string centerMag, centerAng, radius;
    std::string measuredData, tabData;
    std::vector<std::pair<std::string, std::string>> measures;  // display name, data file name
    bool removeAll = false;
    std::string scriptFile;
    bool simulate = false;
};

// One step of the user: a dialog action, or the selection of the entry whose text is
// `text` in a combo box (found when the step is taken).
struct DialogStep {
    platform::DialogAction action;
    bool byText = false;
    std::string text;
    std::string what;  // for messages: "schematic", "tuner", ...
    int answer = 0;    // not 0: no dialog action, the button that answers the next message box
};

// The steps for the options, in the order a person would take them: schematic, tuner,
// harmonic, Remove All, each measurement through Add..., the gamma source, the centre
// and radius, the script file's actions, and Simulate or Cancel. A script's
// "answer ID" lines answer the message boxes in their order, whenever they come.
bool BuildDialogScript(const DialogOptions& options, std::vector<DialogStep>& steps, std::string& error);

class ScriptedUser : public platform::InputSource {
public:
    explicit ScriptedUser(std::vector<DialogStep> steps);

    int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    platform::DialogAction NextDialogAction(HWND dialog) override;
    void OnDialogActionRefused(HWND dialog, const platform::DialogAction& action, const std::string& reason) override;

    bool SawError() const { return sawError_; }
    const std::vector<std::string>& Problems() const { return problems_; }
    const std::vector<std::string>& Boxes() const { return boxes_; }

private:
    std::deque<DialogStep> steps_;
    std::deque<int> answers_;
    std::vector<std::string> problems_;
    std::vector<std::string> boxes_;
    bool sawError_ = false;
    bool aborted_ = false;
};

}  // namespace vexasim
