// Lint's fixes in machine form: each one applied and linted again over saved and generated files,
// the faults they mend, and the catalogue that names every rule.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "StandardLintCheck.h"
#include "kvstcheck/standardtools/LintEdit.h"
#include "kvstcheck/standardtools/LintRules.h"
#include "support/Corpus.h"

namespace {

using kvstcheck::LintEdit;
using Action = LintEdit::Action;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(LintEdit, AppliesToOneLineAndKeepsTheRestByteForByte) {
    const struct Case {
        const char* bytes;
        LintEdit edit;
        const char* result;
    } cases[] = {
        {"a\r\nb\r\nc", {Action::Replace, 2, "B=1"}, "a\r\nB=1\r\nc"},
        {"a\nb\rc", {Action::Replace, 3, "C"}, "a\nb\rC"},
        {"a\r\nb\r\nc\r\n", {Action::Delete, 2, {}}, "a\r\nc\r\n"},
        {"a\nb", {Action::Delete, 2, {}}, "a\n"},
        {"a\nb\n", {Action::InsertAfter, 1, "x"}, "a\nx\nb\n"},
        {"a\r\nb", {Action::InsertAfter, 2, "x"}, "a\r\nb\r\nx"},
        {"a\rb", {Action::InsertAfter, 1, "x"}, "a\rx\rb"},
        {"a\n", {Action::InsertAfter, 0, "x"}, "x\r\na\n"},
        {"a\nb", {Action::Replace, 9, "x"}, "a\nb"},
    };
    for (const Case& c : cases) EXPECT_EQ(kvstcheck::ApplyLintEdit(c.bytes, c.edit), c.result) << c.bytes;
}

TEST(LintEdit, LinesMoveWithTheEdit) {
    const LintEdit removed{Action::Delete, 3, {}};
    const LintEdit inserted{Action::InsertAfter, 3, "x"};
    const LintEdit replaced{Action::Replace, 3, "x"};
    const struct Case {
        std::uint32_t line;
        std::uint32_t afterDelete, afterInsert, afterReplace;
    } cases[] = {{2, 2, 2, 2}, {3, 0, 3, 3}, {4, 3, 5, 4}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(kvstcheck::LineAfterEdit(c.line, removed), c.afterDelete) << c.line;
        EXPECT_EQ(kvstcheck::LineAfterEdit(c.line, inserted), c.afterInsert) << c.line;
        EXPECT_EQ(kvstcheck::LineAfterEdit(c.line, replaced), c.afterReplace) << c.line;
    }
}

// Standard files with the mistakes people make, put together at random from a table of lines.
class MistakeGenerator {
public:
    explicit MistakeGenerator(unsigned number) : random_(number) {}

