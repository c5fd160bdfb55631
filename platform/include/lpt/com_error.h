// _com_error: the exception the wrappers throw for a failed COM call.
#pragma once
#include "lpt/bstr_t.h"

class _com_error {
public:
    _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error& that) noexcept;
    virtual ~_com_error();
    _com_error& operator=(const _com_error& that) noexcept;

    HRESULT Error() const noexcept;
    WORD WCode() const noexcept;
    IErrorInfo* ErrorInfo() const noexcept;  // AddRef'ed; the caller releases it
    _bstr_t Description() const;
    _bstr_t Source() const;
    const char* ErrorMessage() const noexcept;

private:
    HRESULT m_hresult;
    IErrorInfo* m_perrinfo;
};

[[noreturn]] void __stdcall _com_issue_error(HRESULT hr);
[[noreturn]] void __stdcall _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);
