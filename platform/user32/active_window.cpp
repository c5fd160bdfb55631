// The active window: the modal dialog on top, once it has been initialised; none
// otherwise (the host's windows are not windows of this layer).
#include <windows.h>

#include "platform/user32/window.h"

extern "C" HWND GetActiveWindow(void) {
    const auto& stack = platform::ui::ModalStack();
    return stack.empty() ? nullptr : stack.back()->handle;
}
