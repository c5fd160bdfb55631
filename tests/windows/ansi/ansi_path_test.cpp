// The DLL in a folder whose name has a character outside the ANSI code page.
// This program runs with the system's legacy ANSI code page (1252: no UTF-8
// manifest, and Wine is started in the C locale), as a user's machine
// would: registration must write the module's own path, wide, into
// InprocServer32 and the type library's entry, and activation by that path
// must load this very copy.
#include "tests/windows/dll_support.h"

#include <string>
#include <vector>

namespace {

// "Ω" (U+03A9) has no place in code page 1252.
const std::wstring kFolderName = L"wizard-\u03A9";

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, n);
}

std::wstring RegStringW(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return L"<missing>";
    std::vector<wchar_t> data(4096, L'\0');
    DWORD size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t)), type = 0;
    const LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return L"<missing>";
    return std::wstring(data.data());
}

std::wstring GuidTextW(REFGUID g) {
    wchar_t text[39];
    StringFromGUID2(g, text, 39);
    return text;
}

using AnsiCodePage = dlltest::ComTest;

TEST_F(AnsiCodePage, RegistersAndActivatesFromAFolderOutsideIt) {
    ASSERT_EQ(GetACP(), 1252u) << "the test needs the legacy ANSI code page 1252";
    // The folder's name cannot be said in the ANSI code page (a best fit would
    // name another folder).
    BOOL lossy = FALSE;
    char narrow[64];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kFolderName.c_str(), -1, narrow, sizeof narrow, nullptr, &lossy);
    ASSERT_TRUE(lossy);

    const std::wstring folder = TempFolder() + kFolderName;
    const std::wstring copy = folder + L"\\LPTuner.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(dlltest::DllPathW().c_str(), copy.c_str(), FALSE)) << GetLastError();

    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
    auto unregisterServer =
        reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);

    // The registry holds the path as the loader has it.
    const std::wstring classKey = L"CLSID\\" + GuidTextW(CLSID_LPTuner);
    EXPECT_EQ(RegStringW(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32"), copy);
    const std::wstring libKey = L"TypeLib\\" + GuidTextW(LIBID_TessaryLib) + L"\\1.0\\0\\win64";
    EXPECT_EQ(RegStringW(HKEY_CLASSES_ROOT, libKey), copy);

    // Activation through the registry loads that copy; its type library loads.
    {
        IUnknown* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_LPTuner, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        HMODULE loaded = nullptr;
        ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                       reinterpret_cast<LPCWSTR>(*reinterpret_cast<void**>(object)), &loaded));
        EXPECT_EQ(loaded, module);
        object->Release();
        ITypeLib* lib = nullptr;
        EXPECT_EQ(LoadRegTypeLib(LIBID_TessaryLib, 1, 0, 0, &lib), S_OK);
        if (lib) lib->Release();
    }

    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(RegStringW(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32"), L"<missing>");
    CoFreeUnusedLibraries();
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
