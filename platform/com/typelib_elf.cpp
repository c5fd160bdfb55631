// Finding a module's type library: the contents of a named section of an ELF file
// (32- or 64-bit, little-endian), read with bounds checks, since the file may be
// anything a caller names.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/com/typelib_model.h"

namespace platform::typelib {

namespace {

class File {
public:
    explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st;
        if (fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
    }
    ~File() {
        if (fd_ >= 0) close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    uint64_t size() const { return size_; }
    bool Read(uint64_t offset, void* out, uint64_t n) const {
        if (fd_ < 0 || offset > size_ || n > size_ - offset) return false;
        auto* p = static_cast<char*>(out);
        while (n > 0) {
            const ssize_t got = pread(fd_, p, n, static_cast<off_t>(offset));
            if (got <= 0) return false;
            p += got;
            offset += static_cast<uint64_t>(got);
            n -= static_cast<uint64_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_ = 0;
};

template <class Ehdr, class Shdr>
bool FindSection(const File& file, const char* name, std::string& out) {
    Ehdr eh;
    if (!file.Read(0, &eh, sizeof eh) || eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 ||
        eh.e_shstrndx >= eh.e_shnum)
        return false;
    auto header = [&](uint64_t i, Shdr& sh) {
        return file.Read(eh.e_shoff + i * sizeof(Shdr), &sh, sizeof sh);
    };
    Shdr names;
    if (!header(eh.e_shstrndx, names) || names.sh_size > file.size()) return false;
    std::string table(names.sh_size, '\0');
    if (!file.Read(names.sh_offset, &table[0], names.sh_size)) return false;
    const size_t wanted = std::strlen(name);
    for (uint64_t i = 0; i < eh.e_shnum; ++i) {
        Shdr sh;
        if (!header(i, sh)) return false;
        if (sh.sh_name >= table.size() || table.compare(sh.sh_name, wanted + 1, std::string(name, wanted + 1)) != 0)
            continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_size > file.size()) return false;
        out.assign(sh.sh_size, '\0');
        return file.Read(sh.sh_offset, &out[0], sh.sh_size);
    }
    return false;
}

}  // namespace

bool ReadElfSection(const std::string& path, const char* section, std::string& out) {
    out.clear();
    File file(path);
    unsigned char ident[EI_NIDENT];
    if (!file.Read(0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        ident[EI_DATA] != ELFDATA2LSB)
        return false;
    if (ident[EI_CLASS] == ELFCLASS64) return FindSection<Elf64_Ehdr, Elf64_Shdr>(file, section, out);
    if (ident[EI_CLASS] == ELFCLASS32) return FindSection<Elf32_Ehdr, Elf32_Shdr>(file, section, out);
    return false;
}

}  // namespace platform::typelib
