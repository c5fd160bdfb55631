#include "platform/automation/dialog_script.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace platform {

namespace {

struct Reader {
    const std::string& s;
    size_t pos = 0;

    void SkipSpace() {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    }
    bool AtEnd() {
        SkipSpace();
        return pos >= s.size();
    }
    std::string Word() {
        SkipSpace();
        size_t start = pos;
        while (pos < s.size() && !std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
        return s.substr(start, pos - start);
    }
    bool Int(int& value) {
        const std::string w = Word();
        if (w.empty()) return false;
        char* end = nullptr;
        const long v = std::strtol(w.c_str(), &end, 10);
        if (*end != '\0' || v < -1000000 || v > 1000000) return false;
        value = static_cast<int>(v);
        return true;
    }
    bool Quoted(std::string& text) {
        SkipSpace();
        if (pos >= s.size() || s[pos] != '"') return false;
        ++pos;
        text.clear();
        while (pos < s.size()) {
            char c = s[pos++];
            if (c == '"') return true;
            if (c == '\\' && pos < s.size()) c = s[pos++];
            text += c;
        }
        return false;
    }
};

}  // namespace

bool ParseDialogAction(const std::string& line, DialogAction& action, std::string& error) {
    Reader r{line};
    const std::string verb = r.Word();
    int control = 0;
    if (verb == "escape" || verb == "close") {
        if (!r.AtEnd()) {
            error = verb + " takes nothing more";
            return false;
        }
        action = verb == "escape" ? DialogAction::Escape() : DialogAction::Close();
        return true;
    }
    if (verb != "click" && verb != "select" && verb != "type" && verb != "highlight") {
        error = "unknown action \"" + verb + "\"";
        return false;
    }
    if (!r.Int(control)) {
        error = verb + " needs a control id";
        return false;
    }
    if (verb == "click") {
        action = DialogAction::Click(control);
    } else if (verb == "select") {
        int item = 0;
        if (!r.Int(item)) {
            error = "select needs an entry index";
            return false;
        }
        action = DialogAction::Select(control, item);
    } else if (verb == "type") {
        std::string text;
        if (!r.Quoted(text)) {
            error = "type needs a quoted text";
            return false;
        }
        action = DialogAction::Type(control, text);
    } else {
        std::vector<int> items;
        while (!r.AtEnd()) {
            int item = 0;
            if (!r.Int(item)) {
                error = "highlight takes entry indices";
                return false;
            }
            items.push_back(item);
        }
        action = DialogAction::Highlight(control, items);
        return true;
    }
    if (!r.AtEnd()) {
        error = verb + ": unexpected text after the action";
        return false;
    }
    return true;
}

std::string FormatDialogAction(const DialogAction& action) {
    std::ostringstream out;
    switch (action.kind) {
        case DialogAction::kClick:
            out << "click " << action.control;
            break;
        case DialogAction::kSelect:
            out << "select " << action.control << ' ' << action.item;
            break;
        case DialogAction::kType:
            out << "type " << action.control << " \"";
            for (char c : action.text) {
                if (c == '"' || c == '\\') out << '\\';
                out << c;
            }
            out << '"';
            break;
        case DialogAction::kHighlight:
            out << "highlight " << action.control;
            for (int i : action.items) out << ' ' << i;
            break;
        case DialogAction::kEscape:
            out << "escape";
            break;
        case DialogAction::kClose:
            out << "close";
            break;
        case DialogAction::kEndOfInput:
            out << "end of input";
            break;
    }
    return out.str();
}

ScriptedInputSource& ScriptedInputSource::Add(DialogAction action) {
    steps_.push_back(Step{std::move(action), nullptr});
    return *this;
}

ScriptedInputSource& ScriptedInputSource::Inspect(std::function<void(HWND)> look) {
    steps_.push_back(Step{DialogAction(), std::move(look)});
    return *this;
}

ScriptedInputSource& ScriptedInputSource::Answer(int button) {
    answers.push_back(button);
    return *this;
}

bool ScriptedInputSource::AddScript(const std::string& script, std::string& error) {
    std::vector<DialogAction> actions;
    std::vector<int> buttons;
    std::istringstream in(script);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        std::string verb, rest;
        words >> verb;
        if (verb == "answer") {
            int button = 0;
            if (!(words >> button) || (words >> rest)) {
                error = "line " + std::to_string(number) + ": answer needs a button id";
                return false;
            }
            buttons.push_back(button);
            continue;
        }
        DialogAction action;
        std::string why;
        if (!ParseDialogAction(line, action, why)) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        actions.push_back(std::move(action));
    }
    // Answers have their own queue: message boxes take them in order, whenever they come.
    answers.insert(answers.end(), buttons.begin(), buttons.end());
    for (DialogAction& a : actions) Add(std::move(a));
    return true;
}

DialogAction ScriptedInputSource::NextDialogAction(HWND dialog) {
    while (!steps_.empty()) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        if (step.look) {
            step.look(dialog);
            continue;
        }
        return step.action;
    }
    ++endOfInput;
    return DialogAction();
}

void ScriptedInputSource::OnDialogActionRefused(HWND, const DialogAction& action, const std::string& reason) {
    refused.push_back(RefusedAction{action, reason});
}

}  // namespace platform
