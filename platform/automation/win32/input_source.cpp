// The input sources on Windows: while a test (or a batch run) has installed one on
// its thread, the real user32 message boxes and modal dialogs of that thread take
// their answers from it, so the same scripted runs that drive the native dialog
// layer drive the real dialogs.
//
// - A thread CBT hook sees every dialog window activated. A message box is
//   recognised by its dialog procedure, which is user32's own; its caption,
//   text, owner and flags are read from the window and handed to the source,
//   and the button the source answers is pressed by a posted WM_COMMAND.
//   Of the flags only what the box shows can be read back: its buttons, its icon
//   and its default button.
// - Every other dialog is driven by a timer of its own: at each tick the dialog on
//   top, when nothing else runs, takes the next action of the source and carries
//   it out with the messages a user's input would produce.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "platform/automation/input_source.h"

namespace platform {

namespace {

// The first button of each message box type: what pressing Enter would choose.
int FirstButton(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_RETRYCANCEL:
            return IDRETRY;
        default:
            return IDOK;
    }
}

// Used when nothing is installed. Windows then shows its boxes to a person; this
// only answers for callers that ask the source directly.
class DefaultInputSource : public InputSource {
public:
    int OnMessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) override {
        std::cerr << "[" << caption << "] " << text << std::endl;
        return FirstButton(flags);
    }
};

constexpr UINT_PTR kDriveTimer = 0x4C50;  // "LP"
constexpr UINT kDriveInterval = USER_TIMER_MINIMUM;

struct ThreadState {
    InputSource* source = nullptr;
    HHOOK hook = nullptr;
    std::vector<HWND> driven;  // dialogs being driven, the one on top last
    std::vector<HWND> acting;  // dialogs carrying out an action (a dialog it opens runs inside it)
    int openBoxes = 0;         // message boxes shown and not yet destroyed
};

thread_local ThreadState state;

std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string TextOf(HWND w) {
    const int n = GetWindowTextLengthA(w);
    std::string text(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    const int got = GetWindowTextA(w, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// A message box is a dialog whose procedure is user32's own; the program's dialogs
// have theirs in one of the program's modules. (Under Wine a procedure of the other
// character set reads back as a handle that lies in no module.)
bool IsMessageBox(HWND w) {
    if (ClassOf(w) != "#32770") return false;
    const LONG_PTR proc = GetWindowLongPtrA(w, DWLP_DLGPROC);
    HMODULE module = nullptr;
    if (!proc || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCSTR>(proc), &module))
        return true;
    return module == GetModuleHandleA("user32.dll");
}

bool IsDialog(HWND w) { return ClassOf(w) == "#32770" && !IsMessageBox(w); }

struct BoxReading {
    std::string text;
    UINT flags = 0;
};

// What the box shows, read back into the MessageBox flags that ask for it.
BoxReading ReadBox(HWND box) {
    BoxReading r;
    bool has[IDCONTINUE + 1] = {};
    std::vector<int> buttons;  // in the order of the window list, which is the box's order
    int defaultButton = -1;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::string cls = ClassOf(c);
        const LONG style = GetWindowLongA(c, GWL_STYLE);
        if (cls == "Static" || cls == "STATIC" || _stricmp(cls.c_str(), "static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                const HICON icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
                if (icon == LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_HAND))) r.flags |= MB_ICONHAND;
                if (icon == LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION))) r.flags |= MB_ICONQUESTION;
                if (icon == LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_EXCLAMATION)))
                    r.flags |= MB_ICONEXCLAMATION;
                if (icon == LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ASTERISK))) r.flags |= MB_ICONASTERISK;
            } else if (style & WS_VISIBLE) {
                r.text = TextOf(c);
            }
        } else if (_stricmp(cls.c_str(), "button") == 0 && (style & WS_VISIBLE)) {
            const int id = GetDlgCtrlID(c);
            if (id < 1 || id > IDCONTINUE) continue;
            has[id] = true;
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultButton = static_cast<int>(buttons.size());
            buttons.push_back(id);
        }
    }
    if (has[IDABORT] && has[IDRETRY] && has[IDIGNORE])
        r.flags |= MB_ABORTRETRYIGNORE;
    else if (has[IDYES] && has[IDNO])
        r.flags |= has[IDCANCEL] ? MB_YESNOCANCEL : MB_YESNO;
    else if (has[IDRETRY] && has[IDCANCEL])
        r.flags |= MB_RETRYCANCEL;
    else if (has[IDOK] && has[IDCANCEL])
        r.flags |= MB_OKCANCEL;
    if (defaultButton > 0) r.flags |= static_cast<UINT>(defaultButton) << 8;  // MB_DEFBUTTON2 is 0x100
    return r;
}

void AnswerBox(HWND box) {
    const BoxReading r = ReadBox(box);
    const HWND owner = GetWindow(box, GW_OWNER);
    const int answer = CurrentInputSource().OnMessageBox(owner, r.text, TextOf(box), r.flags);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
}

std::string Describe(const DialogAction& a) { return "control " + std::to_string(a.control); }

// The kind of control `w` is, from its class.
bool IsClass(HWND w, const char* name) { return _stricmp(ClassOf(w).c_str(), name) == 0; }

void Notify(HWND dialog, HWND control, WORD code) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

