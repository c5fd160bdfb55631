// ILPTuner's IDispatch, answered from the registered type library.
#include <gtest/gtest.h>

#include <olectl.h>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "tests/component/com_test_support.h"
#include "tests/platform/registry_scope.h"
#include "tests/component/dispatch_checks.h"

namespace {

host::ComPtr<ILPTuner> NewTuner() {
    host::ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(CLSID_LPTuner, IID_IClassFactory, factory.put_void()), S_OK);
    host::ComPtr<ILPTuner> tuner;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILPTuner, tuner.put_void()), S_OK);
    return tuner;
}

// Runs first: the module keeps the type information once it has loaded it.
TEST(DispatchTest, AFailedLoadIsReturnedAndTriedAgainLater) {
    RegistryScope registry;  // empty: nothing registered
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
    RegistryScope registry;
    ASSERT_EQ(DllRegisterServer(), S_OK);
    host::ComPtr<ILPTuner> tuner = NewTuner();
    dispatchtest::ExpectNameByDispatch(tuner.get());
    IDispatch* disp = tuner.get();

    // The native layer makes no coercion and takes no missing argument.
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS badType{&number, &named, 1, 1};
    UINT argErr = 99;
    EXPECT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &badType, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    DISPPARAMS noArg{nullptr, nullptr, 0, 0};
    EXPECT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noArg, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    host::Bstr direct;
    ASSERT_EQ(tuner->get_Name(direct.put()), S_OK);
    EXPECT_EQ(comtest::Narrow(direct.get()), "By dispatch");
    EXPECT_EQ(DllUnregisterServer(), S_OK);
}

}  // namespace
