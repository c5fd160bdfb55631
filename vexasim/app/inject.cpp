#include "vexasim/app/inject.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace vexasim {
namespace {

const char* const kForm =
    "--inject takes OBJECT.MEMBER[@N]=RESULT[:DESCRIPTION], such as Simulator.Analyze@10=S_FALSE";
const size_t kListWidth = 100;

bool AllDigits(const std::string& s, bool hex) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!(hex ? std::isxdigit(c) : std::isdigit(c))) return false;
    return true;
}

std::string MemberList() {
    std::string text, line = " ";
    for (const std::string& m : Host::Members()) {
        if (line.size() + 1 + m.size() > kListWidth) {
            text += line + "\n";
            line = " ";
        }
        line += " " + m;
    }
    return text + line;
}

// S_FALSE, NULL, or an HRESULT in hex: 0x00000001 is S_FALSE, a failure code fails.
bool ParseResult(const std::string& text, Injection& out) {
    if (text == "S_FALSE") {
        out.kind = Injection::Kind::Stop;
        out.hr = S_FALSE;
        return true;
    }
    if (text == "NULL") {
        out.kind = Injection::Kind::Null;
        out.hr = S_OK;
        return true;
    }
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') ||
        !AllDigits(text.substr(2), true))
        return false;
    const HRESULT hr = static_cast<HRESULT>(std::strtoul(text.c_str() + 2, nullptr, 16));
    if (hr == S_FALSE) {
        out.kind = Injection::Kind::Stop;
    } else if (FAILED(hr)) {
        out.kind = Injection::Kind::Failure;
    } else {
        return false;
    }
    out.hr = hr;
    return true;
}

}  // namespace

bool ParseInjection(const std::string& spec, Injection& out, std::string& error) {
    out = Injection();
    const size_t eq = spec.find('=');
    if (eq == std::string::npos) {
        error = kForm;
        return false;
    }
    std::string member = spec.substr(0, eq);
    const size_t at = member.find('@');
    if (at != std::string::npos) {
        const std::string n = member.substr(at + 1);
        const unsigned long call = AllDigits(n, false) && n.size() <= 10 ? std::strtoul(n.c_str(), nullptr, 10) : 0;
        if (call < 1 || call > INT_MAX) {
            error = "--inject: the call number after @ is a whole number from 1 on, not \"" + n + "\"";
            return false;
        }
        out.call = static_cast<int>(call);
        member.resize(at);
    }
    if (!Host::IsMember(member)) {
        error = "--inject: the host has no member \"" + member + "\"; members that can be named:\n" + MemberList();
        return false;
    }
    out.member = member;

    const std::string rest = spec.substr(eq + 1);
    const size_t colon = rest.find(':');
    const std::string result = rest.substr(0, colon);
    if (!ParseResult(result, out)) {
        error = "--inject: the result is S_FALSE, NULL or a failing HRESULT in hex such as 0x80004005, not \"" +
                result + "\"";
        return false;
    }
    if (colon != std::string::npos) {
        if (out.kind != Injection::Kind::Failure) {
            error = "--inject: only a failure carries a description";
            return false;
        }
        out.description = rest.substr(colon + 1);
    }
    return true;
}

void Inject(Host& host, const Injection& injection) {
    switch (injection.kind) {
        case Injection::Kind::Failure:
            host.InjectFailure(injection.member, injection.call, injection.hr, injection.description);
            break;
        case Injection::Kind::Stop: host.InjectStop(injection.member, injection.call); break;
        case Injection::Kind::Null: host.InjectNull(injection.member, injection.call); break;
    }
}

}  // namespace vexasim
