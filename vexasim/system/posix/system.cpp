#include "vexasim/system/system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace vexasim {

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    std::string tmp = TemporaryName(path);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = tmp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        error = tmp + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string TemporaryName(const std::string& path) { return path + ".tmp-" + std::to_string(::getpid()); }

bool ReplaceFile(const std::string& from, const std::string& path, std::string& error) {
    if (::rename(from.c_str(), path.c_str()) == 0) return true;
    error = path + ": " + std::strerror(errno);
    return false;
}

bool MakeFolder(const std::string& path) {
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) part += path[i];
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string AbsolutePath(const std::string& path) {
    char* full = ::realpath(path.c_str(), nullptr);
    if (!full) return path;
    std::string r = full;
    std::free(full);
    return r;
}

std::string::size_type LastSeparator(const std::string& path) { return path.find_last_of('/'); }

bool IsTerminal(int stream) { return ::isatty(stream) == 1; }

void SleepMilliseconds(int ms) {
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

}  // namespace vexasim
