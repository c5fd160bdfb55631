// _com_error and the functions that throw it.
#include <comdef.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace {

const char* KnownMessage(HRESULT hr) {
    switch (hr) {
        case S_OK: return "The operation completed successfully.";
        case S_FALSE: return "The operation completed with S_FALSE.";
        case E_NOTIMPL: return "Not implemented.";
        case E_NOINTERFACE: return "No such interface supported.";
        case E_POINTER: return "Invalid pointer.";
        case E_ABORT: return "Operation aborted.";
        case E_FAIL: return "Unspecified error.";
        case E_UNEXPECTED: return "Catastrophic failure.";
        case E_ACCESSDENIED: return "Access is denied.";
        case E_HANDLE: return "The handle is invalid.";
        case E_OUTOFMEMORY: return "Not enough memory resources are available to complete this operation.";
        case E_INVALIDARG: return "The parameter is incorrect.";
        case CLASS_E_NOAGGREGATION: return "Class does not support aggregation.";
        case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class.";
        case REGDB_E_CLASSNOTREG: return "Class not registered.";
        case CO_E_CLASSSTRING: return "Invalid class string.";
        case DISP_E_MEMBERNOTFOUND: return "Member not found.";
        case DISP_E_TYPEMISMATCH: return "Type mismatch.";
        case DISP_E_UNKNOWNNAME: return "Unknown name.";
        case DISP_E_EXCEPTION: return "Exception occurred.";
        case DISP_E_BADVARTYPE: return "Bad variable type.";
        case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters.";
        case DISP_E_BADINDEX: return "Invalid index.";
        case STG_E_INVALIDFUNCTION: return "Unable to perform requested operation.";
        case STG_E_MEDIUMFULL: return "There is insufficient disk space to complete operation.";
        default: return nullptr;
    }
}

// Messages for other codes are made once per code and kept for the life of the
// process, so the pointer ErrorMessage() returns never dangles.
const char* GeneratedMessage(HRESULT hr) {
    static std::mutex mutex;
    static std::set<std::string> messages;
    char text[64];
    const WORD wcode = _com_error(hr).WCode();
    if (wcode != 0) std::snprintf(text, sizeof text, "IDispatch error #%u", static_cast<unsigned>(wcode));
    else std::snprintf(text, sizeof text, "Unknown error 0x%08X", static_cast<unsigned>(hr));
    std::lock_guard<std::mutex> lock(mutex);
    return messages.insert(text).first->c_str();
}

}  // namespace

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

// Codes from 0x80040200 to 0x8004FFFF are the IDispatch exception codes (wCode + 0x80040200).
WORD _com_error::WCode() const noexcept {
    const auto hr = static_cast<uint32_t>(m_hresult);
    return (hr >= 0x80040200u && hr <= 0x8004FFFFu) ? static_cast<WORD>(hr - 0x80040200u) : 0;
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
    if (m_perrinfo) m_perrinfo->AddRef();
    return m_perrinfo;
}

_bstr_t _com_error::Description() const {
    BSTR text = nullptr;
    if (m_perrinfo && FAILED(m_perrinfo->GetDescription(&text))) text = nullptr;
    return _bstr_t(text, false);
}

_bstr_t _com_error::Source() const {
    BSTR text = nullptr;
    if (m_perrinfo && FAILED(m_perrinfo->GetSource(&text))) text = nullptr;
    return _bstr_t(text, false);
}

const char* _com_error::ErrorMessage() const noexcept {
    if (const char* known = KnownMessage(m_hresult)) return known;
    try {
        return GeneratedMessage(m_hresult);
    } catch (...) {
        return "Unknown error";
    }
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
