// Activation: CoInitialize's apartments, ProgID and CLSID look-ups, and every way
// CoCreateInstance refuses before it reaches a server. (Activating a real server
// is tested with the component's own module.)
#include <gtest/gtest.h>

#include <string>

#include <objbase.h>
#include <windows.h>

#include "tests/platform/registry_scope.h"

namespace {

const CLSID kClass = {0x2D0C0A11, 0x5A5A, 0x4B4B, {0x8C, 0x8C, 0, 0, 0, 0, 0, 0x01}};
const char kClassKey[] = "CLSID\\{2D0C0A11-5A5A-4B4B-8C8C-000000000001}";

void SetString(const std::string& path, const char* name, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

HRESULT GetClass(DWORD context = CLSCTX_INPROC_SERVER) {
    void* p = reinterpret_cast<void*>(0x1);
    const HRESULT hr = CoCreateInstance(kClass, nullptr, context, IID_IUnknown, &p);
    EXPECT_EQ(p, nullptr);
    return hr;
}

TEST(ActivationTest, ApartmentsAreCountedPerThread) {
    RegistryScope scope;
    EXPECT_EQ(GetClass(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), E_NOTIMPL);  // single-threaded apartments only
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitializeEx(reinterpret_cast<void*>(1), COINIT_APARTMENTTHREADED), E_INVALIDARG);
    CoUninitialize();
    EXPECT_NE(GetClass(), CO_E_NOTINITIALIZED);  // still initialised once
    CoUninitialize();
    EXPECT_EQ(GetClass(), CO_E_NOTINITIALIZED);
    CoUninitialize();  // one too many: ignored
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ActivationTest, ProgIdsAndClassIdsComeFromTheRegistry) {
    RegistryScope scope;
    CLSID clsid = kClass;
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Nobody.Here"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);
    SetString("Some.Thing", nullptr, "A thing");
    SetString("Some.Thing\\CLSID", nullptr, "{2D0C0A11-5A5A-4B4B-8C8C-000000000001}");
    SetString("Bad.Thing\\CLSID", nullptr, "not a guid");
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Some.Thing"), &clsid), S_OK);
    EXPECT_EQ(clsid, kClass);
    ASSERT_EQ(CLSIDFromProgID(OLESTR("some.thing"), &clsid), S_OK);  // names are not case-sensitive
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Bad.Thing"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
}

TEST(ActivationTest, ClassObjectsAreRefusedClearly) {
    RegistryScope scope;
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(GetClass(), REGDB_E_CLASSNOTREG);
    SetString(std::string(kClassKey) + "\\InprocServer32", nullptr, "/nonexistent/server.so");
    EXPECT_EQ(GetClass(), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetClass(CLSCTX_LOCAL_SERVER), REGDB_E_CLASSNOTREG);
    // A module that loads but is no COM server.
    SetString(std::string(kClassKey) + "\\InprocServer32", nullptr, "libm.so.6");
    EXPECT_EQ(GetClass(), CO_E_ERRORINDLL);
    // A free-threaded class would need marshaling into this apartment.
    SetString(std::string(kClassKey) + "\\InprocServer32", "ThreadingModel", "Free");
    EXPECT_EQ(GetClass(), E_NOTIMPL);
    EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_INVALIDARG);
    CoUninitialize();
}

}  // namespace
