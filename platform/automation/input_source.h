// Where the native user32 layer takes the user's answers from. A test installs a
// scripted source that records every message box; a batch run scripts its user; an
// interactive front end can be another source. With no source installed there is
// nobody to answer: the native message boxes and dialogs fail with a clear error.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/automation/dialog_action.h"

namespace platform {

struct MessageBoxRecord {
    HWND owner;
    std::string caption;
    std::string text;
    UINT flags;
};

class InputSource {
public:
    virtual ~InputSource() = default;
    // Shown a message box; returns the id of the button the user pressed.
    virtual int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) = 0;

    // The next thing the user does in `dialog`, the modal dialog on top (the source may
    // look at it through the window functions or platform::DescribeDialog). The default
    // has no user: it answers the end of input, and the dialog is closed as by its close box.
    virtual DialogAction NextDialogAction(HWND /*dialog*/) { return DialogAction(); }
    // The dialog could not take `action`: no such control or entry, or the control is
    // disabled or does not take that kind of action. Nothing was sent to the dialog.
    virtual void OnDialogActionRefused(HWND /*dialog*/, const DialogAction& /*action*/,
                                       const std::string& /*reason*/) {}
    // `dialog` has ended and is about to be destroyed.
    virtual void OnDialogEnded(HWND /*dialog*/) {}
};

// Installs a source for the calling thread and returns the previous one (null
// uninstalls it).
InputSource* SetInputSource(InputSource* source);
// The source installed on the calling thread, or null.
InputSource* CurrentInputSource();

// Records every message box and answers from a queue (the first button when the queue is empty).
class RecordingInputSource : public InputSource {
public:
    int OnMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
    std::vector<MessageBoxRecord> boxes;
    std::deque<int> answers;
};

// Installs a source for the lifetime of a scope.
class ScopedInputSource {
public:
    explicit ScopedInputSource(InputSource& source) : previous_(SetInputSource(&source)) {}
    ~ScopedInputSource() { SetInputSource(previous_); }
    ScopedInputSource(const ScopedInputSource&) = delete;
    ScopedInputSource& operator=(const ScopedInputSource&) = delete;

private:
    InputSource* previous_;
};

}  // namespace platform
