// Native look-alike of <ole2.h>.
#pragma once
#include "objbase.h"
