#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cstring>

TEST(Bstr, NullAndEmptyStayDistinct) {
    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, SysStringLen(empty));
    SysFreeString(empty);
    SysFreeString(nullptr);

    // A null source with a length allocates that many characters, terminated.
    BSTR blank = SysAllocStringLen(nullptr, 3);
    EXPECT_EQ(3u, SysStringLen(blank));
    EXPECT_EQ(0, blank[3]);
    SysFreeString(blank);
}

TEST(Bstr, LengthsComeFromThePrefixNotTheTerminator) {
    const OLECHAR text[] = {'a', 0, 'b', 'c'};
    BSTR b = SysAllocStringLen(text, 4);
    EXPECT_EQ(4u, SysStringLen(b));
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(8u, prefix);
    EXPECT_EQ(0, std::memcmp(b, text, sizeof text));
    EXPECT_EQ(0, b[4]);
    SysFreeString(b);
}
