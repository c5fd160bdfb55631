// Native look-alike of <comdef.h>: _com_error and the error-issuing functions.
#pragma once
#include "objbase.h"
#include "lpt/com_error.h"
