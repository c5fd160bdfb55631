// Drawing dialogs and message boxes as character cells.
#include "platform/user32/terminal_layout.h"

#include <windows.h>

#include <algorithm>

#include "platform/kernel/utf8.h"

namespace platform {
namespace terminal {

namespace {

// Dialog units per character cell.
const int kUnitsAcross = 4;
const int kUnitsDown = 8;
// The height of a closed combo box: its template height is that of the dropped list.
const int kComboUnits = 12;


void Encode(char32_t c, std::string& out) { AppendUtf8(out, c); }

using Kind = ControlKind;

int ColOf(int x) { return x / kUnitsAcross; }
// The cell row of a control one line high: the row its middle falls in.
int MiddleRow(int y, int cy) { return (y + cy / 2) / kUnitsDown; }

Rect LocalRect(const ControlView& c) {
    Rect r;
    r.col = ColOf(c.x);
    r.cols = std::max(1, ColOf(c.x + c.cx) - r.col);
    switch (KindOf(c)) {
        case Kind::kGroup:
            // The frame's top line runs through the middle of its title.
            r.row = (c.y + kUnitsDown / 2) / kUnitsDown;
            r.rows = std::max(2, (c.y + c.cy - 1) / kUnitsDown - r.row + 1);
            break;
        case Kind::kList:
            r.row = c.y / kUnitsDown;
            r.rows = std::max(1, (c.y + c.cy - 1) / kUnitsDown - r.row + 1);
            break;
        case Kind::kCombo:
            r.row = MiddleRow(c.y, kComboUnits);
            r.rows = 1;
            break;
        default:
            r.row = MiddleRow(c.y, c.cy);
            r.rows = 1;
            break;
    }
    return r;
}

bool IsPushButton(const ControlView& c) { return KindOf(c) == Kind::kPush; }

// The button that shows as the default one: the focused push button, else the
// template's default push button.
int DefaultButton(const DialogView& view, int focus) {
    if (focus >= 0 && focus < static_cast<int>(view.controls.size()) && IsPushButton(view.controls[focus]))
        return focus;
    for (size_t i = 0; i < view.controls.size(); ++i)
        if (IsPushButton(view.controls[i]) && (view.controls[i].style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return static_cast<int>(i);
    return -1;
}

// Which control inks each cell of the client area: -1 for none.
class Ink {
public:
    Ink(int rows, int cols) : rows_(rows), cols_(cols), owner_(static_cast<size_t>(rows * cols), -1) {}
    void Claim(const Rect& r, int who, bool borderOnly) {
        for (int y = r.row; y < r.row + r.rows; ++y)
            for (int x = r.col; x < r.col + r.cols; ++x) {
                bool border = y == r.row || y == r.row + r.rows - 1 || x == r.col || x == r.col + r.cols - 1;
                if ((!borderOnly || border) && Inside(y, x)) owner_[static_cast<size_t>(y * cols_ + x)] = who;
            }
    }
    // Cells free for `who` from (row, col) on, up to the client's edge.
    int Room(int row, int col, int who) const {
        int n = 0;
        while (Inside(row, col + n)) {
            int o = owner_[static_cast<size_t>(row * cols_ + col + n)];
            if (o != -1 && o != who) break;
            ++n;
        }
        return n;
    }
    bool Free(int row, int col, int who) const { return Room(row, col, who) > 0; }

private:
    bool Inside(int y, int x) const { return y >= 0 && y < rows_ && x >= 0 && x < cols_; }
    int rows_, cols_;
    std::vector<int> owner_;
};

std::string EntryText(const ControlView& c, int i) {
    return i >= 0 && i < static_cast<int>(c.items.size()) ? c.items[static_cast<size_t>(i)] : std::string();
}

bool Selected(const ControlView& c, int i) {
    return std::find(c.selected.begin(), c.selected.end(), i) != c.selected.end();
}

}  // namespace

void Canvas::Put(int r, int c, char32_t ch, unsigned attr) {
    if (r < 0 || r >= rows_ || c < 0 || c >= cols_) return;
    if (clipped_ && !clip_.Contains(r, c)) return;
    Cell& cell = cells_[static_cast<size_t>(r * cols_ + c)];
    cell.ch = ch;
    cell.attr = attr;
}

int Canvas::Text(int r, int c, const std::string& utf8, int width, unsigned attr) {
    std::u32string s = DecodeText(utf8);
    int n = 0;
    for (char32_t ch : s) {
        if (n >= width) break;
        // Control characters would move the terminal's cursor.
        Put(r, c + n, ch < 0x20 || ch == 0x7F ? U' ' : ch, attr);
        ++n;
    }
    return n;
}

void Canvas::Fill(const Rect& rect, unsigned attr) {
    for (int y = rect.row; y < rect.row + rect.rows; ++y)
        for (int x = rect.col; x < rect.col + rect.cols; ++x) Put(y, x, U' ', attr);
}

void Canvas::Box(const Rect& r, unsigned attr) {
    if (r.rows < 2 || r.cols < 2) return;
    const int bottom = r.row + r.rows - 1, right = r.col + r.cols - 1;
    for (int x = r.col + 1; x < right; ++x) {
        Put(r.row, x, kHLine, attr);
        Put(bottom, x, kHLine, attr);
    }
    for (int y = r.row + 1; y < bottom; ++y) {
        Put(y, r.col, kVLine, attr);
        Put(y, right, kVLine, attr);
    }
    Put(r.row, r.col, kULCorner, attr);
    Put(r.row, right, kURCorner, attr);
    Put(bottom, r.col, kLLCorner, attr);
    Put(bottom, right, kLRCorner, attr);
}

std::string Canvas::RowText(int r) const {
    static const char32_t lines[] = {U'─', U'│', U'┌', U'┐', U'└', U'┘'};
    std::string out;
    for (int c = 0; c < cols_; ++c) {
        char32_t ch = at(r, c).ch;
        if (ch >= kHLine && ch <= kLRCorner) ch = lines[ch - kHLine];
        Encode(ch, out);
    }
    return out;
}

ControlKind KindOf(const ControlView& c) {
    if (c.className == "Button") {
        switch (c.style & BS_TYPEMASK) {
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX:
            case BS_3STATE:
            case BS_AUTO3STATE:
                return ControlKind::kCheck;
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON:
                return ControlKind::kRadio;
            case BS_GROUPBOX:
                return ControlKind::kGroup;
            default:
                return ControlKind::kPush;
        }
    }
    if (c.className == "Edit") return ControlKind::kEdit;
    if (c.className == "ComboBox") return ControlKind::kCombo;
    if (c.className == "ListBox") return ControlKind::kList;
    return ControlKind::kStatic;
}

std::u32string DecodeText(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + static_cast<size_t>(n) > s.size()) {
            out.push_back(U'?');
            ++i;
            continue;
        }
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += static_cast<size_t>(n);
    }
    return out;
}

int TextWidth(const std::string& utf8) { return static_cast<int>(DecodeText(utf8).size()); }

int DropRows(const ControlView& c) {
    const int fromTemplate = (c.cy - kComboUnits) / kUnitsDown;
    return std::max(1, std::min(static_cast<int>(c.items.size()), std::max(4, fromTemplate)));
}

void DialogSize(const DialogView& view, int& rows, int& cols) {
    // The template's own size; controls past it are cut off as on Windows.
    cols = (view.cx + kUnitsAcross - 1) / kUnitsAcross + 2;
    rows = (view.cy + kUnitsDown - 1) / kUnitsDown + 2;
}

namespace {

// What drawing a dialog's controls needs: the canvas, the dialog, where its
// controls are and which cells each may write.
struct DialogPainter {
    Canvas& canvas;
    const DialogView& view;
    const FocusState& state;
    DialogLayout& layout;
    const Ink& ink;
    const Rect& client;
    int defaultButton;
};

// One control drawn by its kind: where, and how.
struct ControlPainter : DialogPainter {
    const ControlView& c;
    int i;
    Rect local;      // in the client area
    const Rect& r;   // on the screen
    bool focused;
    unsigned a;      // the attributes of a control enabled or not

