#include "vexasim/circuit/netlist_safety.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace circuit {
namespace {

namespace fs = std::filesystem;

// One line of the expanded netlist and where it was written.
struct Line {
    std::string text;
    std::string file;
    int number = 0;
};

// Includes deeper than this are taken for a loop that the path check missed.
constexpr int kMaxDepth = 16;

std::string LowerCase(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string Where(const Line& l) { return l.file + " line " + std::to_string(l.number) + ": "; }

std::vector<Line> SplitLines(const std::string& text, const std::string& file) {
    std::vector<Line> lines;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Line{line, file, ++n});
    }
    return lines;
}

// Words separated by blanks; a quoted word keeps its blanks and loses its quotes.
std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    size_t k = 0;
    while (k < s.size()) {
        while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k]))) ++k;
        if (k >= s.size()) break;
        if (s[k] == '"' || s[k] == '\'') {
            const char quote = s[k];
            size_t end = s.find(quote, k + 1);
            if (end == std::string::npos) end = s.size();
            out.push_back(s.substr(k + 1, end - k - 1));
            k = end + 1;
        } else {
            size_t end = k;
            while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end]))) ++end;
            out.push_back(s.substr(k, end - k));
            k = end;
        }
    }
    return out;
}

std::string FirstWord(const std::string& text) {
    std::vector<std::string> w = Words(text);
    return w.empty() ? std::string() : LowerCase(w[0]);
}

bool IsFileCommand(const std::string& word) {
    return word == ".include" || word == ".inc" || word == ".lib" || word == ".endl";
}

std::string Folder(const std::string& relative) {
    size_t at = relative.rfind('/');
    return at == std::string::npos ? std::string() : relative.substr(0, at);
}

