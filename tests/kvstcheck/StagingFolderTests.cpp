#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "kvstcheck/runs/PluginSource.h"

namespace {

// Only a folder named as a run names its own may be taken for one that an ended run left.
TEST(StagingFolder, OnlyARunsOwnNameTellsTheProcessThatMadeIt) {
    const std::pair<std::wstring_view, std::optional<unsigned long>> cases[] = {
        {L"kvstcheck-32-0", 32},
        {L"kvstcheck-4294967295-99", 4294967295},
        {L"kvstcheck-4294967296-0", std::nullopt},
        {L"kvstcheck-32", std::nullopt},
        {L"kvstcheck-32-", std::nullopt},
        {L"kvstcheck--0", std::nullopt},
        {L"kvstcheck-+32-0", std::nullopt},
        {L"kvstcheck-32-0-1", std::nullopt},
        {L"kvstcheck-32-0.tmp", std::nullopt},
        {L"KVSTCHECK-32-0", std::nullopt},
        {L"~kvstcheck-32-0.tmp", std::nullopt},
        {L"kvstcheck-\x0663\x0662-0", std::nullopt},
    };
    for (const auto& [name, owner] : cases) EXPECT_EQ(kvstcheck::StagingFolderOwner(name), owner) << name.data();
}

}  // namespace
