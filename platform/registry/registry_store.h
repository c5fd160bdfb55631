// The registry's storage: a tree of keys and values kept in one text file, read
// and rewritten whole under a lock on every operation, so that several processes
// (a host, regsvr-like tools, tests) see one registry.
//
// File format (UTF-8 text, one item per line, in the manner of a .reg export):
//
//   LPTUNER REGISTRY 1
//   [HKEY_LOCAL_MACHINE\Software\Classes\Tessary.LPTuner]
//   @="LPTuner Class"
//   "ThreadingModel"="Apartment"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "Odd"=hex(7):61,00,00
//   "Path"=str(2):"%HOME%\\x"
//
// Every key has its own [header] line, parents before children; value lines
// belong to the last header. "@" is the default value. Strings escape \\ \" \n
// \r \t and other control bytes as \xHH. REG_SZ and REG_EXPAND_SZ data that is one
// terminated string is written as text, everything else as hex bytes, so every
// value reads back byte for byte.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace platform::registry {

// Key and value names compare without regard to ASCII case, as the registry's do.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct Value {
    DWORD type = REG_NONE;
    std::string data;  // raw bytes
};

struct Key {
    std::map<std::string, Key, CaseLess> subkeys;
    std::map<std::string, Value, CaseLess> values;  // "" is the default value
};

// The two hives the file holds; HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
struct Tree {
    Key machine;
    Key user;
};

// The registry file: PLATFORM_REGISTRY, or a per-user file under
// $XDG_DATA_HOME (default ~/.local/share)/lptuner/registry.txt.
std::string RegistryPath();

// Holds the lock file's flock for the life of the object: shared to read,
// exclusive to read, change and write back.
class FileLock {
public:
    FileLock(const std::string& path, bool exclusive);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Reads the file into tree; a missing file is an empty registry. ERROR_BADDB for a
// file that is not a registry file (it is then never overwritten).
LONG Load(const std::string& path, Tree& tree);
// Writes the tree to a temporary file beside the registry, flushes it to disk and
// renames it over the registry: a crash never leaves a half-written registry.
LONG Save(const std::string& path, const Tree& tree);

// Text form of a whole tree (exposed for the format's own tests).
std::string Format(const Tree& tree);
LONG Parse(const std::string& text, Tree& tree);

}  // namespace platform::registry
