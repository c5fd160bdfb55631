// The terminal front end of the dialogs without a terminal: the keys of a Windows
// dialog turned into dialog actions, and the layout of a template in character cells.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/user32/terminal_keys.h"
#include "platform/user32/terminal_message_box.h"
#include "platform/user32/terminal_layout.h"

namespace {

using platform::ControlView;
using platform::DialogAction;
using platform::DialogView;
using platform::terminal::DialogKeyboard;
using platform::terminal::DialogLayout;
using platform::terminal::Key;

ControlView Control(const char* cls, int id, DWORD style, const char* text, int x, int y, int cx, int cy) {
    ControlView c;
    c.className = cls;
    c.id = id;
    c.style = style | WS_VISIBLE;
    c.text = text;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

// OK (default), Cancel, a label, three radio buttons (the third disabled), an edit
// box, a drop-down list, a multiple-selection list and a disabled button.
DialogView SampleDialog() {
    DialogView v;
    v.caption = "Sample";
    v.cx = 200;
    v.cy = 120;
    v.controls.push_back(Control("Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", 40, 100, 40, 14));
    v.controls.push_back(Control("Button", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, "Cancel", 100, 100, 40, 14));
    v.controls.push_back(Control("Static", -1, SS_LEFT | WS_GROUP, "A label longer than its box", 8, 4, 40, 8));
    v.controls.push_back(Control("Button", 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, "First", 8, 16, 60, 10));
    v.controls.push_back(Control("Button", 11, BS_AUTORADIOBUTTON, "Second", 8, 26, 60, 10));
    v.controls.push_back(Control("Button", 12, BS_AUTORADIOBUTTON, "Third", 8, 36, 60, 10));
    v.controls.push_back(Control("Edit", 20, ES_LEFT | WS_BORDER | WS_TABSTOP | WS_GROUP, "0.5", 100, 16, 40, 12));
    v.controls.push_back(Control("ComboBox", 30, CBS_DROPDOWNLIST | WS_TABSTOP, "", 100, 32, 80, 50));
    v.controls.push_back(Control("ListBox", 40, LBS_MULTIPLESEL | WS_BORDER | WS_TABSTOP, "", 8, 50, 80, 40));
    v.controls.push_back(Control("Button", 50, BS_PUSHBUTTON | WS_TABSTOP, "Off", 150, 100, 40, 14));
    v.controls[3].check = BST_CHECKED;
    v.controls[5].enabled = false;
    v.controls[7].items = {"alpha", "beta", "gamma"};
    v.controls[7].selected = {0};
    v.controls[8].items = {"x", "y", "z"};
    v.controls[9].enabled = false;
    return v;
}

// What the dialog does with an action, as far as the view shows it.
void Apply(DialogView& v, const DialogAction& a) {
    for (auto& c : v.controls) {
        if (c.id != a.control) continue;
        if (a.kind == DialogAction::kType) c.text = a.text;
        if (a.kind == DialogAction::kSelect) c.selected = {a.item};
        if (a.kind == DialogAction::kHighlight) c.selected = a.items;
        if (a.kind == DialogAction::kClick && c.className == "Button" && (c.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            for (auto& o : v.controls)
                if (o.className == "Button" && (o.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) o.check = 0;
            c.check = BST_CHECKED;
        }
    }
}

struct Driver {
    DialogView view = SampleDialog();
    DialogKeyboard keys;
    DialogLayout layout;
    std::vector<DialogAction> actions;

    // Presses a key; true when it made an action (which is applied to the view).
    bool Press(const Key& key) {
        DialogAction a;
        if (!keys.OnKey(view, layout, key, a)) return false;
        actions.push_back(a);
        Apply(view, a);
        return true;
    }
    bool Press(Key::Code code) { return Press(Key::Of(code)); }
    int Focus() {
        keys.Settle(view);
        return keys.state().focus;
    }
    const DialogAction& Last() const { return actions.back(); }
};

TEST(TerminalKeys, TabOrderDefaultButtonEscAndRadioGroups) {
    Driver d;
    EXPECT_EQ(d.Focus(), 0);  // the first tab stop
    // Tab stops in template order; unchecked radio buttons and disabled controls are passed over.
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(d.Press(Key::kTab));
        order.push_back(d.Focus());
    }
    EXPECT_EQ(order, (std::vector<int>{1, 3, 6, 7, 8, 0}));
    EXPECT_FALSE(d.Press(Key::kBackTab));
    EXPECT_EQ(d.Focus(), 8);

    // Enter presses the focused push button, else the default one.
    d.Press(Key::kBackTab);  // the drop-down list
    ASSERT_TRUE(d.Press(Key::kEnter));
    EXPECT_EQ(d.Last().kind, DialogAction::kClick);
    EXPECT_EQ(d.Last().control, IDOK);
    for (int i = 0; i < 3; ++i) d.Press(Key::kTab);  // list, OK, Cancel
    EXPECT_EQ(d.Focus(), 1);
    ASSERT_TRUE(d.Press(Key::kEnter));
    EXPECT_EQ(d.Last().control, IDCANCEL);
    ASSERT_TRUE(d.Press(Key::kEscape));
    EXPECT_EQ(d.Last().kind, DialogAction::kEscape);

    // Arrows move along the radio buttons and check the one reached, passing the disabled one.
    d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 3);
    ASSERT_TRUE(d.Press(Key::kDown));
    EXPECT_EQ(d.Last().control, 11);
    EXPECT_EQ(d.Focus(), 4);
    ASSERT_TRUE(d.Press(Key::kDown));  // wraps to the first, over the disabled third
    EXPECT_EQ(d.Last().control, 10);
    EXPECT_FALSE(d.Press(Key::kUp) && d.Last().control == 12);
    // Space on a focused radio button clicks it.
    ASSERT_TRUE(d.Press(Key::Char(U' ')));
    EXPECT_EQ(d.Last().kind, DialogAction::kClick);
}

TEST(TerminalKeys, EditComboAndListBoxes) {
    Driver d;
    d.Press(Key::kTab);
    d.Press(Key::kTab);
    d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 6);
    // Tabbing in selects the text: typing replaces it; then it is edited at the caret.
    ASSERT_TRUE(d.Press(Key::Char(U'7')));
    EXPECT_EQ(d.Last().kind, DialogAction::kType);
    EXPECT_EQ(d.Last().text, "7");
    d.Press(Key::Char(U'5'));
    d.Press(Key::kHome);
    d.Press(Key::Char(U'-'));
    EXPECT_EQ(d.view.controls[6].text, "-75");
    d.Press(Key::kEnd);
    ASSERT_TRUE(d.Press(Key::kBackspace));
    EXPECT_EQ(d.view.controls[6].text, "-7");
    d.Press(Key::Char(U'\u00b0'));  // typed text is UTF-8
    EXPECT_EQ(d.view.controls[6].text, "-7\xc2\xb0");

    // A closed drop-down list: arrows pick the next entry; Alt+Down opens it, Enter takes
    // the highlighted entry, Esc closes it without choosing and without cancelling.
    d.Press(Key::kTab);
    ASSERT_TRUE(d.Press(Key::kDown));
    EXPECT_EQ(d.Last().kind, DialogAction::kSelect);
    EXPECT_EQ(d.Last().item, 1);
    EXPECT_FALSE(d.Press(Key::kAltDown));
    EXPECT_EQ(d.keys.state().dropped, 7);
    EXPECT_FALSE(d.Press(Key::kDown));
    EXPECT_FALSE(d.Press(Key::kEscape));
    EXPECT_EQ(d.keys.state().dropped, -1);
    EXPECT_EQ(d.view.controls[7].selected, std::vector<int>{1});
    d.Press(Key::kF4);
    d.Press(Key::kDown);
    ASSERT_TRUE(d.Press(Key::kEnter));
    EXPECT_EQ(d.Last().item, 2);
    // A letter picks the next entry starting with it.
    ASSERT_TRUE(d.Press(Key::Char(U'a')));
    EXPECT_EQ(d.Last().item, 0);

    // A multiple-selection list: arrows move the caret, Space toggles the entry at it.
    d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 8);
    ASSERT_TRUE(d.Press(Key::Char(U' ')));
    EXPECT_EQ(d.Last().kind, DialogAction::kHighlight);
    EXPECT_FALSE(d.Press(Key::kDown));
    EXPECT_FALSE(d.Press(Key::kDown));
    d.Press(Key::Char(U' '));
    EXPECT_EQ(d.view.controls[8].selected, (std::vector<int>{0, 2}));
    d.Press(Key::kHome);
    d.Press(Key::Char(U' '));
    EXPECT_EQ(d.view.controls[8].selected, std::vector<int>{2});
}

