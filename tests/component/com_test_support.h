// Helpers of the component's COM tests: memory streams, the registry, and the
// wizard's stream encoding written out by hand. (The native-only tests take a private
// registry file from tests/platform/registry_scope.h.)
#pragma once
#include <objbase.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/com_ptr.h"

namespace comtest {

using Bytes = std::vector<uint8_t>;

inline host::ComPtr<IStream> NewStream() {
    host::ComPtr<IStream> s;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, s.put()))) std::abort();
    return s;
}

inline host::ComPtr<IStream> StreamOf(const Bytes& bytes) {
    host::ComPtr<IStream> s = NewStream();
    if (!bytes.empty()) s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    return s;
}

// Everything in the stream, from its start.
inline Bytes Contents(IStream* s) {
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    Bytes out;
    uint8_t buf[4096];
    ULONG got = 0;
    while (SUCCEEDED(s->Read(buf, sizeof buf, &got)) && got > 0) out.insert(out.end(), buf, buf + got);
    return out;
}

// Building streams by hand, little-endian.
struct Encoder {
    Bytes bytes;
    Encoder& I32(int32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return *this;
    }
    Encoder& U32(uint32_t v) { return I32(static_cast<int32_t>(v)); }
    Encoder& F64(double d) {
        uint64_t bits;
        static_assert(sizeof bits == sizeof d);
        __builtin_memcpy(&bits, &d, sizeof d);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        return *this;
    }
    Encoder& Null() { return U32(0); }
    // An ASCII string as UTF-16LE with its terminator.
    Encoder& Str(const std::string& s) {
        U32(static_cast<uint32_t>(2 * s.size() + 2));
        for (char c : s) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        bytes.push_back(0);
        bytes.push_back(0);
        return *this;
    }
};

// A string value of the registry, or "<missing>".
std::string RegString(HKEY root, const std::string& path, const char* name = nullptr);
bool RegKeyExists(HKEY root, const std::string& path);

// The text of a BSTR (ASCII expected), "<null>" for a null one.
std::string Narrow(BSTR s);

}  // namespace comtest
