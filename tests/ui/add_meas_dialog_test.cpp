// The Add Measurement dialog, opened from the main dialog's "Add..." button.
#include <string>
#include <vector>

#include "tests/ui/dialog_fixture.h"

namespace uitest {
namespace {

using Strings = std::vector<std::string>;

class AddDialogTest : public DialogTest {
protected:
    void SetUp() override {
        BuildStandardProject();
        Initialize();
    }
    void Preselect(const char* name, const char* file) {
        ASSERT_EQ(setup->AddSelectedMeasurement(host::FromAnsi(name).get(), host::FromAnsi(file).get()), 0);
    }
};

TEST_F(AddDialogTest, OffersUnchosenMeasurementsAndListsWhatItAdds) {
    Preselect("Amp:Gain", "gain_lp");
    HWND main = nullptr;
    user.Inspect([&](HWND d) { main = d; })
        .Click(IDC_ADD)
        .Inspect([&](HWND d) {
            EXPECT_NE(d, main);
            EXPECT_FALSE(IsWindowEnabled(main));
            EXPECT_EQ(ComboEntries(d, IDC_VALID_LIST), (Strings{"Amp:Pout", "Amp:PAE"}));
            EXPECT_EQ(SendDlgItemMessageA(d, IDC_VALID_LIST, CB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(Text(d, IDC_FILE_NAME), "");
        })
        .Type(IDC_FILE_NAME, "pout_lp")
        .Click(IDOK)
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, main);
            EXPECT_EQ(ListEntries(d, 1022), (Strings{"Amp:Gain ----> gain_lp", "Amp:Pout ----> pout_lp"}));
            EXPECT_TRUE(Enabled(d, IDC_ADD));  // PAE is left
        })
        .Click(IDC_ADD)
        .Inspect([&](HWND d) { EXPECT_EQ(ComboEntries(d, IDC_VALID_LIST), Strings{"Amp:PAE"}); })
        .Type(IDC_FILE_NAME, "pae_lp")
        .Click(IDOK)
        .Inspect([&](HWND d) {
            EXPECT_EQ(ListEntries(d, 1022).back(), "Amp:PAE ----> pae_lp");
            EXPECT_FALSE(Enabled(d, IDC_ADD));
            EXPECT_TRUE(Enabled(d, IDC_REMOVE) && Enabled(d, IDC_REMOVE_ALL));
        })
        // Removing one makes room to add again.
        .Highlight(1022, {1})
        .Click(IDC_REMOVE)
        .Inspect([&](HWND d) { EXPECT_TRUE(Enabled(d, IDC_ADD)); })
        .Click(IDC_ADD)
        .Inspect([&](HWND d) { EXPECT_EQ(ComboEntries(d, IDC_VALID_LIST), Strings{"Amp:Pout"}); })
        .Escape()  // closes the Add dialog only, changing nothing
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, main);
            EXPECT_EQ(ListEntries(d, 1022).size(), 2u);
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(SelectedNames(), (Strings{"Amp:Gain", "Amp:PAE"}));
    EXPECT_EQ(SelectedFiles(), (Strings{"gain_lp", "pae_lp"}));
    EXPECT_TRUE(user.boxes.empty());
}

TEST_F(AddDialogTest, DataFileNameChecks) {
    Preselect("Amp:Gain", "p1");
    HWND add = nullptr;
    user.Click(IDC_ADD)
        .Inspect([&](HWND d) { add = d; })
        .Click(IDOK)  // no name
        .Type(IDC_FILE_NAME, "p1")
        .Click(IDOK)  // in use, exactly
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, add);  // still open after both refusals
            EXPECT_EQ(setup->selectedMeasurementCount, 1);
        })
        .Type(IDC_FILE_NAME, "P1")  // differs in case only: accepted
        .Click(IDOK)
        .Click(IDC_ADD)
        .Type(IDC_FILE_NAME, "   ")  // spaces only: accepted
        .Click(IDOK)
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(BoxTexts(), (Strings{"You must input a valid data file name",
                                   "That data file name has already been used - please select another name"}));
    for (const auto& box : user.boxes) {
        EXPECT_EQ(box.owner, add);
        EXPECT_EQ(box.caption, "Error!");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    }
    EXPECT_EQ(SelectedNames(), (Strings{"Amp:Gain", "Amp:Pout", "Amp:PAE"}));
    EXPECT_EQ(SelectedFiles(), (Strings{"p1", "P1", "   "}));
}

