// The Name-by-dispatch sequence that the native layer and the real oleaut32 answer
// alike, run by the native dispatch test and by the test of the real DLL. What
// they answer differently (argument coercion, a put without its argument) each
// test checks itself.
#pragma once
#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "host/com_ptr.h"

namespace dispatchtest {

inline std::string Ascii(BSTR s) {
    std::string r;
    for (UINT i = 0; i < SysStringLen(s); ++i) r += static_cast<char>(s[i]);
    return r;
}

inline VARIANT Text(const OLECHAR* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}

// Type information, names, a put then a get through Invoke, and the refusals of a
// wrong member and a wrong interface. Leaves Name "By dispatch".
template <class Tuner>
void ExpectNameByDispatch(Tuner* tuner) {
    IDispatch* disp = tuner;
    UINT count = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    host::ComPtr<ITypeInfo> info;
    EXPECT_EQ(disp->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    ASSERT_EQ(disp->GetTypeInfo(0, 0, info.put()), S_OK);
    host::Bstr name, doc;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(Ascii(name.get()), "ILPTuner");
    EXPECT_EQ(Ascii(doc.get()), "ILPTuner Interface");

    // Names are looked up without regard to case; unknown ones are reported.
    OLECHAR upper[] = OLESTR("NAME");
    LPOLESTR names[] = {upper};
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);
    OLECHAR unknown[] = OLESTR("Colour");
    names[0] = unknown;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(disp->GetIDsOfNames(IID_IUnknown, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

    // Put, then get, through Invoke.
    VARIANT arg = Text(OLESTR("By dispatch"));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&arg, &named, 1, 1};
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    VariantClear(&arg);
    host::Bstr direct;
    ASSERT_EQ(tuner->get_Name(direct.put()), S_OK);
    EXPECT_EQ(Ascii(direct.get()), "By dispatch");
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(tuner->QueryInterface(IID_IPersistStream, persist.put_void()), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(Ascii(V_BSTR(&result)), "By dispatch");
    VariantClear(&result);

    EXPECT_EQ(disp->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(disp->Invoke(1, IID_IUnknown, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

}  // namespace dispatchtest
