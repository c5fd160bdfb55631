// Native look-alike of <objbase.h>.
#pragma once
#include "windows.h"
#include "lpt/com.h"
