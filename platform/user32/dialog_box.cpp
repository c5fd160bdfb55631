// Modal dialogs: DialogBoxParamA runs a dialog until EndDialog, taking the user's
// actions from the current input source; a dialog opened from a handler of another
// runs on top of it.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <memory>

#include "platform/automation/input_source.h"
#include "platform/user32/window.h"

namespace platform {
namespace ui {

namespace {

// What a modal run changes outside the dialog, undone however the run ends.
class ModalRun {
public:
    explicit ModalRun(std::unique_ptr<Window> dialog) : dialog_(std::move(dialog)) {}
    ~ModalRun() {
        auto& stack = ModalStack();
        stack.erase(std::remove(stack.begin(), stack.end(), dialog_.get()), stack.end());
        if (disabledOwner_) {
            if (Window* owner = Find(dialog_->owner)) owner->style &= ~static_cast<DWORD>(WS_DISABLED);
        }
        Destroy(dialog_.get());
    }
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

    Window* dialog() const { return dialog_.get(); }

    // The owner, when it is one of ours, takes no input while the dialog runs.
    void DisableOwner() {
        Window* owner = Find(dialog_->owner);
        if (owner && owner->Enabled()) {
            owner->style |= WS_DISABLED;
            disabledOwner_ = true;
        }
    }
    void Activate() { ModalStack().push_back(dialog_.get()); }

private:
    std::unique_ptr<Window> dialog_;
    bool disabledOwner_ = false;
};

HWND FirstTabStop(const Window* dialog) {
    for (const auto& c : dialog->children)
        if ((c->style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE)) return c->handle;
    return nullptr;
}

INT_PTR RunModal(std::unique_ptr<Window> created, LPARAM init) {
    ModalRun run(std::move(created));
    Window* d = run.dialog();
    Send(d, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(d)), init);
    if (!d->ended) {
        run.DisableOwner();
        run.Activate();
    }
    while (!d->ended) {
        InputSource* source = CurrentInputSource();
        const DialogAction action = source ? source->NextDialogAction(d->handle) : DialogAction();
        if (d->ended) break;
        if (action.kind == DialogAction::kEndOfInput) {
            // Nobody is left to answer: close the dialog as its close box would, and
            // end it when it will not close.
            Send(d, WM_CLOSE, 0, 0);
            if (!d->ended) {
                d->ended = true;
                d->result = -1;
            }
            break;
        }
        const std::string refusal = ApplyAction(d, action);
        if (!refusal.empty()) source->OnDialogActionRefused(d->handle, action, refusal);
    }
    Send(d, WM_DESTROY, 0, 0);
    if (InputSource* source = CurrentInputSource()) source->OnDialogEnded(d->handle);
    return d->result;
}

}  // namespace

}  // namespace ui
}  // namespace platform

extern "C" {

// Templates are named by number only (MAKEINTRESOURCE). A parent that is not a
// window is refused, as user32 does. With no input source installed there is nobody
// to use the dialog: it fails before it is created.
INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    try {
        if (!IS_INTRESOURCE(lpTemplateName)) {
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return -1;
        }
        if (hWndParent && !IsWindow(hWndParent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(lpTemplateName));
        if (!platform::CurrentInputSource()) {
            std::cerr << "DialogBoxParamA: no input source on this thread to use dialog " << id << std::endl;
            SetLastError(ERROR_NOT_SUPPORTED);
            return -1;
        }
        platform::DialogTemplate tmpl;
        std::string error;
        if (!platform::FindDialogTemplate(hInstance, id, tmpl, error)) {
            std::cerr << "DialogBoxParamA: " << error << std::endl;
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return -1;
        }
        return platform::ui::RunModal(platform::ui::CreateDialogWindow(tmpl, lpDialogFunc, hWndParent), dwInitParam);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    platform::ui::Window* w = platform::ui::Find(hDlg);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->kind != platform::ui::WindowKind::kDialog) {
        SetLastError(ERROR_WINDOW_NOT_DIALOG);
        return FALSE;
    }
    w->ended = true;
    w->result = nResult;
    return TRUE;
}

}  // extern "C"
