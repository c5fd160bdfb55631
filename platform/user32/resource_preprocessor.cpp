#include "platform/user32/resource_preprocessor.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

namespace platform {
namespace resource_script {

const std::map<std::string, long>& KnownConstants() {
    static const std::map<std::string, long> constants = {
#define K(name) {#name, static_cast<long>(name)}
        K(IDOK), K(IDCANCEL), K(WS_POPUP), K(WS_CAPTION), K(WS_BORDER), K(WS_VSCROLL), K(WS_HSCROLL),
        K(WS_SYSMENU), K(WS_GROUP), K(WS_TABSTOP), K(DS_SETFONT), K(DS_MODALFRAME), K(DS_CENTER),
        K(BS_PUSHBUTTON), K(BS_DEFPUSHBUTTON), K(BS_GROUPBOX), K(BS_AUTORADIOBUTTON), K(SS_LEFT), K(ES_LEFT),
        K(ES_AUTOHSCROLL), K(CBS_DROPDOWNLIST), K(CBS_SORT), K(LBS_NOTIFY), K(LBS_MULTIPLESEL),
        K(LBS_NOINTEGRALHEIGHT),
#undef K
        {"IDC_STATIC", -1},
    };
    return constants;
}

namespace {

// Headers of the SDK a script may include; their constants are the ones above.
bool IsStandardHeader(const std::string& name) {
    static const std::set<std::string> headers = {"windows.h", "winres.h", "winresrc.h", "winuser.h",
                                                  "commctrl.h", "afxres.h"};
    return headers.count(name) != 0;
}


class Preprocessor {
public:
    Preprocessor(const ResourceFile* files, size_t count) : files_(files), count_(count) {}

    bool Run(std::vector<Token>& out, std::string& error) {
        if (count_ == 0 || !files_[0].text) return Fail("no resource script", error);
        if (!ReadFile(files_[0], 0, out, error)) return false;
        Token end;
        end.kind = Token::kEnd;
        end.where = std::string(files_[0].name) + ":end";
        out.push_back(end);
        return true;
    }

private:
    struct Condition {
        bool active;        // this branch is taken
        bool parentActive;  // the enclosing text is taken
    };

    static bool Fail(const std::string& message, std::string& error) {
        error = message;
        return false;
    }

    const ResourceFile* Find(const std::string& name) const {
        for (size_t i = 0; i < count_; ++i)
            if (files_[i].name && name == files_[i].name) return &files_[i];
        return nullptr;
    }

    bool ReadFile(const ResourceFile& file, int depth, std::vector<Token>& out, std::string& error) {
        if (depth > 8) return Fail(std::string(file.name) + ": includes nest too deeply", error);
        const std::string text = file.text ? file.text : "";
        std::vector<Condition> conditions;
        size_t pos = 0;
        int line = 1;
        bool inComment = false;
        while (pos <= text.size()) {
            size_t eol = text.find('\n', pos);
            if (eol == std::string::npos) eol = text.size();
            std::string body = text.substr(pos, eol - pos);
            if (!body.empty() && body.back() == '\r') body.pop_back();
            const std::string where = std::string(file.name) + ":" + std::to_string(line);
            const bool active = conditions.empty() || conditions.back().active;

            size_t first = body.find_first_not_of(" \t");
            if (!inComment && first != std::string::npos && body[first] == '#') {
                if (!Directive(body.substr(first + 1), where, depth, active, conditions, out, error)) return false;
            } else {
                std::vector<Token> tokens;
                if (!Lex(body, where, inComment, tokens, error)) return false;
                if (active)
                    for (Token& t : tokens)
                        if (!Expand(t, 0, out, error)) return false;
            }
            pos = eol + 1;
            ++line;
        }
        if (!conditions.empty()) return Fail(std::string(file.name) + ": #if without #endif", error);
        return true;
    }

