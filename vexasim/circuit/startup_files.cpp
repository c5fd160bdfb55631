#include "vexasim/circuit/startup_files.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace circuit {
namespace {

const char* const kFiles[] = {"spinit", ".spiceinit"};

}  // namespace

StartupFilesHidden::StartupFilesHidden() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexasim-ngspice-XXXXXX";
    if (!::mkdtemp(&pattern[0])) return;
    folder_ = pattern;
    for (const char* name : kFiles)
        if (FILE* f = std::fopen((folder_ + "/" + name).c_str(), "w")) {
            std::fputs("* the host's start-up file: nothing to do\n", f);
            std::fclose(f);
        }
    if (const char* s = std::getenv("SPICE_SCRIPTS")) {
        hadScripts_ = true;
        scripts_ = s;
    }
    ::setenv("SPICE_SCRIPTS", folder_.c_str(), 1);
    previous_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (previous_ < 0 || ::chdir(folder_.c_str()) != 0) {
        if (previous_ >= 0) ::close(previous_);
        previous_ = -1;
    }
}

StartupFilesHidden::~StartupFilesHidden() {
    if (folder_.empty()) return;
    if (previous_ >= 0) {
        if (::fchdir(previous_) != 0) std::perror("vexasim: cannot return to the current folder");
        ::close(previous_);
    }
    if (hadScripts_)
        ::setenv("SPICE_SCRIPTS", scripts_.c_str(), 1);
    else
        ::unsetenv("SPICE_SCRIPTS");
    for (const char* name : kFiles) std::remove((folder_ + "/" + name).c_str());
    ::rmdir(folder_.c_str());
}

}  // namespace circuit
