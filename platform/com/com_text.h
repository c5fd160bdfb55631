// Text helpers of the native COM layer: the registry keeps narrow (UTF-8) text.
#pragma once
#include <objbase.h>

#include <string>

namespace platform {

// Characters of a GUID in braces, with the terminator.
constexpr int kGuidChars = 39;

// A null-terminated COM string as UTF-8; "" for null.
std::string Narrow(const OLECHAR* w);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as UTF-8.
std::string GuidText(REFGUID g);

}  // namespace platform
