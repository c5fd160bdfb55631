// Shows the wizard's two dialogs, as the DLL has them, filled from a small project
// of the stand-in host, and holds each still while scripts/screenshots takes its
// picture: for dialog N it writes <folder>/ready-N holding the dialog's place on
// the screen ("WxH+X+Y"), and goes on once <folder>/taken-N exists.
//   dialog_shots.exe <folder>
#include <windows.h>
#include <objbase.h>
#include <initguid.h>  // defines the identifiers of lptuner_h.h here

#include <cstdio>
#include <string>

#include "host/com_ptr.h"
#include "host/vexa.h"
#include "lptuner_h.h"
#include "platform/automation/dialog_script.h"
#include "ui/resource.h"
#include "vexasim/host.h"

namespace {

std::string folder;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Keeps the dialogs painting until the picture is taken (or a minute has passed).
void HoldForPicture(HWND dialog, int id) {
    RECT r;
    GetWindowRect(dialog, &r);
    const std::string ready = folder + "\\ready-" + std::to_string(id);
    if (FILE* f = std::fopen((ready + ".tmp").c_str(), "w")) {
        std::fprintf(f, "%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        std::fclose(f);
        MoveFileA((ready + ".tmp").c_str(), ready.c_str());
    }
    const std::string taken = folder + "\\taken-" + std::to_string(id);
    for (int waited = 0; !Exists(taken) && waited < 60000; waited += 20) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
}

vexasim::ParameterData Param(const char* name, double value) { return vexasim::ParameterData(name, value); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_shots <folder>\n");
        return 2;
    }
    folder = argv[1];
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;

    vexasim::Host host;
    vexasim::ProjectBuilder(host)
        .Schematic("PA")
        .Element("PA1", {Param("Vdd", 28)})
        .Element("LTUNER1", {Param("Mag", 0), Param("Ang", 0)})
        .Schematic("Driver")
        .Element("HBTUNER1", {Param("Mag1", 0), Param("Ang1", 0), Param("Mag2", 0), Param("Ang2", 0),
                              Param("Mag3", 0), Param("Ang3", 0)})
        .Graph("Output Power", 3)
        .Measurement("PA", "Pout", 1, 13)
        .Measurement("PA", "PAE", 1)
        .Measurement("PA", "Gain", 1)
        .Graph("Loads", 2)
        .Measurement("Data", "LPGPM_loads", 2)
        .Points({{0.5, 0.1}, {0.3, -0.2}, {0.1, 0.4}})
        .Units(13, "dBm");
    HWND mainWindow = CreateWindowExA(0, "STATIC", "Vexa", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                      nullptr, nullptr);
    host.SetMainWindowHandle(static_cast<LONG>(reinterpret_cast<INT_PTR>(mainWindow)));

    // The DLL beside this program, used without registration.
    HMODULE dll = LoadLibraryA("LPTuner.dll");
    auto getClass = dll ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
                              reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllGetClassObject")))
                        : nullptr;
    host::ComPtr<IClassFactory> factory;
    host::ComPtr<IVexaWizard> wizard;
    if (!getClass || FAILED(getClass(CLSID_LPTuner, IID_IClassFactory, factory.put_void())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IVexaWizard, wizard.put_void()))) {
        std::fprintf(stderr, "dialog_shots: cannot create the wizard from LPTuner.dll\n");
        return 1;
    }

    platform::ScriptedInputSource user;
    user.Click(IDC_ADD)
        .Select(IDC_VALID_LIST, 0)
        .Type(IDC_FILE_NAME, "pout_lp")
        .Click(IDOK)
        .Click(IDC_ADD)
        .Select(IDC_VALID_LIST, 1)
        .Type(IDC_FILE_NAME, "gain_lp")
        .Inspect([](HWND d) { HoldForPicture(d, IDD_ADD_MEASUREMENT); })
        .Click(IDOK)
        .Click(IDC_MEDIUM)
        .Inspect([](HWND d) { HoldForPicture(d, IDD_LPTUNER_DIALOG); })
        .Click(IDCANCEL);
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    HRESULT hr;
    {
        platform::ScopedInputSource scope(user);
        host::ComPtr<IDispatch> app = host.ApplicationDispatch();
        hr = wizard->Run(app.get(), &cancelled);
    }
    wizard.reset();
    factory.reset();
    DestroyWindow(mainWindow);
    CoUninitialize();
    return SUCCEEDED(hr) && user.Pending() == 0 ? 0 : 1;
}
