// The user32 dialog subset against the wizard's own templates: what each message does,
// which user actions reach the dialog, and how modal dialogs nest. The assertions use
// the window functions only; the scripted user and the template reader are native.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/dialog_script.h"
#include "ui/dialog_support.h"
#include "ui/resource.h"
#ifndef _WIN32
#include "platform/user32/dialog_view.h"
#include "platform/user32/resource_script.h"
#endif

namespace {

// A dialog procedure that records what it is sent and lets a test act on it.
struct Probe {
    std::function<void(HWND)> init;
    std::function<void(HWND, int id, int code)> command;  // default: IDOK and IDCANCEL end the dialog
    std::vector<std::pair<int, int>> commands;            // (id, notification code)
    WPARAM initFocus = 0;
    LPARAM initParam = 0;
    HWND hwnd = nullptr;
    HWND activeDuringInit = nullptr;
    bool destroyed = false;

    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<Probe*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self) return FALSE;
        switch (message) {
            case WM_INITDIALOG:
                self->hwnd = hwnd;
                self->initFocus = wParam;
                self->initParam = lParam;
                self->activeDuringInit = GetActiveWindow();
                if (self->init) self->init(hwnd);
                return TRUE;
            case WM_COMMAND:
                self->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
                if (self->command)
                    self->command(hwnd, LOWORD(wParam), HIWORD(wParam));
                else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                    EndDialog(hwnd, LOWORD(wParam));
                return TRUE;
            case WM_DESTROY:
                self->destroyed = true;
                return TRUE;
            default:
                return FALSE;
        }
    }

    INT_PTR Run(int templateId, HWND owner = nullptr) {
        return DialogBoxParamA(ui::DialogModule(), MAKEINTRESOURCEA(templateId), owner, &Proc,
                               reinterpret_cast<LPARAM>(this));
    }
};

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}
LRESULT SendText(HWND dialog, int id, UINT message, WPARAM wParam, const char* text) {
    return Send(dialog, id, message, wParam, reinterpret_cast<LPARAM>(text));
}
DWORD Style(HWND dialog, int id) { return static_cast<DWORD>(GetWindowLongPtrA(GetDlgItem(dialog, id), GWL_STYLE)); }

class DialogLayerTest : public ::testing::Test {
protected:
    platform::ScriptedInputSource user;
    platform::ScopedInputSource scope{user};
    Probe probe;
};

TEST_F(DialogLayerTest, MainTemplateBuildsEveryControlAsWritten) {
    HWND simulate = nullptr;
    user.Inspect([&](HWND d) {
        simulate = GetDlgItem(d, IDOK);
        EXPECT_EQ(GetActiveWindow(), d);
        char caption[64] = {};
        EXPECT_EQ(GetWindowTextA(d, caption, sizeof caption), 19);
        EXPECT_STREQ(caption, "Vexa Tessary Wizard");
        const int ids[] = {IDOK, IDCANCEL, 1000, 1002, 1004, 1006, 1008, 1010, 1012, 1014, 1016,
                           1018, 1020, 1022, 1024, 1026, 1028, 1030, 1032, 1034, 1036, 1038,
                           1040, 1042, 1044, 1046, 1048, 1050, 1052, 1054, 1056, 1058, 1060};
        for (int id : ids) {
            SCOPED_TRACE(id);
            ASSERT_NE(GetDlgItem(d, id), nullptr);
            EXPECT_EQ(GetDlgCtrlID(GetDlgItem(d, id)), id);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, id)));
        }
        EXPECT_EQ(GetDlgItem(d, 1001), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));

        EXPECT_EQ(Style(d, 1022) & (LBS_MULTIPLESEL | LBS_NOTIFY | LBS_SORT),
                  static_cast<DWORD>(LBS_MULTIPLESEL | LBS_NOTIFY));
        // Groups: the labels that start one, the gamma radios each in its own.
        EXPECT_TRUE(Style(d, 1000) & WS_GROUP);
        EXPECT_FALSE(Style(d, 1002) & WS_GROUP);
        EXPECT_TRUE(Style(d, 1010) & WS_GROUP);
        EXPECT_FALSE(Style(d, 1012) & WS_GROUP);
        for (int id : {1036, 1046, 1048, 1050, 1052, 1054, 1058}) EXPECT_TRUE(Style(d, id) & WS_GROUP) << id;
        for (int id : {1030, 1032, 1034}) {
            EXPECT_FALSE(Style(d, id) & WS_GROUP) << id;
            EXPECT_EQ(Style(d, id) & BS_TYPEMASK, static_cast<DWORD>(BS_AUTORADIOBUTTON)) << id;
        }
    });
    user.Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    // WM_INITDIALOG gets the init parameter and the first tab stop; the dialog is not
    // yet active while it initialises.
    EXPECT_EQ(probe.initParam, reinterpret_cast<LPARAM>(&probe));
    EXPECT_EQ(probe.initFocus, reinterpret_cast<WPARAM>(simulate));
    EXPECT_EQ(probe.activeDuringInit, nullptr);
    EXPECT_TRUE(probe.destroyed);
    EXPECT_FALSE(IsWindow(probe.hwnd));
    EXPECT_EQ(GetActiveWindow(), nullptr);
}


