// The fuzzing entry point for the registry file reader. Built with clang's
// libFuzzer by scripts/ci-fuzz; the regular build replays the corpus next to it.
//
// The file is shared by every program of the user, so any bytes may be found in
// it: Parse must not crash, leak or read out of bounds, and whatever it accepts
// must be written back by Format as a file that reads back to the same text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::registry::Tree tree;
    const LONG status = platform::registry::Parse(text, tree);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_BADDB) std::abort();  // the one answer for a file that is not a registry
        return 0;
    }
    const std::string formatted = platform::registry::Format(tree);
    platform::registry::Tree again;
    if (platform::registry::Parse(formatted, again) != ERROR_SUCCESS) std::abort();
    if (platform::registry::Format(again) != formatted) std::abort();
    return 0;
}
