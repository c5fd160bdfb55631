// The main wizard dialog driven by a scripted user against the stand-in host.
#include <cmath>
#include <string>
#include <vector>

#include "tests/ui/dialog_fixture.h"

namespace uitest {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;

const char* const kTooFewPoints =
    "The number of points must be greater than or equal to 3.\n           The settings do not meet this condition.";

TEST_F(DialogTest, SimulateChecksThatTheProjectHasATunerAndAMeasurement) {
    struct Case {
        bool tuner, measurement;
        INT_PTR result;
        const char* text;
    };
    const Case cases[] = {
        {false, true, 102,
         "The project must contain a schematic with a load pull tuner.  Please add a tuner schematic to the project."},
        {true, false, 102,
         "The project must contain a measurement that does not return a complex type.  Please add a non-complex "
         "measurement to the project."},
        {false, false, 102,
         "The project must contain a schematic with a load pull tuner and a measurement that does not return a "
         "complex type.  Please add these items to the project."},
        {true, true, IDOK, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.tuner) + std::to_string(c.measurement));
        vexasim::Host project;
        vexasim::ProjectBuilder build(project);
        build.Schematic("Plain").Element("R1");
        if (c.tuner) build.Schematic("Amp").Element("LTUNER1", LParameters());
        build.Graph("Out", 3);
        if (c.measurement) build.Measurement(c.tuner ? "Amp" : "Plain", "Pout");
        {
            LPSetup local;
            local.SetApplication(project.Application());
            ASSERT_EQ(local.InitializeProject(), 0);
            ASSERT_EQ(local.FinishProjectSetup(), 0);
            platform::ScriptedInputSource script;
            platform::ScopedInputSource scoped(script);
            HWND dialog = nullptr;
            script
                .Inspect([&](HWND d) {
                    dialog = d;
                    // No tuner schematic: empty lists, the fundamental only.
                    EXPECT_EQ(ComboEntries(d, 1018).size(), c.tuner ? 1u : 0u);
                    EXPECT_EQ(ComboEntries(d, 1020).size(), c.tuner ? 1u : 0u);
                    EXPECT_TRUE(Checked(d, 1030));
                    EXPECT_FALSE(Enabled(d, 1032));
                    EXPECT_FALSE(Enabled(d, 1034));
                    EXPECT_TRUE(Enabled(d, IDOK));
                    EXPECT_TRUE(Enabled(d, 1024) && Enabled(d, 1026) && Enabled(d, 1028));
                })
                .Click(IDOK);
            CLPTunerDlg dlg(local);
            EXPECT_EQ(dlg.DoModal(nullptr), c.result);
            bool pointsGraph = false;
            for (const auto& g : project.project().graphs) pointsGraph |= g.name == "Load Pull Points";
            if (c.text) {
                ASSERT_EQ(script.boxes.size(), 1u);
                EXPECT_EQ(script.boxes[0].text, c.text);
                EXPECT_EQ(script.boxes[0].caption, "Error!");
                EXPECT_EQ(script.boxes[0].owner, dialog);
                EXPECT_EQ(script.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
                EXPECT_FALSE(pointsGraph);
            } else {
                EXPECT_TRUE(script.boxes.empty());
                EXPECT_TRUE(pointsGraph);  // the sweep shows and removes it
            }
        }
        EXPECT_EQ(project.ExternalReferences(), 0);
    }
}

TEST_F(DialogTest, HarmonicButtonsFollowTheKindOfTuner) {
    BuildStandardProject();
    Initialize();
    setup->SetHarmonic(3);  // as kept from an earlier run
    user.Inspect([&](HWND d) {
            EXPECT_EQ(ComboEntries(d, 1018), (Strings{"Amp", "Driver"}));
            EXPECT_EQ(ComboEntries(d, 1020), (Strings{"HBTUNER1", "LTUNER2"}));
            EXPECT_EQ(SendDlgItemMessageA(d, 1020, CB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1034});
            EXPECT_TRUE(Enabled(d, 1032) && Enabled(d, 1034));
        })
        .Click(1032)
        .Inspect([&](HWND d) {
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1032});
            EXPECT_EQ(setup->harmonic, 2);
        })
        .Select(1020, 1)  // a single-pair tuner: the fundamental only
        .Inspect([&](HWND d) {
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1030});
            EXPECT_FALSE(Enabled(d, 1032));
            EXPECT_FALSE(Enabled(d, 1034));
            EXPECT_EQ(setup->harmonic, 1);
            EXPECT_EQ(setup->selectedTuner, 1);
        })
        .Click(1034)  // disabled: not delivered
        .Select(1020, 0)
        .Inspect([&](HWND d) {
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1030});
            EXPECT_TRUE(Enabled(d, 1032) && Enabled(d, 1034));
        })
        .Click(1034)
        .Inspect([&](HWND) { EXPECT_EQ(setup->harmonic, 3); })
        .Select(1018, 1)  // the other schematic holds only a single-pair tuner
        .Inspect([&](HWND d) {
            EXPECT_EQ(ComboEntries(d, 1020), Strings{"LTUNER1"});
            EXPECT_EQ(SendDlgItemMessageA(d, 1020, CB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1030});
            EXPECT_FALSE(Enabled(d, 1034));
            EXPECT_EQ(setup->harmonic, 1);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    ASSERT_EQ(user.refused.size(), 1u);
    EXPECT_EQ(user.refused[0].action.control, 1034);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, GammaMeasurementRadiosNeedMeasurementsToOfferPoints) {
    vexasim::ProjectBuilder(host)
        .Schematic("Amp")
        .Element("LTUNER1", LParameters())
        .Graph("Out", 3)
        .Measurement("Amp", "Pout")
        .Graph("Other", 3)
        .Measurement("Data", "LPGPM_not_on_a_smith_chart", 2)
        .Points({{0.1, 0.1}, {0.2, 0.2}, {0.3, 0.3}});
    Initialize();
    user.Inspect([&](HWND d) {
            EXPECT_FALSE(Enabled(d, 1054));
            EXPECT_FALSE(Enabled(d, 1058));
            EXPECT_TRUE(ComboEntries(d, 1056).empty());
            EXPECT_TRUE(ComboEntries(d, 1060).empty());
        })
        .Click(1054)
        .Click(1058)
        .Click(1036)  // the center/radius radio itself is never disabled
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(user.refused.size(), 2u);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, OpensOnTheGridAndShowsNoGridYetAsMedium) {
    BuildStandardProject();
    Initialize();
    ASSERT_EQ(setup->gammaSource, -1);
    user.Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), (Ids{1036, 1048}));
            EXPECT_EQ(setup->gammaSource, 1);
            EXPECT_EQ(setup->pointSourceKind, 0);
            EXPECT_EQ(setup->pointCount, 127);
            EXPECT_EQ(ShownPointCount(), 127);
            EXPECT_EQ(Text(d, 1038), "0.000000");
            EXPECT_EQ(Text(d, 1040), "0.000000");
            EXPECT_EQ(Text(d, 1042), "0.950000");
            for (int id : {1038, 1040, 1042, 1044, 1046, 1048, 1050, 1052}) EXPECT_TRUE(Enabled(d, id)) << id;
            EXPECT_FALSE(Enabled(d, 1056));
            EXPECT_FALSE(Enabled(d, 1060));
            EXPECT_TRUE(Enabled(d, 1054) && Enabled(d, 1058));
            EXPECT_EQ(ComboEntries(d, 1056), Strings{"Data:LPGPM_loads"});
            EXPECT_EQ(ComboEntries(d, 1060), Strings{"Data:LPGPT_file"});
            EXPECT_EQ(SendDlgItemMessageA(d, 1056, CB_GETCURSEL, 0, 0), 0);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
}

