// The main dialog opened from kept settings, its gamma lists, and the error endings
// of its initialisation and of Remove.
#include <string>
#include <vector>

#include "tests/ui/dialog_fixture.h"

namespace uitest {
namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;

TEST_F(DialogTest, OpensOnTheKeptGridDensity) {
    BuildStandardProject();
    struct Case {
        long source;
        int radio;
        long points;
    };
    for (const Case c : {Case{0, 1046, 61}, Case{2, 1050, 217}, Case{3, 1052, 331}}) {
        SCOPED_TRACE(c.source);
        Initialize();
        ASSERT_EQ(setup->BuildGammaPoints(c.source), 0);  // as the kept settings do
        user.Inspect([&](HWND d) {
                EXPECT_EQ(GammaChecks(d), (Ids{1036, c.radio}));
                EXPECT_EQ(setup->gammaSource, c.source);
                EXPECT_EQ(setup->pointCount, c.points);
                EXPECT_EQ(ShownPointCount(), c.points);
            })
            .Escape();
        EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    }
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, AKeptSecondHarmonicIsForcedToTheFundamentalForASinglePairTuner) {
    BuildStandardProject();
    Initialize();
    ASSERT_EQ(setup->SelectTuner(1), 0);  // LTUNER2
    ASSERT_EQ(setup->SetHarmonic(2), 0);
    user.Inspect([&](HWND d) {
            EXPECT_EQ(SendDlgItemMessageA(d, 1020, CB_GETCURSEL, 0, 0), 1);
            EXPECT_EQ(CheckedOf(d, {1030, 1032, 1034}), Ids{1030});
            EXPECT_FALSE(Enabled(d, 1032));
            EXPECT_FALSE(Enabled(d, 1034));
            EXPECT_EQ(setup->harmonic, 1);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(DialogTest, ChoosingAnotherGammaMeasurementReadsItsPoints) {
    BuildStandardProject();
    vexasim::ProjectBuilder(host)
        .Graph("More", 2)
        .Measurement("Data", "LPGPM_more", 2)
        .Points({{0.1, 0.0}, {0.0, 0.1}, {-0.1, -0.1}})
        .Measurement("Data", "LPGPT_more", 2)
        .Points({{0.1, 0.0}, {0.0, 0.1}, {-0.1, -0.1}, {0.2, 0.2}, {0.3, 0.0}, {0.0, 0.4}});
    Initialize();
    user.Click(1054)
        .Inspect([&](HWND d) {
            EXPECT_EQ(ComboEntries(d, 1056), (Strings{"Data:LPGPM_loads", "Data:LPGPM_more"}));
            EXPECT_EQ(setup->pointCount, 4);
        })
        .Select(1056, 1)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), Ids{1054});
            EXPECT_EQ(setup->selectedGammaMeasurement, 1);
            EXPECT_EQ(setup->pointCount, 3);
            EXPECT_EQ(ShownPointCount(), 3);
        })
        .Click(1058)
        .Inspect([&](HWND) { EXPECT_EQ(setup->pointCount, 5); })
        .Select(1060, 1)
        .Inspect([&](HWND d) {
            EXPECT_EQ(GammaChecks(d), Ids{1058});
            EXPECT_EQ(setup->selectedTabFileMeasurement, 1);
            EXPECT_EQ(setup->pointCount, 6);
            EXPECT_EQ(ShownPointCount(), 6);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_TRUE(user.boxes.empty());
}

// Each ending: the points graph goes, the box says what failed, the result is 102.
// Calls to the tuner's name while the dialog opens: two to fill the tuner list,
// one when the harmonic is applied, one to check the tuner's kind, one more when
// a single-pair tuner is forced to the fundamental.
TEST_F(DialogTest, ErrorEndingsOfOpeningAndRemoving) {
    BuildStandardProject();
    struct Case {
        const char* text;
        std::function<void()> arrange;  // before the dialog opens
        std::vector<platform::DialogAction> actions;
        std::function<void()> inside = nullptr;  // once it is open, before the actions
    };
    const Case cases[] = {
        {"C++ COM ERROR - Problems getting tuner name",
         [&] { host.InjectFailure("Element.Name", 1, E_UNEXPECTED, "unreadable"); }, {}},
        {"C++ COM ERROR - Problems getting selected tuner name",
         [&] { host.InjectFailure("Element.Name", 4, E_UNEXPECTED, "unreadable"); }, {}},
        {"C++ COM ERROR - Problems setting harmonic index",
         [&] {
             setup->SelectTuner(1);
             host.InjectFailure("Element.Name", 5, E_UNEXPECTED, "unreadable");
         },
         {}},
        {"C++ COM ERROR - Problems setting selected gamma measurement index",
         [&] { setup->selectedGammaMeasurement = 7; },  // nothing selected in the list
         {platform::DialogAction::Click(1054)}},
        {"C++ COM ERROR - Problems setting selected tab data file measurement index",
         [&] { setup->selectedTabFileMeasurement = 7; }, {platform::DialogAction::Click(1058)}},
        {"C++ COM ERROR - Problems getting number of active measurements",
         [&] {
             for (const char* name : {"Amp:Pout", "Amp:Gain"})
                 setup->AddSelectedMeasurement(host::FromAnsi(name).get(), host::FromAnsi(name).get());
         },
         {platform::DialogAction::Highlight(1022, {1}), platform::DialogAction::Click(1026)},
         [&] { setup->selectedMeasurementFileNames.pop_back(); }},
        // List entry i must stay measurement i: an entry that cannot be got ends the
        // dialog rather than being left out.
        {"C++ COM ERROR - Problems getting selected measurement",
         [&] {
             for (const char* name : {"Amp:Pout", "Amp:Gain"})
                 setup->AddSelectedMeasurement(host::FromAnsi(name).get(), host::FromAnsi(name).get());
             setup->selectedMeasurementNames.erase(setup->selectedMeasurementNames.begin());
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Initialize();
        user.boxes.clear();
        c.arrange();
        if (c.inside) user.Inspect([&](HWND) { c.inside(); });
        for (const auto& a : c.actions) user.Add(a);
        EXPECT_EQ(ShowMainDialog(), 102);
        ASSERT_FALSE(user.boxes.empty());
        EXPECT_EQ(user.boxes.back().text, c.text);
        EXPECT_EQ(user.boxes.back().caption, "Error!");
        EXPECT_FALSE(HasGraph("Load Pull Points"));
        host.ClearFaults();
        setup.reset();
        EXPECT_EQ(host.ExternalReferences(), 0);
    }
}

}  // namespace
}  // namespace uitest
