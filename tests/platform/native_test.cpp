// Behaviour of the native layer only: the input sources behind MessageBoxA,
// shared objects as modules, and cases this layer refuses that Windows accepts.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>
#include <thread>

#include "platform/automation/input_source.h"

TEST(NativeMessageBox, GoesToTheThreadsInputSource) {
    platform::RecordingInputSource recorder;
    recorder.answers.push_back(IDNO);
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    {
        platform::ScopedInputSource scope(recorder);
        EXPECT_EQ(IDNO, MessageBoxA(owner, "Save changes?", "Tessary", MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(IDYES, MessageBoxA(nullptr, "Again?", "Tessary", MB_YESNO));  // queue empty: first button
        EXPECT_EQ(IDOK, MessageBoxA(nullptr, nullptr, nullptr, MB_OK));
        // Another thread has its own (default) source: nothing recorded from it.
        std::thread([] { EXPECT_EQ(IDYES, MessageBoxA(nullptr, "elsewhere", "Other", MB_YESNO)); }).join();
    }
    EXPECT_NE(&recorder, &platform::CurrentInputSource());

    ASSERT_EQ(3u, recorder.boxes.size());
    EXPECT_EQ(owner, recorder.boxes[0].owner);
    EXPECT_EQ("Tessary", recorder.boxes[0].caption);
    EXPECT_EQ("Save changes?", recorder.boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), recorder.boxes[0].flags);
    EXPECT_EQ("Error", recorder.boxes[2].caption);  // a null caption, as Windows shows it
    EXPECT_EQ("", recorder.boxes[2].text);
}

TEST(NativeModules, SharedObjectsLoadAndNameThemselves) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_NE(std::string::npos, std::string(path, n).find("test_platform"));
    char tiny[4];  // too small: truncated, terminated, reported
    EXPECT_EQ(4u, GetModuleFileNameA(nullptr, tiny, sizeof tiny));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('\0', tiny[3]);

    HMODULE libm = LoadLibraryA("libm.so.6");
    ASSERT_NE(nullptr, libm);
    // Through void (*)(), the type GCC accepts any function pointer cast from.
    auto cosine = reinterpret_cast<double (*)(double)>(reinterpret_cast<void (*)()>(GetProcAddress(libm, "cos")));
    ASSERT_NE(nullptr, cosine);
    EXPECT_EQ(1.0, cosine(0.0));
    EXPECT_EQ(nullptr, GetProcAddress(libm, "no_such_function_here"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    ASSERT_GT(GetModuleFileNameA(libm, path, MAX_PATH), 0u);
    EXPECT_NE(std::string::npos, std::string(path).find("libm"));
    EXPECT_TRUE(FreeLibrary(libm));
    EXPECT_EQ(nullptr, LoadLibraryA("/nonexistent/library.so"));
}

TEST(NativeRefusals, UnsupportedCasesAreRefused) {
    IStream* stream = reinterpret_cast<IStream*>(1);
    int memory = 0;
    EXPECT_EQ(E_NOTIMPL, CreateStreamOnHGlobal(&memory, TRUE, &stream));
    EXPECT_EQ(nullptr, stream);
    EXPECT_EQ(E_NOTIMPL, CreateStreamOnHGlobal(nullptr, FALSE, &stream));
    CLSID clsid;
    EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(OLESTR("Some.ProgID.1"), &clsid));
    WCHAR wide[4];
    EXPECT_EQ(0, MultiByteToWideChar(1252, 0, "abc", 3, wide, 4));
}

#endif  // _WIN32
