// VARIANT lifetime: VariantClear releases what a VARIANT owns (its BSTR or
// interface reference).
// Types outside the subset below are refused with DISP_E_BADVARTYPE, as
// Windows does for types it does not know.
#include <oleauto.h>

namespace {

bool IsPlainValue(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UI1:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

bool IsOwning(VARTYPE vt) { return vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN; }

// By-reference VARIANTs own nothing: they point at the caller's storage.
bool IsSupported(VARTYPE vt) {
    if (vt & VT_BYREF) {
        const VARTYPE base = vt & ~VT_BYREF;
        return base != VT_EMPTY && base != VT_NULL && (IsPlainValue(base) || IsOwning(base) || base == VT_VARIANT);
    }
    return IsPlainValue(vt) || IsOwning(vt);
}

}  // namespace

extern "C" {

void VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!IsSupported(pvarg->vt)) return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
        case VT_BSTR:
            SysFreeString(pvarg->bstrVal);
            break;
        case VT_DISPATCH:
            if (pvarg->pdispVal) pvarg->pdispVal->Release();
            break;
        case VT_UNKNOWN:
            if (pvarg->punkVal) pvarg->punkVal->Release();
            break;
        default:
            break;
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

}  // extern "C"
