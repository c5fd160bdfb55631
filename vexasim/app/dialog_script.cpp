#include "vexasim/app/dialog_script.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/automation/dialog_script.h"
#include "ui/resource.h"

namespace vexasim {
namespace {

// The dialogs' controls are named by the add-in's resource ids (ui/resource.h).

DialogStep Step(platform::DialogAction a) {
    DialogStep s;
    s.action = a;
    return s;
}

DialogStep ByText(int control, const std::string& text, const std::string& what) {
    DialogStep s;
    s.action = platform::DialogAction::Select(control, -1);
    s.byText = true;
    s.text = text;
    s.what = what;
    return s;
}

// The texts of a combo box's entries.
std::vector<std::string> Entries(HWND dialog, int control) {
    std::vector<std::string> entries;
    LRESULT count = SendDlgItemMessageA(dialog, control, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = SendDlgItemMessageA(dialog, control, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string entry(static_cast<size_t>(len < 0 ? 0 : len) + 1, '\0');
        if (len >= 0)
            SendDlgItemMessageA(dialog, control, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&entry[0]));
        entry.resize(static_cast<size_t>(len < 0 ? 0 : len));
        entries.push_back(entry);
    }
    return entries;
}

// The index of the combo box entry whose text is exactly `text`, or -1.
int FindEntry(const std::vector<std::string>& entries, const std::string& text) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == text) return static_cast<int>(i);
    return -1;
}

bool IsErrorCaption(const std::string& caption) { return caption == "Error!" || caption == "Tessary"; }

}  // namespace

bool BuildDialogScript(const DialogOptions& o, std::vector<DialogStep>& steps, std::string& error) {
    using platform::DialogAction;
    steps.clear();
    if (!o.schematic.empty()) steps.push_back(ByText(IDC_SCHEMATIC_LIST, o.schematic, "schematic"));
    if (!o.tuner.empty()) steps.push_back(ByText(IDC_TUNER_LIST, o.tuner, "tuner"));
    if (o.harmonic >= 1 && o.harmonic <= 3) steps.push_back(Step(DialogAction::Click(IDC_HARMONIC_1 + 2 * (o.harmonic - 1))));
    if (o.removeAll) steps.push_back(Step(DialogAction::Click(IDC_REMOVE_ALL)));
    for (const auto& m : o.measures) {
        steps.push_back(Step(DialogAction::Click(IDC_ADD)));
        steps.push_back(ByText(IDC_VALID_LIST, m.first, "measurement"));
        steps.push_back(Step(DialogAction::Type(IDC_FILE_NAME, m.second)));
        steps.push_back(Step(DialogAction::Click(IDOK)));
    }
    if (o.grid >= 0) {
        steps.push_back(Step(DialogAction::Click(IDC_CENTER_RADIUS)));
        steps.push_back(Step(DialogAction::Click(IDC_COARSE + 2 * o.grid)));
    }
    if (!o.centerMag.empty()) {
        steps.push_back(Step(DialogAction::Type(IDC_CENTER_MAG, o.centerMag)));
        steps.push_back(Step(DialogAction::Type(IDC_CENTER_ANG, o.centerAng)));
        steps.push_back(Step(DialogAction::Type(IDC_RADIUS, o.radius)));
        steps.push_back(Step(DialogAction::Click(IDC_SET_CENTER_RADIUS)));
    }
    if (!o.measuredData.empty()) {
        steps.push_back(Step(DialogAction::Click(IDC_MEASURED_DATA)));
        steps.push_back(ByText(IDC_MEASURED_DATA_LIST, o.measuredData, "measured-data measurement"));
    }
    if (!o.tabData.empty()) {
        steps.push_back(Step(DialogAction::Click(IDC_TAB_DATA)));
        steps.push_back(ByText(IDC_TAB_DATA_LIST, o.tabData, "tab-data-file measurement"));
    }
    if (!o.scriptFile.empty()) {
        std::ifstream in(o.scriptFile);
        if (!in) {
            error = "cannot read the script " + o.scriptFile;
            return false;
        }
        const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<platform::ScriptLine> lines;
        int badLine = 0;
        std::string why;
        if (!platform::ReadDialogScript(script, lines, badLine, why)) {
            error = o.scriptFile + ":" + std::to_string(badLine) + ": " + why;
            return false;
        }
        for (platform::ScriptLine& l : lines) {
            DialogStep step = Step(std::move(l.action));
            step.answer = l.answer;
            steps.push_back(std::move(step));
        }
    }
    steps.push_back(Step(DialogAction::Click(o.simulate ? IDOK : IDCANCEL)));
    return true;
}

ScriptedUser::ScriptedUser(std::vector<DialogStep> steps) {
    for (DialogStep& s : steps) {
        if (s.answer)
            answers_.push_back(s.answer);
        else
            steps_.push_back(std::move(s));
    }
}

int ScriptedUser::OnMessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) {
    boxes_.push_back("[" + caption + "] " + text);
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    if (IsErrorCaption(caption)) sawError_ = true;
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    UINT type = flags & MB_TYPEMASK;
    return type == MB_YESNO ? IDYES : IDOK;
}

platform::DialogAction ScriptedUser::NextDialogAction(HWND dialog) {
    if (aborted_ || steps_.empty()) {
        // Without more steps the user leaves the dialog as through its close box.
        if (steps_.empty() && !aborted_) problems_.push_back("the dialog needed more actions than the options gave");
        aborted_ = true;
        return platform::DialogAction::Escape();
    }
    DialogStep s = steps_.front();
    steps_.pop_front();
    if (s.byText) {
        const std::vector<std::string> entries = Entries(dialog, s.action.control);
        int index = FindEntry(entries, s.text);
        if (index < 0) {
            std::string offered;
            for (const std::string& e : entries) offered += (offered.empty() ? "" : ", ") + e;
            problems_.push_back("no " + s.what + " named \"" + s.text + "\" is offered; " +
                                (offered.empty() ? "none is" : "offered: " + offered) +
                                (s.what == "measurement"
                                     ? " (a measurement is offered when it stands on a graph of the project)"
                                     : ""));
            aborted_ = true;
            return platform::DialogAction::Escape();
        }
        s.action.item = index;
    }
    return s.action;
}

void ScriptedUser::OnDialogActionRefused(HWND, const platform::DialogAction& action, const std::string& reason) {
    problems_.push_back("the dialog refused \"" + platform::FormatDialogAction(action) + "\": " + reason);
}

}  // namespace vexasim
