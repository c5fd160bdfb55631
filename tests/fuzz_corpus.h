// Replays a fuzz target's committed corpus through its entry point, so that the
// ordinary build runs every input the fuzzer was given or kept.
#pragma once
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fuzzcorpus {

// Runs each file of the folder through the entry point; returns how many ran.
inline int Replay(const std::string& folder, int (*entry)(const uint8_t*, size_t)) {
    DIR* dir = opendir(folder.c_str());
    EXPECT_NE(dir, nullptr) << folder;
    if (!dir) return 0;
    int files = 0;
    while (dirent* item = readdir(dir)) {
        if (item->d_name[0] == '.') continue;
        std::ifstream in(folder + "/" + item->d_name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(item->d_name);
        EXPECT_EQ(entry(bytes.data(), bytes.size()), 0);
        ++files;
    }
    closedir(dir);
    return files;
}

}  // namespace fuzzcorpus
