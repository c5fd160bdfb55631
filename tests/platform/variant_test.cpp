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

