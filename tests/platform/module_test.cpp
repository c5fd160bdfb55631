// The module that holds an address and its path, narrow and wide: how the
// component finds itself. Built both ways: natively against the layer, and
// under Wine against kernel32.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// An object of this program, by whose address it is found.
const char kAnchor = 0;

TEST(ModuleTest, TheModuleOfAnAddressAndItsPathNarrowAndWide) {
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   &kAnchor, &module));
    ASSERT_NE(module, nullptr);

    char narrow[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(module, narrow, MAX_PATH);
    ASSERT_GT(n, 0u);
    WCHAR wide[MAX_PATH] = {};
    const DWORD w = GetModuleFileNameW(module, wide, MAX_PATH);
    ASSERT_EQ(w, n);  // the build folder's path is ASCII
    for (DWORD i = 0; i < n; ++i) EXPECT_EQ(wide[i], static_cast<WCHAR>(static_cast<unsigned char>(narrow[i])));
    EXPECT_EQ(wide[w], 0);
    // The program itself is the module that holds its own objects.
    WCHAR program[MAX_PATH] = {};
    EXPECT_EQ(GetModuleFileNameW(nullptr, program, MAX_PATH), w);

    // Too small a buffer: truncated, the result is its size. (Whether the last
    // character is then the terminator differs between system versions.)
    WCHAR tiny[5] = {1, 1, 1, 1, 1};
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(module, tiny, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(tiny[0], wide[0]);
}

}  // namespace
