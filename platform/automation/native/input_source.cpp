// The per-thread input source, the default one and the recording one.
#include "platform/automation/input_source.h"

#include <iostream>

namespace platform {

namespace {

// The first button of each message box type: what pressing Enter would choose.
int FirstButton(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_YESNO:
        case 3:  // MB_YESNOCANCEL
            return IDYES;
        case 2:  // MB_ABORTRETRYIGNORE
            return IDABORT;
        case 5:  // MB_RETRYCANCEL
            return IDRETRY;
        default:  // MB_OK, MB_OKCANCEL
            return IDOK;
    }
}

// Used when nothing is installed: a batch run shows the box on stderr and goes on.
class PrintingInputSource : public InputSource {
public:
    int OnMessageBox(HWND, const std::string& text, const std::string& caption, UINT flags) override {
        std::cerr << "[" << caption << "] " << text << std::endl;
        return FirstButton(flags);
    }
};

thread_local InputSource* current = nullptr;

}  // namespace

InputSource* SetInputSource(InputSource* source) {
    InputSource* previous = current;
    current = source;
    return previous;
}

InputSource& CurrentInputSource() {
    static PrintingInputSource printing;
    return current ? *current : printing;
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
