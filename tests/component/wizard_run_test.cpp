// The whole wizard against the stand-in host with a scripted user: Run opens the
// real dialogs, the user adds two measurements and presses Simulate, the sweep
// writes the contour data, and every host reference is released.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>
#include <string>

#include "component/lptuner_wizard.h"
#include "platform/automation/dialog_script.h"
#include "ui/resource.h"
#include "tests/component/host_window.h"
#include "tests/component/wizard_project.h"
#include "vexasim/host.h"

namespace {

using wizardtest::Gamma;
using wizardtest::TunerGamma;

class WizardRun : public ::testing::Test {
protected:
    void SetUp() override {
        wizardtest::BuildProject(host);
        ASSERT_NE(mainWindow.get(), nullptr);
        host.SetMainWindowHandle(mainWindow.handle());
        wizard = new CLPTunerWizard();
    }
    void TearDown() override {
        wizard->Release();
        EXPECT_EQ(host.ExternalReferences(), 0);
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

    comtest::HostWindow mainWindow;
    vexasim::Host host;
    platform::ScriptedInputSource user;
    CLPTunerWizard* wizard = nullptr;
};

TEST_F(WizardRun, SimulateWritesContoursAndWarnsAboutTheConstantMeasurement) {
    user.Click(IDC_MEDIUM)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "flat_lp").Click(IDOK)
        .Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(user.Pending(), 0u);
    EXPECT_TRUE(user.refused.empty());

    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].caption, "Warning!");
    EXPECT_EQ(user.boxes[0].text,
              "For at least one measurement, the calculated values at each data point are the same.\n"
              "          Therefore, contours for that measurement may not appear on the graph.");
    EXPECT_EQ(user.boxes[0].owner, mainWindow.get());

    const vexasim::DataFileData* gain = DataFile("gain_lp");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->fileName, "QuindleIsAHack0.txt");
    ASSERT_NE(DataFile("flat_lp"), nullptr);
    std::istringstream lines(gain->text);
    std::string line;
    int rows = 0;
    double best = -1e9;
    Gamma at;
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        double v;
        for (int q = 0; cells >> v; ++q) {
            Gamma g(-1.0 + 0.05 * q, -1.0 + 0.05 * rows);
            if (std::abs(g) <= 0.95 && v > best) best = v, at = g;
        }
        EXPECT_EQ(line.back(), ' ');
        ++rows;
    }
    EXPECT_EQ(rows, 41);
    EXPECT_LE(std::abs(at - Gamma(0.4, 0.2)), 0.05 + 1e-9);

    bool contourGraph = false, pointsGraph = false;
    for (const auto& g : host.project().graphs) {
        if (g.name == "Load Pull Points") pointsGraph = true;
        if (g.name != "Load Pull Data Contour Graph") continue;
        contourGraph = true;
        ASSERT_EQ(g.measurements.size(), 2u);
        EXPECT_EQ(g.measurements[0].source, "gain_lp");
        EXPECT_EQ(g.measurements[0].name.compare(0, 5, "LPCS["), 0);
        EXPECT_EQ(g.measurements[1].name, "LPCS[3,2,0.25]");
    }
    EXPECT_TRUE(contourGraph);
    EXPECT_FALSE(pointsGraph);
    // The tuner is back where it started.
    EXPECT_NEAR(std::abs(TunerGamma(host.project()) - std::polar(0.1, 0.3)), 0.0, 1e-12);

    // The kept settings name what was chosen, for the next run.
    ASSERT_EQ(wizard->settings.contourMeasurements.size(), 2u);
    EXPECT_EQ(wizard->settings.gammaSource, 1);
    // A run that changed the settings makes the object dirty: a host that saves
    // only dirty objects keeps the user's choices.
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(wizard->QueryInterface(IID_IPersistStream, persist.put_void()), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);

    // Every call the wizard made names a member a fault can be injected into.
    for (const std::string& call : host.Calls()) EXPECT_TRUE(vexasim::Host::IsMember(call)) << call;
}

