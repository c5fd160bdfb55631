// _bstr_t subset: a reference-counted BSTR wrapper with a cached narrow copy
// (the narrow text is in the native ANSI code page, UTF-8).
#pragma once
#include "lpt/com.h"

class _bstr_t {
public:
    _bstr_t() noexcept;
    _bstr_t(const _bstr_t& s) noexcept;
    _bstr_t(const char* s);
    _bstr_t(const OLECHAR* s);
    _bstr_t(BSTR bstr, bool fCopy);
    ~_bstr_t();
    _bstr_t& operator=(const _bstr_t& s) noexcept;
    _bstr_t& operator=(const char* s);
    _bstr_t& operator=(const OLECHAR* s);

    operator const OLECHAR*() const noexcept;
    operator OLECHAR*() const noexcept;
    operator const char*() const;
    operator char*() const;
    bool operator!() const noexcept;
    bool operator==(const _bstr_t& s) const noexcept;
    bool operator!=(const _bstr_t& s) const noexcept;
    unsigned int length() const noexcept;
    BSTR copy(bool fCopy = true) const;
    void Attach(BSTR s);
    BSTR Detach() noexcept;
    BSTR& GetBSTR();
    BSTR* GetAddress();

private:
    struct Data;
    void Release() noexcept;
    Data* data_;
};
