// Native look-alike of <comutil.h>: the _bstr_t subset the wizard uses.
#pragma once
#include "objbase.h"
#include "lpt/bstr_t.h"
