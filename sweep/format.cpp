#include "sweep/format.h"

#include <charconv>
#include <cmath>

namespace lpformat {
namespace {

// Room for the longest fixed text of a double: 309 integer digits, a sign, the
// point and six decimals.
constexpr std::size_t kBufferSize = 352;

void Append(std::string& out, double v, std::chars_format format) {
    if (std::isnan(v)) {
        out += "nan";
        return;
    }
    // std::to_chars is specified as printf in the C locale with the same
    // precision, and is exact; it does not look at the locale or the C runtime.
    char buffer[kBufferSize];
    const std::to_chars_result r = std::to_chars(buffer, buffer + kBufferSize, v, format, 6);
    out.append(buffer, r.ptr);
}

}  // namespace

void AppendFixed6(std::string& out, double v) { Append(out, v, std::chars_format::fixed); }

std::string Fixed6(double v) {
    std::string s;
    AppendFixed6(s, v);
    return s;
}

std::string General(double v) {
    std::string s;
    Append(s, v, std::chars_format::general);
    return s;
}

}  // namespace lpformat