TEST_F(DialogLayerTest, ComboBoxInsertsAtIndexAndKeepsItsSelection) {
    probe.init = [](HWND d) {
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), CB_ERR);
        EXPECT_EQ(SendText(d, 1018, CB_INSERTSTRING, 0, "Zeta"), 0);
        EXPECT_EQ(SendText(d, 1018, CB_INSERTSTRING, 1, "Alpha"), 1);  // sorted style, yet not sorted
        EXPECT_EQ(SendText(d, 1018, CB_INSERTSTRING, 3, "Gap"), CB_ERR);
        EXPECT_EQ(SendText(d, 1018, CB_INSERTSTRING, static_cast<WPARAM>(-1), "Omega"), 2);
        EXPECT_EQ(Send(d, 1018, CB_GETCOUNT), 3);
        EXPECT_EQ(Send(d, 1018, CB_SETCURSEL, 1), 1);
        // An entry inserted before the selection moves the selection with its entry.
        EXPECT_EQ(SendText(d, 1018, CB_INSERTSTRING, 0, "First"), 0);
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), 2);
        char text[16] = {};
        EXPECT_EQ(Send(d, 1018, CB_GETLBTEXTLEN, 2), 5);
        EXPECT_EQ(SendText(d, 1018, CB_GETLBTEXT, 2, text), 5);
        EXPECT_STREQ(text, "Alpha");
        EXPECT_EQ(Send(d, 1018, CB_GETLBTEXTLEN, 4), CB_ERR);
        EXPECT_EQ(SendText(d, 1018, CB_GETLBTEXT, 4, text), CB_ERR);
        EXPECT_EQ(Send(d, 1018, CB_SETCURSEL, 4), CB_ERR);  // past the end: no selection
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), CB_ERR);
        EXPECT_EQ(Send(d, 1018, CB_SETCURSEL, 3), 3);
        EXPECT_EQ(Send(d, 1018, CB_SETCURSEL, static_cast<WPARAM>(-1)), CB_ERR);
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), CB_ERR);
        Send(d, 1018, CB_SETCURSEL, 0);
        EXPECT_EQ(Send(d, 1018, CB_RESETCONTENT), CB_OKAY);
        EXPECT_EQ(Send(d, 1018, CB_GETCOUNT), 0);
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), CB_ERR);
        for (const char* s : {"a", "b", "c"}) SendText(d, 1018, CB_INSERTSTRING, static_cast<WPARAM>(-1), s);
        Send(d, 1018, CB_SETCURSEL, 0);
    };
    // The program's own selections are not notified; the user's are, when they change it.
    user.Select(1018, 2).Select(1018, 2).Select(1018, 5).Inspect([](HWND d) {
        EXPECT_EQ(Send(d, 1018, CB_GETCURSEL), 2);
        char text[8] = {};
        EXPECT_EQ(GetDlgItemTextA(d, 1018, text, sizeof text), 1u);
        EXPECT_STREQ(text, "c");
    });
    user.Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    const std::vector<std::pair<int, int>> expected = {{1018, CBN_SELCHANGE}, {IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(probe.commands, expected);
    ASSERT_EQ(user.refused.size(), 1u);
    EXPECT_EQ(user.refused[0].action.item, 5);
}

TEST_F(DialogLayerTest, MultipleSelectionListBoxTracksHighlightsPerEntry) {
    probe.init = [](HWND d) {
        for (const char* s : {"e0", "e1", "e2", "e3"}) SendText(d, 1022, LB_ADDSTRING, 0, s);
        EXPECT_EQ(Send(d, 1022, LB_GETCOUNT), 4);
        EXPECT_EQ(Send(d, 1022, LB_GETSELCOUNT), 0);
        EXPECT_EQ(Send(d, 1022, LB_SETSEL, TRUE, 1), 0);
        EXPECT_EQ(Send(d, 1022, LB_SETSEL, TRUE, 3), 0);
        EXPECT_EQ(Send(d, 1022, LB_SETSEL, TRUE, 4), LB_ERR);
        EXPECT_GT(Send(d, 1022, LB_GETSEL, 1), 0);
        EXPECT_EQ(Send(d, 1022, LB_GETSEL, 2), 0);
        EXPECT_EQ(Send(d, 1022, LB_GETSEL, 9), LB_ERR);
        int items[4] = {-7, -7, -7, -7};
        EXPECT_EQ(Send(d, 1022, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(items)), 1);  // no more than asked
        EXPECT_EQ(items[0], 1);
        EXPECT_EQ(items[1], -7);
        // Deleting an entry takes its highlight with it.
        EXPECT_EQ(Send(d, 1022, LB_DELETESTRING, 1), 3);
        EXPECT_EQ(Send(d, 1022, LB_DELETESTRING, 3), LB_ERR);
        EXPECT_EQ(Send(d, 1022, LB_GETSELCOUNT), 1);
        EXPECT_EQ(Send(d, 1022, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 1);
        EXPECT_EQ(items[0], 2);
        char text[8] = {};
        EXPECT_EQ(Send(d, 1022, LB_GETTEXTLEN, 2), 2);
        EXPECT_EQ(SendText(d, 1022, LB_GETTEXT, 2, text), 2);
        EXPECT_STREQ(text, "e3");
        EXPECT_EQ(Send(d, 1022, LB_SETSEL, TRUE, static_cast<LPARAM>(-1)), 0);  // every entry
        EXPECT_EQ(Send(d, 1022, LB_GETSELCOUNT), 3);
        EXPECT_EQ(Send(d, 1022, LB_SETSEL, FALSE, static_cast<LPARAM>(-1)), 0);
    };
    user.Highlight(1022, {0, 2})
        .Highlight(1022, {2, 0})  // the same entries: nothing changes
        .Highlight(1022, {3})     // no such entry
        .Inspect([](HWND d) {
            int items[4] = {};
            EXPECT_EQ(Send(d, 1022, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 2);
            EXPECT_EQ(items[0], 0);
            EXPECT_EQ(items[1], 2);
            Send(d, 1022, LB_RESETCONTENT);
            EXPECT_EQ(Send(d, 1022, LB_GETCOUNT), 0);
            EXPECT_EQ(Send(d, 1022, LB_GETSELCOUNT), 0);
        })
        .Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    const std::vector<std::pair<int, int>> expected = {{1022, LBN_SELCHANGE}, {IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(probe.commands, expected);
    ASSERT_EQ(user.refused.size(), 1u);
    EXPECT_NE(user.refused[0].reason.find("no entry 3"), std::string::npos);
}

TEST_F(DialogLayerTest, EditTextIsCopiedOutWithinTheCallersBuffer) {
    probe.init = [](HWND d) {
        EXPECT_TRUE(SetDlgItemTextA(d, 1038, "0.950000"));
        char small[4] = {'x', 'x', 'x', 'x'};
        EXPECT_EQ(GetDlgItemTextA(d, 1038, small, sizeof small), 3u);  // cut, terminated
        EXPECT_STREQ(small, "0.9");
        EXPECT_EQ(Send(d, 1038, WM_GETTEXTLENGTH), 8);
        EXPECT_EQ(GetDlgItemTextA(d, 1038, small, 0), 0u);
        // EM_GETLINE: the first word is the buffer size, nothing past it is written and
        // no terminator is added.
        char line[8];
        std::fill(std::begin(line), std::end(line), '#');
        const WORD size = 5;
        std::memcpy(line, &size, sizeof size);
        EXPECT_EQ(Send(d, 1038, EM_GETLINE, 0, reinterpret_cast<LPARAM>(line)), 5);
        EXPECT_EQ(std::string(line, 8), "0.950###");
    };
    // A single-line edit box keeps the first line of what is pasted into it.
    user.Type(1040, "12.5\r\nsecond line").Type(1024, "not an edit box").Inspect([](HWND d) {
        char text[32] = {};
        GetDlgItemTextA(d, 1040, text, sizeof text);
        EXPECT_STREQ(text, "12.5");
    });
    user.Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    ASSERT_EQ(user.refused.size(), 1u);
    EXPECT_EQ(user.refused[0].action.control, 1024);
}

TEST_F(DialogLayerTest, ButtonsTakeClicksOnlyWhenEnabledAndAutoRadiosKeepTheirGroup) {
    probe.init = [](HWND d) {
        CheckDlgButton(d, 1030, BST_CHECKED);
        CheckDlgButton(d, 1034, BST_CHECKED);
        EnableWindow(GetDlgItem(d, 1034), FALSE);  // disabled: the group passes over it
        CheckDlgButton(d, 1046, BST_CHECKED);
        CheckDlgButton(d, IDC_ADD, BST_CHECKED);  // a push button has no check
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_ADD), static_cast<UINT>(BST_UNCHECKED));
        EXPECT_FALSE(CheckDlgButton(d, 4711, BST_CHECKED));
        CheckDlgButton(d, 1032, BST_INDETERMINATE);  // a radio is checked or not
        EXPECT_EQ(IsDlgButtonChecked(d, 1032), static_cast<UINT>(BST_CHECKED));
        CheckDlgButton(d, 1032, BST_UNCHECKED);
        EnableWindow(GetDlgItem(d, IDC_REMOVE), FALSE);
        Send(d, IDC_REMOVE, BM_CLICK);  // no click reaches a disabled button
    };
    user.Click(1032)
        .Inspect([](HWND d) {
            EXPECT_EQ(IsDlgButtonChecked(d, 1032), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(IsDlgButtonChecked(d, 1030), static_cast<UINT>(BST_UNCHECKED));
            EXPECT_EQ(IsDlgButtonChecked(d, 1034), static_cast<UINT>(BST_CHECKED));
        })
        .Click(1048)  // a radio that starts its own group leaves the other gamma radios alone
        .Inspect([](HWND d) {
            EXPECT_EQ(IsDlgButtonChecked(d, 1046), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(IsDlgButtonChecked(d, 1048), static_cast<UINT>(BST_CHECKED));
            EXPECT_EQ(IsDlgButtonChecked(d, 1032), static_cast<UINT>(BST_CHECKED));
        })
        .Click(IDC_REMOVE)  // disabled
        .Click(1034)        // disabled
        .Click(1004)        // a group box
        .Click(1012)        // a label
        .Click(4711)        // no such control
        .Inspect([](HWND d) { Send(d, IDC_ADD, BM_CLICK); })
        .Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    const std::vector<std::pair<int, int>> expected = {
        {1032, BN_CLICKED}, {1048, BN_CLICKED}, {IDC_ADD, BN_CLICKED}, {IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(probe.commands, expected);
    ASSERT_EQ(user.refused.size(), 5u);
    EXPECT_NE(user.refused[0].reason.find("disabled"), std::string::npos);
    EXPECT_NE(user.refused[1].reason.find("disabled"), std::string::npos);
    EXPECT_NE(user.refused[2].reason.find("not a button"), std::string::npos);
    EXPECT_NE(user.refused[4].reason.find("no control"), std::string::npos);
}

TEST_F(DialogLayerTest, EscapeCloseBoxAndTheEndOfInputEachCancel) {
    // Esc sends Cancel even with the Cancel button disabled; the close box does not then.
    probe.init = [](HWND d) { EnableWindow(GetDlgItem(d, IDCANCEL), FALSE); };
    probe.command = [](HWND d, int id, int) {
        if (id == IDCANCEL) EndDialog(d, 77);
    };
    user.Close().Inspect([](HWND d) { EXPECT_TRUE(IsWindow(d)); }).Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), 77);
    EXPECT_EQ(probe.commands.size(), 1u);

    // With the script used up the dialog is closed as by its close box.
    Probe second;
    EXPECT_EQ(second.Run(IDD_ADD_MEASUREMENT), IDCANCEL);
    EXPECT_EQ(user.endOfInput, 1);

    // A dialog that will not close then ends with -1 rather than wait for nobody.
    Probe stubborn;
    stubborn.command = [](HWND, int, int) {};
    EXPECT_EQ(stubborn.Run(IDD_ADD_MEASUREMENT), -1);
    EXPECT_EQ(user.endOfInput, 2);
}

TEST_F(DialogLayerTest, DialogOpenedFromAHandlerRunsOnTopOfItsOwner) {
    Probe inner;
    HWND outer = nullptr;
    INT_PTR innerResult = 0;
    inner.init = [&](HWND d) { SetDlgItemTextA(d, IDC_FILE_NAME, "typed before"); };
    inner.command = [&](HWND d, int id, int) {
        if (id == IDOK) {
            MessageBoxA(d, "inner box", "Error!", MB_OK | MB_ICONEXCLAMATION);
            EndDialog(d, 5);
        }
    };
    probe.command = [&](HWND d, int id, int) {
        outer = d;
        if (id == IDC_ADD) innerResult = inner.Run(IDD_ADD_MEASUREMENT, GetActiveWindow());
        if (id == IDCANCEL) EndDialog(d, IDCANCEL);
    };
    user.Click(IDC_ADD)
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, inner.hwnd);
            EXPECT_EQ(GetActiveWindow(), inner.hwnd);
            EXPECT_FALSE(IsWindowEnabled(outer));  // the owner takes no input meanwhile
            EXPECT_EQ(inner.activeDuringInit, outer);
        })
        .Type(IDC_FILE_NAME, "inner text")
        .Click(IDOK)  // goes to the dialog on top
        .Inspect([&](HWND d) {
            EXPECT_EQ(d, outer);
            EXPECT_TRUE(IsWindowEnabled(outer));
            EXPECT_FALSE(IsWindow(inner.hwnd));
        })
        .Escape();
    EXPECT_EQ(probe.Run(IDD_LPTUNER_DIALOG), IDCANCEL);
    EXPECT_EQ(innerResult, 5);
    const std::vector<std::pair<int, int>> innerCommands = {{IDOK, BN_CLICKED}};
    EXPECT_EQ(inner.commands, innerCommands);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].owner, inner.hwnd);
    EXPECT_EQ(user.boxes[0].text, "inner box");
}

