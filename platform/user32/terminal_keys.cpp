// Keys and clicks in dialogs and message boxes.
#include "platform/user32/terminal_keys.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "platform/kernel/utf8.h"

namespace platform {
namespace terminal {

namespace {

using Kind = ControlKind;

bool IsButton(const ControlView& c) {
    const Kind kind = KindOf(c);
    return kind == Kind::kPush || kind == Kind::kCheck || kind == Kind::kRadio;
}
bool IsEdit(const ControlView& c) { return c.className == "Edit"; }
bool IsCombo(const ControlView& c) { return c.className == "ComboBox"; }
bool IsList(const ControlView& c) { return c.className == "ListBox"; }
bool MultipleSelection(const ControlView& c) { return (c.style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

// Controls that can have the focus: visible and enabled, and not a label or frame.
bool Focusable(const DialogView& view, int i) {
    if (i < 0 || i >= static_cast<int>(view.controls.size())) return false;
    const ControlView& c = view.controls[static_cast<size_t>(i)];
    return (c.style & WS_VISIBLE) && c.enabled && (IsButton(c) || IsEdit(c) || IsCombo(c) || IsList(c));
}

bool TabStop(const DialogView& view, int i) {
    return Focusable(view, i) && (view.controls[static_cast<size_t>(i)].style & WS_TABSTOP);
}

const ControlView& At(const DialogView& view, int i) { return view.controls[static_cast<size_t>(i)]; }

int Count(const ControlView& c) { return static_cast<int>(c.items.size()); }
int Current(const ControlView& c) { return c.selected.empty() ? -1 : c.selected[0]; }

std::u32string Decode(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + static_cast<size_t>(n) > s.size()) n = 1;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += static_cast<size_t>(n);
    }
    return out;
}

std::string Encode(const std::u32string& s) {
    std::string out;
    for (char32_t c : s) AppendUtf8(out, c);
    return out;
}

// The entry after `from` (cycling) whose text starts with `ch`, as typing in a list does.
int EntryStartingWith(const ControlView& c, int from, char32_t ch) {
    const int n = Count(c);
    for (int k = 1; k <= n; ++k) {
        const int i = ((from < 0 ? -1 : from) + k + n) % n;
        std::u32string s = Decode(c.items[static_cast<size_t>(i)]);
        if (!s.empty() && std::towlower(static_cast<wint_t>(s[0])) == std::towlower(static_cast<wint_t>(ch)))
            return i;
    }
    return -1;
}

DialogAction ClickOf(const ControlView& c) { return DialogAction::Click(c.id); }

}  // namespace

void DialogKeyboard::FocusOn(const DialogView& view, int index, bool fromTab) {
    if (state_.focus != index) state_.dropped = -1;
    state_.focus = index;
    state_.selectAll = false;
    if (index < 0) return;
    const ControlView& c = At(view, index);
    if (IsEdit(c)) {
        state_.caret = static_cast<int>(Decode(c.text).size());
        // Tabbing into an edit box selects its text: typing replaces it.
        state_.selectAll = fromTab;
    }
    if (IsList(c)) state_.listCaret = c.selected.empty() ? (Count(c) ? 0 : -1) : c.selected[0];
}

void DialogKeyboard::Settle(const DialogView& view) {
    const int n = static_cast<int>(view.controls.size());
    if (!settled_ || !Focusable(view, state_.focus)) {
        // The next tab stop after the control that lost the focus, else the first.
        const int from = settled_ ? state_.focus : -1;
        int next = -1;
        for (int k = 1; k <= n && next < 0; ++k) {
            const int i = ((from < 0 ? -1 : from) + k) % n;
            if (TabStop(view, i)) next = i;
        }
        FocusOn(view, next, true);
        settled_ = true;
    }
    if (state_.focus >= 0) {
        const ControlView& c = At(view, state_.focus);
        if (IsList(c)) state_.listCaret = std::min(std::max(state_.listCaret, Count(c) ? 0 : -1), Count(c) - 1);
        if (IsEdit(c)) state_.caret = std::min<int>(state_.caret, static_cast<int>(Decode(c.text).size()));
    }
    if (state_.dropped >= 0 && state_.dropped != state_.focus) state_.dropped = -1;
}

bool DialogKeyboard::MoveTab(const DialogView& view, bool back) {
    const int n = static_cast<int>(view.controls.size());
    for (int k = 1; k <= n; ++k) {
        const int i = ((state_.focus < 0 ? (back ? 0 : -1) : state_.focus) + (back ? -k : k) + 2 * n) % n;
        if (TabStop(view, i)) {
            FocusOn(view, i, true);
            return true;
        }
    }
    return false;
}

// Arrow keys on a button: a radio button moves to its neighbour among the radio
// buttons that follow each other in the template (and checks it), any other button
// to the next control of its group.
bool DialogKeyboard::Arrow(const DialogView& view, int step, DialogAction& action) {
    const int n = static_cast<int>(view.controls.size());
    const int f = state_.focus;
    int first = f, last = f;
    if (KindOf(At(view, f)) == Kind::kRadio) {
        while (first > 0 && KindOf(At(view, first - 1)) == Kind::kRadio) --first;
        while (last + 1 < n && KindOf(At(view, last + 1)) == Kind::kRadio) ++last;
    } else {
        while (first > 0 && !(At(view, first).style & WS_GROUP)) --first;
        while (last + 1 < n && !(At(view, last + 1).style & WS_GROUP)) ++last;
    }
    const int size = last - first + 1;
    for (int k = 1; k < size; ++k) {
        const int i = first + ((f - first) + step * k + size * k) % size;
        if (!Focusable(view, i)) continue;
        FocusOn(view, i, false);
        const ControlView& c = At(view, i);
        if (KindOf(c) == Kind::kRadio && !c.check) {
            action = ClickOf(c);
            return true;
        }
        return false;
    }
    return false;
}

bool DialogKeyboard::Edit(const DialogView& view, const Key& key, DialogAction& action) {
    const ControlView& c = At(view, state_.focus);
    std::u32string text = Decode(c.text);
    int& caret = state_.caret;
    caret = std::min<int>(caret, static_cast<int>(text.size()));
    const bool all = state_.selectAll;
    state_.selectAll = false;
    switch (key.code) {
        case Key::kLeft:
            caret = all ? 0 : std::max(0, caret - 1);
            return false;
        case Key::kRight:
            caret = std::min<int>(static_cast<int>(text.size()), caret + 1);
            return false;
        case Key::kHome:
            caret = 0;
            return false;
        case Key::kEnd:
            caret = static_cast<int>(text.size());
            return false;
        case Key::kBackspace:
            if (all) {
                text.clear();
                caret = 0;
            } else if (caret > 0) {
                text.erase(static_cast<size_t>(--caret), 1);
            } else {
                return false;
            }
            break;
        case Key::kDelete:
            if (all) {
                text.clear();
                caret = 0;
            } else if (caret < static_cast<int>(text.size())) {
                text.erase(static_cast<size_t>(caret), 1);
            } else {
                return false;
            }
            break;
        case Key::kChar:
            if (key.ch < 0x20 || key.ch == 0x7F) return false;
            if (all) {
                text.clear();
                caret = 0;
            }
            if (c.style & ES_READONLY) return false;
            text.insert(static_cast<size_t>(caret++), 1, key.ch);
            break;
        default:
            state_.selectAll = all;
            return false;
    }
    action = DialogAction::Type(c.id, Encode(text));
    return true;
}

bool DialogKeyboard::ComboKey(const DialogView& view, const Key& key, DialogAction& action) {
    const ControlView& c = At(view, state_.focus);
    const int n = Count(c);
    const bool dropped = state_.dropped == state_.focus;
    int& item = state_.droppedItem;
    auto choose = [&](int i) {
        if (i < 0 || i >= n) return false;
        action = DialogAction::Select(c.id, i);
        return true;
    };
    if (dropped) {
        switch (key.code) {
            case Key::kUp:
            case Key::kLeft:
                item = std::max(0, item - 1);
                return false;
            case Key::kDown:
            case Key::kRight:
                item = std::min(n - 1, item + 1);
                return false;
            case Key::kHome:
                item = n ? 0 : -1;
                return false;
            case Key::kEnd:
                item = n - 1;
                return false;
            case Key::kChar: {
                const int i = EntryStartingWith(c, item, key.ch);
                if (i >= 0) item = i;
                return false;
            }
            case Key::kEscape:
                state_.dropped = -1;
                return false;
            case Key::kEnter:
            case Key::kAltUp:
            case Key::kAltDown:
            case Key::kF4:
            case Key::kTab:
            case Key::kBackTab:
                state_.dropped = -1;
                if (key.code == Key::kTab || key.code == Key::kBackTab) MoveTab(view, key.code == Key::kBackTab);
                return item != Current(c) && choose(item);
            default:
                return false;
        }
    }
    switch (key.code) {
        case Key::kAltDown:
        case Key::kAltUp:
        case Key::kF4:
            state_.dropped = state_.focus;
            item = Current(c) >= 0 ? Current(c) : (n ? 0 : -1);
            return false;
        case Key::kUp:
        case Key::kLeft:
            return Current(c) > 0 && choose(Current(c) - 1);
        case Key::kDown:
        case Key::kRight:
            return choose(Current(c) + 1);
        case Key::kHome:
            return Current(c) != 0 && choose(0);
        case Key::kEnd:
            return Current(c) != n - 1 && choose(n - 1);
        case Key::kChar: {
            const int i = EntryStartingWith(c, Current(c), key.ch);
            return i >= 0 && i != Current(c) && choose(i);
        }
        default:
            return false;
    }
}

bool DialogKeyboard::ListKey(const DialogView& view, const Key& key, DialogAction& action) {
    const ControlView& c = At(view, state_.focus);
    const int n = Count(c);
    if (n == 0) return false;
    int& caret = state_.listCaret;
    const int before = caret;
    switch (key.code) {
        case Key::kUp:
        case Key::kLeft:
            caret = std::max(0, caret - 1);
            break;
        case Key::kDown:
        case Key::kRight:
            caret = std::min(n - 1, caret + 1);
            break;
        case Key::kHome:
            caret = 0;
            break;
        case Key::kEnd:
            caret = n - 1;
            break;
        case Key::kChar:
            if (key.ch == U' ') {
                if (caret < 0) return false;
                std::vector<int> items = c.selected;
                if (!MultipleSelection(c)) {
                    items = {caret};
                } else {
                    // Space toggles the entry with the caret in a multiple-selection list.
                    auto at = std::find(items.begin(), items.end(), caret);
                    if (at == items.end())
                        items.push_back(caret);
                    else
                        items.erase(at);
                    std::sort(items.begin(), items.end());
                }
                action = DialogAction::Highlight(c.id, items);
                return true;
            } else {
                const int i = EntryStartingWith(c, caret, key.ch);
                if (i >= 0) caret = i;
            }
            break;
        default:
            return false;
    }
    // A single-selection list selects where the caret goes; a multiple-selection one only moves it.
    if (!MultipleSelection(c) && caret != before) {
        action = DialogAction::Highlight(c.id, {caret});
        return true;
    }
    return false;
}

bool DialogKeyboard::PressDefault(const DialogView& view, DialogAction& action) {
    const int n = static_cast<int>(view.controls.size());
    if (state_.focus >= 0 && KindOf(At(view, state_.focus)) == Kind::kPush) {
        action = ClickOf(At(view, state_.focus));
        return true;
    }
    for (int i = 0; i < n; ++i) {
        const ControlView& c = At(view, i);
        if (KindOf(c) == Kind::kPush && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            if (!Focusable(view, i)) return false;
            action = ClickOf(c);
            return true;
        }
    }
    for (int i = 0; i < n; ++i)
        if (At(view, i).id == IDOK && Focusable(view, i) && KindOf(At(view, i)) == Kind::kPush) {
            action = DialogAction::Click(IDOK);
            return true;
        }
    return false;
}

bool DialogKeyboard::Click(const DialogView& view, const DialogLayout& layout, const Key& key, DialogAction& action) {
    if (state_.dropped >= 0) {
        // A click in the dropped-down list chooses an entry; anywhere else it closes the list.
        const Rect& d = layout.dropList;
        const ControlView& c = At(view, state_.dropped);
        state_.dropped = -1;
        if (key.row > d.row && key.row < d.row + d.rows - 1 && key.col > d.col && key.col < d.col + d.cols - 1) {
            const int i = layout.dropFirst + key.row - d.row - 1;
            if (i < Count(c) && i != Current(c)) {
                action = DialogAction::Select(c.id, i);
                return true;
            }
        }
        return false;
    }
    if (layout.closeBox.Contains(key.row, key.col)) {
        action = DialogAction::Close();
        return true;
    }
    for (int i = static_cast<int>(view.controls.size()) - 1; i >= 0; --i) {
        const ControlView& c = At(view, i);
        Rect r = layout.controls[static_cast<size_t>(i)];
        if (KindOf(c) == Kind::kPush) {
            // The brackets around a button's text may stand just outside it.
            r.col -= 1;
            r.cols += 2;
        }
        if (!r.Contains(key.row, key.col) || !Focusable(view, i)) continue;
        FocusOn(view, i, false);
        if (IsButton(c)) {
            action = ClickOf(c);
            return true;
        }
        if (IsCombo(c)) {
            state_.dropped = i;
            state_.droppedItem = Current(c) >= 0 ? Current(c) : (Count(c) ? 0 : -1);
            return false;
        }
        if (IsEdit(c)) {
            state_.caret = std::max(0, key.col - r.col - 1);
            return false;
        }
        if (IsList(c)) {
            const bool border = (c.style & WS_BORDER) && r.rows >= 3;
            const int rows = border ? r.rows - 2 : r.rows;
            const int top = border ? r.row + 1 : r.row;
            const int first = std::max(0, state_.listCaret - rows + 1);
            const int item = first + key.row - top;
            if (key.row < top || key.row >= top + rows || item >= Count(c)) return false;
            state_.listCaret = item;
            return ListKey(view, Key::Char(U' '), action);
        }
        return false;
    }
    return false;
}

bool DialogKeyboard::OnKey(const DialogView& view, const DialogLayout& layout, const Key& key, DialogAction& action) {
    Settle(view);
    if (key.code == Key::kClick) return Click(view, layout, key, action);
    const int f = state_.focus;
    const ControlView* c = f >= 0 ? &At(view, f) : nullptr;
    if (c && IsCombo(*c) && state_.dropped == f) return ComboKey(view, key, action);
    switch (key.code) {
        case Key::kTab:
        case Key::kBackTab:
            MoveTab(view, key.code == Key::kBackTab);
            return false;
        case Key::kEscape:
            action = DialogAction::Escape();
            return true;
        case Key::kEnter:
            return PressDefault(view, action);
        default:
            break;
    }
    if (!c) return false;
    if (IsEdit(*c)) return Edit(view, key, action);
    if (IsCombo(*c)) return ComboKey(view, key, action);
    if (IsList(*c)) return ListKey(view, key, action);
    switch (key.code) {
        case Key::kChar:
            if (key.ch == U' ') {
                action = ClickOf(*c);
                return true;
            }
            return false;
        case Key::kUp:
        case Key::kLeft:
            return Arrow(view, -1, action);
        case Key::kDown:
        case Key::kRight:
            return Arrow(view, 1, action);
        default:
            return false;
    }
}

}  // namespace terminal
}  // namespace platform
