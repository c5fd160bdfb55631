// The native dialog layer's own parts: the reader of the embedded resource script
// and the description of a dialog a front end draws. Native only (CMake leaves this
// file out of the Windows build, where the resource compiler reads lptuner.rc).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/user32/dialog_view.h"
#include "platform/user32/resource_script.h"
#include "tests/ui/dialog_probe.h"
#include "ui/dialog_support.h"
#include "ui/resource.h"

namespace {

using dialogtest::DialogLayerTest;
using dialogtest::Send;
using dialogtest::SendText;

TEST(ResourceScript, EmbeddedScriptHoldsBothDialogsAndTheProjectName) {
    platform::DialogTemplate main;
    std::string error;
    ASSERT_TRUE(platform::FindDialogTemplate(ui::DialogModule(), IDD_LPTUNER_DIALOG, main, error)) << error;
    EXPECT_EQ(main.cx, 369);
    EXPECT_EQ(main.cy, 274);
    EXPECT_EQ(main.fontName, "MS Sans Serif");
    EXPECT_EQ(main.fontSize, 8);
    EXPECT_EQ(main.style, 0x80c808c0u);
    ASSERT_EQ(main.items.size(), 33u);
    EXPECT_EQ(main.items[0].id, IDOK);  // template order is the tab order
    EXPECT_EQ(main.items[13].id, 1022);
    EXPECT_EQ(main.items[13].className, "ListBox");
    EXPECT_EQ(main.items[13].x, 20);
    EXPECT_EQ(main.items[13].cy, 60);
    EXPECT_EQ(main.items.back().id, 1060);
    // The styles the Windows resource compiler gives the same script, control by control.
    const DWORD compiled[] = {0x50010001, 0x50010000, 0x50020000, 0x50000000, 0x50000007, 0x50000007, 0x50000007,
                              0x50020007, 0x50000000, 0x50000000, 0x50000000, 0x50210103, 0x50210103, 0x50b10109,
                              0x50010000, 0x50010000, 0x50010000, 0x50010009, 0x50010009, 0x50010009, 0x50030009,
                              0x50810080, 0x50810080, 0x50810080, 0x50010000, 0x50030009, 0x50030009, 0x50030009,
                              0x50030009, 0x50030009, 0x50210103, 0x50030009, 0x50210103};
    for (size_t i = 0; i < main.items.size(); ++i) EXPECT_EQ(main.items[i].style, compiled[i]) << main.items[i].id;

    platform::DialogTemplate add;
    ASSERT_TRUE(platform::FindDialogTemplate(ui::DialogModule(), IDD_ADD_MEASUREMENT, add, error)) << error;
    EXPECT_EQ(add.caption, "Add Measurement");
    EXPECT_EQ(add.style, 0x80c800c0u);
    ASSERT_EQ(add.items.size(), 7u);
    const DWORD compiledAdd[] = {0x50010001, 0x50010000, 0x50210003, 0x50810080, 0x50000007, 0x50020000, 0x50020000};
    for (size_t i = 0; i < add.items.size(); ++i) EXPECT_EQ(add.items[i].style, compiledAdd[i]) << add.items[i].id;
    EXPECT_EQ(add.items[2].id, 2006);
    EXPECT_FALSE(add.items[2].style & CBS_SORT);
    EXPECT_EQ(add.items[6].text, "Enter Name of Data File to be Created");

    EXPECT_FALSE(platform::FindDialogTemplate(ui::DialogModule(), 103, add, error));
    EXPECT_FALSE(platform::FindDialogTemplate(nullptr, IDD_LPTUNER_DIALOG, add, error));
}

TEST(ResourceScript, ReadsTheStatementsItKnowsAndNamesTheLineOfOthers) {
    const char* header = "#ifndef IDS_H\n#define IDS_H\n#define IDD_X 7\n#define IDC_Y (IDD_X + 3)\n#endif\n";
    const char* script =
        "#include <windows.h>\n#include \"ids.h\"\n"
        "/* a comment\n   over lines */\n"
        "STRINGTABLE\nBEGIN\n  100, \"Say \"\"hi\"\"\"\n  101 \"two\"\nEND\n"
        "IDD_X DIALOG 0, 0, 10, 20\nCAPTION \"X\"\nBEGIN\n"
        "  CONTROL \"t\", IDC_Y, \"button\", BS_AUTORADIOBUTTON | WS_TABSTOP, 1, 2, 3, 4\n"
        "  LTEXT \"l\", 11, 1, 2, 3, 4\n"
        "  COMBOBOX 12, 1, 2, 3, 4\n"
        "  EDITTEXT 13, 1, 2, 3, 4, ES_AUTOHSCROLL | NOT WS_TABSTOP\n"
        "END\n";
    const platform::ResourceFile files[] = {{"x.rc", script}, {"ids.h", header}};
    platform::ResourceScript parsed;
    std::string error;
    ASSERT_TRUE(platform::ParseResourceScript(files, 2, parsed, error)) << error;
    EXPECT_EQ(parsed.strings[100], "Say \"hi\"");
    EXPECT_EQ(parsed.strings[101], "two");
    const platform::DialogTemplate& d = parsed.dialogs.at(7);
    EXPECT_EQ(d.style, static_cast<DWORD>(WS_POPUP | WS_BORDER | WS_SYSMENU | WS_CAPTION));
    ASSERT_EQ(d.items.size(), 4u);
    EXPECT_EQ(d.items[0].id, 10);
    EXPECT_EQ(d.items[0].className, "Button");
    EXPECT_EQ(d.items[0].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | WS_TABSTOP));
    EXPECT_EQ(d.items[1].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP));  // defaults
    EXPECT_EQ(d.items[2].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | CBS_SIMPLE | WS_TABSTOP));
    EXPECT_EQ(d.items[3].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | ES_LEFT | WS_BORDER | ES_AUTOHSCROLL));

    struct Bad {
        const char* script;
        const char* message;
    };
    for (Bad bad : {Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  SCROLLBAR 3, 1,2,3,4\nEND\n", "x.rc:3"},
                    Bad{"#include \"other.h\"\n", "x.rc:1"},
                    Bad{"1 MENU\n", "MENU"},
                    Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  LTEXT \"a\", UNKNOWN_ID, 1,2,3,4\nEND\n", "UNKNOWN_ID"},
                    Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  LTEXT \"a\", 2, 1,2,3,4, SS_CENTER\nEND\n", "SS_CENTER"},
                    Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  CTEXT \"a\", 2, 1,2,3,4\nEND\n", "x.rc:3"},
                    Bad{"#if 1\n#endif\n", "#if"},
                    Bad{"STRINGTABLE\nBEGIN\n 1 \"unterminated\nEND\n", "unterminated"}}) {
        const platform::ResourceFile one[] = {{"x.rc", bad.script}};
        EXPECT_FALSE(platform::ParseResourceScript(one, 1, parsed, error)) << bad.script;
        EXPECT_NE(error.find(bad.message), std::string::npos) << error;
    }
}

