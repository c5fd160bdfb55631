// _com_error: the exception the wrappers throw for a failed COM call. What the
// wizard reads of it is the HRESULT and the error information; the description
// is read from that (host::ShowHostError), so the text accessors are left out.
#pragma once
#include "lpt/com.h"

class _com_error {
public:
    _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error& that) noexcept;
    virtual ~_com_error();
    _com_error& operator=(const _com_error& that) noexcept;

    HRESULT Error() const noexcept;
    IErrorInfo* ErrorInfo() const noexcept;  // AddRef'ed; the caller releases it

private:
    HRESULT m_hresult;
    IErrorInfo* m_perrinfo;
};

[[noreturn]] void __stdcall _com_issue_error(HRESULT hr);
[[noreturn]] void __stdcall _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);