TEST_F(DialogTest, CenterRadiusRadioBringsBackTheLastGridBuilt) {
    BuildStandardProject();
    Initialize();
    user.Click(1050)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), (Ids{1036, 1050}));
            EXPECT_EQ(setup->pointCount, 217);
        })
        .Click(1054)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), Ids{1054});
            EXPECT_EQ(setup->pointSourceKind, 1);
            EXPECT_EQ(setup->pointCount, 4);
            EXPECT_EQ(ShownPointCount(), 4);
            for (int id : {1038, 1040, 1042, 1044, 1046, 1048, 1050, 1052}) EXPECT_FALSE(Enabled(d, id)) << id;
            EXPECT_TRUE(Enabled(d, 1056));
            EXPECT_FALSE(Enabled(d, 1060));
        })
        .Click(1050)  // disabled in this mode
        .Click(1036)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), (Ids{1036, 1050}));
            EXPECT_EQ(setup->pointSourceKind, 0);
            EXPECT_EQ(setup->gammaSource, 2);
            EXPECT_EQ(setup->pointCount, 217);
            EXPECT_EQ(ShownPointCount(), 217);
            EXPECT_TRUE(Enabled(d, 1038));
            EXPECT_FALSE(Enabled(d, 1056));
        })
        .Click(1058)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), Ids{1058});
            EXPECT_EQ(setup->pointSourceKind, 2);
            EXPECT_EQ(setup->pointCount, 5);
            EXPECT_TRUE(Enabled(d, 1060));
            EXPECT_FALSE(Enabled(d, 1056));
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(user.refused.size(), 1u);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, SetCenterAndRadiusReadsNumbersAsTyped) {
    BuildStandardProject();
    Initialize();
    struct Case {
        const char *magnitude, *angle, *radius, *box;
    };
    const Case cases[] = {
        {"0.1", "45", "0.05", nullptr},
        {"0.1", "45", "0.04", "The radius must be greater than or equal to 0.05."},
        {" 0.5", "0", "0.5", nullptr},
        {"0.5 ", "0", "0.5", "The center magnitude box contains an invalid number."},
        {"0.5", "1e", "0.5", "The center angle box contains an invalid number."},
        {"0.5", "0", "1e", "The radius box contains an invalid number."},
        {"-0", "-30", "0.5", nullptr},
        {"-0.1", "0", "0.5", "The center magnitude must be greater or equal to 0."},
        {"", "0", "0.5", "An edit box contains an invalid number."},
        {"0.5", "inf", "0.5", "The center angle box contains an invalid number."},
        {"nan", "0", "0.5", "The center magnitude box contains an invalid number."},
        // Only the first 20 characters are read: the trailing "x" is never seen.
        {"0.2", "10", "0.60000000000000000000x", nullptr},
    };
    Strings expectedBoxes;
    for (const Case& c : cases) {
        user.Type(1038, c.magnitude).Type(1040, c.angle).Type(1042, c.radius).Click(1044);
        if (c.box) expectedBoxes.push_back(c.box);
    }
    int builds = 0, analyses = 0;
    HWND dialog = nullptr;
    user.Inspect([&](HWND d) {
            dialog = d;
            EXPECT_DOUBLE_EQ(setup->centerMagnitude, 0.2);
            EXPECT_DOUBLE_EQ(setup->centerAngleDeg, 10.0);
            EXPECT_DOUBLE_EQ(setup->radius, 0.6);
            builds = host.CallCount("Measurements.Add");
            analyses = host.CallCount("Simulator.Analyze");
        })
        // The same values again, within 1e-6: nothing is rebuilt.
        .Type(1038, "0.2000001")
        .Type(1040, " 10")
        .Type(1042, "0.6")
        .Click(1044)
        .Inspect([&](HWND) {
            EXPECT_EQ(host.CallCount("Measurements.Add"), builds);
            EXPECT_EQ(host.CallCount("Simulator.Analyze"), analyses);
            EXPECT_DOUBLE_EQ(setup->centerMagnitude, 0.2);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(BoxTexts(), expectedBoxes);
    for (const auto& box : user.boxes) {
        EXPECT_EQ(box.owner, dialog);
        EXPECT_EQ(box.caption, "Error!");
    }
    // Every accepted change rebuilt the Medium grid at the new place: five builds in all.
    EXPECT_EQ(host.CallCount("Measurements.Add"), 5);
}

TEST_F(DialogTest, TooFewPointsIsReportedAndTheDialogStaysOpen) {
    BuildStandardProject();
    Initialize();
    HWND dialog = nullptr;
    user.Inspect([&](HWND d) { dialog = d; })
        .Type(1038, "2")
        .Type(1042, "0.05")
        .Click(1044)
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, dialog);
            EXPECT_EQ(GammaChecks(d), (Ids{1036, 1048}));
            EXPECT_EQ(setup->pointMagnitudes.size(), 0u);
            EXPECT_EQ(ShownPointCount(), 127);  // the graph still shows the last good set
        })
        .Click(1052)  // another density at the same place: still nothing inside the chart
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(BoxTexts(), (Strings{kTooFewPoints, kTooFewPoints}));
    EXPECT_EQ(user.boxes[0].owner, dialog);
}

