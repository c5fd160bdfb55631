// Reading the wizard's persisted settings as the host stores them: the measurement
// and data-file pairs it contoured, so the program can report on them.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexasim {

// The (measurement display name, data file name) pairs of a version-2 settings
// stream; empty for older versions or a stream that ends early.
std::vector<std::pair<std::string, std::string>> ContourPairs(const std::vector<uint8_t>& stream);

}  // namespace vexasim
