#include "platform/com/com_text.h"

namespace platform {

std::string Narrow(const OLECHAR* w) {
    if (!w) return std::string();
    int n = 0;
    while (w[n]) ++n;
    const int size = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, w, n, &out[0], size, nullptr, nullptr);
    return out;
}

std::string GuidText(REFGUID g) {
    OLECHAR buf[kGuidChars];
    StringFromGUID2(g, buf, kGuidChars);
    return Narrow(buf);
}

}  // namespace platform
