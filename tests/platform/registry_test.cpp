// The registry: keys and values as the Reg* functions document them, the file
// they live in, and two processes changing it at once.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

#include "tests/platform/registry_scope.h"

namespace {

struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h) RegCloseKey(h);
    }
};

LONG Create(HKEY root, const char* path, Key& key, DWORD* disposition = nullptr) {
    return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.h,
                           disposition);
}

LONG SetBytes(HKEY key, const char* name, DWORD type, const std::string& data) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

std::string Query(HKEY key, const char* name, DWORD* type = nullptr) {
    char buf[512];
    DWORD size = sizeof buf;
    if (RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
        return "<missing>";
    return std::string(buf, size);
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(RegistryTest, KeysAndValuesReadBackExactly) {
    RegistryScope scope;
    Key key;
    DWORD disposition = 0;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Test\\Deep", key, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    Key again;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "software\\TEST\\deep\\", again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    const std::string text("Line \"one\"\\\nTab\t\xc3\xa9\0", 20);
    const std::string binary("\0\x01\xff\n[x]=\"", 10);
    const std::string dword("\x2a\0\0\x80", 4);
    const std::string odd("no terminator");
    ASSERT_EQ(SetBytes(key.h, nullptr, REG_SZ, text), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.h, "Bin", REG_BINARY, binary), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.h, "Count", REG_DWORD, dword), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.h, "Odd", REG_SZ, odd), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.h, "Empty", REG_BINARY, ""), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key.h, "Multi", 7, std::string("a\0b\0\0", 5)), ERROR_SUCCESS);

    DWORD type = 0;
    EXPECT_EQ(Query(again.h, "", &type), text);  // "" and null both name the default value
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Query(again.h, "bin", &type), binary);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Query(again.h, "COUNT", &type), dword);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Query(again.h, "Odd"), odd);
    EXPECT_EQ(Query(again.h, "Empty"), "");
    EXPECT_EQ(Query(again.h, "Multi", &type), std::string("a\0b\0\0", 5));
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(Query(again.h, "Nope"), "<missing>");

    // The size protocol: no buffer gives the size, a short one ERROR_MORE_DATA.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key.h, "Bin", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, binary.size());
    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key.h, "Bin", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, binary.size());
    EXPECT_EQ(RegQueryValueExA(key.h, "Bin", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
              ERROR_INVALID_PARAMETER);

    // A key with no default value has none.
    Key parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &parent.h), ERROR_SUCCESS);
    EXPECT_EQ(Query(parent.h, nullptr), "<missing>");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &parent.h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(parent.h, nullptr);

    // Everything was in the file, in its text form.
    const std::string file = FileText(scope.path());
    EXPECT_EQ(file.rfind("LPTUNER REGISTRY 1\n", 0), 0u);
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Test\\Deep]"), std::string::npos);
    EXPECT_NE(file.find("\"Count\"=dword:8000002a"), std::string::npos);
}

// Wide text is kept as the narrow functions read it back: the name and string
// data converted to UTF-8 (the layer's ANSI code page), the terminator kept;
// other data as given.
TEST(RegistryTest, WideValuesReadBackAsNarrowText) {
    RegistryScope scope;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Software\\Wide", key), ERROR_SUCCESS);
    const std::u16string path = u"C:\\wizard-\u03A9\\LPTuner.dll";
    const DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(char16_t));
    ASSERT_EQ(RegSetValueExW(key.h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), bytes),
              ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Query(key.h, nullptr, &type), std::string("C:\\wizard-\xCE\xA9\\LPTuner.dll", 25));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(RegSetValueExW(key.h, u"Gr\u00FC\u00DFe", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(u"%X%"), 8),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key.h, "Gr\xC3\xBC\xC3\x9F" "e", &type), std::string("%X%\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    const BYTE raw[] = {1, 0, 0xFF};
    ASSERT_EQ(RegSetValueExW(key.h, u"Raw", 0, REG_BINARY, raw, sizeof raw), ERROR_SUCCESS);
    EXPECT_EQ(Query(key.h, "Raw"), std::string("\x01\0\xFF", 3));
    EXPECT_EQ(RegSetValueExW(key.h, u"Bad", 1, REG_SZ, raw, 2), ERROR_INVALID_PARAMETER);
}

TEST(RegistryTest, ClassesRootIsTheMachinesSoftwareClasses) {
    RegistryScope scope;
    Key cls;
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Some.ProgID", cls), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(cls.h, nullptr, REG_SZ, std::string("X\0", 2)), ERROR_SUCCESS);
    Key machine;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Some.ProgID", 0, KEY_READ, &machine.h),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(machine.h, nullptr), std::string("X\0", 2));
    Key user;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\Some.ProgID", 0, KEY_READ, &user.h),
              ERROR_FILE_NOT_FOUND);
}