// A sweep the simulator stops is not a constant measurement: the user is told how
// far it got, and the tuner is where it was before.
TEST_F(WizardRun, AStopIsReportedAsAStopWithThePointsSimulated) {
    user.Click(IDC_COARSE)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "flat_lp").Click(IDOK)
        .Inspect([&](HWND) { host.InjectStop("Simulator.Analyze", 10); })
        .Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].caption, "Warning!");
    EXPECT_EQ(user.boxes[0].text, "The simulation was stopped by the simulator after 9 of 61 points.");
    EXPECT_EQ(user.boxes[0].owner, mainWindow.get());
    EXPECT_EQ(user.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(TunerGamma(host.project()), std::polar(0.1, 0.3));
    EXPECT_EQ(DataFile("gain_lp"), nullptr);
}

// A measurement that cannot be fitted: the sweep names it, and Run reports the
// failed sweep; the other measurement is written.
TEST_F(WizardRun, AnUnfittableMeasurementIsNamedThenTheSweepFails) {
    int reads = 0;
    host.SetEvaluator([&](const vexasim::ProjectData& p, const vexasim::MeasurementData& m) {
        if (m.name == "Flat") return ++reads == 20 ? std::nan("") : 2.5;
        return wizardtest::Paraboloid(TunerGamma(p));
    });
    user.Click(IDC_COARSE)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "flat_lp").Click(IDOK)
        .Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(user.boxes[0].caption, "Tessary");
    EXPECT_NE(user.boxes[0].text.find("The values of Amp:Flat could not be fitted"), std::string::npos);
    EXPECT_EQ(user.boxes[1].caption, "Error!");
    EXPECT_EQ(user.boxes[1].text, "C++ COM ERROR - Problems simulating active schematic");
    EXPECT_NE(DataFile("gain_lp"), nullptr);
    EXPECT_EQ(DataFile("flat_lp"), nullptr);
}

TEST_F(WizardRun, CancelKeepsTheSettingsAndRemovesThePointsGraph) {
    user.Click(IDC_FINE).Click(IDCANCEL);
    VARIANT_BOOL flag = VARIANT_FALSE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(wizard->settings.gammaSource, -1);
    for (const auto& g : host.project().graphs) EXPECT_NE(g.name, "Load Pull Points");
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(WizardRun, ASecondRunStartsFromTheKeptSettingsAndSimulatesAgain) {
    user.Click(IDC_COARSE)
        .Click(IDC_ADD).Select(IDC_VALID_LIST, 0).Type(IDC_FILE_NAME, "gain_lp").Click(IDOK)
        .Click(IDOK);
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    const std::string first = DataFile("gain_lp")->text;
    int analyses = host.AnalyzeCount();
    // The host saves the changed settings, which clears the dirty flag.
    host::ComPtr<IPersistStream> persist;
    ASSERT_EQ(wizard->QueryInterface(IID_IPersistStream, persist.put_void()), S_OK);
    ASSERT_EQ(persist->IsDirty(), S_OK);
    host::ComPtr<IStream> saved;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, saved.put()), S_OK);
    ASSERT_EQ(persist->Save(saved.get(), TRUE), S_OK);

    // Nothing changed in the dialog: Simulate at once still sweeps all 61 points.
    host.project().dataFiles.clear();
    user.Click(IDOK);
    flag = VARIANT_TRUE;
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_GE(host.AnalyzeCount() - analyses, 61);
    ASSERT_NE(DataFile("gain_lp"), nullptr);
    EXPECT_EQ(DataFile("gain_lp")->text, first);
    EXPECT_TRUE(user.boxes.empty());
    // The same choices again: nothing for the host to save.
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // Another grid is a change.
    user.Click(IDC_FINE).Click(IDOK);
    ASSERT_EQ(Run(flag), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
}

}  // namespace
