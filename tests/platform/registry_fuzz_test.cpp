// The registry file reader's fuzz corpus, replayed by the ordinary build.
#include <gtest/gtest.h>

#include "tests/fuzz_corpus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(RegistryFuzzCorpus, EveryInputParsesOrIsRefusedAndReadsBackAsWritten) {
    EXPECT_GE(fuzzcorpus::Replay(LPT_REGISTRY_CORPUS, &LLVMFuzzerTestOneInput), 4);
}
