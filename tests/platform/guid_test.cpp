#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

namespace {

typedef std::basic_string<OLECHAR> OleString;

// "{8-4-4-4-12}" and the terminator.
constexpr int kGuidChars = 39;

OleString Text(REFGUID guid) {
    OLECHAR buf[kGuidChars];
    EXPECT_EQ(kGuidChars, StringFromGUID2(guid, buf, kGuidChars));
    return buf;
}

}  // namespace

TEST(Guid, StandardInterfaceIdsHaveTheirWindowsValues) {
    const struct {
        const IID* iid;
        const OLECHAR* text;
    } known[] = {
        {&GUID_NULL, OLESTR("{00000000-0000-0000-0000-000000000000}")},
        {&IID_IUnknown, OLESTR("{00000000-0000-0000-C000-000000000046}")},
        {&IID_IClassFactory, OLESTR("{00000001-0000-0000-C000-000000000046}")},
        {&IID_IStream, OLESTR("{0000000C-0000-0000-C000-000000000046}")},
        {&IID_IPersist, OLESTR("{0000010C-0000-0000-C000-000000000046}")},
        {&IID_IPersistStream, OLESTR("{00000109-0000-0000-C000-000000000046}")},
        {&IID_IDispatch, OLESTR("{00020400-0000-0000-C000-000000000046}")},
        {&IID_ITypeInfo, OLESTR("{00020401-0000-0000-C000-000000000046}")},
        {&IID_ITypeLib, OLESTR("{00020402-0000-0000-C000-000000000046}")},
        {&IID_ISequentialStream, OLESTR("{0C733A30-2A1C-11CE-ADE5-00AA0044773D}")},
        {&IID_ISupportErrorInfo, OLESTR("{DF0B3D60-548F-101B-8E65-08002B2BD119}")},
        {&IID_IErrorInfo, OLESTR("{1CF2B120-547D-101B-8E65-08002B2BD119}")},
        {&IID_ICreateErrorInfo, OLESTR("{22F03340-547D-101B-8E65-08002B2BD119}")},
    };
    for (const auto& k : known) EXPECT_EQ(OleString(k.text), Text(*k.iid));
}

TEST(Guid, TextRoundTripAndRefusals) {
    const GUID guid = {0x89ABCDEF, 0x0123, 0x4567, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    OLECHAR small[kGuidChars - 1];
    EXPECT_EQ(0, StringFromGUID2(guid, small, kGuidChars - 1));

    CLSID parsed = GUID_NULL;
    ASSERT_EQ(S_OK, CLSIDFromString(Text(guid).c_str(), &parsed));
    EXPECT_TRUE(IsEqualGUID(guid, parsed));
    // Lower-case hex reads as well.
    ASSERT_EQ(S_OK, CLSIDFromString(OLESTR("{89abcdef-0123-4567-fedc-ba9876543210}"), &parsed));
    EXPECT_TRUE(IsEqualGUID(guid, parsed));

    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(OLESTR("{89ABCDEF-0123-4567-FEDC-BA987654321G}"), &parsed));
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(OLESTR("{89ABCDEF-0123-4567-FEDC-BA9876543210"), &parsed));
    EXPECT_EQ(E_INVALIDARG, CLSIDFromString(Text(guid).c_str(), nullptr));

    EXPECT_EQ(S_OK, CLSIDFromString(nullptr, &parsed));  // no text at all is GUID_NULL
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, parsed));
}
