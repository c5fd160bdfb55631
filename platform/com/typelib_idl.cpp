// Reading the IDL subset described in typelib_model.h.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/com/typelib_model.h"

namespace platform::typelib {

namespace {

enum class Tok { End, Ident, Number, String, Punct };

struct Token {
    Tok kind = Tok::End;
    std::string text;
};

using Attrs = std::map<std::string, std::string>;

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    bool Parse(Library& lib) {
        try {
            Next();
            while (tok_.kind != Tok::End) {
                if (IsIdent("import")) {
                    SkipPast(";");
                    continue;
                }
                if (IsPunct(";")) {
                    Next();
                    continue;
                }
                Attrs attrs = AttrList();
                if (IsIdent("interface")) {
                    Interface(attrs);
                } else if (IsIdent("library")) {
                    if (haveLibrary_) Fail("a second library");
                    haveLibrary_ = true;
                    Lib(attrs, lib);
                } else {
                    Fail("unexpected '" + tok_.text + "'");
                }
            }
            if (!haveLibrary_) Fail("no library");
            return true;
        } catch (const std::string& e) {
            error = e;
            return false;
        }
    }

    std::string error;

private:
    [[noreturn]] void Fail(const std::string& why) { throw why + " (line " + std::to_string(line_) + ")"; }

    // ---- tokens ----
    void SkipSpace() {
        for (;;) {
            while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
                if (s_[pos_] == '\n') ++line_;
                ++pos_;
            }
            if (s_.compare(pos_, 2, "//") == 0 || (pos_ < s_.size() && s_[pos_] == '#')) {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else if (s_.compare(pos_, 2, "/*") == 0) {
                const size_t end = s_.find("*/", pos_ + 2);
                if (end == std::string::npos) Fail("unterminated comment");
                for (size_t i = pos_; i < end; ++i) line_ += s_[i] == '\n';
                pos_ = end + 2;
            } else {
                return;
            }
        }
    }

