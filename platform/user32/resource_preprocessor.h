// The preprocessor of an embedded resource script: #include of the script's own
// files and of the SDK's headers, #define and #undef, the conditionals, and the
// tokens of what is left, each with the file and line it came from.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/user32/resource_script.h"

namespace platform {
namespace resource_script {

struct Token {
    enum Kind { kIdent, kNumber, kString, kPunct, kEnd } kind = kEnd;
    std::string text;  // identifier (as written), string contents, punctuation
    long value = 0;
    std::string where;  // "file:line"
};

// The style names and ids that ui/lptuner.rc uses: an unknown name is refused with its line.
const std::map<std::string, long>& KnownConstants();

// The tokens of the script files[0], ending with a kEnd token; false with the
// file, line and reason when the script cannot be read.
bool Preprocess(const ResourceFile* files, size_t count, std::vector<Token>& out, std::string& error);

}  // namespace resource_script
}  // namespace platform
