// Helpers of the tests of the real LPTuner.dll under Windows (Wine): where the DLL
// is, registering it with regsvr32, reading the registry, and a fixture that
// initialises COM on the test's thread.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "lptuner_h.h"

namespace dlltest {

// The DLL under test: the copy next to the test program, as a full path.
std::string DllPath();
std::wstring DllPathW();

// regsvr32 /s with extra arguments ("/u" to unregister); its exit code.
DWORD Regsvr32(const std::string& arguments);

// A string value of the registry, "<missing>" when the key or value is absent.
std::string RegString(HKEY root, const std::string& path, const char* name = nullptr);
bool RegKeyExists(HKEY root, const std::string& path);
// The number of values of a key (-1 when it does not exist).
int RegValueCount(HKEY root, const std::string& path);

// The braced text of a GUID.
std::string GuidText(REFGUID guid);

// A BSTR as ANSI text, "<null>" for a null one.
std::string Narrow(BSTR s);

// COM on the test's thread, in a single-threaded apartment, for the whole test.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

// Registered for the length of each test; unregistered afterwards.
class RegisteredTest : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        ASSERT_EQ(Regsvr32(""), 0u);
    }
    void TearDown() override {
        EXPECT_EQ(Regsvr32("/u"), 0u);
        ComTest::TearDown();
    }
};

}  // namespace dlltest
