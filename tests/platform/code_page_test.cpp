#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string ToUtf8(const std::basic_string<WCHAR>& w) {
    char out[32];
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out, sizeof out, nullptr, nullptr);
    return std::string(out, static_cast<size_t>(n));
}

std::basic_string<WCHAR> FromUtf8(const std::string& s) {
    WCHAR out[32];
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out, 32);
    return std::basic_string<WCHAR>(out, static_cast<size_t>(n));
}

}  // namespace

TEST(CodePages, SizesTerminatorsAndShortBuffers) {
    // "héllo": -1 counts the terminator, an explicit length does not.
    const char* utf8 = "h\xC3\xA9llo";
    EXPECT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0));
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, utf8, 6, nullptr, 0));
    WCHAR wide[8];
    ASSERT_EQ(6, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8));
    EXPECT_EQ(std::basic_string<WCHAR>(OLESTR("h\u00E9llo")), wide);
    EXPECT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr));
    char narrow[7];
    ASSERT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 7, nullptr, nullptr));
    EXPECT_STREQ(utf8, narrow);

    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(CodePages, SurrogatesAndInvalidSequences) {
    const std::basic_string<WCHAR> pair = {0xD83D, 0xDE00};
    EXPECT_EQ("\xF0\x9F\x98\x80", ToUtf8(pair));
    EXPECT_EQ(pair, FromUtf8("\xF0\x9F\x98\x80"));

    // An unpaired surrogate: U+FFFD in UTF-8, or refused when asked to.
    const WCHAR lone[] = {'a', 0xD800, 'b'};
    EXPECT_EQ("a\xEF\xBF\xBD" "b", ToUtf8(std::basic_string<WCHAR>(lone, 3)));
    char out[16];
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, out, sizeof out, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    BOOL used = FALSE;  // UTF-8 has no default character to report on
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, lone, 3, out, sizeof out, nullptr, &used));

    // The ANSI code page is UTF-8 and converts alike.
    ASSERT_EQ(5, WideCharToMultiByte(CP_ACP, 0, lone, 3, out, sizeof out, nullptr, nullptr));
    EXPECT_EQ(0, std::memcmp(out, "a\xEF\xBF\xBD" "b", 5));

    // Ill-formed UTF-8: U+FFFD per bad sequence, or refused with MB_ERR_INVALID_CHARS.
    const WCHAR replaced[] = {'x', 0xFFFD, 'y'};
    EXPECT_EQ(std::basic_string<WCHAR>(replaced, 3), FromUtf8("x\xFFy"));
    EXPECT_EQ(std::basic_string<WCHAR>(replaced, 3), FromUtf8("x\xE2\x82y"));  // truncated sequence
    EXPECT_EQ(2u, FromUtf8("\xC0\xAF").size());                                // overlong '/'
    WCHAR wide[8];
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "x\xFFy", 3, wide, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
}
