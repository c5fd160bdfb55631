// Native look-alike of <olectl.h>.
#pragma once
#include "objbase.h"

// Self-registration exports of an in-process server (defined by the server).
extern "C" {
HRESULT DllRegisterServer(void);
HRESULT DllUnregisterServer(void);
}
