// The out-of-line part of <comdef.h> and <comutil.h> that the compiler's own COM
// support library provides elsewhere and mingw-w64 does not ship: raising a
// _com_error with the error information of the failed interface, and the
// conversions behind _bstr_t's narrow text (the ANSI code page, as there).
// Built on Windows only; the native layer has its own (platform/com/).
#include <comdef.h>

#include <new>

void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
    // The thread's error information belongs to this failure only when the object
    // says it reports errors through the interface that failed.
    IErrorInfo* info = nullptr;
    if (punk) {
        ISupportErrorInfo* support = nullptr;
        if (SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
            const HRESULT supported = support->InterfaceSupportsErrorInfo(riid);
            support->Release();
            if (supported == S_OK && GetErrorInfo(0, &info) != S_OK) info = nullptr;
        }
    }
    throw _com_error(hr, info);  // takes the reference
}

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* pSrc) {
    if (!pSrc) return nullptr;
    const int n = MultiByteToWideChar(CP_ACP, 0, pSrc, -1, nullptr, 0);
    if (n <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (!out) _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, pSrc, -1, out, n);
    return out;
}

// The caller frees the text with delete[] (_bstr_t does).
char* WINAPI ConvertBSTRToString(BSTR pSrc) {
    if (!pSrc) return nullptr;
    const int len = static_cast<int>(SysStringLen(pSrc)) + 1;  // with the terminator
    const int n = WideCharToMultiByte(CP_ACP, 0, pSrc, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* out = new (std::nothrow) char[static_cast<size_t>(n)];
    if (!out) _com_issue_error(E_OUTOFMEMORY);
    WideCharToMultiByte(CP_ACP, 0, pSrc, len, out, n, nullptr, nullptr);
    return out;
}

}  // namespace _com_util
