// Replays the fuzzers' saved corpora of file lists and baselines through their checks, so that every
// input the fuzzers found worth keeping stays sound in the Windows build too.
#include <gtest/gtest.h>

#include "fuzz/RunInputsCheck.h"
#include "support/Corpus.h"

namespace {

TEST(RunInputsCorpusReplay, EverySavedFileListKeepsItsRules) {
    const auto inputs = kvtest::ReadCorpus(KV_FILE_LIST_CORPUS);
    ASSERT_FALSE(inputs.empty()) << "no saved corpus in " << KV_FILE_LIST_CORPUS;
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckFileList(input.bytes), "") << input.name;
}

TEST(RunInputsCorpusReplay, EverySavedBaselineKeepsItsRules) {
    const auto inputs = kvtest::ReadCorpus(KV_BASELINE_CORPUS);
    ASSERT_FALSE(inputs.empty()) << "no saved corpus in " << KV_BASELINE_CORPUS;
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckBaseline(input.bytes), "") << input.name;
}

}  // namespace