    bool Directive(const std::string& rest, const std::string& where, int depth, bool active,
                   std::vector<Condition>& conditions, std::vector<Token>& out, std::string& error) {
        size_t p = 0;
        while (p < rest.size() && std::isspace(static_cast<unsigned char>(rest[p]))) ++p;
        size_t q = p;
        while (q < rest.size() && std::isalpha(static_cast<unsigned char>(rest[q]))) ++q;
        const std::string name = rest.substr(p, q - p);
        std::string arg = rest.substr(q);
        size_t comment = arg.find("//");
        if (comment != std::string::npos) arg.erase(comment);
        const size_t a = arg.find_first_not_of(" \t");
        arg = a == std::string::npos ? std::string() : arg.substr(a);
        while (!arg.empty() && std::isspace(static_cast<unsigned char>(arg.back()))) arg.pop_back();

        if (name == "ifdef" || name == "ifndef") {
            const bool defined = defines_.count(arg) != 0;
            conditions.push_back({active && (name == "ifdef" ? defined : !defined), active});
            return true;
        }
        if (name == "else") {
            if (conditions.empty()) return Fail(where + ": #else without #if", error);
            conditions.back().active = conditions.back().parentActive && !conditions.back().active;
            return true;
        }
        if (name == "endif") {
            if (conditions.empty()) return Fail(where + ": #endif without #if", error);
            conditions.pop_back();
            return true;
        }
        if (name == "if" || name == "elif") {
            // Only the branches of a skipped block are passed over; a condition to evaluate is refused.
            if (active || (name == "elif" && !conditions.empty() && conditions.back().parentActive))
                return Fail(where + ": #" + name + " is not supported", error);
            if (name == "if") conditions.push_back({false, false});
            return true;
        }
        if (!active) return true;
        if (name == "pragma") return true;
        if (name == "include") {
            if (arg.size() >= 2 && arg.front() == '<' && arg.back() == '>') {
                if (IsStandardHeader(arg.substr(1, arg.size() - 2))) return true;
                return Fail(where + ": unknown standard header " + arg, error);
            }
            if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"') {
                const ResourceFile* file = Find(arg.substr(1, arg.size() - 2));
                if (!file) return Fail(where + ": " + arg + " was not embedded with the script", error);
                return ReadFile(*file, depth + 1, out, error);
            }
            return Fail(where + ": malformed #include", error);
        }
        if (name == "define") {
            size_t n = 0;
            while (n < arg.size() && (std::isalnum(static_cast<unsigned char>(arg[n])) || arg[n] == '_')) ++n;
            if (n == 0) return Fail(where + ": malformed #define", error);
            if (n < arg.size() && arg[n] == '(') return Fail(where + ": macros with arguments are not supported", error);
            std::vector<Token> value;
            bool inComment = false;
            if (!Lex(arg.substr(n), where, inComment, value, error)) return false;
            defines_[arg.substr(0, n)] = value;
            return true;
        }
        if (name == "undef") {
            defines_.erase(arg);
            return true;
        }
        return Fail(where + ": #" + name + " is not supported", error);
    }

    bool Expand(const Token& t, int depth, std::vector<Token>& out, std::string& error) {
        if (t.kind == Token::kIdent) {
            auto it = defines_.find(t.text);
            if (it != defines_.end()) {
                if (depth > 16) return Fail(t.where + ": " + t.text + " expands without end", error);
                for (Token inner : it->second) {
                    inner.where = t.where;
                    if (!Expand(inner, depth + 1, out, error)) return false;
                }
                return true;
            }
        }
        out.push_back(t);
        return true;
    }

    static bool Lex(const std::string& s, const std::string& where, bool& inComment, std::vector<Token>& out,
                    std::string& error) {
        size_t i = 0;
        while (i < s.size()) {
            if (inComment) {
                size_t close = s.find("*/", i);
                if (close == std::string::npos) return true;
                i = close + 2;
                inComment = false;
                continue;
            }
            const char c = s[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                return true;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                inComment = true;
                i += 2;
            } else if (c == '"') {
                Token t;
                t.kind = Token::kString;
                t.where = where;
                ++i;
                for (;;) {
                    if (i >= s.size()) return Fail(where + ": unterminated string", error);
                    char d = s[i++];
                    if (d == '"') {
                        if (i < s.size() && s[i] == '"') {  // "" is a quote
                            t.text += '"';
                            ++i;
                            continue;
                        }
                        break;
                    }
                    if (d == '\\' && i < s.size()) {
                        char e = s[i++];
                        d = e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    }
                    t.text += d;
                }
                out.push_back(t);
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                Token t;
                t.kind = Token::kNumber;
                t.where = where;
                char* end = nullptr;
                const bool hex = c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X');
                const unsigned long v = std::strtoul(s.c_str() + i, &end, hex ? 16 : 10);
                size_t next = static_cast<size_t>(end - s.c_str());
                while (next < s.size() && (s[next] == 'L' || s[next] == 'l' || s[next] == 'U' || s[next] == 'u'))
                    ++next;
                if (next < s.size() && (std::isalnum(static_cast<unsigned char>(s[next])) || s[next] == '_'))
                    return Fail(where + ": malformed number", error);
                t.value = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(v)));
                t.text = s.substr(i, next - i);
                out.push_back(t);
                i = next;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t j = i;
                while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
                Token t;
                t.kind = Token::kIdent;
                t.text = s.substr(i, j - i);
                t.where = where;
                out.push_back(t);
                i = j;
            } else if (std::strchr(",|()+-~{}", c)) {
                Token t;
                t.kind = Token::kPunct;
                t.text = std::string(1, c);
                t.where = where;
                out.push_back(t);
                ++i;
            } else {
                return Fail(where + ": unexpected character '" + std::string(1, c) + "'", error);
            }
        }
        return true;
    }

    const ResourceFile* files_;
    size_t count_;
    std::map<std::string, std::vector<Token>> defines_;
};

}  // namespace

bool Preprocess(const ResourceFile* files, size_t count, std::vector<Token>& out, std::string& error) {
    return Preprocessor(files, count).Run(out, error);
}

}  // namespace resource_script
}  // namespace platform