// Every state of the controls a person edits: a closed and a dropped-down combo box,
// an edit box's Delete, a list whose entries shrink under its caret, and clicks on a
// dropped-down list that shows fewer entries than it holds.
TEST(TerminalKeys, ControlsInEachOfTheirStates) {
    Driver d;
    for (int i = 0; i < 3; ++i) d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 6);
    d.Press(Key::kHome);  // the caret before "0.5", the selection gone
    ASSERT_TRUE(d.Press(Key::kDelete));
    EXPECT_EQ(d.view.controls[6].text, ".5");
    d.Press(Key::kEnd);
    EXPECT_FALSE(d.Press(Key::kDelete));  // nothing after the caret
    EXPECT_EQ(d.view.controls[6].text, ".5");

    // Closed: Up picks the entry before, and at the first entry does nothing.
    d.Press(Key::kTab);
    d.Press(Key::kEnd);
    ASSERT_TRUE(d.Press(Key::kUp));
    EXPECT_EQ(d.Last().kind, DialogAction::kSelect);
    EXPECT_EQ(d.Last().item, 1);
    ASSERT_TRUE(d.Press(Key::kUp));
    EXPECT_EQ(d.Last().item, 0);
    const size_t made = d.actions.size();
    EXPECT_FALSE(d.Press(Key::kUp));
    // Dropped: moving in the list chooses nothing until Enter.
    d.Press(Key::kF4);
    EXPECT_FALSE(d.Press(Key::kEnd));
    EXPECT_FALSE(d.Press(Key::kHome));
    EXPECT_FALSE(d.Press(Key::kDown));
    EXPECT_EQ(d.actions.size(), made);
    ASSERT_TRUE(d.Press(Key::kEnter));
    EXPECT_EQ(d.Last().item, 1);

    // A list whose entries shrink under its caret keeps the caret on an entry.
    d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 8);
    d.Press(Key::kEnd);
    d.view.controls[8].items = {"only"};
    ASSERT_TRUE(d.Press(Key::Char(U' ')));
    EXPECT_EQ(d.Last().items, std::vector<int>{0});

    // A click on the dropped-down list: an entry's row chooses it, its border row only
    // closes the list, even where an entry lies beyond the rows shown.
    Driver m;
    m.view.controls[7].items = {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7"};
    for (int i = 0; i < 4; ++i) m.Press(Key::kTab);
    ASSERT_EQ(m.Focus(), 7);
    m.Press(Key::kF4);
    platform::terminal::Canvas canvas(40, 80);
    m.layout = platform::terminal::DrawDialog(canvas, m.view, m.keys.state());
    const platform::terminal::Rect list = m.layout.dropList;
    ASSERT_LT(list.rows - 2, 8);
    const int col = list.col + 2;
    EXPECT_FALSE(m.Press(Key::Click(list.row + list.rows - 1, col)));
    EXPECT_EQ(m.keys.state().dropped, -1);
    m.Press(Key::kF4);
    ASSERT_TRUE(m.Press(Key::Click(list.row + 3, col)));
    EXPECT_EQ(m.Last().item, 2);
    EXPECT_EQ(canvas.RowText(list.row + 3).find("a2") != std::string::npos, true);
}

