// IPersistStream: the wizard's Name and settings in the host's project stream.
//
// Stream, version 2 (little-endian, no gaps):
//   version i32 | Name str | harmonic i32 | centerMag f64 | centerAng f64 |
//   radius f64 | gammaSource i32                                  (version 1 ends here)
//   | schematicName str | tunerName str | pair count i32 |
//   pairs (measurementName str, dataFileName str) | measuredDataMeasName str |
//   tabDataMeasName str
// A string is a u32 byte length L and L bytes: L = 0 for a null string, else the
// UTF-16LE code units and a 16-bit zero (an empty string is L = 2).
//
// The stream is outside data. Load reads a string into a temporary that grows
// only with bytes actually read, so a length or count the stream does not back
// cannot make it allocate: an odd length (1 included), a length or pair count
// the stream cannot supply, or a negative count ends the load at that field.
// What was read whole before stays, every complete pair included; the damaged
// field (or pair) and those after keep their defaults; Load still succeeds, as
// for a stream that is merely short.
//
// Save writes nothing after the first write that fails (or writes short, which
// is STG_E_MEDIUMFULL) and returns that failure; the object stays dirty unless
// the whole record was written.
#include <cstdint>
#include <cstring>
#include <vector>

#include "component/com_boundary.h"
#include "component/lptuner_wizard.h"

namespace {

// ---- reading ----

class Reader {
public:
    explicit Reader(IStream* stream) : stream_(stream) {}

    // Exactly n bytes, or false (a failed or short read).
    bool Bytes(void* out, ULONG n) {
        ULONG got = 0;
        return SUCCEEDED(stream_->Read(out, n, &got)) && got == n;
    }

    bool Int32(LONG& value) {
        unsigned char b[4];
        if (!Bytes(b, sizeof b)) return false;
        value = static_cast<LONG>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                  static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
        return true;
    }

    bool Double(double& value) {
        unsigned char b[8];
        if (!Bytes(b, sizeof b)) return false;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[i];
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }

    // A string of the encoding above; L = 0 reads as an empty string.
    bool String(host::Bstr& out) {
        LONG raw;
        if (!Int32(raw)) return false;
        const uint32_t length = static_cast<uint32_t>(raw);
        if (length % 2 != 0) return false;
        std::vector<OLECHAR> units;  // grows with what has been read, never ahead of it
        unsigned char chunk[4096];
        for (uint32_t left = length; left > 0;) {
            const ULONG n = left < sizeof chunk ? left : static_cast<ULONG>(sizeof chunk);
            if (!Bytes(chunk, n)) return false;
            for (ULONG i = 0; i < n; i += 2)
                units.push_back(static_cast<OLECHAR>(chunk[i] | (chunk[i + 1] << 8)));
            left -= n;
        }
        if (!units.empty()) units.pop_back();  // the terminator
        BSTR s = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
        if (!s) return false;
        out = host::Bstr::Attach(s);
        return true;
    }

private:
    IStream* stream_;
};

// Settings items 8 to 13 (version 2). Each string, and each pair, is stored
// only once it has been read completely; a complete pair is backed by its bytes
// in the stream, so keeping it allocates nothing the stream did not hold.
void LoadVersion2(Reader& in, WizardSettings& s) {
    if (!in.String(s.schematicName) || !in.String(s.tunerName)) return;
    LONG count;
    if (!in.Int32(count) || count < 0) return;
    for (LONG i = 0; i < count; ++i) {
        ContourMeasurement pair;
        if (!in.String(pair.measurementName) || !in.String(pair.dataFileName)) return;
        s.contourMeasurements.push_back(std::move(pair));
    }
    if (!in.String(s.measuredDataMeasName)) return;
    in.String(s.tabDataMeasName);
}

// ---- writing ----

class Writer {
public:
    explicit Writer(IStream* stream) : stream_(stream) {}

    // S_OK, or the first failure: once a write has failed nothing more is written.
    HRESULT status() const { return status_; }

    void Bytes(const void* data, ULONG n) {
        if (FAILED(status_)) return;
        ULONG written = 0;
        const HRESULT hr = stream_->Write(data, n, &written);
        if (FAILED(hr))
            status_ = hr;
        else if (written != n)
            status_ = STG_E_MEDIUMFULL;  // a short write: the medium is full
    }