TEST_F(DialogLayerTest, MissingTemplatesAndForeignHandlesFailCleanly) {
    EXPECT_EQ(probe.Run(999), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_LPTUNER_DIALOG), nullptr, &Probe::Proc, 0), -1);
    EXPECT_EQ(probe.hwnd, nullptr);
    HWND bogus = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7777));
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_EQ(SendMessageA(bogus, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(EndDialog(bogus, 1));
    EXPECT_FALSE(EnableWindow(bogus, TRUE));
    char text[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetDlgItemTextA(bogus, 1, text, sizeof text), 0u);
    EXPECT_EQ(text[0], '\0');
}

#ifndef _WIN32
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
        "  CONTROL \"t\", IDC_Y, \"button\", BS_AUTOCHECKBOX | WS_TABSTOP, 1, 2, 3, 4\n"
        "  LTEXT \"l\", 11, 1, 2, 3, 4\n"
        "  COMBOBOX 12, 1, 2, 3, 4\n"
        "  EDITTEXT 13, 1, 2, 3, 4, ES_MULTILINE | NOT WS_TABSTOP\n"
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
    EXPECT_EQ(d.items[0].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP));
    EXPECT_EQ(d.items[1].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP));  // defaults
    EXPECT_EQ(d.items[2].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | CBS_SIMPLE | WS_TABSTOP));
    EXPECT_EQ(d.items[3].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | ES_LEFT | WS_BORDER | ES_MULTILINE));

    struct Bad {
        const char* script;
        const char* message;
    };
    for (Bad bad : {Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  SCROLLBAR 3, 1,2,3,4\nEND\n", "x.rc:3"},
                    Bad{"#include \"other.h\"\n", "x.rc:1"},
                    Bad{"1 MENU\n", "MENU"},
                    Bad{"1 DIALOG 0,0,1,1\nBEGIN\n  LTEXT \"a\", UNKNOWN_ID, 1,2,3,4\nEND\n", "UNKNOWN_ID"},
                    Bad{"#if 1\n#endif\n", "#if"},
                    Bad{"STRINGTABLE\nBEGIN\n 1 \"unterminated\nEND\n", "unterminated"}}) {
        const platform::ResourceFile one[] = {{"x.rc", bad.script}};
        EXPECT_FALSE(platform::ParseResourceScript(one, 1, parsed, error)) << bad.script;
        EXPECT_NE(error.find(bad.message), std::string::npos) << error;
    }
}

