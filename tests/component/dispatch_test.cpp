// ILPTuner's IDispatch, answered from the registered type library.
#include <gtest/gtest.h>

#include <olectl.h>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "tests/component/com_test_support.h"

namespace {

host::ComPtr<ILPTuner> NewTuner() {
    host::ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(CLSID_LPTuner, IID_IClassFactory, factory.put_void()), S_OK);
    host::ComPtr<ILPTuner> tuner;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILPTuner, tuner.put_void()), S_OK);
    return tuner;
}

VARIANT Text(const OLECHAR* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

// Runs first: the module keeps the type information once it has loaded it.
TEST(DispatchTest, AFailedLoadIsReturnedAndTriedAgainLater) {
    comtest::ScopedRegistry registry;  // empty: nothing registered
    host::ComPtr<ILPTuner> tuner = NewTuner();
    host::ComPtr<ITypeInfo> info;
    const HRESULT hr = tuner->GetTypeInfo(0, 0, info.put());
    if (hr == S_OK) GTEST_SKIP() << "type information already loaded by this process";
    EXPECT_EQ(hr, TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info.get(), nullptr);
    OLECHAR n[] = OLESTR("Name");
    LPOLESTR names[] = {n};
    DISPID id;
    EXPECT_EQ(tuner->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);

    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(tuner->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    // Kept for the module's life: still answered after unregistration.
    EXPECT_EQ(tuner->GetTypeInfo(0, 0, info.put()), S_OK);
}

TEST(DispatchTest, NameByDispatchReachesTheProperty) {
    comtest::ScopedRegistry registry;
    ASSERT_EQ(DllRegisterServer(), S_OK);
    host::ComPtr<ILPTuner> tuner = NewTuner();
    IDispatch* disp = tuner.get();

    UINT count = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    host::ComPtr<ITypeInfo> info;
    EXPECT_EQ(disp->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    ASSERT_EQ(disp->GetTypeInfo(0, 0, info.put()), S_OK);
    host::Bstr name, doc;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(comtest::Narrow(name.get()), "ILPTuner");
    EXPECT_EQ(comtest::Narrow(doc.get()), "ILPTuner Interface");

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
    EXPECT_EQ(comtest::Narrow(direct.get()), "By dispatch");
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(tuner.query(IID_IPersistStream, persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(comtest::Narrow(result.bstrVal), "By dispatch");
    VariantClear(&result);

    // Refusals: wrong member, wrong argument type, missing argument, wrong riid.
    EXPECT_EQ(disp->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    DISPPARAMS badType{&number, &named, 1, 1};
    UINT argErr = 99;
    EXPECT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &badType, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    DISPPARAMS noArg{nullptr, nullptr, 0, 0};
    EXPECT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noArg, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    EXPECT_EQ(disp->Invoke(1, IID_IUnknown, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    ASSERT_EQ(tuner->get_Name(direct.put()), S_OK);
    EXPECT_EQ(comtest::Narrow(direct.get()), "By dispatch");
    EXPECT_EQ(DllUnregisterServer(), S_OK);
}

}  // namespace
