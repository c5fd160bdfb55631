#include "platform/registry/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::registry {

namespace {

const char kMagic[] = "LPTUNER REGISTRY 1";
const char kMachine[] = "HKEY_LOCAL_MACHINE";
const char kUser[] = "HKEY_CURRENT_USER";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ---- writing ----

void PutEscaped(std::string& out, const char* s, size_t n) {
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\x";
                    out += hex[c >> 4];
                    out += hex[c & 0xf];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
}

void PutHexBytes(std::string& out, const std::string& data) {
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (i) out += ',';
        out += hex[c >> 4];
        out += hex[c & 0xf];
    }
}

// One terminated string without embedded zeros.
bool IsPlainString(const Value& v) {
    return (v.type == REG_SZ || v.type == REG_EXPAND_SZ) && !v.data.empty() && v.data.back() == '\0' &&
           v.data.find('\0') == v.data.size() - 1;
}

void PutValue(std::string& out, const std::string& name, const Value& v) {
    if (name.empty()) {
        out += '@';
    } else {
        out += '"';
        PutEscaped(out, name.data(), name.size());
        out += '"';
    }
    out += '=';
    if (IsPlainString(v)) {
        if (v.type == REG_EXPAND_SZ) out += "str(2):";
        out += '"';
        PutEscaped(out, v.data.data(), v.data.size() - 1);
        out += '"';
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
    } else {
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            out += "hex(" + std::to_string(v.type) + "):";
        }
        PutHexBytes(out, v.data);
    }
    out += '\n';
}

void PutKey(std::string& out, const std::string& path, const Key& key) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, value] : key.values) PutValue(out, name, value);
    for (const auto& [name, sub] : key.subkeys) PutKey(out, path + '\\' + name, sub);
}

// ---- reading ----

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted, escaped string starting at s[pos] == '"'; pos ends after the closing quote.
bool GetQuoted(const std::string& s, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= s.size() || s[pos] != '"') return false;
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= s.size()) return false;
        switch (s[pos]) {
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'x': {
                if (pos + 2 >= s.size()) return false;
                const int hi = HexDigit(s[pos + 1]), lo = HexDigit(s[pos + 2]);
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                pos += 2;
                break;
            }
            default: return false;
        }
    }
    return false;
}

bool GetHexBytes(const std::string& s, size_t pos, std::string& out) {
    out.clear();
    if (pos == s.size()) return true;
    for (;;) {
        if (pos + 2 > s.size()) return false;
        const int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        if (pos == s.size()) return true;
        if (s[pos++] != ',') return false;
    }
}

bool StartsWith(const std::string& s, size_t pos, const char* prefix) {
    return s.compare(pos, std::strlen(prefix), prefix) == 0;
}

