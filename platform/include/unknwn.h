// Native look-alike of <unknwn.h>.
#pragma once
#include "objbase.h"
