// Native look-alike of <ocidl.h>.
#pragma once
#include "objbase.h"
