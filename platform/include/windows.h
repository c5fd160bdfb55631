// Native look-alike of <windows.h>: only the subset the wizard uses.
#pragma once
#include "lpt/wintypes.h"
#include "lpt/winbase.h"
#include "lpt/winuser.h"
#include "lpt/winreg.h"
