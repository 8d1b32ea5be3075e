// Replays the fuzzer's saved corpus of standard files through the image and its checks, so that
// every input the fuzzer found worth keeping stays sound in the Windows build too.
#include <gtest/gtest.h>

#include "StandardFileCheck.h"
#include "support/Corpus.h"

namespace {

TEST(CorpusReplayTest, EverySavedStandardFileInputKeepsTheImagesRules) {
    const auto inputs = kvtest::ReadCorpus(KV_STANDARD_FILE_CORPUS);
    ASSERT_FALSE(inputs.empty()) << "no saved corpus in " << KV_STANDARD_FILE_CORPUS;
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckStandardFile(input.bytes), "") << input.name;
}

}  // namespace