TEST(DialogScript, TextFormReadsBackWhatItWrites) {
    using platform::DialogAction;
    const std::vector<DialogAction> actions = {DialogAction::Click(1024),    DialogAction::Select(1018, 2),
                                               DialogAction::Type(1038, " 0.5 \"q\" \\"),
                                               DialogAction::Highlight(1022, {0, 2}),
                                               DialogAction::Highlight(1022, {}), DialogAction::Escape(),
                                               DialogAction::Close()};
    for (const DialogAction& a : actions) {
        const std::string text = platform::FormatDialogAction(a);
        DialogAction back;
        std::string error;
        ASSERT_TRUE(platform::ParseDialogAction(text, back, error)) << text << ": " << error;
        EXPECT_EQ(back.kind, a.kind) << text;
        EXPECT_EQ(back.control, a.control) << text;
        EXPECT_EQ(back.item, a.item) << text;
        EXPECT_EQ(back.items, a.items) << text;
        EXPECT_EQ(back.text, a.text) << text;
    }
    DialogAction a;
    std::string error;
    for (const char* bad : {"press 1", "click", "click x", "select 1018", "type 1038 0.5", "type 1038 \"open",
                            "escape now", "click 1 2", "highlight 1022 x"})
        EXPECT_FALSE(platform::ParseDialogAction(bad, a, error)) << bad;

    platform::ScriptedInputSource user;
    EXPECT_FALSE(user.AddScript("click 1\nbogus\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_EQ(user.Pending(), 0u);
    ASSERT_TRUE(user.AddScript("# comment\n\nclick 1024\nanswer 2\ntype 2008 \"f\"\n", error)) << error;
    EXPECT_EQ(user.Pending(), 2u);
    ASSERT_EQ(user.answers.size(), 1u);
    EXPECT_EQ(user.answers[0], 2);
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
#endif

}  // namespace
