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

std::string StandardText(const std::vector<TypeSection>& types) {
    std::string text = "[Common]\r\nTypeCount=" + std::to_string(types.size()) + "\r\n";
    for (std::size_t i = 0; i < types.size(); ++i) {
        text += "[Type" + std::to_string(i + 1) + "]\r\nType=" + types[i].first + "\r\nNameCount=" +
                std::to_string(types[i].second.size()) + "\r\n";
        for (std::size_t k = 0; k < types[i].second.size(); ++k)
            text += "Name" + std::to_string(k + 1) + "=" + types[i].second[k] + "\r\n";
    }
    return text;
}

}  // namespace audittest
