// What the IDL compiler makes of lptuner.idl, written by hand for the native build
// (on Windows the generated header is used instead). The identifiers are defined
// in lptuner_i.cpp and must match the uuids in lptuner.idl; the type-library
// tests compare them.
#pragma once
#include <objbase.h>
#include <oleauto.h>

extern "C" const IID IID_ILPTuner;
extern "C" const IID LIBID_TessaryLib;
extern "C" const CLSID CLSID_LPTuner;

// ILPTuner: dual interface; Name is DISPID 1.
struct ILPTuner : public IDispatch {
    STDMETHOD(get_Name)(BSTR* pVal) = 0;
    STDMETHOD(put_Name)(BSTR newVal) = 0;
};
