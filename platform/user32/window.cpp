// Dialog windows and their controls: the messages of each class.
#include "platform/user32/window.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

namespace platform {
namespace ui {

namespace {

thread_local std::map<HWND, Window*> table;

// Handles are never reused, so a handle kept past its window's end finds nothing.
HWND NewHandle() {
    static std::atomic<uintptr_t> next{0x10000};
    return reinterpret_cast<HWND>(next.fetch_add(4) + 4);
}

HWND Handle(const Window* w) { return w ? w->handle : nullptr; }

WindowKind KindOf(const std::string& className) {
    if (className == "Button") return WindowKind::kButton;
    if (className == "Edit") return WindowKind::kEdit;
    if (className == "ComboBox") return WindowKind::kComboBox;
    if (className == "ListBox") return WindowKind::kListBox;
    return WindowKind::kStatic;
}

UINT ButtonType(const Window* w) { return w->style & BS_TYPEMASK; }
bool IsRadio(const Window* w) {
    return ButtonType(w) == BS_RADIOBUTTON || ButtonType(w) == BS_AUTORADIOBUTTON;
}

// The most a button of this type can be checked: push buttons and group boxes not at all.
UINT MaxCheck(const Window* w) {
    switch (ButtonType(w)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return BST_CHECKED;
        case BS_3STATE:
        case BS_AUTO3STATE:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
    }
}

void SetCheck(Window* w, WPARAM state) {
    w->check = static_cast<UINT>(std::min<WPARAM>(state, MaxCheck(w)));
    // As user32 does: a radio button is a tab stop exactly while it is checked.
    if (IsRadio(w)) w->style = w->check ? (w->style | WS_TABSTOP) : (w->style & ~static_cast<DWORD>(WS_TABSTOP));
}

// Copies text out as WM_GETTEXT does: at most max - 1 characters and a terminator.
LRESULT CopyOut(const std::string& s, WPARAM max, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || max == 0) return 0;
    const size_t n = std::min<size_t>(s.size(), max - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

// Copies an entry out as CB_GETLBTEXT and LB_GETTEXT do: the whole entry and a
// terminator into a buffer the caller sized from the entry's length.
LRESULT CopyEntry(const Window* w, WPARAM index, LPARAM buffer, LRESULT error) {
    if (index >= w->items.size() || !buffer) return error;
    const std::string& s = w->items[index];
    std::memcpy(reinterpret_cast<char*>(buffer), s.c_str(), s.size() + 1);
    return static_cast<LRESULT>(s.size());
}

LRESULT EntryLength(const Window* w, WPARAM index, LRESULT error) {
    return index < w->items.size() ? static_cast<LRESULT>(w->items[index].size()) : error;
}

LRESULT TextMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT: {
            const char* s = reinterpret_cast<const char*>(lParam);
            w->text = s ? s : "";
            return TRUE;
        }
        case WM_GETTEXT:
            return CopyOut(w->text, wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        default:
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return 0;
    }
}

void Notify(Window* control, WORD code) {
    if (control->parent)
        Send(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control->handle));
}

// The auto radio buttons of the control's group other than itself, that the system
// unchecks when it is clicked. A group runs from a control with WS_GROUP to the next
// one; disabled and hidden controls are passed over, as GetNextDlgGroupItem does.
void UncheckGroup(Window* button) {
    Window* dialog = button->parent;
    if (!dialog) return;
    auto& c = dialog->children;
    size_t at = 0;
    while (at < c.size() && c[at].get() != button) ++at;
    if (at == c.size()) return;
    size_t start = at;
    while (start > 0 && !(c[start]->style & WS_GROUP)) --start;
    for (size_t i = start; i < c.size(); ++i) {
        Window* w = c[i].get();
        if (i > start && (w->style & WS_GROUP)) break;
        if (w == button || w->kind != WindowKind::kButton || ButtonType(w) != BS_AUTORADIOBUTTON) continue;
        if ((w->style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE) SetCheck(w, BST_UNCHECKED);
    }
}

// A click that reached the button: automatic buttons change their own state, then
// the dialog is told.
void Click(Window* button) {
    switch (ButtonType(button)) {
        case BS_AUTORADIOBUTTON:
            SetCheck(button, BST_CHECKED);
            UncheckGroup(button);
            break;
        case BS_AUTOCHECKBOX:
            SetCheck(button, button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
            break;
        case BS_AUTO3STATE:
            SetCheck(button, (button->check + 1) % 3);
            break;
        default:
            break;
    }
    Notify(button, BN_CLICKED);
}

LRESULT ButtonMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_GETCHECK:
            return w->check;
        case BM_SETCHECK:
            SetCheck(w, wParam);
            return 0;
        case BM_CLICK:
            // A disabled button takes no clicks, nor does a group box.
            if (w->Enabled() && ButtonType(w) != BS_GROUPBOX) Click(w);
            return 0;
        default:
            return TextMessage(w, message, wParam, lParam);
    }
}

LRESULT EditMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != EM_GETLINE) return TextMessage(w, message, wParam, lParam);
    // The first word of the buffer holds its size in characters; the line is copied
    // without a terminator and the number of characters copied is returned.
    char* out = reinterpret_cast<char*>(lParam);
    if (!out) return 0;
    WORD size = 0;
    std::memcpy(&size, out, sizeof size);
    std::string line = w->text;
    if (w->style & ES_MULTILINE) {
        size_t begin = 0;
        for (WPARAM i = 0; i < wParam; ++i) {
            const size_t eol = line.find("\r\n", begin);
            if (eol == std::string::npos) return 0;
            begin = eol + 2;
        }
        const size_t end = line.find("\r\n", begin);
        line = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
    const size_t n = std::min<size_t>(line.size(), size);
    std::memcpy(out, line.data(), n);
    return static_cast<LRESULT>(n);
}

LRESULT ComboMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    const int count = static_cast<int>(w->items.size());
    switch (message) {
        case CB_RESETCONTENT:
            w->items.clear();
            w->current = -1;
            return CB_OKAY;
        case CB_INSERTSTRING: {
            // Inserted where asked (-1 at the end), sorted style or not.
            const int index = static_cast<int>(wParam);
            const char* s = reinterpret_cast<const char*>(lParam);
            if (!s || index < -1 || index > count) return CB_ERR;
            const int at = index == -1 ? count : index;
            w->items.insert(w->items.begin() + at, s);
            if (w->current >= at) ++w->current;
            return at;
        }
        case CB_SETCURSEL: {
            // -1 or an index past the end clears the selection and answers CB_ERR.
            const int index = static_cast<int>(wParam);
            if (index < 0 || index >= count) {
                w->current = -1;
                return CB_ERR;
            }
            w->current = index;
            return index;
        }
        case CB_GETCURSEL:
            return w->current;
        case CB_GETCOUNT:
            return count;
        case CB_GETLBTEXT:
            return CopyEntry(w, wParam, lParam, CB_ERR);
        case CB_GETLBTEXTLEN:
            return EntryLength(w, wParam, CB_ERR);
        case WM_GETTEXT:
            return CopyOut(w->current >= 0 ? w->items[w->current] : std::string(), wParam, lParam);
        case WM_GETTEXTLENGTH:
            return w->current >= 0 ? static_cast<LRESULT>(w->items[w->current].size()) : 0;
        case WM_SETTEXT:
            // A drop-down list shows only its entries.
            return CB_ERR;
        default:
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return 0;
    }
}

