#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>

#include "test_objects.h"

TEST(Variant, ClearReleasesWhatItOwns) {
    TestUnknown unknown;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(VT_EMPTY, V_VT(&v));

    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = &unknown;
    unknown.AddRef();
    EXPECT_EQ(S_OK, VariantClear(&v));
    EXPECT_EQ(1u, unknown.refs);
    EXPECT_EQ(VT_EMPTY, V_VT(&v));

    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(OLESTR("owned"));  // freed by VariantClear (checked by the leak checker)
    EXPECT_EQ(S_OK, VariantClear(&v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));

    // A null interface or BSTR is a valid value too.
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = nullptr;
    EXPECT_EQ(S_OK, VariantClear(&v));

    // A type it does not know is refused and left as it was.
    V_VT(&v) = 0x7FF;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&v));
    EXPECT_EQ(0x7FF, V_VT(&v));
}

TEST(Variant, CopyDuplicatesBstrAndAddRefsInterfaces) {
    TestUnknown unknown;
    VARIANT src, dst;
    VariantInit(&src);
    VariantInit(&dst);

    V_VT(&src) = VT_UNKNOWN;
    V_UNKNOWN(&src) = &unknown;
    unknown.AddRef();
    ASSERT_EQ(S_OK, VariantCopy(&dst, &src));
    EXPECT_EQ(VT_UNKNOWN, V_VT(&dst));
    EXPECT_EQ(&unknown, V_UNKNOWN(&dst));
    EXPECT_EQ(3u, unknown.refs);

    // The destination is cleared first: its interface reference is released.
    const OLECHAR text[] = {'x', 0, 'y'};
    VARIANT str;
    VariantInit(&str);
    V_VT(&str) = VT_BSTR;
    V_BSTR(&str) = SysAllocStringLen(text, 3);
    ASSERT_EQ(S_OK, VariantCopy(&dst, &str));
    EXPECT_EQ(2u, unknown.refs);
    EXPECT_NE(V_BSTR(&str), V_BSTR(&dst));
    ASSERT_EQ(3u, SysStringLen(V_BSTR(&dst)));
    EXPECT_EQ(0, std::memcmp(text, V_BSTR(&dst), sizeof text));

    // A null BSTR copies as null.
    VARIANT nullStr;
    VariantInit(&nullStr);
    V_VT(&nullStr) = VT_BSTR;
    V_BSTR(&nullStr) = nullptr;
    ASSERT_EQ(S_OK, VariantCopy(&dst, &nullStr));
    EXPECT_EQ(VT_BSTR, V_VT(&dst));
    EXPECT_EQ(nullptr, V_BSTR(&dst));

    V_VT(&src) = VT_R8;  // drop the interface by hand, as the test owns that reference
    unknown.Release();
    V_R8(&src) = 2.5;
    ASSERT_EQ(S_OK, VariantCopy(&dst, &src));
    EXPECT_EQ(VT_R8, V_VT(&dst));
    EXPECT_EQ(2.5, V_R8(&dst));

    // An unknown source type leaves the destination untouched.
    V_VT(&src) = 0x7FF;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(&dst, &src));
    EXPECT_EQ(VT_R8, V_VT(&dst));

    EXPECT_EQ(S_OK, VariantClear(&str));
    EXPECT_EQ(S_OK, VariantClear(&dst));
    EXPECT_EQ(1u, unknown.refs);
}
