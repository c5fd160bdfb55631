// DllRegisterServer / DllUnregisterServer against the registry layer: the keys and
// values of the script, ForceRemove and NoRemove, and unregistering twice.
#include <gtest/gtest.h>

#include <olectl.h>

#include "component/module.h"
#include "host/call.h"
#include "lptuner_h.h"
#include "tests/component/com_test_support.h"

// Characters of a GUID in braces, with the terminator.
static constexpr int kGuidChars = 39;

namespace {

using comtest::RegKeyExists;
using comtest::RegString;

std::string Text(REFGUID g) {
    OLECHAR buf[kGuidChars];
    StringFromGUID2(g, buf, kGuidChars);
    return comtest::Narrow(host::Bstr::Attach(SysAllocString(buf)).get());
}

void SetValue(HKEY root, const std::string& path, const char* name, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// The module's path in the registry's narrow text (UTF-8, the layer's ANSI code page).
std::string ModulePathText() {
    const std::basic_string<OLECHAR> wide = lptuner::ModulePath();
    EXPECT_FALSE(wide.empty());
    return host::ToAnsiLossy(host::Bstr::Attach(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()))).get());
}

const char kAddin[] = "Software\\Norvane\\Vexa\\Addins\\Tessary.LPTuner";

TEST(RegistrationTest, RegistersTheScriptAndTheTypeLibrary) {
    comtest::ScopedRegistry registry;
    const std::string clsid = "CLSID\\" + Text(CLSID_LPTuner);
    // Left-overs under the class key go (ForceRemove); other classes stay.
    SetValue(HKEY_CLASSES_ROOT, clsid + "\\Stale", nullptr, "old");
    SetValue(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}", nullptr, "Other");

    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1"), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1\\CLSID"), Text(CLSID_LPTuner));
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner"), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CLSID"), Text(CLSID_LPTuner));
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CurVer"), "Tessary.LPTuner.1");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\ProgID"), "Tessary.LPTuner.1");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\VersionIndependentProgID"), "Tessary.LPTuner");
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, clsid + "\\Programmable"));
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32"), ModulePathText());
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\TypeLib"), Text(LIBID_TessaryLib));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, clsid + "\\Stale"));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddin, "FriendlyName"), "Tessary Wizard");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddin, "Description"), "Run the simulated Tessary Wizard");
    // The type library, registered under the module's own path.
    const std::string lib = "TypeLib\\" + Text(LIBID_TessaryLib) + "\\1.0";
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, lib), "Tessary 1.0 Type Library");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, lib + "\\0\\" + (sizeof(void*) == 8 ? "win64" : "win32")),
              ModulePathText());
    const std::string itf = "Interface\\" + Text(IID_ILPTuner);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, itf), "ILPTuner");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, itf + "\\TypeLib"), Text(LIBID_TessaryLib));

    // Registering again gives the same registry.
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
}

TEST(RegistrationTest, UnregisteringRemovesTheScriptKeepsNoRemoveKeysAndSucceedsTwice) {
    comtest::ScopedRegistry registry;
    ASSERT_EQ(DllRegisterServer(), S_OK);
    SetValue(HKEY_LOCAL_MACHINE, kAddin, "UserChoice", "kept");  // not the script's
    SetValue(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}", nullptr, "Other");
    const std::string clsid = "CLSID\\" + Text(CLSID_LPTuner);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(DllUnregisterServer(), S_OK);
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1"));
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Tessary.LPTuner"));
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, clsid));
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
        EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}"), "Other");
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + Text(LIBID_TessaryLib)));
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Interface\\" + Text(IID_ILPTuner)));
        // The add-in key and its parents stay; only the two values go.
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAddin));
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddin, "FriendlyName"), "<missing>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddin, "Description"), "<missing>");
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddin, "UserChoice"), "kept");
    }
}

}  // namespace