    void Group() {
        auto room = [&](int localCol) { return ink.Room(local.row, localCol, i); };
        canvas.Box(r, a);
        if (!c.text.empty()) {
            // A title runs on past its frame only when all of it then shows.
            const std::string title = " " + c.text + " ";
            int width = room(local.col + 1);
            if (width < TextWidth(title)) width = std::min(width, r.cols - 2);
            canvas.Text(r.row, r.col + 1, title, width, a);
        }
    }

    void Static() {
        auto room = [&](int localCol) { return ink.Room(local.row, localCol, i); };
        int at = local.col;
        const int width = TextWidth(c.text);
        if ((c.style & 0x3) == SS_CENTER) at += std::max(0, (local.cols - width) / 2);
        canvas.Text(r.row, client.col + at, c.text, room(at), a);
    }

    void Mark() {
        auto room = [&](int localCol) { return ink.Room(local.row, localCol, i); };
        const Kind kind = KindOf(c);
        std::string mark = kind == Kind::kRadio ? (c.check ? "(*)" : "( )")
                                                : (c.check == BST_CHECKED ? "[x]"
                                                   : c.check ? "[-]" : "[ ]");
        int w = canvas.Text(r.row, r.col, mark + " ", room(local.col), a);
        canvas.Text(r.row, r.col + w, c.text, room(local.col + w), a | (focused ? kReverse : kNormal));
    }