    std::string File() {
        const int sections = Pick(1, 5);
        std::string text;
        if (Chance(3)) text += Line("; before any section");
        if (Chance(2)) text += Line("Stray=1");
        if (!Chance(25)) text += Line(Chance(10) ? "[common]" : "[Common]");
        const int declared = sections + (Chance(6) ? Pick(-1, 2) : 0);
        text += Line(OneOf({"TypeCount=" + std::to_string(declared), "TypeCount=" + std::to_string(declared) + " ; sections",
                            "TypeCount=four", "TypeCout=" + std::to_string(declared), "TypeCount=" + std::to_string(declared) + ".0",
                            "TypeCount=0", "TypeCount=" + std::to_string(declared)},
                           {6, 1, 1, 1, 1, 1, 6}));
        if (Chance(5)) text += Line("Version=2");
        for (int type = 1; type <= sections; ++type)
            if (!Chance(15)) text += Section(type);
        if (Chance(6)) text += Line("[Notes]") + Line("Author=me");
        return text;
    }

private:
    std::string Section(int type) {
        static const std::string kTypes[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
        const std::string kind = kTypes[Pick(0, 3)];
        std::string text = Line("[Type" + std::to_string(type) + "]");
        text += Line(OneOf({"Type=" + kind, "Type=acadlayer", "Type=AcadLayr", "Type=Blocks", "Type=", "Typ=" + kind, ";Type"},
                           {10, 1, 1, 1, 1, 1, 1}));
        const int names = Pick(1, 12);
        const int count = names + (Chance(5) ? Pick(-2, 2) : 0);
        text += Line(OneOf({"NameCount=" + std::to_string(count), "NameCount=" + std::to_string(count) + " ; names", "NameCount=six",
                            "NameCout=" + std::to_string(count), "NameCount=0", "NameCount=&H" + std::to_string(count), ";none"},
                           {10, 2, 1, 1, 1, 1, 1}));
        for (int number = 1; number <= names; ++number) {
            if (Chance(25)) continue;
            const std::string key = "Name" + std::to_string(number) + "=";
            const std::string name = "N-" + std::to_string(Pick(1, 6));
            text += Line(OneOf({key + name, key + name + " ; exterior", key + "\"" + name + " \"", key + "\" " + name + "\"",
                                key + "a" + name.substr(1), key, key + "Return Err", key + name + "\tX", key + "A#1", key + name + " #x",
                                key + std::string(300, 'w'), key + "'" + name + "'", "Name" + std::to_string(number) + " " + name},
                               {20, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
            if (Chance(20)) text += Line(key + name);
        }
        if (Chance(8)) text += Line("Name" + std::to_string(names + 1) + "=Extra");
        if (Chance(8)) text += Line("Colour=red");
        return text;
    }

    std::string Line(const std::string& text) { return text + (crlf_ ? "\r\n" : "\n"); }
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int oneIn) { return Pick(1, oneIn) == 1; }
    std::string OneOf(std::initializer_list<std::string> options, std::initializer_list<int> weights) {
        std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());
        return *(options.begin() + static_cast<std::ptrdiff_t>(pick(random_)));
    }

    std::mt19937 random_;
    bool crlf_ = std::bernoulli_distribution(0.7)(random_);
};

// Every edit suggested for a file is applied alone and the result linted again.
void ExpectEveryEditProven(const std::vector<kvtest::CorpusInput>& inputs, std::size_t& proven) {
    for (const auto& input : inputs) EXPECT_EQ(fuzzcheck::CheckLintEdits(input.bytes, &proven), "") << input.name;
}

TEST(LintEditProof, EveryEditOverGeneratedFiles) {
    std::vector<kvtest::CorpusInput> files;
    for (unsigned number = 1; number <= 1200; ++number) files.push_back({"generated " + std::to_string(number), MistakeGenerator(number).File()});
    std::size_t proven = 0;
    ExpectEveryEditProven(files, proven);
    EXPECT_GT(proven, 2000u) << "the generated mistakes should call for many edits";
}

TEST(LintEditProof, EveryEditOverTheSavedCorporaAndExamples) {
    std::vector<kvtest::CorpusInput> files = kvtest::ReadCorpus(KV_STANDARD_LINT_CORPUS);
    const auto standardFiles = kvtest::ReadCorpus(KV_STANDARD_FILE_CORPUS);
    files.insert(files.end(), standardFiles.begin(), standardFiles.end());
    ASSERT_GT(files.size(), 1000u);
    for (const char* example : {"mistakes.ini", "KVStPluginDefault.ini"})
        files.push_back({example, ReadText(std::string(KV_EXAMPLE_STANDARDS) + "/" + example)});
    std::size_t proven = 0;
    ExpectEveryEditProven(files, proven);
    EXPECT_GT(proven, 100u);
}

// The rule ids of the catalogue, the schema's list of them and the README's table agree.
TEST(LintCatalogue, IdsAreUniqueAndAgreeWithTheSchemaAndTheReadme) {
    std::set<std::string> ids;
    const std::regex kebab("[a-z0-9]+(-[a-z0-9]+)*");
    for (const auto& info : kvstcheck::kLintRules) {
        EXPECT_TRUE(std::regex_match(std::string(info.id), kebab)) << info.id;
        EXPECT_TRUE(ids.insert(std::string(info.id)).second) << info.id << " twice";
        EXPECT_EQ(kvstcheck::LintRuleOfId(info.id), info.rule) << info.id;
        EXPECT_FALSE(info.summary.empty() || info.howToFix.empty()) << info.id;
    }
    EXPECT_FALSE(kvstcheck::LintRuleOfId("no-such-rule"));

    const auto schema = nlohmann::json::parse(ReadText(KV_LINT_SCHEMA));
    std::set<std::string> schemaIds;
    for (const auto& id : schema["$defs"]["standardRule"]["enum"]) schemaIds.insert(id.get<std::string>());
    EXPECT_EQ(schemaIds, ids);

    const std::string readme = ReadText(KV_README);
    for (const auto& info : kvstcheck::kLintRules) {
        std::string severity = kvstcheck::SeverityWord(info.severity);
        if (info.errorBeforeFirstType) severity += " (error before `[Type1]`'s type)";
        const std::string row = "| `" + std::string(info.id) + "` | " + severity + " | " + std::string(info.summary) + " | " +
                                std::string(info.howToFix) + " |";
        EXPECT_NE(readme.find(row), std::string::npos) << "the README lacks the row\n" << row;
    }
}

}  // namespace
