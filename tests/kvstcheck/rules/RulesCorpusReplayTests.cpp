// The saved fuzzing corpora of the matcher and the rules file, replayed under the platform with the
// checks of the fuzz targets.
#include <gtest/gtest.h>

#include "fuzz/NamePatternCheck.h"
#include "fuzz/RulesFileCheck.h"
#include "support/Corpus.h"

namespace {

TEST(RulesCorpus, EveryPatternInputKeepsTheMatchersPromises) {
    const auto inputs = kvtest::ReadCorpus(KV_NAME_PATTERN_CORPUS);
    ASSERT_GE(inputs.size(), 10u) << "the corpus folder " << KV_NAME_PATTERN_CORPUS << " is missing or nearly empty";
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckNamePattern(input.bytes), "") << input.name;
}

TEST(RulesCorpus, EveryRulesFileInputKeepsTheLoadersPromises) {
    const auto inputs = kvtest::ReadCorpus(KV_RULES_FILE_CORPUS);
    ASSERT_GE(inputs.size(), 5u) << "the corpus folder " << KV_RULES_FILE_CORPUS << " is missing or nearly empty";
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckRulesFile(input.bytes), "") << input.name;
}

}  // namespace