    void Push() {
        const bool isDefault = i == defaultButton;
        const int width = TextWidth(c.text);
        // Brackets may stand in the cell just outside the button when it is free.
        const int lo = local.col - (ink.Free(local.row, local.col - 1, i) ? 1 : 0);
        const int hi = local.col + local.cols + (ink.Free(local.row, local.col + local.cols, i) ? 1 : 0);
        const int span = hi - lo;
        std::string label;
        if (isDefault && width + 4 <= span)
            label = "[[" + c.text + "]]";
        else if (!isDefault && width + 4 <= span)
            label = "[ " + c.text + " ]";
        else
            label = "[" + c.text + "]";
        const int lw = std::min(span, TextWidth(label));
        const int at = std::max(lo, local.col + (local.cols - lw) / 2);
        canvas.Text(r.row, client.col + at, label, std::min(lw, hi - at),
                    a | (isDefault ? kBold : kNormal) | (focused ? kReverse : kNormal));
    }

    void Edit() {
        const int inner = std::max(1, r.cols - 2);
        std::u32string text = DecodeText(c.text);
        int caret = focused ? std::min<int>(state.caret, static_cast<int>(text.size()))
                            : static_cast<int>(text.size());
        // Scrolled so that the caret shows, as ES_AUTOHSCROLL does.
        int first = std::max(0, caret - inner + 1);
        if (!focused) first = 0;
        std::string shown;
        for (int k = first; k < static_cast<int>(text.size()) && k < first + inner; ++k)
            Encode(text[static_cast<size_t>(k)], shown);
        canvas.Put(r.row, r.col, U'[', a);
        canvas.Fill(Rect{r.row, r.col + 1, 1, inner}, a | kUnderline);
        canvas.Text(r.row, r.col + 1, shown, inner,
                    a | kUnderline | (focused && state.selectAll ? kReverse : kNormal));
        canvas.Put(r.row, r.col + 1 + inner, U']', a);
        if (focused) {
            layout.cursorRow = r.row;
            layout.cursorCol = r.col + 1 + (caret - first);
        }
    }

    void Combo() {
        const int inner = std::max(1, r.cols - 4);
        canvas.Put(r.row, r.col, U'[', a);
        canvas.Fill(Rect{r.row, r.col + 1, 1, inner}, a | (focused ? kReverse : kNormal));
        canvas.Text(r.row, r.col + 1, EntryText(c, c.selected.empty() ? -1 : c.selected[0]), inner,
                    a | (focused ? kReverse : kNormal));
        canvas.Text(r.row, r.col + 1 + inner, " v]", 3, a);
    }