    void Next() {
        SkipSpace();
        tok_ = Token{};
        if (pos_ >= s_.size()) return;
        const char c = s_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const size_t start = pos_;
            while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) ++pos_;
            tok_ = {Tok::Ident, s_.substr(start, pos_ - start)};
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            const size_t start = pos_;
            while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.')) ++pos_;
            tok_ = {Tok::Number, s_.substr(start, pos_ - start)};
        } else if (c == '"') {
            std::string text;
            for (++pos_;; ++pos_) {
                if (pos_ >= s_.size() || s_[pos_] == '\n') Fail("unterminated string");
                if (s_[pos_] == '"') break;
                if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) ++pos_;
                text += s_[pos_];
            }
            ++pos_;
            tok_ = {Tok::String, text};
        } else if (std::strchr("[](){};,*:=", c)) {
            tok_ = {Tok::Punct, std::string(1, c)};
            ++pos_;
        } else {
            Fail(std::string("unexpected character '") + c + "'");
        }
    }

    bool IsIdent(const char* word) const { return tok_.kind == Tok::Ident && tok_.text == word; }
    bool IsPunct(const char* p) const { return tok_.kind == Tok::Punct && tok_.text == p; }

    void Expect(const char* p) {
        if (!IsPunct(p)) Fail(std::string("expected '") + p + "'");
        Next();
    }
    std::string Ident() {
        if (tok_.kind != Tok::Ident) Fail("expected a name");
        std::string name = tok_.text;
        Next();
        return name;
    }
    void SkipPast(const char* p) {
        while (tok_.kind != Tok::End && !IsPunct(p)) Next();
        Expect(p);
    }

    // The raw text up to the next ')' (a uuid is not made of tokens).
    std::string RawUntilParen() {
        const size_t end = s_.find(')', pos_);
        if (end == std::string::npos) Fail("unterminated attribute");
        std::string raw = s_.substr(pos_, end - pos_);
        pos_ = end;
        Next();
        Expect(")");
        while (!raw.empty() && std::isspace(static_cast<unsigned char>(raw.back()))) raw.pop_back();
        size_t first = 0;
        while (first < raw.size() && std::isspace(static_cast<unsigned char>(raw[first]))) ++first;
        return raw.substr(first);
    }

    // ---- attributes ----
    Attrs AttrList() {
        Attrs attrs;
        if (!IsPunct("[")) return attrs;
        Next();
        for (;;) {
            const std::string name = Ident();
            std::string arg;
            if (IsPunct("(")) {
                if (name == "uuid") {
                    arg = RawUntilParen();  // the '(' is the current token; the raw text follows it
                } else {
                    Next();
                    int depth = 1;
                    while (depth > 0) {
                        if (tok_.kind == Tok::End) Fail("unterminated attribute");
                        if (IsPunct("(")) ++depth;
                        if (IsPunct(")") && --depth == 0) break;
                        if (depth == 1 && arg.empty()) arg = tok_.text;
                        Next();
                    }
                    Next();
                }
            }
            attrs[name] = arg;
            if (IsPunct("]")) break;
            Expect(",");
        }
        Next();
        return attrs;
    }

    static bool Has(const Attrs& a, const char* name) { return a.count(name) != 0; }

    GUID Uuid(const Attrs& a) {
        auto it = a.find("uuid");
        if (it == a.end()) Fail("missing uuid");
        std::u16string braced = u"{";
        for (char c : it->second) braced += static_cast<char16_t>(c);
        braced += u"}";
        GUID g;
        if (FAILED(CLSIDFromString(braced.c_str(), &g)) || braced.size() != 38) Fail("bad uuid");
        return g;
    }

    void Version(const Attrs& a, WORD& major, WORD& minor) {
        auto it = a.find("version");
        if (it == a.end()) return;
        const std::string& v = it->second;
        const size_t dot = v.find('.');
        const std::string maj = v.substr(0, dot), min = dot == std::string::npos ? "0" : v.substr(dot + 1);
        if (maj.empty() || min.empty() || maj.size() > 5 || min.size() > 5 ||
            maj.find_first_not_of("0123456789") != std::string::npos ||
            min.find_first_not_of("0123456789") != std::string::npos)
            Fail("bad version");
        const unsigned long mj = std::strtoul(maj.c_str(), nullptr, 10), mn = std::strtoul(min.c_str(), nullptr, 10);
        if (mj > 0xFFFF || mn > 0xFFFF) Fail("bad version");
        major = static_cast<WORD>(mj);
        minor = static_cast<WORD>(mn);
    }

    static void Help(const Attrs& a, std::string& help, bool& has) {
        auto it = a.find("helpstring");
        has = it != a.end();
        if (has) help = it->second;
    }

    // ---- declarations ----
    VARTYPE TypeOf(const std::string& name) {
        if (name == "BSTR") return VT_BSTR;
        if (name == "long" || name == "LONG") return VT_I4;
        if (name == "double" || name == "DOUBLE") return VT_R8;
        if (name == "VARIANT_BOOL") return VT_BOOL;
        Fail("unsupported type " + name);
    }

    Func Method(const Type& owner) {
        Attrs attrs = AttrList();
        if (Ident() != "HRESULT") Fail("methods return HRESULT");
        Func f;
        f.name = Ident();
        Help(attrs, f.help, f.hasHelp);
        if (Has(attrs, "propget")) f.invkind = DISPATCH_PROPERTYGET;
        if (Has(attrs, "propput")) f.invkind = DISPATCH_PROPERTYPUT;
        if (auto it = attrs.find("id"); it != attrs.end()) {
            char* end = nullptr;
            const long long id = std::strtoll(it->second.c_str(), &end, 0);
            if (it->second.empty() || *end || id < INT32_MIN || id > UINT32_MAX) Fail("bad id");
            f.id = static_cast<MEMBERID>(static_cast<int32_t>(static_cast<uint32_t>(id)));
        } else {
            f.id = static_cast<MEMBERID>(0x60020000 + owner.funcs.size());
        }
        Expect("(");
        if (IsIdent("void")) {
            Next();
        } else {
            while (!IsPunct(")")) {
                Attrs pa = AttrList();
                Param p;
                p.vt = TypeOf(Ident());
                while (IsPunct("*")) {
                    if (p.pointer) Fail("pointer to pointer");
                    p.pointer = true;
                    Next();
                }
                p.name = Ident();
                p.out = Has(pa, "out");
                p.retval = Has(pa, "retval");
                if (p.out != p.pointer || (p.retval && !p.out)) Fail("parameter " + p.name + " direction");
                f.params.push_back(p);
                if (!IsPunct(")")) Expect(",");
            }
        }
        Expect(")");
        Expect(";");
        return f;
    }

    Type* Known(const std::string& name) {
        for (Type& t : interfaces_)
            if (t.name == name) return &t;
        return nullptr;
    }

    void Interface(const Attrs& attrs) {
        Next();  // "interface"
        Type t;
        t.name = Ident();
        if (IsPunct(";")) {  // a reference or forward declaration
            Next();
            if (!Known(t.name)) Fail("unknown interface " + t.name);
            Use(t.name);
            return;
        }
        if (Known(t.name)) Fail("interface " + t.name + " defined twice");
        Expect(":");
        t.base = Ident();
        if (t.base == "IUnknown") {
            t.baseSlots = 3;
        } else if (t.base == "IDispatch") {
            t.baseSlots = 7;
        } else {
            Fail("unsupported base " + t.base);
        }
        t.guid = Uuid(attrs);
        Version(attrs, t.major, t.minor);
        Help(attrs, t.help, t.hasHelp);
        if (Has(attrs, "dual")) {
            if (t.base != "IDispatch") Fail("a dual interface derives from IDispatch");
            t.kind = TKIND_DISPATCH;
            t.flags |= TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
        }
        if (Has(attrs, "oleautomation")) t.flags |= TYPEFLAG_FOLEAUTOMATION;
        if (Has(attrs, "hidden")) t.flags |= TYPEFLAG_FHIDDEN;
        Expect("{");
        while (!IsPunct("}")) {
            Func f = Method(t);
            f.vtableSlot = t.baseSlots + static_cast<int>(t.funcs.size());
            t.funcs.push_back(std::move(f));
        }
        Next();
        if (IsPunct(";")) Next();
        interfaces_.push_back(std::move(t));
        if (inLibrary_) Use(interfaces_.back().name);
    }

    // Puts a known interface into the library, once.
    void Use(const std::string& name) {
        if (!inLibrary_) return;
        for (const Type& t : lib_->types)
            if (t.name == name) return;
        lib_->types.push_back(*Known(name));
    }

    void Coclass(const Attrs& attrs) {
        Next();  // "coclass"
        Type t;
        t.kind = TKIND_COCLASS;
        t.name = Ident();
        t.guid = Uuid(attrs);
        Version(attrs, t.major, t.minor);
        Help(attrs, t.help, t.hasHelp);
        t.flags = TYPEFLAG_FCANCREATE;
        if (Has(attrs, "appobject")) t.flags |= TYPEFLAG_FAPPOBJECT;
        Expect("{");
        while (!IsPunct("}")) {
            Attrs ia = AttrList();
            if (!IsIdent("interface")) Fail("a coclass lists interfaces");
            Next();
            const std::string name = Ident();
            Expect(";");
            if (!Known(name)) Fail("unknown interface " + name);
            Use(name);
            if (Has(ia, "default"))
                t.impls.insert(t.impls.begin(), name);
            else
                t.impls.push_back(name);
        }
        Next();
        if (IsPunct(";")) Next();
        lib_->types.push_back(std::move(t));
    }

    void Lib(const Attrs& attrs, Library& lib) {
        Next();  // "library"
        lib_ = &lib;
        lib.name = Ident();
        lib.guid = Uuid(attrs);
        Version(attrs, lib.major, lib.minor);
        Help(attrs, lib.help, lib.hasHelp);
        if (auto it = attrs.find("lcid"); it != attrs.end()) lib.lcid = static_cast<LCID>(std::strtoul(it->second.c_str(), nullptr, 0));
        inLibrary_ = true;
        Expect("{");
        while (!IsPunct("}")) {
            if (tok_.kind == Tok::End) Fail("unterminated library");
            if (IsIdent("importlib")) {
                SkipPast(";");
                continue;
            }
            if (IsPunct(";")) {
                Next();
                continue;
            }
            Attrs a = AttrList();
            if (IsIdent("interface")) {
                Interface(a);
            } else if (IsIdent("coclass")) {
                Coclass(a);
            } else {
                Fail("unexpected '" + tok_.text + "' in library");
            }
        }
        Next();
        if (IsPunct(";")) Next();
        inLibrary_ = false;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
    Token tok_;
    std::vector<Type> interfaces_;
    Library* lib_ = nullptr;
    bool inLibrary_ = false;
    bool haveLibrary_ = false;
};

}  // namespace

bool ParseIdl(const std::string& text, Library& lib, std::string& error) {
    lib = Library{};
    Reader reader(text);
    if (reader.Parse(lib)) return true;
    error = reader.error;
    return false;
}

}  // namespace platform::typelib
