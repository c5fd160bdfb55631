// The shipped module as Windows loads it: its export and import tables, and what
// regsvr32 writes into the registry and takes out again.
#include "tests/windows/dll_support.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using dlltest::DllPath;
using dlltest::RegKeyExists;
using dlltest::RegString;
using dlltest::RegValueCount;

const std::string kClassKey = "CLSID\\" + dlltest::GuidText(CLSID_LPTuner);
const char kAddinKey[] = "Software\\Norvane\\Vexa\\Addins\\Tessary.LPTuner";

// The image of a loaded module, read through its PE headers.
struct Image {
    explicit Image(HMODULE m) : base(reinterpret_cast<const BYTE*>(m)) {}
    const IMAGE_DATA_DIRECTORY& Directory(int index) const {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        return nt->OptionalHeader.DataDirectory[index];
    }
    template <class T>
    const T* At(DWORD rva) const {
        return reinterpret_cast<const T*>(base + rva);
    }
    const BYTE* base;
};

std::vector<std::string> ExportNames(const Image& image) {
    const auto* dir = image.At<IMAGE_EXPORT_DIRECTORY>(image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
    const auto* names = image.At<DWORD>(dir->AddressOfNames);
    std::vector<std::string> out;
    for (DWORD i = 0; i < dir->NumberOfNames; ++i) out.push_back(image.At<char>(names[i]));
    return out;
}

std::set<std::string> ImportedModules(const Image& image) {
    std::set<std::string> out;
    const auto& dir = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto* d = image.At<IMAGE_IMPORT_DESCRIPTOR>(dir.VirtualAddress); d->Name; ++d) {
        std::string name = image.At<char>(d->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        out.insert(name);
    }
    return out;
}

TEST(DllImage, ExportsTheFourEntryPointsAndNeedsOnlySystemDlls) {
    HMODULE module = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(module, nullptr) << DllPath() << ": " << GetLastError();
    const Image image(module);
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                               "DllUnregisterServer"};
    EXPECT_EQ(ExportNames(image), expected);
    // The C and C++ runtimes are linked in: nothing to ship beside the DLL.
    const std::set<std::string> system = {"advapi32.dll", "kernel32.dll", "msvcrt.dll",
                                          "ole32.dll",    "oleaut32.dll", "user32.dll"};
    for (const std::string& m : ImportedModules(image)) EXPECT_TRUE(system.count(m)) << m;
    // A fresh module holds no object, so it may be unloaded.
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(module);
}

using Registration = dlltest::ComTest;

TEST_F(Registration, WritesTheScriptAndUnregistrationTakesItBack) {
    // What an earlier registration left below the class key goes (ForceRemove).
    HKEY stray = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (kClassKey + "\\Programmable\\Stale").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);

    ASSERT_EQ(dlltest::Regsvr32(""), 0u);
    const std::string clsid = dlltest::GuidText(CLSID_LPTuner);
    const std::string libid = dlltest::GuidText(LIBID_TessaryLib);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1"), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1\\CLSID"), clsid);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner"), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CLSID"), clsid);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, "Tessary.LPTuner\\CurVer"), "Tessary.LPTuner.1");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey), "LPTuner Class");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), "Tessary.LPTuner.1");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID"), "Tessary.LPTuner");
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stale"));
    EXPECT_EQ(_stricmp(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32").c_str(), DllPath().c_str()), 0)
        << RegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib"), libid);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddinKey, "FriendlyName"), "Tessary Wizard");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kAddinKey, "Description"), "Run the simulated Tessary Wizard");

    // The type library is registered under the module's plain path.
    BSTR path = nullptr;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TessaryLib, 1, 0, 0, &path), S_OK);
    EXPECT_EQ(_stricmp(dlltest::Narrow(path).c_str(), DllPath().c_str()), 0) << dlltest::Narrow(path);
    SysFreeString(path);

    // Registering again changes nothing.
    ASSERT_EQ(dlltest::Regsvr32(""), 0u);
    EXPECT_EQ(RegString(HKEY_CLASSES_ROOT, kClassKey + "\\ProgID"), "Tessary.LPTuner.1");

    // Unregistering removes the ProgIDs and the class, leaves the CLSID key and the
    // add-in key (without its values), and the type library.
    ASSERT_EQ(dlltest::Regsvr32("/u"), 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Tessary.LPTuner.1"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "Tessary.LPTuner"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ(RegValueCount(HKEY_LOCAL_MACHINE, kAddinKey), 0);
    ITypeLib* lib = nullptr;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TessaryLib, 1, 0, 0, &lib), TYPE_E_LIBNOTREGISTERED);
    CLSID clsidOut;
    EXPECT_NE(CLSIDFromProgID(OLESTR("Tessary.LPTuner"), &clsidOut), S_OK);
    // What is already gone counts as removed.
    EXPECT_EQ(dlltest::Regsvr32("/u"), 0u);
}

}  // namespace