// The path of `name` relative to the project's folder, read from a file in the
// folder `from` (relative too); false with the reason when it would leave it.
bool InsideFolder(const std::string& root, const std::string& from, const std::string& name, std::string& relative,
                  std::string& why) {
    if (name.empty()) {
        why = "names no file";
        return false;
    }
    if (name[0] == '/' || name[0] == '\\' || name[0] == '~' || name.find(':') != std::string::npos ||
        name.find('\\') != std::string::npos) {
        why = "\"" + name + "\" is not a relative path inside the project's folder";
        return false;
    }
    std::vector<std::string> parts;
    std::istringstream fromParts(from), nameParts(name);
    std::string part;
    while (std::getline(fromParts, part, '/'))
        if (!part.empty() && part != ".") parts.push_back(part);
    while (std::getline(nameParts, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) {
                why = "\"" + name + "\" leaves the project's folder";
                return false;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    relative.clear();
    for (const std::string& p : parts) relative += (relative.empty() ? "" : "/") + p;
    // A link inside the folder may point out of it: compare where both really are.
    std::error_code ec;
    const fs::path top = fs::weakly_canonical(fs::path(root.empty() ? "." : root), ec);
    const fs::path real = fs::weakly_canonical(fs::path(root.empty() ? "." : root) / relative, ec);
    if (ec) {
        why = "cannot read \"" + name + "\"";
        return false;
    }
    auto a = top.begin(), b = real.begin();
    for (; a != top.end() && b != real.end(); ++a, ++b)
        if (*a != *b) break;
    if (a != top.end() && !(std::next(a) == top.end() && a->empty())) {
        why = "\"" + name + "\" leads out of the project's folder";
        return false;
    }
    return true;
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

class Expander {
public:
    Expander(const std::string& root, std::vector<std::string>& problems) : root_(root), problems_(problems) {}

    // Puts the lines of one file (or the project's netlist) in place; `from` is
    // the folder, relative to the project's, that its names are read from.
    void Expand(const std::vector<Line>& lines, const std::string& from, int depth) {
        for (size_t k = 0; k < lines.size(); ++k) {
            const Line& l = lines[k];
            const std::string first = FirstWord(l.text);
            if (!IsFileCommand(first)) {
                out.push_back(l);
                continue;
            }
            changed = true;
            const std::vector<std::string> w = Words(l.text);
            if (first == ".endl") {
                problems_.push_back(Where(l) + ".endl ends no .lib section");
            } else if (first == ".lib" && w.size() == 2) {
                // A section of a library: only a ".lib FILE SECTION" line takes it in.
                size_t end = k + 1;
                while (end < lines.size() && FirstWord(lines[end].text) != ".endl") ++end;
                if (end == lines.size()) problems_.push_back(Where(l) + ".lib " + w[1] + " has no .endl");
                k = end;
            } else if ((first == ".lib" && w.size() == 3) || (first != ".lib" && w.size() == 2)) {
                Include(l, from, w[1], first == ".lib" ? w[2] : std::string(), depth);
            } else {
                problems_.push_back(Where(l) + (first == ".lib" ? "expected .lib FILE SECTION"
                                                                 : "expected " + first + " FILE"));
            }
        }
    }

    std::vector<Line> out;
    bool changed = false;

private:
    void Include(const Line& at, const std::string& from, const std::string& name, const std::string& section,
                 int depth) {
        std::string relative, why;
        if (!InsideFolder(root_, from, name, relative, why)) {
            problems_.push_back(Where(at) + why);
            return;
        }
        if (depth >= kMaxDepth || std::find(reading_.begin(), reading_.end(), relative) != reading_.end()) {
            problems_.push_back(Where(at) + "\"" + name + "\" includes itself");
            return;
        }
        std::string text;
        if (!ReadText(root_.empty() ? relative : root_ + "/" + relative, text)) {
            problems_.push_back(Where(at) + "cannot read \"" + name + "\"");
            return;
        }
        std::vector<Line> lines = SplitLines(text, relative);
        if (!section.empty()) {
            // The section's lines, between ".lib SECTION" and ".endl".
            std::vector<Line> part;
            bool inside = false, found = false;
            for (const Line& l : lines) {
                const std::vector<std::string> w = Words(l.text);
                const std::string first = w.empty() ? std::string() : LowerCase(w[0]);
                if (!inside && first == ".lib" && w.size() == 2 && LowerCase(w[1]) == LowerCase(section)) {
                    inside = found = true;
                } else if (inside && first == ".endl") {
                    inside = false;
                } else if (inside) {
                    part.push_back(l);
                }
            }
            if (!found) {
                problems_.push_back(Where(at) + "\"" + name + "\" has no section " + section);
                return;
            }
            lines = std::move(part);
        }
        reading_.push_back(relative);
        Expand(lines, Folder(relative), depth + 1);
        reading_.pop_back();
    }

    const std::string& root_;
    std::vector<std::string>& problems_;
    std::vector<std::string> reading_;
};

// The dot commands that describe a circuit; everything else is refused.
const char* const kCircuitCommands[] = {".param", ".model", ".subckt", ".ends", ".func", ".global", ".ic",
                                        ".nodeset", ".options", ".option", ".opt", ".temp", ".if", ".elseif",
                                        ".else", ".endif"};
// What the engine writes itself.
const char* const kEngineCommands[] = {".tran", ".end", ".op", ".ac", ".dc", ".save"};

std::string Count(size_t n, char ch) { return std::to_string(n) + " \"" + std::string(1, ch) + "\""; }

// A statement: a line with its continuation lines ("+ ...") joined to it.
void CheckStatement(const Line& s, std::vector<std::string>& problems) {
    // End-of-line comments take no part in the pairing.
    std::string text = s.text;
    for (const char* mark : {";", "//", " $", "\t$"}) {
        size_t at = text.find(mark);
        if (at != std::string::npos) text.erase(at);
    }
    const std::vector<std::string> words = Words(text);
    if (words.empty()) return;
    const std::string first = LowerCase(words[0]);
    const std::string where = Where(s);
    if (first[0] == '.') {
        if (first == ".control" || first == ".endc") {
            problems.push_back(where + first +
                               ": a control block runs ngspice commands (shell, file writes, source); a netlist "
                               "here describes a circuit only");
            return;
        }
        if (IsFileCommand(first)) {
            problems.push_back(where + first + " names a file: the host reads included files when the project loads");
            return;
        }
        for (const char* own : kEngineCommands)
            if (first == own) {
                problems.push_back(where + own + " is written by the engine; leave it out");
                return;
            }
        bool allowed = false;
        for (const char* c : kCircuitCommands) allowed = allowed || first == c;
        if (!allowed) {
            std::string list;
            for (const char* c : kCircuitCommands) list += (list.empty() ? "" : " ") + std::string(c);
            problems.push_back(where + first + " is not taken in a netlist (only " + list + ")");
            return;
        }
    } else {
        const char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(first[0])));
        if (kind == 'a') {
            problems.push_back(where + words[0] +
                               ": code-model devices (A...) are refused: some of them read files or start programs");
            return;
        }
        if (kind == 'n') {
            problems.push_back(where + words[0] + ": compiled-model devices (N...) are refused: they load libraries");
            return;
        }
        if (std::string("bcdefghijklmopqrstuvwxyz").find(kind) == std::string::npos) {
            problems.push_back(where + "\"" + words[0] + "\" is neither an element, a comment nor a dot command");
            return;
        }
        // ngspice takes a capacitor or inductor without a value as 0, silently.
        if ((kind == 'c' || kind == 'l') && Words(s.text).size() < 4)
            problems.push_back(where + words[0] + " has no value");
    }
    const auto n = [&](char ch) { return static_cast<size_t>(std::count(text.begin(), text.end(), ch)); };
    if (n('(') != n(')'))
        problems.push_back(where + "the parentheses do not pair up (" + Count(n('('), '(') + ", " + Count(n(')'), ')') +
                           "); ngspice would repair the line and simulate another circuit");
    if (n('{') != n('}'))
        problems.push_back(where + "the braces do not pair up (" + Count(n('{'), '{') + ", " + Count(n('}'), '}') +
                           ")");
    if (n('"') % 2 || n('\'') % 2) problems.push_back(where + "a quotation is not closed");
}

std::vector<std::string> Check(const std::vector<Line>& lines) {
    std::vector<std::string> problems;
    std::vector<Line> statements;
    for (const Line& l : lines) {
        bool control = false;
        for (char ch : l.text)
            control = control || ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7f);
        if (control) {
            problems.push_back(Where(l) + "holds a control character");
            continue;
        }
        size_t first = l.text.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        if (l.text[first] == '*') {
            if (l.text.compare(first, 2, "*#") == 0)
                problems.push_back(Where(l) + "ngspice runs a line starting with \"*#\" as a command");
            continue;
        }
        if (l.text[first] == '+') {
            if (statements.empty())
                problems.push_back(Where(l) + "a continuation line (+) continues no line");
            else
                statements.back().text += " " + l.text.substr(first + 1);
            continue;
        }
        statements.push_back(Line{l.text.substr(first), l.file, l.number});
    }
    for (const Line& s : statements) CheckStatement(s, problems);
    return problems;
}

}  // namespace

bool ExpandNetlist(const NetlistSource& source, std::string& expanded, std::vector<std::string>& problems) {
    const size_t before = problems.size();
    Expander expander(source.folder, problems);
    expander.Expand(SplitLines(source.text, source.name), std::string(), 0);
    if (problems.size() != before) return false;
    const std::vector<std::string> unsafe = Check(expander.out);
    problems.insert(problems.end(), unsafe.begin(), unsafe.end());
    if (!unsafe.empty()) return false;
    if (!expander.changed) {
        expanded = source.text;
        return true;
    }
    expanded.clear();
    for (const Line& l : expander.out) expanded += l.text + "\n";
    return true;
}

std::vector<std::string> NetlistSafetyProblems(const std::string& netlist, const std::string& name) {
    return Check(SplitLines(netlist, name));
}

}  // namespace circuit
