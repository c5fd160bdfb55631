// Conversions between UTF-16 and the narrow code pages. The native layer's ANSI
// code page is UTF-8, and CP_ACP then behaves exactly as CP_UTF8 does on Windows
// with a UTF-8 ANSI code page: no default character (asking for one, or whether
// one was used, is refused), an unconvertible character becomes U+FFFD, and
// WC_ERR_INVALID_CHARS refuses it instead.
#include <windows.h>

#include <string>

#include "platform/kernel/utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

using platform::AppendUtf8;

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at s[i]. An ill-formed sequence yields U+FFFD for
// its longest valid-looking prefix (at least one byte), and `valid` false.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t& i, bool& valid) {
    const unsigned char b = s[i++];
    valid = true;
    if (b < 0x80) return b;
    int more;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        more = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        more = 2;
        c = b & 0x0F;
        if (b == 0xE0) lo = 0xA0;       // no overlong forms
        if (b == 0xED) hi = 0x9F;       // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3;
        c = b & 0x07;
        if (b == 0xF0) lo = 0x90;       // no overlong forms
        if (b == 0xF4) hi = 0x8F;       // nothing above U+10FFFF
    } else {
        valid = false;
        return kReplacement;
    }
    for (int k = 0; k < more; ++k) {
        const unsigned char lower = k == 0 ? lo : 0x80, upper = k == 0 ? hi : 0xBF;
        if (i >= n || s[i] < lower || s[i] > upper) {
            valid = false;
            return kReplacement;
        }
        c = (c << 6) | (s[i++] & 0x3F);
    }
    return c;
}

bool IsUtf8CodePage(UINT cp) { return cp == CP_ACP || cp == CP_UTF8; }

// Copies the converted text out with Windows' conventions: a zero output size
// asks for the size; too small a buffer fails with ERROR_INSUFFICIENT_BUFFER.
template <class Char, class String>
int Deliver(const String& converted, Char* out, int outSize) {
    const size_t needed = converted.size();
    if (needed > static_cast<size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (outSize == 0) return static_cast<int>(needed);
    if (needed > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    converted.copy(out, needed);
    return static_cast<int>(needed);
}

template <class Char>
size_t InputLength(const Char* s, int cch) {
    if (cch >= 0) return static_cast<size_t>(cch);
    size_t n = 0;
    while (s[n]) ++n;
    return n + 1;  // the terminator is converted too
}

}  // namespace

extern "C" int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                   LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                   BOOL* lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (!lpMultiByteStr && cbMultiByte != 0) || !IsUtf8CodePage(CodePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (lpDefaultChar || lpUsedDefaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }

    const size_t n = InputLength(lpWideCharStr, cchWideChar);
    std::string out;
    try {
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            char32_t c = lpWideCharStr[i];
            if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(lpWideCharStr[i + 1])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lpWideCharStr[++i] - 0xDC00);
            } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
                if (dwFlags & WC_ERR_INVALID_CHARS) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                c = kReplacement;
            }
            AppendUtf8(out, c);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return Deliver(out, lpMultiByteStr, cbMultiByte);
}

extern "C" int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                   LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (!lpWideCharStr && cchWideChar != 0) || !IsUtf8CodePage(CodePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const size_t n = InputLength(lpMultiByteStr, cbMultiByte);
    const auto* bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::u16string out;
    try {
        out.reserve(n);
        for (size_t i = 0; i < n;) {
            bool valid;
            const char32_t c = DecodeUtf8(bytes, n, i, valid);
            if (!valid && (dwFlags & MB_ERR_INVALID_CHARS)) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            AppendUtf16(out, c);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return Deliver(out, lpWideCharStr, cchWideChar);
}