    void List() {
        const bool border = (c.style & WS_BORDER) != 0 && r.rows >= 3 && r.cols >= 3;
        if (border) canvas.Box(r, a);
        const Rect in = border ? Rect{r.row + 1, r.col + 1, r.rows - 2, r.cols - 2} : r;
        const int count = static_cast<int>(c.items.size());
        const int caret = focused ? state.listCaret : -1;
        int first = 0;
        if (caret >= in.rows) first = caret - in.rows + 1;
        for (int k = 0; k < in.rows && first + k < count; ++k) {
            const int item = first + k;
            unsigned ea = a | (Selected(c, item) ? kReverse : kNormal) |
                          (item == caret ? kUnderline : kNormal);
            canvas.Fill(Rect{in.row + k, in.col, 1, in.cols}, ea);
            canvas.Text(in.row + k, in.col, EntryText(c, item), in.cols, ea);
        }
        if (first + in.rows < count) canvas.Put(in.row + in.rows - 1, in.col + in.cols - 1, U'+', a);
        if (focused) {
            layout.cursorRow = in.row + std::max(0, caret - first);
            layout.cursorCol = in.col;
        }
    }
};

void DrawControl(const DialogPainter& d, int i) {
    const ControlView& c = d.view.controls[static_cast<size_t>(i)];
    ControlPainter p{d, c, i, LocalRect(c), d.layout.controls[static_cast<size_t>(i)], i == d.state.focus,
                     (c.enabled && d.view.enabled) ? kNormal : kDim};
    switch (KindOf(c)) {
        case Kind::kGroup:
            return p.Group();
        case Kind::kStatic:
            return p.Static();
        case Kind::kRadio:
        case Kind::kCheck:
            return p.Mark();
        case Kind::kPush:
            return p.Push();
        case Kind::kEdit:
            return p.Edit();
        case Kind::kCombo:
            return p.Combo();
        case Kind::kList:
            return p.List();
    }
}

// Where the cursor goes: in the dropped-down list of a combo box, which lies over
// everything below it, or on the focused control.
void Cursor(const DialogPainter& d) {
    Canvas& canvas = d.canvas;
    const DialogView& view = d.view;
    const FocusState& state = d.state;
    DialogLayout& layout = d.layout;
    const int n = static_cast<int>(view.controls.size());
    if (state.dropped >= 0 && state.dropped < n) {
        const ControlView& c = view.controls[static_cast<size_t>(state.dropped)];
        const Rect& r = layout.controls[static_cast<size_t>(state.dropped)];
        const int count = static_cast<int>(c.items.size());
        const int shown = DropRows(c);
        layout.dropList = Rect{r.row + 1, r.col, shown + 2, r.cols};
        canvas.Fill(layout.dropList);
        canvas.Box(layout.dropList);
        int first = 0;
        if (state.droppedItem >= shown) first = state.droppedItem - shown + 1;
        layout.dropFirst = first;
        for (int k = 0; k < shown && first + k < count; ++k) {
            const int item = first + k;
            const unsigned ea = item == state.droppedItem ? kReverse : kNormal;
            canvas.Fill(Rect{r.row + 2 + k, r.col + 1, 1, r.cols - 2}, ea);
            canvas.Text(r.row + 2 + k, r.col + 1, EntryText(c, item), r.cols - 2, ea);
        }
        if (count == 0) canvas.Text(r.row + 2, r.col + 1, "(empty)", r.cols - 2, kDim);
        layout.cursorRow = r.row + 2 + std::max(0, state.droppedItem - first);
        layout.cursorCol = r.col + 1;
    } else if (layout.cursorRow < 0 && state.focus >= 0 && state.focus < n) {
        const Rect& r = layout.controls[static_cast<size_t>(state.focus)];
        layout.cursorRow = r.row;
        layout.cursorCol = r.col + (KindOf(view.controls[static_cast<size_t>(state.focus)]) == Kind::kCombo ? 1 : 0);
    }
}

}  // namespace

DialogLayout DrawDialog(Canvas& canvas, const DialogView& view, const FocusState& state) {
    DialogLayout layout;
    int rows = 0, cols = 0;
    DialogSize(view, rows, cols);
    layout.frame = Rect{std::max(0, (canvas.rows() - rows) / 2), std::max(0, (canvas.cols() - cols) / 2), rows, cols};
    layout.client = Rect{layout.frame.row + 1, layout.frame.col + 1, rows - 2, cols - 2};
    const unsigned dim = view.enabled ? kNormal : kDim;
    canvas.Fill(layout.frame, dim);
    canvas.Box(layout.frame, dim);
    // The caption on the top line, the close box at its right end.
    canvas.Text(layout.frame.row, layout.frame.col + 2, " " + view.caption + " ", cols - 8, kBold | dim);
    layout.closeBox = Rect{layout.frame.row, layout.frame.col + cols - 5, 1, 3};
    canvas.Text(layout.frame.row, layout.closeBox.col, "[x]", 3, dim);

    const Rect& client = layout.client;
    const int n = static_cast<int>(view.controls.size());
    Ink ink(client.rows, client.cols);
    for (int i = 0; i < n; ++i) {
        const ControlView& c = view.controls[static_cast<size_t>(i)];
        Rect local = LocalRect(c);
        if (c.style & WS_VISIBLE) ink.Claim(local, i, KindOf(c) == Kind::kGroup);
        Rect screen = local;
        screen.row += client.row;
        screen.col += client.col;
        layout.controls.push_back(screen);
    }
    const int defaultButton = DefaultButton(view, state.focus);

    // Group boxes first: the controls inside are drawn over their area. Controls are
    // cut off at the client area's edges, as child windows are.
    DialogPainter painter{canvas, view, state, layout, ink, client, defaultButton};
    canvas.Clip(client);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) {
            const ControlView& c = view.controls[static_cast<size_t>(i)];
            if ((KindOf(c) == Kind::kGroup) == (pass == 0) && (c.style & WS_VISIBLE)) DrawControl(painter, i);
        }
    canvas.Unclip();
    Cursor(painter);
    return layout;
}

}  // namespace terminal
}  // namespace platform
