// Native look-alike of <oleauto.h>.
#pragma once
#include "objbase.h"
