// What vexasim needs of the operating system: files, folders, the terminal and
// the clock. One source per system, picked by CMake: posix/system.cpp natively,
// windows/system.cpp in the Windows build.
#pragma once
#include <string>

namespace vexasim {

// Writes a file through a temporary name in the same folder and renames it into
// place, so an interrupted run leaves the previous file whole; the bytes are
// written as they are (no line-end translation). False with the system's text.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

// The temporary name WriteFileAtomically writes `path` under (beside it, the
// process's own), and the rename that puts such a file in place of `path`.
std::string TemporaryName(const std::string& path);
bool ReplaceFile(const std::string& from, const std::string& path, std::string& error);

// Creates a folder and the folders above it that are missing; true when it exists.
bool MakeFolder(const std::string& path);

// The full path of an existing file; the path as given when it cannot be resolved.
std::string AbsolutePath(const std::string& path);

// The position of the last folder separator in a path, or npos ('/' everywhere,
// and '\\' on Windows).
std::string::size_type LastSeparator(const std::string& path);

// Whether a standard stream (0 in, 1 out, 2 err) is a terminal.
bool IsTerminal(int stream);

void SleepMilliseconds(int ms);

}  // namespace vexasim
