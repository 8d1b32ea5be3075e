#include "HostDriver.h"

#include <gtest/gtest.h>

namespace audittest {

std::optional<FindingText> NextFinding(IKVStPlugin* plugin) {
    VARIANT_BOOL found = 1;
    EXPECT_EQ(plugin->CheckNext(&found), S_OK);
    if (found == VARIANT_FALSE) return std::nullopt;
    EXPECT_EQ(found, VARIANT_TRUE);
    kv::ComPtr<_KVStError> error;
    EXPECT_EQ(plugin->GetError(&error), S_OK);
    return ReadFinding(error.Get());
}

std::vector<FindingText> AllFindings(IKVStPlugin* plugin, std::size_t limit) {
    std::vector<FindingText> findings;
    while (auto finding = NextFinding(plugin)) {
        findings.push_back(std::move(*finding));
        if (findings.size() > limit) break;
    }
    return findings;
}

}  // namespace audittest
