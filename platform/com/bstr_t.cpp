// _bstr_t: copies share one reference-counted BSTR; the narrow (UTF-8) text is
// made on first request and kept until the string changes.
#include <comutil.h>
#include <comdef.h>
#include <windows.h>

#include <atomic>
#include <new>

struct _bstr_t::Data {
    explicit Data(BSTR w) noexcept : wide(w) {}
    ~Data() {
        SysFreeString(wide);
        delete[] narrow;
    }
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;

    std::atomic<unsigned long> refs{1};
    BSTR wide;
    char* narrow = nullptr;  // cached conversion of `wide`; null until asked for
};

namespace {

// Copies a BSTR with its exact byte length (embedded zeros included).
BSTR CopyBstr(BSTR s) {
    if (!s) return nullptr;
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
    if (!copy) _com_issue_error(E_OUTOFMEMORY);
    return copy;
}

BSTR FromNarrow(const char* s) {
    if (!s) return nullptr;
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (!b) _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, s, -1, b, n);
    return b;
}

char* ToNarrow(BSTR s) {
    if (!s) return nullptr;
    const int len = static_cast<int>(SysStringLen(s));
    const int n = len == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, s, len, nullptr, 0, nullptr, nullptr);
    if (len != 0 && n <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* out = new (std::nothrow) char[static_cast<size_t>(n) + 1];
    if (!out) _com_issue_error(E_OUTOFMEMORY);
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, s, len, out, n, nullptr, nullptr);
    out[n] = '\0';
    return out;
}

// Takes ownership of w, also when it throws. (Data is named by the members that call this.)
template <class Data>
Data* NewData(BSTR w) {
    auto* d = new (std::nothrow) Data(w);
    if (!d) {
        SysFreeString(w);
        _com_issue_error(E_OUTOFMEMORY);
    }
    return d;
}

}  // namespace

_bstr_t::_bstr_t() noexcept : data_(nullptr) {}

_bstr_t::_bstr_t(const _bstr_t& s) noexcept : data_(s.data_) {
    if (data_) ++data_->refs;
}

_bstr_t::_bstr_t(const char* s) : data_(NewData<Data>(FromNarrow(s))) {}

_bstr_t::_bstr_t(const OLECHAR* s) : data_(nullptr) {
    BSTR b = SysAllocString(s);
    if (s && !b) _com_issue_error(E_OUTOFMEMORY);
    data_ = NewData<Data>(b);
}

_bstr_t::_bstr_t(BSTR bstr, bool fCopy) : data_(NewData<Data>(fCopy ? CopyBstr(bstr) : bstr)) {}

_bstr_t::~_bstr_t() { Release(); }

void _bstr_t::Release() noexcept {
    if (data_ && --data_->refs == 0) delete data_;
    data_ = nullptr;
}

_bstr_t& _bstr_t::operator=(const _bstr_t& s) noexcept {
    if (data_ != s.data_) {
        Release();
        data_ = s.data_;
        if (data_) ++data_->refs;
    }
    return *this;
}

_bstr_t& _bstr_t::operator=(const char* s) {
    _bstr_t fresh(s);
    return *this = fresh;
}

_bstr_t& _bstr_t::operator=(const OLECHAR* s) {
    _bstr_t fresh(s);
    return *this = fresh;
}

_bstr_t::operator const OLECHAR*() const noexcept { return data_ ? data_->wide : nullptr; }
_bstr_t::operator OLECHAR*() const noexcept { return data_ ? data_->wide : nullptr; }

_bstr_t::operator const char*() const { return static_cast<char*>(*this); }

_bstr_t::operator char*() const {
    if (!data_) return nullptr;
    if (!data_->narrow) data_->narrow = ToNarrow(data_->wide);
    return data_->narrow;
}

bool _bstr_t::operator!() const noexcept { return !data_ || !data_->wide; }

// A null string and an empty one compare equal, as two empty texts.
bool _bstr_t::operator==(const _bstr_t& s) const noexcept {
    if (data_ == s.data_) return true;
    const BSTR a = *this;
    const BSTR b = s;
    const UINT n = SysStringLen(a);
    if (n != SysStringLen(b)) return false;
    for (UINT i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

bool _bstr_t::operator!=(const _bstr_t& s) const noexcept { return !(*this == s); }

unsigned int _bstr_t::length() const noexcept { return data_ ? SysStringLen(data_->wide) : 0; }

BSTR _bstr_t::copy(bool fCopy) const {
    const BSTR w = *this;
    return fCopy ? CopyBstr(w) : w;
}

void _bstr_t::Attach(BSTR s) {
    Data* d = NewData<Data>(s);
    Release();
    data_ = d;
}

// A shared string cannot give its BSTR away: the caller gets its own copy instead
// (null if that copy cannot be made).
BSTR _bstr_t::Detach() noexcept {
    if (!data_) return nullptr;
    BSTR out;
    if (data_->refs == 1) {
        out = data_->wide;
        data_->wide = nullptr;
    } else {
        out = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(data_->wide), SysStringByteLen(data_->wide));
    }
    Release();
    return out;
}

BSTR& _bstr_t::GetBSTR() {
    if (!data_) data_ = NewData<Data>(nullptr);
    return data_->wide;
}

// For use as an out-parameter: the current string is dropped and the caller
// writes a fresh BSTR, which this object then owns.
BSTR* _bstr_t::GetAddress() {
    Data* d = NewData<Data>(nullptr);
    Release();
    data_ = d;
    return &data_->wide;
}
