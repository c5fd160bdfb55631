// The one policy at the component's COM boundary: no exception ever leaves an
// exported function or a COM method. Each of them runs its body through
// ExceptionsToHResult, which hands back the body's HRESULT, or, when the body
// throws, the HRESULT of what was thrown:
//   std::bad_alloc                     E_OUTOFMEMORY
//   _com_error                         its HRESULT (E_FAIL if it carries none)
//   anything else                      E_FAIL
// Operations that report an exception to the user or through error information
// (Run) do so inside the body and let the exception go on to this policy.
#pragma once
#include <windows.h>

namespace lptuner {

// The HRESULT of the exception being handled. Call it only inside a catch block.
HRESULT HResultOfCaughtException() noexcept;

template <class F>
HRESULT ExceptionsToHResult(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return HResultOfCaughtException();
    }
}

}  // namespace lptuner