// Carries out one action as the user's input would; returns why it could not.
std::string Apply(HWND dialog, const DialogAction& action) {
    switch (action.kind) {
        case DialogAction::kEscape:
            // Esc sends Cancel whatever state the Cancel button is in, as the dialog manager does.
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return std::string();
        case DialogAction::kClose:
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            return std::string();
        case DialogAction::kEndOfInput:
            return "the end of input is not an action";
        default:
            break;
    }
    const HWND c = GetDlgItem(dialog, action.control);
    if (!c) return "there is no " + Describe(action);
    if (!IsWindowEnabled(c) || !IsWindowVisible(c)) return Describe(action) + " is disabled";
    const LONG style = GetWindowLongA(c, GWL_STYLE);
    switch (action.kind) {
        case DialogAction::kClick:
            if (!IsClass(c, "Button") || (style & BS_TYPEMASK) == BS_GROUPBOX)
                return Describe(action) + " is not a button";
            SendMessageA(c, BM_CLICK, 0, 0);
            return std::string();
        case DialogAction::kType: {
            if (!IsClass(c, "Edit") || (style & ES_READONLY)) return Describe(action) + " is not an edit box";
            // A single-line edit box keeps the first line of what is pasted into it.
            std::string text = action.text;
            if (!(style & ES_MULTILINE)) text = text.substr(0, text.find_first_of("\r\n"));
            const LRESULT limit = SendMessageA(c, EM_GETLIMITTEXT, 0, 0);
            if (limit > 0 && text.size() > static_cast<size_t>(limit)) text.resize(static_cast<size_t>(limit));
            SetWindowTextA(c, text.c_str());
            return std::string();
        }
        case DialogAction::kSelect:
        case DialogAction::kHighlight: {
            const std::vector<int> items =
                action.kind == DialogAction::kSelect ? std::vector<int>{action.item} : action.items;
            const bool combo = IsClass(c, "ComboBox");
            if (!combo && !IsClass(c, "ListBox")) return Describe(action) + " is not a list";
            const LRESULT count = SendMessageA(c, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
            for (int i : items)
                if (i < 0 || i >= count) return Describe(action) + " has no entry " + std::to_string(i);
            const bool multiple = !combo && (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
            if (!multiple && items.size() != 1 && !(!combo && items.empty()))
                return Describe(action) + " takes one entry";
            if (combo) {
                // Only a change of the selection is notified.
                if (SendMessageA(c, CB_GETCURSEL, 0, 0) != items[0]) {
                    SendMessageA(c, CB_SETCURSEL, static_cast<WPARAM>(items[0]), 0);
                    Notify(dialog, c, CBN_SELCHANGE);
                }
                return std::string();
            }
            bool changed = false;
            if (multiple) {
                for (LRESULT i = 0; i < count; ++i) {
                    const bool want = std::find(items.begin(), items.end(), static_cast<int>(i)) != items.end();
                    const bool has = SendMessageA(c, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
                    if (want == has) continue;
                    SendMessageA(c, LB_SETSEL, want, i);
                    changed = true;
                }
            } else {
                const int want = items.empty() ? -1 : items[0];
                if (SendMessageA(c, LB_GETCURSEL, 0, 0) != want) {
                    SendMessageA(c, LB_SETCURSEL, static_cast<WPARAM>(want), 0);
                    changed = true;
                }
            }
            if (changed && (style & LBS_NOTIFY)) Notify(dialog, c, LBN_SELCHANGE);
            return std::string();
        }
        default:
            return "unknown action";
    }
}

void CALLBACK DriveTick(HWND dialog, UINT, UINT_PTR, DWORD) {
    // Only the dialog on top acts, one action at a time, and only while no box is up.
    if (state.openBoxes > 0 || state.driven.empty() || state.driven.back() != dialog) return;
    if (std::find(state.acting.begin(), state.acting.end(), dialog) != state.acting.end()) return;
    if (!IsWindowEnabled(dialog) || !IsWindowVisible(dialog)) return;
    InputSource& source = CurrentInputSource();
    state.acting.push_back(dialog);
    const DialogAction action = source.NextDialogAction(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        if (action.kind == DialogAction::kEndOfInput) {
            // Nobody is left to answer: close the dialog as its close box would, and
            // end it when it will not close.
            SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (IsWindow(dialog) && IsWindowVisible(dialog)) EndDialog(dialog, -1);
        } else {
            const std::string refusal = Apply(dialog, action);
            if (!refusal.empty()) source.OnDialogActionRefused(dialog, action, refusal);
        }
    }
    state.acting.pop_back();
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    const HWND w = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && state.source) {
        if (IsMessageBox(w)) {
            ++state.openBoxes;
            AnswerBox(w);
        } else if (IsDialog(w) && std::find(state.driven.begin(), state.driven.end(), w) == state.driven.end()) {
            state.driven.push_back(w);
            SetTimer(w, kDriveTimer, kDriveInterval, DriveTick);
        }
    } else if (code == HCBT_DESTROYWND) {
        if (IsMessageBox(w)) {
            if (state.openBoxes > 0) --state.openBoxes;
        } else {
            state.driven.erase(std::remove(state.driven.begin(), state.driven.end(), w), state.driven.end());
        }
    }
    return CallNextHookEx(state.hook, code, wParam, lParam);
}

}  // namespace

InputSource* SetInputSource(InputSource* source) {
    InputSource* previous = state.source;
    state.source = source;
    if (source && !state.hook) {
        state.hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
        if (!state.hook) std::cerr << "SetInputSource: no CBT hook (" << GetLastError() << ")" << std::endl;
    } else if (!source && state.hook) {
        UnhookWindowsHookEx(state.hook);
        state.hook = nullptr;
        state.driven.clear();
        state.openBoxes = 0;
    }
    return previous;
}

InputSource& CurrentInputSource() {
    static DefaultInputSource fallback;
    return state.source ? *state.source : fallback;
}

int RecordingInputSource::OnMessageBox(HWND owner, const std::string& text, const std::string& caption,
                                       UINT flags) {
    boxes.push_back(MessageBoxRecord{owner, caption, text, flags});
    if (answers.empty()) return FirstButton(flags);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace platform
