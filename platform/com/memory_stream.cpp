// The memory stream CreateStreamOnHGlobal makes when it is given no HGLOBAL. Like
// the HGLOBAL stream it stands for, it holds at most 4 GiB, reads short at the
// end without failing, and may be positioned past its end (a write there fills
// the gap with zeros).
#include <objbase.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "platform/com/com_object.h"

namespace {

constexpr ULONGLONG kMaxSize = 0xFFFFFFFFull;

class MemoryStream final : public platform::ComObject<IStream> {
public:
    void* Interface(REFIID riid) override {
        if (IsEqualIID(riid, IID_ISequentialStream) || IsEqualIID(riid, IID_IStream)) return static_cast<IStream*>(this);
        return nullptr;
    }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv) return STG_E_INVALIDPOINTER;
        ULONG n = 0;
        if (position_ < data_.size()) {
            const ULONGLONG available = data_.size() - position_;
            n = static_cast<ULONG>(available < cb ? available : cb);
            std::memcpy(pv, data_.data() + position_, n);
            position_ += n;
        }
        if (pcbRead) *pcbRead = n;
        return S_OK;
    }

    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) *pcbWritten = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        if (cb == 0) return S_OK;
        const ULONGLONG end = position_ + cb;
        if (end > kMaxSize) return STG_E_MEDIUMFULL;
        try {
            if (end > data_.size()) data_.resize(static_cast<size_t>(end));
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        std::memcpy(data_.data() + position_, pv, cb);
        position_ = end;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
        LONGLONG base;
        switch (dwOrigin) {
            case STREAM_SEEK_SET: base = 0; break;
            case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(position_); break;
            case STREAM_SEEK_END: base = static_cast<LONGLONG>(data_.size()); break;
            default: return STG_E_INVALIDFUNCTION;
        }
        // base is at most 4 GiB, so neither test can overflow. A position before the
        // start is refused; so is one the stream could never reach.
        const LONGLONG move = dlibMove.QuadPart;
        if (move < 0 ? base + move < 0 : move > static_cast<LONGLONG>(kMaxSize) - base)
            return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(base + move);
        if (plibNewPosition) plibNewPosition->QuadPart = position_;
        return S_OK;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override {
        if (libNewSize.QuadPart > kMaxSize) return STG_E_INVALIDFUNCTION;
        try {
            data_.resize(static_cast<size_t>(libNewSize.QuadPart));
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        return S_OK;
    }

private:
    ~MemoryStream() = default;

    std::vector<unsigned char> data_;
    ULONGLONG position_ = 0;
};

}  // namespace

// Only a stream that owns fresh memory is supported: an existing HGLOBAL, or
// memory the caller means to keep (fDeleteOnRelease FALSE, which needs
// GetHGlobalFromStream), are refused.
extern "C" HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
    if (!ppstm) return E_INVALIDARG;
    *ppstm = nullptr;
    if (hGlobal || !fDeleteOnRelease) return E_NOTIMPL;
    *ppstm = new (std::nothrow) MemoryStream;
    return *ppstm ? S_OK : E_OUTOFMEMORY;
}
