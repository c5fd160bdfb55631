// BSTR allocation. A BSTR points just past a 4-byte byte-length prefix and is
// followed by two zero bytes, so it reads as a terminated OLECHAR string while
// its length (embedded zeros included) comes from the prefix.
#include <oleauto.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kTerminator = sizeof(OLECHAR);

// Allocates room for `bytes` bytes of content; the terminator is written, the content is not.
BSTR Allocate(size_t bytes) {
    if (bytes > UINT32_MAX - kPrefix - kTerminator) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + kTerminator));
    if (!block) return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block, &prefix, kPrefix);
    std::memset(block + kPrefix + bytes, 0, kTerminator);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

size_t Length(const OLECHAR* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(Length(psz)));
}

// A null strIn allocates `ui` characters for the caller to fill; they start zeroed.
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    const size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    BSTR b = Allocate(bytes);
    if (!b) return nullptr;
    if (strIn) std::memcpy(b, strIn, bytes);
    else std::memset(b, 0, bytes);
    return b;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT SysStringLen(BSTR pbstr) {
    if (!pbstr) return 0;
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(pbstr) - kPrefix, kPrefix);
    return prefix / sizeof(OLECHAR);
}

}  // extern "C"
