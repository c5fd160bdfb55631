// Reading an embedded resource script, and the table of the scripts of the loaded modules.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "platform/user32/resource_script.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace platform {

namespace {

// ---- constants the standard headers give a script ----

const std::map<std::string, long>& KnownConstants() {
    static const std::map<std::string, long> constants = {
#define K(name) {#name, static_cast<long>(name)}
        K(IDOK), K(IDCANCEL), K(IDABORT), K(IDRETRY), K(IDIGNORE), K(IDYES), K(IDNO),
        K(WS_OVERLAPPED), K(WS_POPUP), K(WS_CHILD), K(WS_MINIMIZE), K(WS_VISIBLE), K(WS_DISABLED),
        K(WS_CLIPSIBLINGS), K(WS_CLIPCHILDREN), K(WS_MAXIMIZE), K(WS_CAPTION), K(WS_BORDER),
        K(WS_DLGFRAME), K(WS_VSCROLL), K(WS_HSCROLL), K(WS_SYSMENU), K(WS_THICKFRAME), K(WS_GROUP),
        K(WS_TABSTOP), K(WS_MINIMIZEBOX), K(WS_MAXIMIZEBOX),
        K(DS_ABSALIGN), K(DS_SYSMODAL), K(DS_3DLOOK), K(DS_FIXEDSYS), K(DS_NOFAILCREATE), K(DS_LOCALEDIT),
        K(DS_SETFONT), K(DS_MODALFRAME), K(DS_NOIDLEMSG), K(DS_SETFOREGROUND), K(DS_CONTROL), K(DS_CENTER),
        K(DS_CENTERMOUSE), K(DS_CONTEXTHELP), K(DS_SHELLFONT),
        K(BS_PUSHBUTTON), K(BS_DEFPUSHBUTTON), K(BS_CHECKBOX), K(BS_AUTOCHECKBOX), K(BS_RADIOBUTTON),
        K(BS_3STATE), K(BS_AUTO3STATE), K(BS_GROUPBOX), K(BS_USERBUTTON), K(BS_AUTORADIOBUTTON),
        K(BS_LEFTTEXT),
        K(SS_LEFT), K(SS_CENTER), K(SS_RIGHT), K(SS_NOPREFIX), K(SS_NOTIFY),
        K(ES_LEFT), K(ES_CENTER), K(ES_RIGHT), K(ES_MULTILINE), K(ES_UPPERCASE), K(ES_LOWERCASE),
        K(ES_PASSWORD), K(ES_AUTOVSCROLL), K(ES_AUTOHSCROLL), K(ES_NOHIDESEL), K(ES_READONLY),
        K(ES_WANTRETURN), K(ES_NUMBER),
        K(CBS_SIMPLE), K(CBS_DROPDOWN), K(CBS_DROPDOWNLIST), K(CBS_OWNERDRAWFIXED), K(CBS_OWNERDRAWVARIABLE),
        K(CBS_AUTOHSCROLL), K(CBS_OEMCONVERT), K(CBS_SORT), K(CBS_HASSTRINGS), K(CBS_NOINTEGRALHEIGHT),
        K(CBS_DISABLENOSCROLL),
        K(LBS_NOTIFY), K(LBS_SORT), K(LBS_NOREDRAW), K(LBS_MULTIPLESEL), K(LBS_OWNERDRAWFIXED),
        K(LBS_OWNERDRAWVARIABLE), K(LBS_HASSTRINGS), K(LBS_USETABSTOPS), K(LBS_NOINTEGRALHEIGHT),
        K(LBS_MULTICOLUMN), K(LBS_WANTKEYBOARDINPUT), K(LBS_EXTENDEDSEL), K(LBS_DISABLENOSCROLL),
        K(LBS_NODATA), K(LBS_NOSEL), K(LBS_STANDARD),
#undef K
        {"IDC_STATIC", -1},
    };
    return constants;
}

// Headers of the SDK a script may include; their constants are the ones above.
bool IsStandardHeader(const std::string& name) {
    static const std::set<std::string> headers = {"windows.h", "winres.h", "winresrc.h", "winuser.h",
                                                  "commctrl.h", "afxres.h"};
    return headers.count(name) != 0;
}

// ---- tokens, with the preprocessor applied ----

struct Token {
    enum Kind { kIdent, kNumber, kString, kPunct, kEnd } kind = kEnd;
    std::string text;  // identifier (as written), string contents, punctuation
    long value = 0;
    std::string where;  // "file:line"
};

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

// ---- statements ----

bool SameWord(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// A control statement: the class it makes, whether it takes a text, the style it
// has when the script gives none, and the style a given style is added to.
struct ControlKind {
    const char* keyword;
    const char* className;
    bool hasText;
    DWORD defaultStyle;
    DWORD baseStyle;
};

const ControlKind kControlKinds[] = {
    {"DEFPUSHBUTTON", "Button", true, BS_DEFPUSHBUTTON | WS_TABSTOP, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"PUSHBUTTON", "Button", true, BS_PUSHBUTTON | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
    {"CHECKBOX", "Button", true, BS_CHECKBOX | WS_TABSTOP, BS_CHECKBOX | WS_TABSTOP},
    {"AUTOCHECKBOX", "Button", true, BS_AUTOCHECKBOX | WS_TABSTOP, BS_AUTOCHECKBOX},
    {"RADIOBUTTON", "Button", true, BS_RADIOBUTTON | WS_TABSTOP, BS_RADIOBUTTON},
    {"AUTORADIOBUTTON", "Button", true, BS_AUTORADIOBUTTON | WS_TABSTOP, BS_AUTORADIOBUTTON},
    {"GROUPBOX", "Button", true, BS_GROUPBOX, BS_GROUPBOX},
    {"LTEXT", "Static", true, SS_LEFT | WS_GROUP, SS_LEFT | WS_GROUP},
    {"CTEXT", "Static", true, SS_CENTER | WS_GROUP, SS_CENTER | WS_GROUP},
    {"RTEXT", "Static", true, SS_RIGHT | WS_GROUP, SS_RIGHT | WS_GROUP},
    {"EDITTEXT", "Edit", false, ES_LEFT | WS_BORDER | WS_TABSTOP, ES_LEFT | WS_BORDER | WS_TABSTOP},
    {"COMBOBOX", "ComboBox", false, CBS_SIMPLE | WS_TABSTOP, 0},
    {"LISTBOX", "ListBox", false, LBS_NOTIFY | WS_BORDER, LBS_NOTIFY | WS_BORDER},
};

// Class names a CONTROL statement may give, in the spelling the window layer uses.
bool CanonicalClass(const std::string& name, std::string& canonical) {
    static const char* const classes[] = {"Button", "Static", "Edit", "ComboBox", "ListBox"};
    for (const char* c : classes) {
        std::string upper(c);
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (SameWord(name, upper.c_str())) {
            canonical = c;
            return true;
        }
    }
    return false;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool Run(ResourceScript& script, std::string& error) {
        try {
            while (Peek().kind != Token::kEnd) Statement(script);
            return true;
        } catch (const std::string& message) {
            error = message;
            return false;
        }
    }

private:
    const Token& Peek(size_t ahead = 0) const {
        const size_t i = pos_ + ahead;
        return tokens_[i < tokens_.size() ? i : tokens_.size() - 1];
    }
    const Token& Next() {
        const Token& t = Peek();
        if (pos_ < tokens_.size() - 1) ++pos_;
        return t;
    }
    [[noreturn]] static void Fail(const Token& at, const std::string& message) {
        throw at.where + ": " + message;
    }
    bool IsWord(const Token& t, const char* word) const { return t.kind == Token::kIdent && SameWord(t.text, word); }
    bool IsPunct(const Token& t, char c) const { return t.kind == Token::kPunct && t.text[0] == c; }
    void Expect(char c) {
        if (!IsPunct(Peek(), c)) Fail(Peek(), std::string("'") + c + "' expected");
        Next();
    }
    bool Accept(char c) {
        if (!IsPunct(Peek(), c)) return false;
        Next();
        return true;
    }
    void Begin() {
        if (IsWord(Peek(), "BEGIN") || IsPunct(Peek(), '{')) {
            Next();
            return;
        }
        Fail(Peek(), "BEGIN expected");
    }
    bool AtEnd() const { return IsWord(Peek(), "END") || IsPunct(Peek(), '}'); }

    // primary: number, known constant, ( expression )
    long Primary() {
        const Token& t = Next();
        if (t.kind == Token::kNumber) return t.value;
        if (t.kind == Token::kIdent) {
            auto it = KnownConstants().find(t.text);
            if (it == KnownConstants().end()) Fail(t, "unknown name " + t.text);
            return it->second;
        }
        if (IsPunct(t, '(')) {
            long v = Expression();
            Expect(')');
            return v;
        }
        Fail(t, "number expected");
    }
    long Unary() {
        if (Accept('-')) return -Unary();
        if (Accept('~')) return ~Unary();
        return Primary();
    }
    long Expression() {
        long v = Unary();
        for (;;) {
            if (Accept('|'))
                v |= Unary();
            else if (Accept('+'))
                v += Unary();
            else if (Accept('-'))
                v -= Unary();
            else
                return v;
        }
    }
    int Int() { return static_cast<int>(Expression()); }

    // A style list: terms joined by '|', each added to `style` or, after NOT, taken from it.
    DWORD Style(DWORD style) {
        do {
            if (IsWord(Peek(), "NOT")) {
                Next();
                style &= ~static_cast<DWORD>(Unary());
            } else {
                style |= static_cast<DWORD>(Unary());
            }
        } while (Accept('|'));
        return style;
    }

    std::string String() {
        const Token& t = Next();
        if (t.kind != Token::kString) Fail(t, "string expected");
        return t.text;
    }

    void Statement(ResourceScript& script) {
        const Token& first = Peek();
        if (IsWord(first, "STRINGTABLE")) {
            Next();
            StringTable(script);
            return;
        }
        if (IsWord(first, "LANGUAGE")) {
            Next();
            Int();
            Expect(',');
            Int();
            return;
        }
        const Token idToken = first;
        const int id = Int();
        const Token& type = Next();
        if (IsWord(type, "DIALOG") || IsWord(type, "DIALOGEX")) {
            DialogTemplate dialog;
            dialog.id = id;
            Dialog(dialog, IsWord(type, "DIALOGEX"));
            if (script.dialogs.count(id)) Fail(idToken, "dialog " + std::to_string(id) + " is defined twice");
            script.dialogs[id] = std::move(dialog);
            return;
        }
        Fail(type, "resource type " + type.text + " is not supported");
    }

    void StringTable(ResourceScript& script) {
        while (!IsWord(Peek(), "BEGIN") && !IsPunct(Peek(), '{')) {
            if (IsWord(Peek(), "LANGUAGE")) {
                Next();
                Int();
                Expect(',');
                Int();
            } else {
                Fail(Peek(), "BEGIN expected");
            }
        }
        Begin();
        while (!AtEnd()) {
            const Token at = Peek();
            const int id = Int();
            Accept(',');
            if (script.strings.count(id)) Fail(at, "string " + std::to_string(id) + " is defined twice");
            script.strings[id] = String();
        }
        Next();
    }

    void Dialog(DialogTemplate& dialog, bool extended) {
        dialog.x = Int();
        Expect(',');
        dialog.y = Int();
        Expect(',');
        dialog.cx = Int();
        Expect(',');
        dialog.cy = Int();
        if (extended && Accept(',')) Int();  // help id
        dialog.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        bool caption = false;
        for (;;) {
            const Token& t = Peek();
            if (IsWord(t, "STYLE")) {
                Next();
                dialog.style = Style(0);
            } else if (IsWord(t, "EXSTYLE")) {
                Next();
                dialog.exStyle = Style(0);
            } else if (IsWord(t, "CAPTION")) {
                Next();
                dialog.caption = String();
                caption = true;
            } else if (IsWord(t, "FONT")) {
                Next();
                dialog.fontSize = Int();
                Expect(',');
                dialog.fontName = String();
                while (Accept(',')) Int();  // weight, italic, character set
            } else if (IsWord(t, "LANGUAGE")) {
                Next();
                Int();
                Expect(',');
                Int();
            } else if (IsWord(t, "CHARACTERISTICS") || IsWord(t, "VERSION")) {
                Next();
                Int();
            } else {
                break;
            }
        }
        if (caption) dialog.style |= WS_CAPTION;
        if (!dialog.fontName.empty()) dialog.style |= DS_SETFONT;
        Begin();
        while (!AtEnd()) dialog.items.push_back(Control(extended));
        Next();
    }

    DialogItemTemplate Control(bool extended) {
        const Token keyword = Next();
        DialogItemTemplate item;
        if (IsWord(keyword, "CONTROL")) {
            item.text = String();
            Expect(',');
            item.id = Int();
            Expect(',');
            const Token cls = Next();
            if ((cls.kind != Token::kString && cls.kind != Token::kIdent) || !CanonicalClass(cls.text, item.className))
                Fail(cls, "control class " + cls.text + " is not supported");
            Expect(',');
            item.style = Style(WS_CHILD | WS_VISIBLE);
            Expect(',');
            Position(item);
            if (Accept(',')) item.exStyle = Style(0);
        } else {
            const ControlKind* kind = nullptr;
            for (const ControlKind& k : kControlKinds)
                if (IsWord(keyword, k.keyword)) kind = &k;
            if (!kind) Fail(keyword, "control statement " + keyword.text + " is not supported");
            item.className = kind->className;
            if (kind->hasText) {
                item.text = String();
                Expect(',');
            }
            item.id = Int();
            Expect(',');
            Position(item);
            item.style = kind->defaultStyle | WS_CHILD | WS_VISIBLE;
            if (Accept(',')) {
                item.style = Style(kind->baseStyle | WS_CHILD | WS_VISIBLE);
                if (Accept(',')) item.exStyle = Style(0);
            }
        }
        if (extended && Accept(',')) Int();  // help id
        return item;
    }

    void Position(DialogItemTemplate& item) {
        item.x = Int();
        Expect(',');
        item.y = Int();
        Expect(',');
        item.cx = Int();
        Expect(',');
        item.cy = Int();
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

// ---- the table of registered scripts ----

struct Registered {
    const ResourceFile* files;
    size_t count;
    HINSTANCE module;
    std::shared_ptr<ResourceScript> parsed;  // read on first use
    std::string error;
};

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}
std::vector<Registered>& Table() {
    static std::vector<Registered> table;
    return table;
}

}  // namespace

HINSTANCE ModuleOf(const void* address) {
    Dl_info info;
    if (!address || !dladdr(address, &info)) return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

bool ParseResourceScript(const ResourceFile* files, size_t count, ResourceScript& script, std::string& error) {
    try {
        std::vector<Token> tokens;
        Preprocessor pre(files, count);
        if (!pre.Run(tokens, error)) return false;
        ResourceScript result;
        if (!Parser(std::move(tokens)).Run(result, error)) return false;
        script = std::move(result);
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

ResourceScriptRegistration::ResourceScriptRegistration(const ResourceFile* files, size_t count) : files_(files) {
    std::lock_guard<std::mutex> guard(TableLock());
    Table().push_back(Registered{files, count, ModuleOf(count ? files[0].text : nullptr), nullptr, std::string()});
}

ResourceScriptRegistration::~ResourceScriptRegistration() {
    std::lock_guard<std::mutex> guard(TableLock());
    auto& table = Table();
    for (auto it = table.begin(); it != table.end(); ++it)
        if (it->files == files_) {
            table.erase(it);
            break;
        }
}

bool FindDialogTemplate(HINSTANCE module, int id, DialogTemplate& dialog, std::string& error) {
    std::lock_guard<std::mutex> guard(TableLock());
    if (!module) {
        error = "dialogs need the handle of the module that holds them";
        return false;
    }
    for (Registered& r : Table()) {
        if (r.module != module) continue;
        if (!r.parsed && r.error.empty()) {
            auto parsed = std::make_shared<ResourceScript>();
            if (ParseResourceScript(r.files, r.count, *parsed, r.error)) r.parsed = parsed;
        }
        if (!r.parsed) {
            error = r.error;
            return false;
        }
        auto it = r.parsed->dialogs.find(id);
        if (it == r.parsed->dialogs.end()) {
            error = "the module has no dialog " + std::to_string(id);
            return false;
        }
        dialog = it->second;
        return true;
    }
    error = "the module has no resources";
    return false;
}

}  // namespace platform
