// ngspice reads start-up files when it starts: "spinit" from its scripts folder
// (which SPICE_SCRIPTS can name) and ".spiceinit" from the current folder or, when
// there is none, from the user's home folder. Any of them can hold commands, so
// what runs would depend on where the host was started. While this guard lives,
// the current folder is a private one whose start-up files are empty, and
// SPICE_SCRIPTS names it: ngspice reads those and nothing else.
#pragma once
#include <string>

namespace circuit {

class StartupFilesHidden {
public:
    StartupFilesHidden();
    ~StartupFilesHidden();
    StartupFilesHidden(const StartupFilesHidden&) = delete;
    StartupFilesHidden& operator=(const StartupFilesHidden&) = delete;
    // False when the private folder could not be made or entered.
    bool Ok() const { return previous_ >= 0; }

private:
    std::string folder_;
    int previous_ = -1;  // the current folder before, to return to
    bool hadScripts_ = false;
    std::string scripts_;  // SPICE_SCRIPTS before
};

}  // namespace circuit
