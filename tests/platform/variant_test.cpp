#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "test_objects.h"

TEST(Variant, ClearReleasesWhatItOwnsAndRefusesUnknownTypes) {
    TestObject object;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = &object;
    object.AddRef();
    EXPECT_EQ(S_OK, VariantClear(&v));
    EXPECT_EQ(1u, object.refs);
    EXPECT_EQ(VT_EMPTY, V_VT(&v));

    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(OLESTR("owned"));  // a leak here fails the sanitized build
    EXPECT_EQ(S_OK, VariantClear(&v));

    V_VT(&v) = 0x7FF;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&v));
    EXPECT_EQ(0x7FF, V_VT(&v));
}

TEST(Variant, CopyDuplicatesBstrAddRefsInterfacesAndClearsTheDestination) {
    TestObject object;
    VARIANT unk, str, dst;
    VariantInit(&unk);
    VariantInit(&str);
    VariantInit(&dst);
    V_VT(&unk) = VT_UNKNOWN;
    V_UNKNOWN(&unk) = &object;
    ASSERT_EQ(S_OK, VariantCopy(&dst, &unk));
    EXPECT_EQ(&object, V_UNKNOWN(&dst));
    EXPECT_EQ(2u, object.refs);

    const OLECHAR text[] = {'x', 0, 'y'};
    V_VT(&str) = VT_BSTR;
    V_BSTR(&str) = SysAllocStringLen(text, 3);
    ASSERT_EQ(S_OK, VariantCopy(&dst, &str));
    EXPECT_EQ(1u, object.refs);  // the destination's reference was released first
    EXPECT_NE(V_BSTR(&str), V_BSTR(&dst));
    ASSERT_EQ(3u, SysStringLen(V_BSTR(&dst)));
    EXPECT_EQ(0, std::memcmp(text, V_BSTR(&dst), sizeof text));

    SysFreeString(V_BSTR(&str));
    V_BSTR(&str) = nullptr;  // a null BSTR copies as null
    ASSERT_EQ(S_OK, VariantCopy(&dst, &str));
    EXPECT_EQ(VT_BSTR, V_VT(&dst));
    EXPECT_EQ(nullptr, V_BSTR(&dst));

    // An unknown source type leaves the destination untouched.
    V_VT(&unk) = 0x7FF;
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(&dst, &unk));
    EXPECT_EQ(VT_BSTR, V_VT(&dst));
    EXPECT_EQ(S_OK, VariantClear(&dst));
}
