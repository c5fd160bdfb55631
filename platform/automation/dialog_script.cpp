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

bool ReadDialogScript(const std::string& script, std::vector<ScriptLine>& lines, int& badLine, std::string& why) {
    lines.clear();
    std::istringstream in(script);
    std::string line;
    for (badLine = 1; std::getline(in, line); ++badLine) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        std::string verb, rest;
        words >> verb;
        ScriptLine read;
        if (verb == "answer") {
            if (!(words >> read.answer) || read.answer == 0 || (words >> rest)) {
                why = "answer needs a button id";
                return false;
            }
        } else if (!ParseDialogAction(line, read.action, why)) {
            return false;
        }
        lines.push_back(std::move(read));
    }
    badLine = 0;
    return true;
}

bool ScriptedInputSource::AddScript(const std::string& script, std::string& error) {
    std::vector<ScriptLine> lines;
    int badLine = 0;
    std::string why;
    if (!ReadDialogScript(script, lines, badLine, why)) {
        error = "line " + std::to_string(badLine) + ": " + why;
        return false;
    }
    // Answers have their own queue: message boxes take them in order, whenever they come.
    for (const ScriptLine& l : lines)
        if (l.answer) answers.push_back(l.answer);
    for (ScriptLine& l : lines)
        if (!l.answer) Add(std::move(l.action));
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