TEST_F(DialogLayerTest, DescribeDialogShowsEveryControlsState) {
    probe.init = [](HWND d) {
        SendText(d, 1018, CB_INSERTSTRING, 0, "Amp");
        Send(d, 1018, CB_SETCURSEL, 0);
        SendText(d, 1022, LB_ADDSTRING, 0, "a");
        SendText(d, 1022, LB_ADDSTRING, 0, "b");
        Send(d, 1022, LB_SETSEL, TRUE, 1);
        EnableWindow(GetDlgItem(d, 1054), FALSE);
        CheckDlgButton(d, 1036, BST_CHECKED);
    };
    user.Inspect([](HWND d) {
            platform::DialogView view;
            ASSERT_TRUE(platform::DescribeDialog(d, view));
            EXPECT_EQ(view.templateId, IDD_LPTUNER_DIALOG);
            EXPECT_EQ(view.caption, "Vexa Tessary Wizard");
            ASSERT_EQ(view.controls.size(), 33u);
            const platform::ControlView& schematics = view.controls[11];
            EXPECT_EQ(schematics.id, 1018);
            EXPECT_EQ(schematics.items, std::vector<std::string>{"Amp"});
            EXPECT_EQ(schematics.selected, std::vector<int>{0});
            EXPECT_EQ(view.controls[13].selected, std::vector<int>{1});
            EXPECT_EQ(view.controls[20].id, 1036);
            EXPECT_EQ(view.controls[20].check, static_cast<UINT>(BST_CHECKED));
            EXPECT_FALSE(view.controls[29].enabled);
            EXPECT_FALSE(platform::DescribeDialog(GetDlgItem(d, 1018), view));
        })
        .Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
}

}  // namespace