TEST_F(DialogTest, RemoveTakesHighlightedEntriesFromTheTopDown) {
    BuildStandardProject();
    Initialize();
    for (auto [name, file] : {std::pair<const char*, const char*>{"Amp:Pout", "p"}, {"Amp:Gain", "g"}, {"Amp:PAE", "e"}})
        ASSERT_EQ(setup->AddSelectedMeasurement(host::FromAnsi(name).get(), host::FromAnsi(file).get()), 0);
    user.Inspect([&](HWND d) {
            EXPECT_EQ(ListEntries(d, 1022), (Strings{"Amp:Pout ----> p", "Amp:Gain ----> g", "Amp:PAE ----> e"}));
            EXPECT_FALSE(Enabled(d, 1024));  // every valid measurement is listed
            EXPECT_TRUE(Enabled(d, 1026) && Enabled(d, 1028));
        })
        .Click(1026)  // nothing highlighted
        .Highlight(1022, {0, 2})
        .Click(1026)
        .Inspect([&](HWND d) {
            EXPECT_EQ(ListEntries(d, 1022), Strings{"Amp:Gain ----> g"});
            EXPECT_EQ(SelectedNames(), Strings{"Amp:Gain"});
            EXPECT_EQ(SelectedFiles(), Strings{"g"});
            EXPECT_TRUE(Enabled(d, 1024));
            EXPECT_TRUE(Enabled(d, 1026) && Enabled(d, 1028));
        })
        .Highlight(1022, {0})
        .Click(1026)
        .Inspect([&](HWND d) {
            EXPECT_TRUE(ListEntries(d, 1022).empty());
            EXPECT_EQ(setup->selectedMeasurementCount, 0);
            EXPECT_TRUE(Enabled(d, 1024));
            EXPECT_FALSE(Enabled(d, 1026));
            EXPECT_FALSE(Enabled(d, 1028));
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(BoxTexts(), Strings{"One or more measurements must be highlighted."});
}

TEST_F(DialogTest, ChangingTheSchematicEmptiesTheMeasurementList) {
    BuildStandardProject();
    Initialize();
    for (const char* name : {"Amp:Pout", "Amp:Gain"})
        setup->AddSelectedMeasurement(host::FromAnsi(name).get(), host::FromAnsi(name).get());
    user.Select(1018, 0)  // the schematic already chosen: nothing changes
        .Inspect([&](HWND d) { EXPECT_EQ(ListEntries(d, 1022).size(), 2u); })
        .Inspect([&](HWND d) {
            EXPECT_EQ(ComboEntries(d, IDC_SCHEMATIC_LIST), (Strings{"Amp", "Driver"}));
            EXPECT_EQ(ComboEntries(d, IDC_TUNER_LIST), (Strings{"HBTUNER1", "LTUNER2"}));
        })
        .Select(1018, 1)
        .Inspect([&](HWND d) {
            EXPECT_EQ(setup->selectedSchematic, 1);
            EXPECT_EQ(ComboEntries(d, IDC_TUNER_LIST), Strings{"LTUNER1"});  // the other schematic's tuners
            EXPECT_TRUE(ListEntries(d, 1022).empty());
            EXPECT_EQ(setup->selectedMeasurementCount, 0);
            EXPECT_FALSE(Enabled(d, 1026));
            EXPECT_FALSE(Enabled(d, 1028));
            EXPECT_TRUE(Enabled(d, 1024));
        })
        // Adding to the emptied list makes Remove and Remove All usable again.
        .Click(IDC_ADD)
        .Type(IDC_FILE_NAME, "pout_lp")
        .Click(IDOK)
        .Inspect([&](HWND d) {
            EXPECT_EQ(ListEntries(d, 1022).size(), 1u);
            EXPECT_TRUE(Enabled(d, 1026));
            EXPECT_TRUE(Enabled(d, 1028));
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, EmptyListButtonsAndAnAddWithNothingToAdd) {
    vexasim::ProjectBuilder(host).Schematic("Amp").Element("LTUNER1", LParameters()).Graph("Out", 3);
    Initialize();
    HWND main = nullptr;
    user.Inspect([&](HWND d) {
            main = d;
            EXPECT_TRUE(Enabled(d, 1024) && Enabled(d, 1026) && Enabled(d, 1028));
        })
        .Click(1026)
        .Click(1028)
        .Inspect([&](HWND d) {
            EXPECT_FALSE(Enabled(d, 1026));
            EXPECT_FALSE(Enabled(d, 1028));
            EXPECT_TRUE(Enabled(d, 1024));
        })
        .Click(1024)  // the Add dialog reports and closes at once
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, main);
            EXPECT_EQ(GetActiveWindow(), main);
            EXPECT_TRUE(Enabled(d, 1024));
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(user.boxes[0].text, "One or more measurements must be highlighted.");
    EXPECT_EQ(user.boxes[1].text, "Project contains no valid load pull measurments");
    EXPECT_EQ(user.boxes[1].caption, "Error!");
    EXPECT_NE(user.boxes[1].owner, main);  // owned by the Add dialog
    EXPECT_NE(user.boxes[1].owner, nullptr);
}

TEST_F(DialogTest, CancelEscapeAndCloseBoxRemoveThePointsGraph) {
    BuildStandardProject();
    for (auto cancel : {platform::DialogAction::Click(IDCANCEL), platform::DialogAction::Escape(),
                        platform::DialogAction::Close()}) {
        Initialize();
        ASSERT_TRUE(HasGraph("Load Pull Points"));
        user.Add(cancel);
        EXPECT_EQ(ShowMainDialog(), IDCANCEL);
        EXPECT_FALSE(HasGraph("Load Pull Points"));
    }
    EXPECT_TRUE(user.boxes.empty());
    EXPECT_EQ(user.endOfInput, 0);
}

TEST_F(DialogTest, FailuresInsideTheDialogCloseItWithTheirOwnText) {
    BuildStandardProject();
    struct Case {
        const char* what;
        std::function<void()> fault;  // injected once the dialog is open
        platform::DialogAction action;
        Strings boxes;
        INT_PTR result;
    };
    const Case cases[] = {
        {"tuner selection", [&] { host.InjectFailure("Parameters.Item", 0, E_UNEXPECTED, "no parameters"); },
         platform::DialogAction::Select(1020, 1),
         {"no parameters", "C++ COM ERROR - Problems setting selected tuner"}, 102},
        {"harmonic", [&] { host.InjectFailure("Parameters.Item", 0, E_UNEXPECTED, "no parameters"); },
         platform::DialogAction::Click(1032),
         {"no parameters", "C++ COM ERROR - Problems setting selected harmonic index"}, 102},
        {"grid build", [&] { host.InjectNull("Measurements.Add", 0); }, platform::DialogAction::Click(1046),
         {"C++ COM ERROR - Problems setting tuner density"}, 102},
        {"schematic", [&] { host.InjectFailure("Elements.Item", 0, E_UNEXPECTED, "elements gone"); },
         platform::DialogAction::Select(1018, 1),
         {"elements gone", "C++ COM ERROR - Problems setting selected schematic"}, 102},
        // A host error other than E_FAIL in a build has been shown by the build; the dialog goes on.
        {"analysis", [&] { host.InjectFailure("Simulator.Analyze", 0, E_UNEXPECTED, "analysis failed"); },
         platform::DialogAction::Click(1046), {"analysis failed"}, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.ClearFaults();
        Initialize();
        user.boxes.clear();
        user.Inspect([&](HWND) { c.fault(); }).Add(c.action);
        if (c.result == IDCANCEL) user.Escape();
        EXPECT_EQ(ShowMainDialog(), c.result);
        EXPECT_EQ(BoxTexts(), c.boxes);
        EXPECT_EQ(HasGraph("Load Pull Points"), false);
        host.ClearFaults();
        setup.reset();
        EXPECT_EQ(host.ExternalReferences(), 0);
    }
}

TEST_F(DialogTest, FailureWhileFillingTheListsEndsInitialisation) {
    BuildStandardProject();
    Initialize();
    host.InjectFailure("Schematic.Name", 0, E_UNEXPECTED, "name unreadable");
    EXPECT_EQ(ShowMainDialog(), 102);
    // Nothing after the failed step ran: no second box, no point set built.
    EXPECT_EQ(BoxTexts(), (Strings{"name unreadable", "C++ COM ERROR - Problems getting schematic name"}));
    EXPECT_EQ(user.boxes[1].caption, "Error!");
    EXPECT_EQ(host.CallCount("Measurements.Add"), 0);
    EXPECT_FALSE(HasGraph("Load Pull Points"));
    host.ClearFaults();
}

}  // namespace
}  // namespace uitest
