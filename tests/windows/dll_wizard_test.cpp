// The whole wizard as the host runs it: the real DLL activated by its ProgID, its
// dialogs loaded from the DLL's own resources and driven through the real user32
// by a scripted user, its message boxes owned by a real host window, and the
// stand-in host's object model (compiled into this program) as the project.
#include "tests/windows/dll_support.h"

#include <cmath>
#include <complex>
#include <sstream>
#include <string>
#include <vector>

#include "host/com_ptr.h"
#include "host/vexa.h"
#include "platform/automation/dialog_script.h"
#include "tests/component/wizard_project.h"
#include "ui/resource.h"
#include "vexasim/host.h"

namespace {

using wizardtest::Gamma;
using wizardtest::TunerGamma;

std::string ListEntry(HWND dialog, int id, int index) {
    const LRESULT n = SendDlgItemMessageA(dialog, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n < 0) return "<none>";
    std::string text(static_cast<size_t>(n) + 1, '\0');
    SendDlgItemMessageA(dialog, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

class DllWizardTest : public dlltest::RegisteredTest {
protected:
    void SetUp() override {
        RegisteredTest::SetUp();
        wizardtest::BuildProject(host);
        // The host's main window is a real one: user32 shows no box owned by anything else.
        mainWindow = CreateWindowExA(0, "STATIC", "Vexa", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                     nullptr, nullptr);
        ASSERT_NE(mainWindow, nullptr);
        host.SetMainWindowHandle(static_cast<LONG>(reinterpret_cast<INT_PTR>(mainWindow)));
        CLSID clsid = GUID_NULL;
        ASSERT_EQ(CLSIDFromProgID(OLESTR("Tessary.LPTuner"), &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVexaWizard, wizard.put_void()), S_OK);
    }
    void TearDown() override {
        wizard.reset();
        EXPECT_EQ(host.ExternalReferences(), 0);
        if (mainWindow) DestroyWindow(mainWindow);
        RegisteredTest::TearDown();
    }

    HRESULT Run(VARIANT_BOOL& flag) {
        platform::ScopedInputSource scope(user);
        host::ComPtr<IDispatch> app = host.ApplicationDispatch();
        return wizard->Run(app.get(), &flag);
    }

    const vexasim::DataFileData* DataFile(const std::string& name) {
        for (const auto& f : host.project().dataFiles)
            if (f.name == name) return &f;
        return nullptr;
    }

    // The settings stream as the host would store it.
    std::vector<unsigned char> Saved() {
        host::ComPtr<IPersistStream> persist;
        EXPECT_EQ(wizard.query(IID_IPersistStream, persist), S_OK);
        host::ComPtr<IStream> stream;
        EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        EXPECT_EQ(persist->Save(stream.get(), FALSE), S_OK);
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        std::vector<unsigned char> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG got = 0;
        stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
        return bytes;
    }

    vexasim::Host host;
    platform::ScriptedInputSource user;
    host::ComPtr<IVexaWizard> wizard;
    HWND mainWindow = nullptr;
};

// UTF-16LE of an ASCII text, as the settings stream holds names.
std::string Wide(const std::string& s) {
    std::string out;
    for (char c : s) out += std::string{c, '\0'};
    return out;
}

TEST_F(DllWizardTest, SimulateThroughTheDllsDialogsWritesTheContourData) {
    user.Click(IDC_MEDIUM)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "flat_lp").Click(IDOK)
        .Inspect([](HWND d) {
            char caption[64] = {};
            GetWindowTextA(d, caption, sizeof caption);
            EXPECT_STREQ(caption, "Vexa Tessary Wizard");
            EXPECT_EQ(SendDlgItemMessageA(d, IDC_MEASUREMENT_LIST, LB_GETCOUNT, 0, 0), 2);
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_MEDIUM), static_cast<UINT>(BST_CHECKED));
        })
        .Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_TRUE(user.refused.empty());

    // One real message box, owned by the host's window.
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].caption, "Warning!");
    EXPECT_EQ(user.boxes[0].text.compare(0, 40, "For at least one measurement, the calcul"), 0) << user.boxes[0].text;
    EXPECT_EQ(user.boxes[0].owner, mainWindow);
    EXPECT_EQ(user.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));

    // 41 rows of 41 values; the highest inside the chart lies at the paraboloid's top.
    const vexasim::DataFileData* gain = DataFile("gain_lp");
    ASSERT_NE(gain, nullptr);
    ASSERT_NE(DataFile("flat_lp"), nullptr);
    std::istringstream lines(gain->text);
    std::string line;
    int rows = 0;
    double best = -1e9;
    Gamma at;
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        double v;
        int columns = 0;
        for (; cells >> v; ++columns) {
            const Gamma g(-1.0 + 0.05 * columns, -1.0 + 0.05 * rows);
            if (std::abs(g) <= 0.95 && v > best) best = v, at = g;
        }
        EXPECT_EQ(columns, 41);
        ++rows;
    }
    EXPECT_EQ(rows, 41);
    EXPECT_LE(std::abs(at - Gamma(0.4, 0.2)), 0.05 + 1e-9);
    bool contours = false;
    for (const auto& g : host.project().graphs) {
        EXPECT_NE(g.name, "Load Pull Points");
        if (g.name == "Load Pull Data Contour Graph") contours = g.measurements.size() == 2;
    }
    EXPECT_TRUE(contours);
    EXPECT_NEAR(std::abs(TunerGamma(host.project()) - std::polar(0.1, 0.3)), 0.0, 1e-12);

    // The kept settings name the schematic, the tuner and both pairs.
    const std::vector<unsigned char> saved = Saved();
    const std::string text(saved.begin(), saved.end());
    for (const char* name : {"Amp", "LTUNER1", "Amp:Gain", "gain_lp", "Amp:Flat", "flat_lp"})
        EXPECT_NE(text.find(Wide(name)), std::string::npos) << name;
}

// A second run opens the dialog on the kept choices; the close box then cancels it.
TEST_F(DllWizardTest, ASecondRunStartsFromTheKeptChoicesAndTheCloseBoxCancels) {
    user.Click(IDC_FINE).Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK).Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    ASSERT_EQ(flag, VARIANT_FALSE);
    const std::string first = DataFile("gain_lp")->text;

    user.Inspect([](HWND d) {
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_FINE), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_MEDIUM), static_cast<UINT>(BST_UNCHECKED));
            ASSERT_EQ(SendDlgItemMessageA(d, IDC_MEASUREMENT_LIST, LB_GETCOUNT, 0, 0), 1);
            EXPECT_NE(ListEntry(d, IDC_MEASUREMENT_LIST, 0).find("gain_lp"), std::string::npos);
        })
        .Close();
    flag = VARIANT_FALSE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(DataFile("gain_lp")->text, first);
    for (const auto& g : host.project().graphs) EXPECT_NE(g.name, "Load Pull Points");
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_TRUE(user.boxes.empty());
}

}  // namespace