TEST(TerminalKeys, FocusLeavesAControlThatIsDisabled) {
    Driver d;
    for (int i = 0; i < 4; ++i) d.Press(Key::kTab);
    ASSERT_EQ(d.Focus(), 7);
    d.view.controls[7].enabled = false;
    EXPECT_EQ(d.Focus(), 8);
}

TEST(TerminalKeys, MessageBoxKeys) {
    using platform::terminal::MessageBoxKeyboard;
    platform::terminal::MessageBoxLayout layout;
    int answer = 0;
    MessageBoxKeyboard yesNo(MB_YESNO);
    EXPECT_FALSE(yesNo.OnKey(layout, Key::Of(Key::kEscape), answer));  // a question must be answered
    yesNo.OnKey(layout, Key::Of(Key::kRight), answer);
    ASSERT_TRUE(yesNo.OnKey(layout, Key::Of(Key::kEnter), answer));
    EXPECT_EQ(answer, IDNO);
    MessageBoxKeyboard ok(MB_OK | MB_ICONHAND);
    ASSERT_TRUE(ok.OnKey(layout, Key::Of(Key::kEscape), answer));
    EXPECT_EQ(answer, IDOK);
    MessageBoxKeyboard okCancel(MB_OKCANCEL);
    ASSERT_TRUE(okCancel.OnKey(layout, Key::Of(Key::kEscape), answer));
    EXPECT_EQ(answer, IDCANCEL);
}

