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

// What the charts say of a run: the schematic, tuner and harmonic it swept, and
// the pairs it contoured.
struct RunSettings {
    bool known = false;  // read from a version-2 stream
    int harmonic = 0;    // 1, 2 or 3; 0 when never set
    std::string schematic, tuner;
    std::vector<std::pair<std::string, std::string>> pairs;
};
RunSettings ReadRunSettings(const std::vector<uint8_t>& stream);

}  // namespace vexasim