LRESULT ListMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    const int count = static_cast<int>(w->items.size());
    const bool multiple = w->MultipleSelection();
    switch (message) {
        case LB_ADDSTRING: {
            const char* s = reinterpret_cast<const char*>(lParam);
            if (!s || (w->style & LBS_SORT)) return LB_ERR;  // sorted lists are not supported
            w->items.push_back(s);
            w->selected.push_back(0);
            return count;
        }
        case LB_DELETESTRING: {
            if (wParam >= static_cast<WPARAM>(count)) return LB_ERR;
            const int index = static_cast<int>(wParam);
            w->items.erase(w->items.begin() + index);
            w->selected.erase(w->selected.begin() + index);
            if (w->current == index)
                w->current = -1;
            else if (w->current > index)
                --w->current;
            return count - 1;
        }
        case LB_RESETCONTENT:
            w->items.clear();
            w->selected.clear();
            w->current = -1;
            return 0;
        case LB_GETCOUNT:
            return count;
        case LB_SETSEL: {
            if (!multiple) return LB_ERR;
            const int index = static_cast<int>(lParam);
            if (index == -1) {
                std::fill(w->selected.begin(), w->selected.end(), wParam ? 1 : 0);
                return 0;
            }
            if (index < 0 || index >= count) return LB_ERR;
            w->selected[index] = wParam ? 1 : 0;
            return 0;
        }
        case LB_GETSEL:
            if (wParam >= static_cast<WPARAM>(count)) return LB_ERR;
            return multiple ? w->selected[wParam] : (w->current == static_cast<int>(wParam) ? 1 : 0);
        case LB_GETSELCOUNT:
            if (!multiple) return LB_ERR;
            return std::count(w->selected.begin(), w->selected.end(), 1);
        case LB_GETSELITEMS: {
            int* out = reinterpret_cast<int*>(lParam);
            if (!multiple || !out) return LB_ERR;
            LRESULT n = 0;
            for (int i = 0; i < count && static_cast<WPARAM>(n) < wParam; ++i)
                if (w->selected[i]) out[n++] = i;
            return n;
        }
        case LB_GETTEXT:
            return CopyEntry(w, wParam, lParam, LB_ERR);
        case LB_GETTEXTLEN:
            return EntryLength(w, wParam, LB_ERR);
        default:
            return TextMessage(w, message, wParam, lParam);
    }
}