// "(N):" at pos: reads N and moves past the colon.
bool GetTypeSuffix(const std::string& s, size_t& pos, DWORD& type) {
    if (pos >= s.size() || s[pos] != '(') return false;
    const size_t close = s.find("):", pos);
    if (close == std::string::npos || close == pos + 1 || close - pos > 11) return false;
    uint64_t n = 0;
    for (size_t i = pos + 1; i < close; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        n = n * 10 + static_cast<uint64_t>(s[i] - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    type = static_cast<DWORD>(n);
    pos = close + 2;
    return true;
}

bool ParseData(const std::string& s, size_t pos, Value& v) {
    std::string text;
    if (pos < s.size() && s[pos] == '"') {
        v.type = REG_SZ;
        if (!GetQuoted(s, pos, text) || pos != s.size()) return false;
        v.data = text + '\0';
        return true;
    }
    if (StartsWith(s, pos, "str")) {
        pos += 3;
        if (!GetTypeSuffix(s, pos, v.type) || !GetQuoted(s, pos, text) || pos != s.size()) return false;
        v.data = text + '\0';
        return true;
    }
    if (StartsWith(s, pos, "dword:")) {
        pos += 6;
        if (s.size() - pos != 8) return false;
        uint32_t d = 0;
        for (size_t i = pos; i < s.size(); ++i) {
            const int h = HexDigit(s[i]);
            if (h < 0) return false;
            d = (d << 4) | static_cast<uint32_t>(h);
        }
        v.type = REG_DWORD;
        v.data.assign(4, '\0');
        for (int i = 0; i < 4; ++i) v.data[i] = static_cast<char>((d >> (8 * i)) & 0xff);
        return true;
    }
    if (StartsWith(s, pos, "hex:")) {
        v.type = REG_BINARY;
        return GetHexBytes(s, pos + 4, v.data);
    }
    if (StartsWith(s, pos, "hex(")) {
        pos += 3;
        return GetTypeSuffix(s, pos, v.type) && GetHexBytes(s, pos, v.data);
    }
    return false;
}

// "[ROOT\a\b]": the key, created with its parents.
Key* ParseHeader(const std::string& line, Tree& tree) {
    if (line.size() < 2 || line.back() != ']') return nullptr;
    const std::string path = line.substr(1, line.size() - 2);
    const size_t cut = path.find('\\');
    const std::string root = path.substr(0, cut);
    Key* key = root == kMachine ? &tree.machine : root == kUser ? &tree.user : nullptr;
    if (!key) return nullptr;
    size_t pos = cut;
    while (pos != std::string::npos) {
        const size_t next = path.find('\\', pos + 1);
        const std::string name = path.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        if (name.empty()) return nullptr;
        key = &key->subkeys[name];
        pos = next;
    }
    return key;
}

std::string DataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share";
}

// mkdir -p for the folders above a file.
void MakeParents(const std::string& file) {
    for (size_t pos = file.find('/', 1); pos != std::string::npos; pos = file.find('/', pos + 1))
        mkdir(file.substr(0, pos).c_str(), 0700);
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

std::string RegistryPath() {
    if (const char* p = std::getenv("PLATFORM_REGISTRY"); p && *p) return p;
    return DataHome() + "/lptuner/registry.txt";
}

FileLock::FileLock(const std::string& path, bool exclusive) {
    const std::string lockPath = path + ".lock";
    MakeParents(lockPath);
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) {
            close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing the descriptor releases the flock
}

std::string Format(const Tree& tree) {
    std::string out = std::string(kMagic) + "\n";
    PutKey(out, kMachine, tree.machine);
    PutKey(out, kUser, tree.user);
    return out;
}

LONG Parse(const std::string& text, Tree& tree) {
    tree = Tree{};
    size_t pos = 0;
    bool first = true;
    Key* current = nullptr;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            if (line != kMagic) return ERROR_BADDB;
            first = false;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            current = ParseHeader(line, tree);
            if (!current) return ERROR_BADDB;
            continue;
        }
        if (!current) return ERROR_BADDB;
        std::string name;
        size_t at = 0;
        if (line[0] == '@') {
            at = 1;
        } else if (!GetQuoted(line, at, name) || name.empty()) {
            return ERROR_BADDB;
        }
        if (at >= line.size() || line[at] != '=') return ERROR_BADDB;
        Value value;
        if (!ParseData(line, at + 1, value)) return ERROR_BADDB;
        current->values[name] = std::move(value);
    }
    return first && !text.empty() ? ERROR_BADDB : ERROR_SUCCESS;
}

LONG Load(const std::string& path, Tree& tree) {
    tree = Tree{};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return ERROR_ACCESS_DENIED;
        tree.machine.subkeys["Software"].subkeys["Classes"];
        return ERROR_SUCCESS;
    }
    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return ERROR_BADDB;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    const LONG status = Parse(text, tree);
    if (status == ERROR_SUCCESS) tree.machine.subkeys["Software"].subkeys["Classes"];  // HKEY_CLASSES_ROOT always exists
    return status;
}

LONG Save(const std::string& path, const Tree& tree) {
    static std::atomic<unsigned> serial{0};
    const std::string text = Format(tree);
    MakeParents(path);
    const std::string temp = path + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return ERROR_ACCESS_DENIED;
    const bool written = WriteAll(fd, text) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return ERROR_ACCESS_DENIED;
    }
    // The rename itself reaches the disk with the folder.
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return ERROR_SUCCESS;
}

}  // namespace platform::registry
