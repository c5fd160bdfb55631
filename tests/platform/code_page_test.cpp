#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

typedef std::basic_string<WCHAR> WString;

std::string ToUtf8(const WString& w, DWORD flags = 0) {
    const int n = WideCharToMultiByte(CP_UTF8, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(n, WideCharToMultiByte(CP_UTF8, flags, w.data(), static_cast<int>(w.size()), &out[0], n,
                                         nullptr, nullptr));
    }
    return out;
}

WString FromUtf8(const std::string& s, DWORD flags = 0) {
    const int n = MultiByteToWideChar(CP_UTF8, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    WString out(static_cast<size_t>(n), 0);
    if (n > 0) {
        EXPECT_EQ(n, MultiByteToWideChar(CP_UTF8, flags, s.data(), static_cast<int>(s.size()), &out[0], n));
    }
    return out;
}

}  // namespace

TEST(CodePages, SizesTerminatorsAndShortBuffers) {
    // "héllo": -1 counts the terminator, an explicit length does not.
    const char* utf8 = "h\xC3\xA9llo";
    EXPECT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0));
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, utf8, 6, nullptr, 0));
    WCHAR wide[8];
    std::memset(wide, 0xFF, sizeof wide);
    ASSERT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8));
    EXPECT_EQ(WString(OLESTR("h\u00E9llo")), WString(wide));

    EXPECT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr));
    char narrow[7];
    ASSERT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 7, nullptr, nullptr));
    EXPECT_STREQ(utf8, narrow);

    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, wide, 0, narrow, 7, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(CodePages, SurrogatesAndInvalidSequences) {
    // A pair is one four-byte character, both ways.
    const WString pair = {0xD83D, 0xDE00};
    EXPECT_EQ("\xF0\x9F\x98\x80", ToUtf8(pair));
    EXPECT_EQ(pair, FromUtf8("\xF0\x9F\x98\x80"));

    // An unpaired surrogate: replaced by U+FFFD, or refused when asked to.
    const WString lone = {'a', 0xD800, 'b'};
    EXPECT_EQ("a\xEF\xBF\xBD" "b", ToUtf8(lone));
    char out[16];
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 3, out, sizeof out, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());

    // UTF-8 has no default character.
    BOOL used = FALSE;
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, lone.data(), 3, out, sizeof out, nullptr, &used));
    EXPECT_NE(0u, GetLastError());

    // The ANSI code page uses its default character and says so.
    used = FALSE;
    ASSERT_EQ(3, WideCharToMultiByte(CP_ACP, 0, lone.data(), 3, out, sizeof out, nullptr, &used));
    EXPECT_EQ(0, std::memcmp(out, "a?b", 3));
    EXPECT_TRUE(used);
    const WString plain = {'o', 'k'};
    ASSERT_EQ(2, WideCharToMultiByte(CP_ACP, 0, plain.data(), 2, out, sizeof out, nullptr, &used));
    EXPECT_FALSE(used);

    // Ill-formed UTF-8: U+FFFD per bad sequence, or refused with MB_ERR_INVALID_CHARS.
    EXPECT_EQ(WString({'x', 0xFFFD, 'y'}), FromUtf8("x\xFFy"));
    EXPECT_EQ(WString({'x', 0xFFFD, 'y'}), FromUtf8("x\xE2\x82y"));  // truncated three-byte sequence
    EXPECT_EQ(WString({0xFFFD, 0xFFFD}), FromUtf8("\xC0\xAF"));      // overlong '/'
    WCHAR wide[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "x\xFFy", 3, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}
