// What the terminal shows of a dialog or a message box, as a grid of character
// cells: the dialog at the layout of its template (4 dialog units across and 8 down
// per cell), centred on the screen. Pure drawing, no terminal: the terminal front
// end copies the cells to the screen and finds controls under the mouse here.
#pragma once
#include <string>
#include <vector>

#include "platform/user32/dialog_view.h"

namespace platform {
namespace terminal {

enum Attr : unsigned { kNormal = 0, kBold = 1, kReverse = 2, kDim = 4, kUnderline = 8 };

// Line-drawing cells, drawn with the terminal's own line characters.
enum Line : char32_t {
    kHLine = 0xE000,
    kVLine,
    kULCorner,
    kURCorner,
    kLLCorner,
    kLRCorner,
};

struct Cell {
    char32_t ch = U' ';
    unsigned attr = kNormal;
};

struct Rect {
    int row = 0, col = 0, rows = 0, cols = 0;
    bool Contains(int r, int c) const { return r >= row && r < row + rows && c >= col && c < col + cols; }
};

class Canvas {
public:
    Canvas(int rows, int cols) : rows_(rows), cols_(cols), cells_(static_cast<size_t>(rows * cols)) {}
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    const Cell& at(int r, int c) const { return cells_[static_cast<size_t>(r * cols_ + c)]; }
    void Put(int r, int c, char32_t ch, unsigned attr = kNormal);
    // Writes UTF-8 text from (r, c), at most `width` cells; returns the cells written.
    int Text(int r, int c, const std::string& utf8, int width, unsigned attr = kNormal);
    void Fill(const Rect& rect, unsigned attr = kNormal);
    void Box(const Rect& rect, unsigned attr = kNormal);
    // The text of a row, line cells as box-drawing characters (for captures and tests).
    std::string RowText(int r) const;
    // Drawing outside `rect` leaves the cells as they are, until Unclip.
    void Clip(const Rect& rect) {
        clip_ = rect;
        clipped_ = true;
    }
    void Unclip() { clipped_ = false; }

private:
    int rows_, cols_;
    std::vector<Cell> cells_;
    Rect clip_;
    bool clipped_ = false;
};

// The state of the keyboard user that the drawing shows.
struct FocusState {
    int focus = -1;       // index of the focused control, -1 none
    int caret = 0;        // caret of the focused edit box, in characters
    bool selectAll = false;  // the focused edit box's text is selected (typing replaces it)
    int listCaret = -1;   // caret entry of the focused list box
    int dropped = -1;     // index of the combo box whose list is dropped down, -1 none
    int droppedItem = -1; // the entry highlighted in the dropped-down list
};

// Where a dialog and its controls are on the screen.
struct DialogLayout {
    Rect frame;               // the dialog with its border
    Rect client;              // inside the border
    Rect closeBox;            // the close box on the caption line
    std::vector<Rect> controls;  // per control of the view, in screen cells
    Rect dropList;            // the dropped-down list of a combo box (rows 0 when none)
    int dropFirst = 0;        // the first entry the dropped-down list shows
    int cursorRow = -1, cursorCol = -1;  // where the terminal's cursor goes
};

// The size in cells a dialog needs, its border included.
void DialogSize(const DialogView& view, int& rows, int& cols);

// Lays out and draws `view` on `canvas`, centred. Disabled dialogs (the owner of
// one on top) are drawn dim.
DialogLayout DrawDialog(Canvas& canvas, const DialogView& view, const FocusState& state);

// How many entries the dropped-down list of combo box `control` shows at most.
int DropRows(const ControlView& control);

// What a control is to the keyboard and the screen, from its class and style.
enum class ControlKind { kPush, kCheck, kRadio, kGroup, kStatic, kEdit, kCombo, kList };
ControlKind KindOf(const ControlView& control);

// Number of characters (code points) of UTF-8 text.
int TextWidth(const std::string& utf8);

// The code points of UTF-8 text; a byte that starts no whole character is a '?'.
std::u32string DecodeText(const std::string& utf8);

}  // namespace terminal
}  // namespace platform