TEST_F(AddDialogTest, OkWithNothingToPickChangesNothing) {
    // Kept settings can list a measurement the project no longer has: the counts then
    // differ and Add stays enabled, with nothing left to offer.
    for (const char* name : {"Amp:Pout", "Amp:Gain", "Amp:Gone", "Amp:PAE"}) Preselect(name, name);
    HWND add = nullptr;
    user.Inspect([&](HWND d) { EXPECT_TRUE(Enabled(d, IDC_ADD)); })
        .Click(IDC_ADD)
        .Inspect([&](HWND d) {
            add = d;
            EXPECT_TRUE(ComboEntries(d, IDC_VALID_LIST).empty());
            EXPECT_EQ(SendDlgItemMessageA(d, IDC_VALID_LIST, CB_GETCURSEL, 0, 0), CB_ERR);
        })
        .Type(IDC_FILE_NAME, "new_file")
        .Click(IDOK)
        .Inspect([&](HWND d) { EXPECT_EQ(d, add); })
        .Click(IDCANCEL)
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_EQ(BoxTexts(), Strings{"Select a measurement to add."});
    EXPECT_EQ(user.boxes[0].owner, add);
    EXPECT_EQ(user.boxes[0].caption, "Error!");
    EXPECT_EQ(setup->selectedMeasurementCount, 4);
}

TEST_F(AddDialogTest, LongNamesAreReadWholeAndEntriesCutAt511) {
    const std::string longName(150, 'm');
    const std::string hugeName(600, 'h');
    host.project().graphs[0].measurements.push_back({});
    host.project().graphs[0].measurements.back().source = "Amp";
    host.project().graphs[0].measurements.back().name = longName;
    host.project().graphs[0].measurements.push_back({});
    host.project().graphs[0].measurements.back().source = "Amp";
    host.project().graphs[0].measurements.back().name = hugeName;
    setup.reset();
    Initialize();
    ASSERT_EQ(setup->validMeasurementCount, 5);
    // A file name longer than 100 characters is cut to its first 100.
    const std::string longFile = std::string(100, 'f') + "TAIL";
    Strings entries;
    user.Click(IDC_ADD)
        .Select(IDC_VALID_LIST, 3)
        .Type(IDC_FILE_NAME, longFile)
        .Click(IDOK)
        .Click(IDC_ADD)
        .Select(IDC_VALID_LIST, 3)
        .Type(IDC_FILE_NAME, "huge")
        .Click(IDOK)
        .Inspect([&](HWND d) { entries = ListEntries(d, 1022); })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    EXPECT_TRUE(user.boxes.empty());
    EXPECT_EQ(SelectedNames(), (Strings{"Amp:" + longName, "Amp:" + hugeName}));
    EXPECT_EQ(SelectedFiles(), (Strings{std::string(100, 'f'), "huge"}));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "Amp:" + longName + " ----> " + std::string(100, 'f'));
    EXPECT_EQ(entries[1], ("Amp:" + hugeName).substr(0, 511));
}

TEST_F(AddDialogTest, UnreadableMeasurementNameClosesTheAddDialogOnly) {
    HWND main = nullptr;
    user.Inspect([&](HWND d) {
            main = d;
            host.InjectFailure("Measurement.Source", 0, E_UNEXPECTED, "source unreadable");
        })
        .Click(IDC_ADD)
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, main);
            host.ClearFaults();
        })
        .Escape();
    EXPECT_EQ(ShowMainDialog(), IDCANCEL);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_EQ(user.boxes.back().text, "C++ COM ERROR - Problems getting valid measurement name");
    EXPECT_EQ(setup->selectedMeasurementCount, 0);
}

}  // namespace
}  // namespace uitest
