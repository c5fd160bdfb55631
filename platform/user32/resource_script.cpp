// Reading an embedded resource script: its statements, from the preprocessor's tokens.
#include "platform/user32/resource_script.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "platform/user32/resource_preprocessor.h"

namespace platform {

namespace {

using resource_script::KnownConstants;
using resource_script::Token;

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
    {"AUTORADIOBUTTON", "Button", true, BS_AUTORADIOBUTTON | WS_TABSTOP, BS_AUTORADIOBUTTON},
    {"GROUPBOX", "Button", true, BS_GROUPBOX, BS_GROUPBOX},
    {"LTEXT", "Static", true, SS_LEFT | WS_GROUP, SS_LEFT | WS_GROUP},
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

}  // namespace

bool ParseResourceScript(const ResourceFile* files, size_t count, ResourceScript& script, std::string& error) {
    try {
        std::vector<Token> tokens;
        if (!Preprocess(files, count, tokens, error)) return false;
        ResourceScript result;
        if (!Parser(std::move(tokens)).Run(result, error)) return false;
        script = std::move(result);
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace platform
