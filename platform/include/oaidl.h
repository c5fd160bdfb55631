// Native look-alike of <oaidl.h>.
#pragma once
#include "objbase.h"