TEST(RegistryTest, DeletingValuesAndTrees) {
    RegistryScope scope;
    Key a, b, c;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\A", a), ERROR_SUCCESS);
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C", c), ERROR_SUCCESS);
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, "Software\\A\\Other", b), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(a.h, "V", REG_SZ, std::string("1\0", 2)), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(c.h, "W", REG_SZ, std::string("2\0", 2)), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteValueA(a.h, "v"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(a.h, "v"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteTreeA(a.h, "B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(a.h, "B"), ERROR_FILE_NOT_FOUND);
    // A handle to a deleted key answers ERROR_KEY_DELETED.
    EXPECT_EQ(SetBytes(c.h, "W", REG_SZ, std::string("3\0", 2)), ERROR_KEY_DELETED);
    EXPECT_EQ(Query(c.h, "W"), "<missing>");
    Key other;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\Other", 0, KEY_READ, &other.h), ERROR_SUCCESS);

    // Without a subkey: everything below the key goes, the key stays.
    ASSERT_EQ(SetBytes(a.h, "V", REG_SZ, std::string("1\0", 2)), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(a.h, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Query(a.h, "V"), "<missing>");
    char name[64];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(a.h, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, nullptr), ERROR_ACCESS_DENIED);
}

TEST(RegistryTest, EnumeratesSubkeysByName) {
    RegistryScope scope;
    Key root;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "E", root), ERROR_SUCCESS);
    for (const char* n : {"beta", "Alpha", "gamma_long_name"}) {
        Key k;
        ASSERT_EQ(RegCreateKeyExA(root.h, n, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr), ERROR_SUCCESS);
    }
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[64];
        DWORD size = sizeof name;
        const LONG status = RegEnumKeyExA(root.h, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(size, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma_long_name"}));
    char shortName[5];
    DWORD size = sizeof shortName;
    EXPECT_EQ(RegEnumKeyExA(root.h, 2, shortName, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
}

TEST(RegistryTest, RefusesWhatItDoesNotSupport) {
    RegistryScope scope;
    Key k;
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "\\Leading", k), ERROR_BAD_PATHNAME);
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "A\\\\B", k), ERROR_BAD_PATHNAME);
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "Line\nBreak", k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "V", 0, nullptr, 1 /* volatile */, KEY_ALL_ACCESS, nullptr, &k.h,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 8 /* link */, KEY_READ, &k.h), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x5555)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetBytes(reinterpret_cast<HKEY>(0x5555), "x", REG_SZ, "y"), ERROR_INVALID_HANDLE);

    // A key opened for reading cannot be written through.
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "ReadOnly", k), ERROR_SUCCESS);
    Key reader;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "ReadOnly", 0, KEY_READ, &reader.h), ERROR_SUCCESS);
    EXPECT_EQ(SetBytes(reader.h, "x", REG_SZ, "y"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader.h, "x"), ERROR_ACCESS_DENIED);

    // A file that is not a registry is reported, and left as it was.
    { std::ofstream(scope.path(), std::ios::trunc) << "not a registry\n"; }
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "More", k), ERROR_BADDB);
    EXPECT_EQ(Query(reader.h, "x"), "<missing>");
    EXPECT_EQ(FileText(scope.path()), "not a registry\n");
}

// Two processes adding values at once lose none of them, and no temporary file
// is left beside the registry.
TEST(RegistryTest, ConcurrentWritersFromTwoProcessesLoseNothing) {
    RegistryScope scope;
    const int kEach = 60;
    auto writer = [&](const char* prefix) {
        Key key;
        if (Create(HKEY_CURRENT_USER, "Shared", key) != ERROR_SUCCESS) return false;
        for (int i = 0; i < kEach; ++i) {
            const std::string name = prefix + std::to_string(i);
            if (SetBytes(key.h, name.c_str(), REG_SZ, name + '\0') != ERROR_SUCCESS) return false;
        }
        return true;
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(writer("child") ? 0 : 1);
    EXPECT_TRUE(writer("parent"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Shared", 0, KEY_READ, &key.h), ERROR_SUCCESS);
    for (const char* prefix : {"child", "parent"})
        for (int i = 0; i < kEach; ++i) {
            const std::string name = prefix + std::to_string(i);
            EXPECT_EQ(Query(key.h, name.c_str()), name + '\0');
        }

    const std::string folder = "/tmp", base = scope.path().substr(5);
    DIR* dir = opendir(folder.c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir)) EXPECT_NE(std::string(e->d_name).rfind(base + ".tmp", 0), 0u) << e->d_name;
    closedir(dir);
}

}  // namespace
