// Replays the fuzzer's saved corpus of standard files through lint's walk and its checks, so that
// every input the fuzzer found worth keeping stays sound in the Windows build too.
#include <gtest/gtest.h>

#include "StandardLintCheck.h"
#include "support/Corpus.h"

namespace {

TEST(LintCorpusReplay, EverySavedInputKeepsTheWalksRules) {
    const auto inputs = kvtest::ReadCorpus(KV_STANDARD_LINT_CORPUS);
    ASSERT_FALSE(inputs.empty()) << "no saved corpus in " << KV_STANDARD_LINT_CORPUS;
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckStandardLint(input.bytes), "") << input.name;
}

}  // namespace