    void Int32(LONG value) {
        const uint32_t v = static_cast<uint32_t>(value);
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        Bytes(b, sizeof b);
    }

    void Double(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        unsigned char b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
        Bytes(b, sizeof b);
    }

    void String(const host::Bstr& s) {
        if (s.is_null()) {
            Int32(0);
            return;
        }
        const UINT n = s.length();
        std::vector<unsigned char> bytes(2 * static_cast<size_t>(n) + 2, 0);
        for (UINT i = 0; i < n; ++i) {
            bytes[2 * i] = static_cast<unsigned char>(s.get()[i]);
            bytes[2 * i + 1] = static_cast<unsigned char>(s.get()[i] >> 8);
        }
        Int32(static_cast<LONG>(bytes.size()));
        Bytes(bytes.data(), static_cast<ULONG>(bytes.size()));
    }

private:
    IStream* stream_;
    HRESULT status_ = S_OK;
};

}  // namespace

STDMETHODIMP CLPTunerWizard::GetClassID(CLSID* pClassID) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_LPTuner;
        return S_OK;
    });
}

// Dirty: Name was set, or a run's Simulate changed the kept settings, since the
// last Load or clearing Save.
STDMETHODIMP CLPTunerWizard::IsDirty() {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT { return dirty ? S_OK : S_FALSE; });
}

// A stream too short to hold the version cannot be read either: STG_E_READFAULT.
STDMETHODIMP CLPTunerWizard::Load(IStream* pStm) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!pStm) return E_POINTER;
        settings.Reset();
        Reader in(pStm);
        unsigned char b[4];
        ULONG got = 0;
        const HRESULT hr = pStm->Read(b, sizeof b, &got);
        if (FAILED(hr)) return hr;
        if (got != sizeof b) return STG_E_READFAULT;
        const LONG version = static_cast<LONG>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
        if (version > 0) {
            host::Bstr loadedName;
            if (in.String(loadedName)) {
                name = std::move(loadedName);
                if (in.Int32(settings.harmonic) && in.Double(settings.centerMag) && in.Double(settings.centerAng) &&
                    in.Double(settings.radius) && in.Int32(settings.gammaSource) && version > 1)
                    LoadVersion2(in, settings);
            }
        }
        dirty = false;
        return S_OK;
    });
}

// The host believes what Save answers: a record that was not written whole is
// a failure, and the object stays dirty so that the next save writes it again.
STDMETHODIMP CLPTunerWizard::Save(IStream* pStm, BOOL fClearDirty) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!pStm) return E_POINTER;
        Writer out(pStm);
        out.Int32(2);
        out.String(name);
        out.Int32(settings.harmonic);
        out.Double(settings.centerMag);
        out.Double(settings.centerAng);
        out.Double(settings.radius);
        out.Int32(settings.gammaSource);
        out.String(settings.schematicName);
        out.String(settings.tunerName);
        out.Int32(static_cast<LONG>(settings.contourMeasurements.size()));
        for (const ContourMeasurement& pair : settings.contourMeasurements) {
            out.String(pair.measurementName);
            out.String(pair.dataFileName);
        }
        out.String(settings.measuredDataMeasName);
        out.String(settings.tabDataMeasName);
        if (FAILED(out.status())) return out.status();
        if (fClearDirty) dirty = false;
        return S_OK;
    });
}

// 76 bytes (the stream with "LPTuner"-sized room for terminators) plus 12 per pair
// plus 2 per code unit of every string: never less than Save writes.
STDMETHODIMP CLPTunerWizard::GetSizeMax(ULARGE_INTEGER* pcbSize) {
    return lptuner::ExceptionsToHResult([&]() -> HRESULT {
        if (!pcbSize) return E_POINTER;
        ULONGLONG size = 76 + 12 * static_cast<ULONGLONG>(settings.contourMeasurements.size());
        auto add = [&size](const host::Bstr& s) { size += 2 * static_cast<ULONGLONG>(s.length()); };
        add(name);
        add(settings.schematicName);
        add(settings.tunerName);
        add(settings.measuredDataMeasName);
        add(settings.tabDataMeasName);
        for (const ContourMeasurement& pair : settings.contourMeasurements) {
            add(pair.measurementName);
            add(pair.dataFileName);
        }
        pcbSize->QuadPart = size;
        return S_OK;
    });
}
