// The DXF reader's saved fuzzing corpus, replayed under the platform with the checks of the fuzz
// target: with the fuzz target's byte decoder and with the system's code pages.
#include <gtest/gtest.h>

#include "fuzz/DxfReaderCheck.h"
#include "kvstcheck/readers/SystemTextDecoder.h"
#include "support/Corpus.h"

namespace {

TEST(DxfCorpus, EveryInputKeepsTheReadersPromises) {
    const auto inputs = kvtest::ReadCorpus(KV_DXF_CORPUS);
    ASSERT_GE(inputs.size(), 10u) << "the corpus folder " << KV_DXF_CORPUS << " is missing or nearly empty";
    const fuzzcheck::ByteTextDecoder bytes;
    const kvstcheck::SystemTextDecoder system;
    for (const auto& input : inputs) {
        EXPECT_EQ(fuzzcheck::CheckDxfReader(input.bytes, bytes), "") << input.name;
        EXPECT_EQ(fuzzcheck::CheckDxfReader(input.bytes, system), "") << input.name;
    }
}

}  // namespace