TEST(TerminalLayout, TemplateUnitsToCellsTextsAndMarks) {
    DialogView v = SampleDialog();
    platform::terminal::Canvas canvas(40, 80);
    platform::terminal::FocusState none;
    DialogLayout layout = platform::terminal::DrawDialog(canvas, v, none);
    int rows = 0, cols = 0;
    platform::terminal::DialogSize(v, rows, cols);
    EXPECT_EQ(cols, 200 / 4 + 2);
    EXPECT_EQ(rows, 120 / 8 + 2);
    EXPECT_EQ(layout.frame.row, (40 - rows) / 2);
    EXPECT_EQ(layout.frame.col, (80 - cols) / 2);
    const int top = layout.client.row, left = layout.client.col;
    auto row = [&](int r) { return canvas.RowText(r); };
    EXPECT_NE(row(layout.frame.row).find("Sample"), std::string::npos);
    // The label runs on past its 40 units into free cells.
    EXPECT_NE(row(top + 1).find("A label longer than its box"), std::string::npos);
    EXPECT_EQ(canvas.at(top + 1, left + 2).ch, U'A');
    EXPECT_NE(row(top + 2).find("(*) First"), std::string::npos);
    EXPECT_NE(row(top + 2).find("[0.5     ]"), std::string::npos) << row(top + 2);
    EXPECT_NE(row(top + 4).find("[alpha"), std::string::npos) << row(top + 4);
    // OK is the default button; the disabled one is dim.
    EXPECT_NE(row(top + 13).find("[[OK]]"), std::string::npos) << row(top + 13);
    EXPECT_NE(row(top + 13).find("[ Cancel ]"), std::string::npos) << row(top + 13);
    const auto& off = layout.controls[9];
    EXPECT_TRUE(canvas.at(off.row, off.col + 3).attr & platform::terminal::kDim);

    // An edit box too narrow for its text shows its start, and when focused the part
    // around the caret, the terminal's cursor on the caret.
    DialogView wide = SampleDialog();
    wide.controls[6].text = "0123456789abcdef";
    platform::terminal::Canvas plain(40, 80);
    platform::terminal::DrawDialog(plain, wide, none);
    EXPECT_NE(plain.RowText(top + 2).find("[01234567"), std::string::npos) << plain.RowText(top + 2);
    platform::terminal::FocusState editing;
    editing.focus = 6;
    editing.caret = 16;
    platform::terminal::Canvas scrolled(40, 80);
    const DialogLayout atCaret = platform::terminal::DrawDialog(scrolled, wide, editing);
    EXPECT_NE(scrolled.RowText(top + 2).find("9abcdef"), std::string::npos) << scrolled.RowText(top + 2);
    EXPECT_EQ(scrolled.RowText(top + 2).find("0123"), std::string::npos);
    EXPECT_EQ(atCaret.cursorRow, top + 2);

    // A control running past the dialog's bottom edge is cut off there.
    DialogView cut = SampleDialog();
    cut.controls.push_back(Control("Static", -1, SS_LEFT, "Cut off", 150, 112, 40, 8));
    cut.controls.push_back(Control("ListBox", 41, WS_BORDER, "", 8, 104, 40, 40));
    cut.controls.back().items = {"p", "q", "r", "s", "t", "u"};
    platform::terminal::Canvas below(40, 80);
    const DialogLayout cutLayout = platform::terminal::DrawDialog(below, cut, none);
    const int last = cutLayout.client.row + cutLayout.client.rows - 1, bottom = last + 1;
    EXPECT_NE(below.RowText(last).find("Cut off"), std::string::npos);
    EXPECT_NE(below.RowText(last).find("p"), std::string::npos);
    // The frame's bottom line is whole and nothing shows below it.
    const std::string line = below.RowText(bottom);
    EXPECT_EQ(line.find("q"), std::string::npos) << line;
    EXPECT_EQ(below.at(bottom, cutLayout.frame.col + 3).ch, below.at(bottom, cutLayout.frame.col + 20).ch);
    EXPECT_EQ(below.RowText(bottom + 1).find_first_not_of(' '), std::string::npos) << below.RowText(bottom + 1);

    // A dropped-down list puts the cursor on its highlighted entry.
    platform::terminal::FocusState dropped;
    dropped.focus = dropped.dropped = 7;
    dropped.droppedItem = 2;
    platform::terminal::Canvas open(40, 80);
    const DialogLayout onEntry = platform::terminal::DrawDialog(open, v, dropped);
    EXPECT_NE(open.RowText(onEntry.cursorRow).find("gamma"), std::string::npos);
    EXPECT_TRUE(open.at(onEntry.cursorRow, onEntry.cursorCol).attr & platform::terminal::kReverse);

    // With the focus on Cancel, Cancel is the button Enter presses and shows so.
    platform::terminal::FocusState onCancel;
    onCancel.focus = 1;
    platform::terminal::Canvas again(40, 80);
    platform::terminal::DrawDialog(again, v, onCancel);
    EXPECT_NE(again.RowText(top + 13).find("[ OK ]"), std::string::npos);
    EXPECT_NE(again.RowText(top + 13).find("[[Cancel]]"), std::string::npos);
}

}  // namespace
