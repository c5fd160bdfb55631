// The out-of-line part of <comdef.h> that the compiler's own COM support library
// provides elsewhere and mingw-w64 does not ship: raising a _com_error with the
// error information of the failed interface.
// Built on Windows only; the native layer has its own (platform/com/).
#include <comdef.h>

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
