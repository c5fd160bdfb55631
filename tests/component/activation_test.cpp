// The component as the host gets it: the shared library the project builds,
// registered by its own DllRegisterServer and activated by ProgID through the
// registry (CoCreateInstance loads it), then unloaded once nothing holds it.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "host/call.h"
#include "lptuner_h.h"
#include "tests/component/com_test_support.h"
#include "tests/platform/registry_scope.h"

namespace {

using ServerFn = HRESULT(STDAPICALLTYPE*)();

HRESULT CallExport(const char* name) {
    HMODULE module = LoadLibraryA(LPT_MODULE_PATH);
    if (!module) return E_FAIL;
    auto fn = reinterpret_cast<ServerFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    const HRESULT hr = fn ? fn() : E_NOINTERFACE;
    FreeLibrary(module);
    return hr;
}

bool ModuleLoaded() {
    void* handle = dlopen(LPT_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

TEST(ActivationTest, ProgIdActivatesTheBuiltModule) {
    RegistryScope registry;
    ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    EXPECT_FALSE(ModuleLoaded());
    EXPECT_EQ(comtest::RegString(HKEY_CLASSES_ROOT, "CLSID\\{5E0C7A42-9B1D-4F63-A8E2-3C71D4B09F15}\\InprocServer32"),
              LPT_MODULE_PATH);

    CLSID clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner"), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_LPTuner);
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner.1"), &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_LPTuner);

    host::ComPtr<IVexaWizard> wizard;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVexaWizard, wizard.put_void()),
              CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVexaWizard, wizard.put_void()), S_OK);
    EXPECT_TRUE(ModuleLoaded());

    host::Bstr name;
    ASSERT_EQ(wizard->get_Name(name.put()), S_OK);
    EXPECT_EQ(comtest::Narrow(name.get()), "LPTuner");

    // IDispatch inside the module, from the library it registered.
    host::ComPtr<ILPTuner> tuner;
    ASSERT_EQ(wizard.query(IID_ILPTuner, tuner), S_OK);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(OLESTR("Loaded"));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&arg, &named, 1, 1};
    EXPECT_EQ(tuner->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    VariantClear(&arg);

    // Its settings stream, written into the client's stream.
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(wizard.query(IID_IPersistStream, persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    auto stream = comtest::NewStream();
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(comtest::Contents(stream.get()).size(), 76u - 16 + 14);  // "Loaded" is one unit shorter

    // Held objects keep the module loaded; once released it goes.
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ModuleLoaded());
    tuner.reset();
    persist.reset();
    wizard.reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(ModuleLoaded());

    // Loaded again on demand.
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVexaWizard, wizard.put_void()), S_OK);
    wizard.reset();
    CoUninitialize();  // the last apartment: unused servers are unloaded
    EXPECT_FALSE(ModuleLoaded());

    ASSERT_EQ(CallExport("DllUnregisterServer"), S_OK);
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner"), &clsid), CO_E_CLASSSTRING);
}

// A copy of the module in a folder whose name is not ASCII: it registers its
// own path, read wide, and activation through the registry loads that copy.
TEST(ActivationTest, AModuleInAFolderWithAWideNameRegistersItsOwnPath) {
    RegistryScope registry;
    char base[] = "/tmp/lpt-activation-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string folder = std::string(base) + "/wizard-\xCE\xA9";  // "wizard-" and U+03A9
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string copy = folder + "/LPTuner.so";
    {
        std::ifstream in(LPT_MODULE_PATH, std::ios::binary);
        std::ofstream out(copy, std::ios::binary);
        out << in.rdbuf();
    }
    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr);
    auto registerServer = reinterpret_cast<ServerFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(comtest::RegString(HKEY_CLASSES_ROOT, "CLSID\\{5E0C7A42-9B1D-4F63-A8E2-3C71D4B09F15}\\InprocServer32"), copy);
    EXPECT_EQ(comtest::RegString(HKEY_CLASSES_ROOT, "TypeLib\\{5E0C7A41-9B1D-4F63-A8E2-3C71D4B09F15}\\1.0\\0\\win64"), copy);

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        host::ComPtr<ILPTuner> tuner;
        ASSERT_EQ(CoCreateInstance(CLSID_LPTuner, nullptr, CLSCTX_INPROC_SERVER, IID_ILPTuner, tuner.put_void()), S_OK);
        Dl_info info{};
        ASSERT_NE(dladdr(*reinterpret_cast<void**>(tuner.get()), &info), 0);
        EXPECT_EQ(std::string(info.dli_fname), copy);
        // Its IDispatch answers from the type library registered under that path.
        LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Name"))};
        DISPID id = 0;
        EXPECT_EQ(tuner->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        EXPECT_EQ(id, 1);
    }
    CoUninitialize();
    FreeLibrary(module);
    std::remove(copy.c_str());
    rmdir(folder.c_str());
    rmdir(base);
}

}  // namespace
