// The catalogue of a rules file's lint is the one list of its rules: the README's table and the JSON
// schema's list of ids agree with it.
#include "kvstcheck/rules/RulesCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

#include "support/TempFolder.h"

namespace {

using namespace kvstcheck::rules;

std::string SourceFile(const std::string& relative) {
    std::ifstream file(std::filesystem::path(kvtest::Wide(std::string(KV_SOURCE_ROOT) + "/" + relative)),
                       std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool IsKebabCase(std::string_view id) {
    return !id.empty() && id.front() != '-' && id.back() != '-' && id.find("--") == std::string_view::npos &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
}

TEST(RulesCatalogue, EveryRuleHasAUniqueIdAndItsWords) {
    std::set<std::string_view> ids;
    for (const RuleEntry& entry : kRulesCatalogue) {
        EXPECT_TRUE(IsKebabCase(entry.id)) << entry.id;
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id << " twice";
        EXPECT_FALSE(entry.summary.empty()) << entry.id;
        EXPECT_FALSE(entry.howToFix.empty()) << entry.id;
    }
}

// The README's table: "| `id` | severity | summary |" rows under its header, in the catalogue's order.
TEST(RulesCatalogue, TheReadmeTableIsTheCatalogue) {
    const std::string readme = SourceFile("README.md");
    const auto header = readme.find("| rules-file rule | severity | what it finds |");
    ASSERT_NE(header, std::string::npos) << "no table of rules-file rules in README.md";
    std::vector<std::string> rows;
    std::size_t at = readme.find('\n', readme.find('\n', header) + 1) + 1;  // past the header and its rule
    while (at < readme.size() && readme[at] == '|') {
        const auto end = readme.find('\n', at);
        rows.push_back(readme.substr(at, end - at));
        at = end + 1;
    }
    std::vector<std::string> expected;
    for (const RuleEntry& entry : kRulesCatalogue)
        expected.push_back("| `" + std::string(entry.id) + "` | " + std::string(SeverityWord(entry.severity)) + " | " +
                           std::string(entry.summary) + " |");
    EXPECT_EQ(rows, expected);
}

TEST(RulesCatalogue, TheLintSchemaListsEveryIdAndSeverity) {
    const auto schema = nlohmann::json::parse(SourceFile("docs/schemas/lint.schema.json"), nullptr, false);
    ASSERT_FALSE(schema.is_discarded());
    const auto& warning = schema["$defs"]["rulesWarning"]["properties"];
    std::vector<std::string> ids;
    for (const RuleEntry& entry : kRulesCatalogue) ids.emplace_back(entry.id);
    EXPECT_EQ(warning["rule"]["enum"].get<std::vector<std::string>>(), ids);
    EXPECT_EQ(warning["severity"]["enum"].get<std::vector<std::string>>(),
              (std::vector<std::string>{std::string(SeverityWord(RuleSeverity::Error)),
                                        std::string(SeverityWord(RuleSeverity::Warning))}));
}

}  // namespace
