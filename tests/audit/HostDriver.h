#pragma once
// Drives a plug-in as the host does (CheckNext, and GetError after each True), and writes the
// standard files it reads.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "KVStMgr.h"
#include "tests/audit/HostErrorDouble.h"

namespace audittest {

// One CheckNext and, after True, one GetError: the finding, or nothing after False.
std::optional<FindingText> NextFinding(IKVStPlugin* plugin);
// Findings until CheckNext returns False (or more than limit of them).
std::vector<FindingText> AllFindings(IKVStPlugin* plugin, std::size_t limit = 1000000);

// A standard file with one section per type, in order: a type name and its allowed names.
using TypeSection = std::pair<std::string, std::vector<std::string>>;
std::string StandardText(const std::vector<TypeSection>& types);

}  // namespace audittest
