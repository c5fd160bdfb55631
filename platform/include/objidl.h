// Native look-alike of <objidl.h>.
#pragma once
#include "objbase.h"
