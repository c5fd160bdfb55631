// _com_error and the functions that throw it.
#include <comdef.h>

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) noexcept
    : m_hresult(hr), m_perrinfo(perrinfo) {
    if (m_perrinfo && fAddRef) m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error& that) noexcept : m_hresult(that.m_hresult), m_perrinfo(that.m_perrinfo) {
    if (m_perrinfo) m_perrinfo->AddRef();
}

_com_error::~_com_error() {
    if (m_perrinfo) m_perrinfo->Release();
}

_com_error& _com_error::operator=(const _com_error& that) noexcept {
    if (this != &that) {
        if (that.m_perrinfo) that.m_perrinfo->AddRef();
        if (m_perrinfo) m_perrinfo->Release();
        m_hresult = that.m_hresult;
        m_perrinfo = that.m_perrinfo;
    }
    return *this;
}

HRESULT _com_error::Error() const noexcept { return m_hresult; }

IErrorInfo* _com_error::ErrorInfo() const noexcept {
    if (m_perrinfo) m_perrinfo->AddRef();
    return m_perrinfo;
}

void __stdcall _com_issue_error(HRESULT hr) { throw _com_error(hr); }

// The thread's error information belongs to this failure only when the object
// says the interface reports errors that way.
void __stdcall _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
    IErrorInfo* info = nullptr;
    ISupportErrorInfo* support = nullptr;
    if (punk && SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) &&
        support) {
        if (support->InterfaceSupportsErrorInfo(riid) == S_OK && GetErrorInfo(0, &info) != S_OK) info = nullptr;
        support->Release();
    }
    throw _com_error(hr, info);
}
