// Native look-alike of <olectl.h>.
#pragma once
#include "objbase.h"
