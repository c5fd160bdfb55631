// One thing a user does in the modal dialog on top: what an input source hands the
// dialog loop. Controls are named by their dialog item id, list entries by index.
#pragma once
#include <string>
#include <vector>

namespace platform {

struct DialogAction {
    enum Kind {
        kEndOfInput,  // the source has nothing more: the dialog is closed as by its close box
        kClick,       // click button `control`
        kSelect,      // pick entry `item` of combo box or list box `control`
        kType,        // replace the text of edit box `control` by `text` (as typed or pasted)
        kHighlight,   // make `items` the highlighted entries of list box `control`
        kEscape,      // press Esc
        kClose,       // press the close box
    };

    Kind kind = kEndOfInput;
    int control = 0;
    int item = -1;
    std::vector<int> items;
    std::string text;

    static DialogAction Click(int control) { return Make(kClick, control); }
    static DialogAction Select(int control, int item) {
        DialogAction a = Make(kSelect, control);
        a.item = item;
        return a;
    }
    static DialogAction Type(int control, std::string text) {
        DialogAction a = Make(kType, control);
        a.text = std::move(text);
        return a;
    }
    static DialogAction Highlight(int control, std::vector<int> items) {
        DialogAction a = Make(kHighlight, control);
        a.items = std::move(items);
        return a;
    }
    static DialogAction Escape() { return Make(kEscape, 0); }
    static DialogAction Close() { return Make(kClose, 0); }

private:
    static DialogAction Make(Kind kind, int control) {
        DialogAction a;
        a.kind = kind;
        a.control = control;
        return a;
    }
};

// The text form of an action, one per line, as a script or a terminal user writes it:
//   click 1024            select 1018 2          type 1038 " 0.5"
//   highlight 1022 0 2    highlight 1022         escape       close
// A typed text is quoted; inside the quotes \" is a quote and \\ a backslash.
// Returns false and says why for a line that is not an action.
bool ParseDialogAction(const std::string& line, DialogAction& action, std::string& error);
std::string FormatDialogAction(const DialogAction& action);

}  // namespace platform
