#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>

namespace {

UINT PrefixOf(BSTR b) {
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b) - sizeof(UINT), sizeof prefix);
    return prefix;
}

}  // namespace

TEST(Bstr, NullAndEmptyStayDistinct) {
    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    EXPECT_EQ(0u, SysStringByteLen(nullptr));
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, SysStringLen(empty));
    EXPECT_EQ(0, empty[0]);
    SysFreeString(empty);

    // A null source with a length allocates that many characters, terminated.
    BSTR blank = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(nullptr, blank);
    EXPECT_EQ(3u, SysStringLen(blank));
    EXPECT_EQ(0, blank[3]);
    SysFreeString(blank);
}

TEST(Bstr, LengthsComeFromThePrefixNotTheTerminator) {
    const OLECHAR text[] = {'a', 0, 'b', 'c'};
    BSTR b = SysAllocStringLen(text, 4);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(4u, SysStringLen(b));
    EXPECT_EQ(8u, SysStringByteLen(b));
    EXPECT_EQ(8u, PrefixOf(b));
    EXPECT_EQ(0, std::memcmp(b, text, sizeof text));
    EXPECT_EQ(0, b[4]);
    SysFreeString(b);

    BSTR odd = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(nullptr, odd);
    EXPECT_EQ(3u, SysStringByteLen(odd));
    EXPECT_EQ(1u, SysStringLen(odd));
    const char* bytes = reinterpret_cast<const char*>(odd);
    EXPECT_EQ(0, std::memcmp(bytes, "abc", 3));
    EXPECT_EQ(0, bytes[3]);
    EXPECT_EQ(0, bytes[4]);
    SysFreeString(odd);
}

TEST(Bstr, ReAllocReplacesAndAcceptsItsOwnText) {
    EXPECT_FALSE(SysReAllocString(nullptr, OLESTR("x")));

    BSTR b = SysAllocString(OLESTR("first"));
    ASSERT_TRUE(SysReAllocString(&b, OLESTR("second one")));
    EXPECT_EQ(10u, SysStringLen(b));
    ASSERT_TRUE(SysReAllocString(&b, b + 7));  // the tail of itself
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(0, std::memcmp(b, OLESTR("one"), 4 * sizeof(OLECHAR)));
    SysFreeString(b);
}
