// The project loader's fuzz corpus, replayed by the ordinary build.
#include <gtest/gtest.h>

#include "tests/fuzz_corpus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(ProjectFuzzCorpus, EveryInputLoadsOrIsRefusedAndSavesAsItLoaded) {
    EXPECT_GE(fuzzcorpus::Replay(LPT_PROJECT_CORPUS, &LLVMFuzzerTestOneInput), 4);
}
