#include "component/com_boundary.h"

#include <comdef.h>

#include <new>

HRESULT lptuner::HResultOfCaughtException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const _com_error& e) {
        const HRESULT hr = e.Error();
        return FAILED(hr) ? hr : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}