LRESULT DialogMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    const INT_PTR handled = w->proc ? w->proc(w->handle, message, wParam, lParam) : FALSE;
    if (message == WM_INITDIALOG) return handled;
    if (handled) return 0;
    if (message == WM_CLOSE) {
        // The close box means Cancel, unless a Cancel button is there and disabled.
        Window* cancel = FindChild(w, IDCANCEL);
        if (!cancel || cancel->Enabled())
            Send(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(Handle(cancel)));
        return 0;
    }
    if (message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH)
        return TextMessage(w, message, wParam, lParam);
    return 0;
}

std::string Describe(const DialogAction& action) {
    return "control " + std::to_string(action.control);
}

// Sets the highlighted entries of a list box to exactly `items`; true when that changed anything.
bool Highlight(Window* list, const std::vector<int>& items) {
    bool changed = false;
    if (list->MultipleSelection()) {
        std::vector<char> wanted(list->items.size(), 0);
        for (int i : items) wanted[static_cast<size_t>(i)] = 1;
        changed = wanted != list->selected;
        list->selected.swap(wanted);
    } else {
        const int wanted = items.empty() ? -1 : items[0];
        changed = wanted != list->current;
        list->current = wanted;
    }
    return changed;
}

}  // namespace

Window* Find(HWND handle) {
    if (!handle) return nullptr;
    auto it = table.find(handle);
    return it == table.end() ? nullptr : it->second;
}

Window* FindChild(Window* dialog, int id) {
    if (!dialog) return nullptr;
    for (auto& c : dialog->children)
        if (c->id == id) return c.get();
    return nullptr;
}

std::vector<Window*>& ModalStack() {
    thread_local std::vector<Window*> stack;
    return stack;
}

std::unique_ptr<Window> CreateDialogWindow(const DialogTemplate& tmpl, DLGPROC proc, HWND owner) {
    auto dialog = std::make_unique<Window>();
    dialog->kind = WindowKind::kDialog;
    dialog->className = "#32770";
    dialog->templateId = tmpl.id;
    dialog->style = tmpl.style;
    dialog->exStyle = tmpl.exStyle;
    dialog->text = tmpl.caption;
    dialog->x = tmpl.x;
    dialog->y = tmpl.y;
    dialog->cx = tmpl.cx;
    dialog->cy = tmpl.cy;
    dialog->owner = owner;
    dialog->proc = proc;
    for (const DialogItemTemplate& item : tmpl.items) {
        auto c = std::make_unique<Window>();
        c->parent = dialog.get();
        c->kind = KindOf(item.className);
        c->className = item.className;
        c->id = item.id;
        c->style = item.style;
        c->exStyle = item.exStyle;
        // Lists show entries, not a text of their own.
        if (c->kind != WindowKind::kComboBox && c->kind != WindowKind::kListBox) c->text = item.text;
        c->x = item.x;
        c->y = item.y;
        c->cx = item.cx;
        c->cy = item.cy;
        dialog->children.push_back(std::move(c));
    }
    dialog->handle = NewHandle();
    table[dialog->handle] = dialog.get();
    for (auto& c : dialog->children) {
        c->handle = NewHandle();
        table[c->handle] = c.get();
    }
    return dialog;
}

