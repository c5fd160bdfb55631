// A run of the wizard's dialogs against the stand-in host with a scripted user: the
// project is built in code, the LPSetup initialised as Run does, and every test ends
// by proving that the LPSetup released every host object it took.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host/call.h"
#include "platform/automation/dialog_script.h"
#include "project/lpsetup.h"
#include "ui/main_dialog.h"
#include "ui/resource.h"
#include "vexasim/host.h"

namespace uitest {

inline std::vector<vexasim::ParameterData> HBParameters() {
    return {{0, "Mag1", 0.0}, {0, "Ang1", 0.0}, {0, "Mag2", 0.0},
            {0, "Ang2", 0.0}, {0, "Mag3", 0.0}, {0, "Ang3", 0.0}};
}
inline std::vector<vexasim::ParameterData> LParameters() { return {{0, "Mag", 0.0}, {0, "Ang", 0.0}}; }

class DialogTest : public ::testing::Test {
protected:
    void TearDown() override {
        setup.reset();
        EXPECT_EQ(host.ExternalReferences(), 0);
        EXPECT_EQ(user.Pending(), 0u) << "the dialog ended before the script did";
    }

    // Two schematics with tuners, three real measurements and one complex, a
    // measured-data and a tab-data-file gamma measurement on a Smith chart.
    void BuildStandardProject() {
        vexasim::ProjectBuilder(host)
            .Schematic("Amp")
            .Element("HBTUNER1", HBParameters())
            .Element("LTUNER2", LParameters())
            .Schematic("Driver")
            .Element("LTUNER1", LParameters())
            .Graph("Out", 3)
            .Measurement("Amp", "Pout", 1, 13)
            .Measurement("Amp", "Gain", 1)
            .Measurement("Amp", "PAE", 1)
            .Measurement("Amp", "S11", 2)
            .Graph("Smith", 2)
            .Measurement("Data", "LPGPM_loads", 2)
            .Points({{0.5, 0.5}, {-0.3, 0.0}, {0.0, -0.2}, {0.1, 0.1}})
            .Measurement("Data", "LPGPT_file", 2)
            .Points({{0.2, 0.1}, {0.1, 0.2}, {-0.1, 0.3}, {0.3, -0.3}, {0.0, 0.0}});
    }

    // The two phases of project initialisation, as Run does them.
    void Initialize() {
        setup = std::make_unique<LPSetup>();
        setup->SetApplication(host.Application());
        ASSERT_EQ(setup->InitializeProject(), 0);
        ASSERT_EQ(setup->FinishProjectSetup(), 0);
    }

    INT_PTR ShowMainDialog() {
        CLPTunerDlg dialog(*setup);
        return dialog.DoModal(GetActiveWindow());
    }

    bool HasGraph(const std::string& name) {
        for (const auto& g : host.project().graphs)
            if (g.name == name) return true;
        return false;
    }

    // The points of the "Tuner Impedances" measurement on the points graph (-1 without one).
    long ShownPointCount() {
        for (const auto& g : host.project().graphs)
            if (g.name == "Load Pull Points")
                for (const auto& m : g.measurements)
                    if (m.source == "Tuner Impedances") return static_cast<long>(m.points.size());
        return -1;
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& b : user.boxes) texts.push_back(b.text);
        return texts;
    }

    std::vector<std::string> SelectedNames() const {
        std::vector<std::string> names;
        for (const auto& n : setup->selectedMeasurementNames) names.push_back(host::ToAnsiLossy(n.get()));
        return names;
    }
    std::vector<std::string> SelectedFiles() const {
        std::vector<std::string> names;
        for (const auto& n : setup->selectedMeasurementFileNames) names.push_back(host::ToAnsiLossy(n.get()));
        return names;
    }

    static std::vector<std::string> ListEntries(HWND dialog, int id) {
        std::vector<std::string> entries;
        const LRESULT n = SendDlgItemMessageA(dialog, id, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            std::string s(static_cast<size_t>(SendDlgItemMessageA(dialog, id, LB_GETTEXTLEN, i, 0)) + 1, '\0');
            SendDlgItemMessageA(dialog, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
            s.resize(s.size() - 1);
            entries.push_back(s);
        }
        return entries;
    }
    static std::vector<std::string> ComboEntries(HWND dialog, int id) {
        std::vector<std::string> entries;
        const LRESULT n = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            std::string s(static_cast<size_t>(SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
            SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
            s.resize(s.size() - 1);
            entries.push_back(s);
        }
        return entries;
    }
    static std::string Text(HWND dialog, int id) {
        char text[256] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }
    static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    // The ids among `ids` that are checked.
    static std::vector<int> CheckedOf(HWND dialog, std::vector<int> ids) {
        std::vector<int> on;
        for (int id : ids)
            if (Checked(dialog, id)) on.push_back(id);
        return on;
    }
    static std::vector<int> GammaChecks(HWND dialog) {
        return CheckedOf(dialog, {1036, 1046, 1048, 1050, 1052, 1054, 1058});
    }

    vexasim::Host host;
    platform::ScriptedInputSource user;
    platform::ScopedInputSource scope{user};
    std::unique_ptr<LPSetup> setup;
};

}  // namespace uitest
