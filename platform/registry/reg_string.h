// String values through the registry functions, for the COM layer's own lookups
// (activation, type-library registration).
#pragma once
#include <windows.h>

#include <string>

namespace platform::registry {

// The REG_SZ value `name` (null: the default value) of root\path, without its
// terminator; false when the key or value is missing or not a string.
bool QueryString(HKEY root, const std::string& path, const char* name, std::string& text);

// Creates root\path as needed and sets its REG_SZ value `name`.
LONG SetString(HKEY root, const std::string& path, const char* name, const std::string& text);

// Whether root\path exists and has at least one subkey.
bool HasSubkeys(HKEY root, const std::string& path);

}  // namespace platform::registry