void Destroy(Window* dialog) {
    for (auto& c : dialog->children) table.erase(c->handle);
    table.erase(dialog->handle);
}

LRESULT Send(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (w->kind) {
        case WindowKind::kDialog:
            return DialogMessage(w, message, wParam, lParam);
        case WindowKind::kButton:
            return ButtonMessage(w, message, wParam, lParam);
        case WindowKind::kEdit:
            return EditMessage(w, message, wParam, lParam);
        case WindowKind::kComboBox:
            return ComboMessage(w, message, wParam, lParam);
        case WindowKind::kListBox:
            return ListMessage(w, message, wParam, lParam);
        case WindowKind::kStatic:
        default:
            return TextMessage(w, message, wParam, lParam);
    }
}

std::string ApplyAction(Window* dialog, const DialogAction& action) {
    if (!dialog->Enabled()) return "the dialog is disabled";
    switch (action.kind) {
        case DialogAction::kEscape: {
            // Esc sends Cancel whatever state the Cancel button is in, as the dialog manager does.
            Window* cancel = FindChild(dialog, IDCANCEL);
            Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(Handle(cancel)));
            return std::string();
        }
        case DialogAction::kClose:
            Send(dialog, WM_CLOSE, 0, 0);
            return std::string();
        case DialogAction::kEndOfInput:
            return "the end of input is not an action";
        default:
            break;
    }
    Window* c = FindChild(dialog, action.control);
    if (!c) return "there is no " + Describe(action);
    if (!c->Enabled() || !(c->style & WS_VISIBLE)) return Describe(action) + " is disabled";
    switch (action.kind) {
        case DialogAction::kClick:
            if (c->kind != WindowKind::kButton || ButtonType(c) == BS_GROUPBOX)
                return Describe(action) + " is not a button";
            Click(c);
            return std::string();
        case DialogAction::kType: {
            if (c->kind != WindowKind::kEdit || (c->style & ES_READONLY))
                return Describe(action) + " is not an edit box";
            // A single-line edit box keeps the first line of what is pasted into it.
            std::string text = action.text;
            if (!(c->style & ES_MULTILINE)) text = text.substr(0, text.find_first_of("\r\n"));
            if (text.size() > c->limit) text.resize(c->limit);
            c->text = text;
            return std::string();
        }
        case DialogAction::kSelect:
        case DialogAction::kHighlight: {
            std::vector<int> items = action.kind == DialogAction::kSelect ? std::vector<int>{action.item} : action.items;
            if (c->kind != WindowKind::kComboBox && c->kind != WindowKind::kListBox)
                return Describe(action) + " is not a list";
            for (int i : items)
                if (i < 0 || static_cast<size_t>(i) >= c->items.size())
                    return Describe(action) + " has no entry " + std::to_string(i);
            const bool oneOnly = c->kind == WindowKind::kComboBox || !c->MultipleSelection();
            if (oneOnly && items.size() != 1 && !(c->kind == WindowKind::kListBox && items.empty()))
                return Describe(action) + " takes one entry";
            if (c->kind == WindowKind::kComboBox) {
                // Only a change of the selection is notified.
                if (items[0] != c->current) {
                    c->current = items[0];
                    Notify(c, CBN_SELCHANGE);
                }
                return std::string();
            }
            if (Highlight(c, items) && (c->style & LBS_NOTIFY)) Notify(c, LBN_SELCHANGE);
            return std::string();
        }
        default:
            return "unknown action";
    }
}

}  // namespace ui
}  // namespace platform
