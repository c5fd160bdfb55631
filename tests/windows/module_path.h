// The path of the LPTuner module under test, as a COM string: the DLL beside the
// test program on Windows, the module the build made natively.
#pragma once
#include <objbase.h>

#include <string>

std::basic_string<OLECHAR> TestedModulePath();
