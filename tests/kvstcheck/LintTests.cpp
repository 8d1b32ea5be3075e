#include "kvstcheck/standardtools/Lint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <nlohmann/json.hpp>

#include "com/Handle.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::LintReport;
using kvstcheck::LintStandardFile;
using kvstcheck::Severity;

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (const std::string_view line : lines) text.append(line).append("\r\n");
    return text;
}

// The warnings as "line: problem" for messages.
std::string Listed(const LintReport& report) {
    std::string text;
    for (const auto& warning : report.warnings) text += std::to_string(warning.line) + ": " + warning.problem + "\n";
    return text;
}

class LintTest : public testing::Test {
protected:
    LintReport LintOf(std::string_view bytes) {
        const std::wstring path = folder_ / (L"case" + std::to_wstring(++files_) + L".ini");
        kvtest::WriteFileBytes(path, bytes);
        return LintStandardFile(path);
    }

    kvtest::TempFolder folder_;
    int files_ = 0;
};

const std::string kClean = Lines({"; allowed names", "[Common]", "TypeCount=2", "", "[Type1]", "Type=AcadLayer",
                                  "NameCount=2", "Name1=0", "Name2=Walls", "[Type2]", "Type=AcadTextStyle",
                                  "NameCount=1", "Name1=Standard"});

TEST_F(LintTest, ACleanFileLoadsItsKindsWithoutWarnings) {
    const LintReport report = LintOf(kClean);
    EXPECT_EQ(report.Status(), 0) << Listed(report);
    EXPECT_TRUE(report.loaded.loaded);
    EXPECT_EQ(report.loaded.names[0], (standards::NameList{L"0", L"Walls"}));
    EXPECT_FALSE(report.loaded.names[1]);
    EXPECT_EQ(report.loaded.names[2], standards::NameList{L"Standard"});
    EXPECT_EQ(report.encoding, "ANSI, code page 1252");
    EXPECT_NE(kvstcheck::FormatLintText(report).find("linetypes: no section, so every linetype of a drawing is a finding"),
              std::string::npos);
}

// Each mistake, with the line it is reported at and the words that explain it.
TEST_F(LintTest, EachMistakeAtItsLine) {
    const struct {
        const char* what;
        const char* rule;
        Severity severity;
        std::string file;
        std::uint32_t line;
        const char* problem;
    } cases[] = {
        {"no common", "no-common", Severity::Error, Lines({"[Type1]", "Type=AcadLayer"}), 1, "there is no [Common] section"},
        {"no type count", "no-type-count", Severity::Error, Lines({"[Common]", "Types=1"}), 1, "[Common] has no TypeCount="},
        {"type count text", "type-count-value", Severity::Error, Lines({"[Common]", "TypeCount=four"}), 2, "TypeCount=four is not a number from 1 to 32767"},
        {"type count zero", "type-count-value", Severity::Error, Lines({"[Common]", "TypeCount=0"}), 2, "loads nothing"},
        {"type count fraction", "number-form", Severity::Warning, Lines({"[Common]", "TypeCount=1.4", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}),
         2, "TypeCount=1.4 is read as 1"},
        {"section gap", "type-count-gap", Severity::Warning, Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                               "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard"}),
         2, "TypeCount=3, but there is no [Type2]: the plug-in stops loading there, so [Type3] and later are never read"},
        {"section after a gap in the numbering", "after-stop", Severity::Warning,
         Lines({"[Common]", "TypeCount=x", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[Type3]",
                "Type=AcadTextStyle", "NameCount=1", "Name1=Standard"}),
         7, "[Type3] is never read: loading stops before it (line 2)"},
        {"no type key", "missing-type", Severity::Error, Lines({"[Common]", "TypeCount=1", "[Type1]", "Kind=AcadLayer", "NameCount=1", "Name1=0"}), 3,
         "[Type1] has no Type="},

        {"letter case of type", "type-name-case", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLinetype", "NameCount=1", "Name1=x"}),
         4, "compares type names with their letter case"},
        {"misspelt type", "misspelt-type", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayr", "NameCount=1", "Name1=x"}), 4,
         "misspelt?"},
        {"other type", "unknown-type", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=Blocks", "NameCount=1", "Name1=x"}), 4,
         "none of the four types"},
        {"no name count", "no-name-count", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "Name1=x"}), 3,
         "[Type1] has no NameCount=: the plug-in stops loading here"},
        {"name count text", "name-count-value", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=", "Name1=x"}), 5,
         "NameCount= is not a number from 1 to 32767"},
        {"name count zero", "name-count-zero", Severity::Error, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadDimStyle", "NameCount=0"}), 5,
         "the plug-in cannot load the file at all"},
        {"name gap", "name-gap", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=3", "Name1=0", "Name3=x"}), 5,
         "NameCount=3, but [Type1] has no Name2: the plug-in stops reading the section there, so Name3 and later are "
         "never read, and the list of layers keeps 2 empty names"},
        {"missing marker", "missing-marker", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=Return Err",
                                  "Name2=x"}),
         6, "Name1=Return Err reads as a missing name"},
        {"leading spaces", "leading-space", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=\"  x\""}), 6,
         "Name1=\"<U+0020><U+0020>x\": the plug-in drops the leading spaces and reads \"x\""},
        {"too long", "value-too-long", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=" + std::string(300, 'n')}),
         6, "Name1 is 300 bytes long; the plug-in reads only its first 254 bytes"},
        {"utf-8 text", "utf8-text", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=W\xC3\xA4nde"}), 6,
         "Name1 is written in UTF-8 (\"W\xC3\xA4nde\"), but the plug-in reads it in code page 1252 as \"W\xC3\x83\xC2\xA4nde\""},
        {"later kind wins", "duplicate-kind", Severity::Warning, Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                   "[Type2]", "Type=AcadLayer", "NameCount=1", "Name1=x"}),
         3, "[Type1] and [Type2] (line 7) both declare AcadLayer: the later one wins"},
        {"repeated name", "duplicate-name", Severity::Note, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0", "Name2=0"}), 7,
         "Name2=0 repeats Name1 (line 6)"},
        // Names are shown in their display form: a no-break space is seen as such.
        {"repeated name with a no-break space", "duplicate-name", Severity::Note, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer",
                                                       "NameCount=2", "Name1=A\xA0" "B", "Name2=A\xA0" "B"}),
         7, "Name2=A<U+00A0>B repeats Name1 (line 6)"},
        {"letter case of names", "letter-case-pair", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=Walls",
                                        "Name2=WALLS"}),
         7, "Name2=WALLS differs from \"Walls\" (line 6) only in letter case"},
        {"empty name", "empty-name", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1="}), 6,
         "Name1= is empty"},
        {"name above count", "name-above-count", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "Name2=x"}),
         7, "Name2 is above NameCount=1, so the plug-in never reads it"},
        {"unknown key", "unknown-key", Severity::Note, Lines({"[Common]", "TypeCount=1", "Author=me", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), 3,
         "Author= is never read by the plug-in: [Common] holds only TypeCount"},
        {"line without =", "no-equals", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "Walls"}), 7,
         "\"Walls\" has no '='"},
        {"repeated key", "duplicate-key", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "name1=x"}), 7,
         "name1= appears again in [Type1] (first at line 6)"},
        {"repeated section", "duplicate-section", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[type1]",
                                    "Name2=x"}),
         7, "[type1] appears again (first at line 3): the plug-in reads only the first one"},
        {"other section", "unknown-section", Severity::Note, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[Notes]"}), 7,
         "[Notes] is never read"},
        {"section above count", "section-above-count", Severity::Warning, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                       "[Type2]", "Type=AcadLineType"}),
         7, "[Type2] is never read: TypeCount=1"},
        {"text before sections", "before-first-section", Severity::Warning, Lines({"TypeCount=1", "[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1",
                                        "Name1=0"}),
         1, "before the first [section]"},
        {"empty first type", "empty-first-type", Severity::Error, Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=", "NameCount=1", "Name1=0"}), 4,
         "so the plug-in checks nothing at all"},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        const bool found = std::any_of(report.warnings.begin(), report.warnings.end(), [&](const auto& warning) {
            return warning.line == c.line && warning.problem.find(c.problem) != std::string::npos && !warning.fix.empty() &&
                   warning.Id() == c.rule && warning.severity == c.severity;
        });
        EXPECT_TRUE(found) << c.what << "\n" << Listed(report);
    }
}

// The weights of a file's warnings: its status, the tally, and each warning's rule and severity in
// text and JSON. Notes alone leave nothing to fix.
TEST_F(LintTest, SeveritiesSetTheStatusAndShowInTextAndJson) {
    const struct {
        const char* what;
        std::string file;
        int status;
        const char* tally;
        const char* firstLine;  // the first warning as text shows it
    } cases[] = {
        {"notes alone", Lines({"[Common]", "TypeCount=1", "Author=me", "[Type1]", "Type=AcadLayer", "NameCount=2",
                               "Name1=0", "Name2=0", "[Notes]"}),
         0, ": nothing to fix (3 notes)\n", ":3: note[unknown-key]: Author= is never read"},
        {"a warning and a note", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0",
                                        "Name2=0", "Name3=x"}),
         1, ": 1 warning, 1 note\n", ":7: note[duplicate-name]: Name2=0 repeats Name1 (line 6)"},
        {"an error", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=0", "Name1=0"}), 1,
         ": 1 error, 1 warning\n", ":5: error[name-count-zero]: NameCount=0 under Type=AcadLayer"},
        {"a stop before the first type is an error", Lines({"[Common]", "TypeCount=1", "[Type1]", "NameCount=1", "Name1=0"}),
         1, ": 1 error\n", ":3: error[missing-type]: [Type1] has no Type="},
        {"a stop after it is a warning", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1",
                                                "Name1=0", "[Type2]", "NameCount=1", "Name1=x"}),
         1, ": 1 warning\n", ":7: warning[missing-type]: [Type2] has no Type="},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        EXPECT_EQ(report.Status(), c.status) << c.what << "\n" << Listed(report);
        const std::string text = kvstcheck::FormatLintText(report);
        EXPECT_TRUE(text.ends_with(c.tally)) << c.what << "\n" << text;
        EXPECT_NE(text.find(c.firstLine), std::string::npos) << c.what << "\n" << text;
        const auto document = nlohmann::json::parse(kvstcheck::FormatLintJson(report));
        EXPECT_EQ(document["status"], c.status) << c.what;
        ASSERT_EQ(document["warnings"].size(), report.warnings.size()) << c.what;
        for (std::size_t i = 0; i < report.warnings.size(); ++i) {
            const auto& entry = document["warnings"][i];
            const auto& warning = report.warnings[i];
            EXPECT_EQ(entry["rule"], std::string(warning.Id())) << c.what;
            EXPECT_EQ(entry["severity"], kvstcheck::SeverityWord(warning.severity)) << c.what;
            EXPECT_EQ(entry["line"], warning.line) << c.what;
            EXPECT_EQ(entry["problem"], warning.problem) << c.what;
            EXPECT_EQ(entry["fix"], warning.fix) << c.what;
        }
    }
}

// The loads block says where loading stopped and why a kind the file means has no list; "no section"
// only where no section means it.
TEST_F(LintTest, TheLoadsBlockSaysWhereAndWhyLoadingStopped) {
    const struct {
        const char* what;
        std::string file;
        const char* shown;
        std::size_t kind;
        const char* notLoaded;  // in JSON, for that kind; null for none
    } cases[] = {
        {"misspelt type", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadTextStyle", "NameCount=1", "Name1=S",
                                 "[Type2]", "Type=AcadLayr", "NameCount=1", "Name1=0"}),
         "  layers: none ([Type2] has Type=AcadLayr at line 8, not AcadLayer): every layer of a drawing is a finding\n", 0,
         "[Type2] has Type=AcadLayr at line 8, not AcadLayer"},
        {"stop before the names", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                         "[Type2]", "Type=AcadLineType", "Name1=Dashed"}),
         "what the plug-in loads:\n  loading stops at line 7: [Type2] has no NameCount=: the plug-in stops loading here\n"
         "  layers: 1 name: \"0\"\n  linetypes: none (loading stops in [Type2] at line 7, before its names): every linetype",
         1, "loading stops in [Type2] at line 7, before its names"},
        {"section after the stop", Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                          "[Type3]", "Type=AcadDimStyle", "NameCount=1", "Name1=Standard"}),
         "  loading stops at line 2: TypeCount=3, but there is no [Type2]", 3, "loading stops before [Type3] at line 7"},
        {"section above the count", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                           "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=Dashed"}),
         "  linetypes: none ([Type2] at line 7 is never read): every linetype", 1, "[Type2] at line 7 is never read"},
        {"no section means it", kClean, "  linetypes: no section, so every linetype of a drawing is a finding\n", 1, nullptr},
        {"nothing loads", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=0"}),
         "every audit against it fails\n  loading stops at line 5: NameCount=0 under Type=AcadLayer", 0, nullptr},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        const std::string text = kvstcheck::FormatLintText(report);
        EXPECT_NE(text.find(c.shown), std::string::npos) << c.what << "\n" << text;
        const auto document = nlohmann::json::parse(kvstcheck::FormatLintJson(report));
        const auto& kind = document["kinds"][c.kind];
        if (c.notLoaded) {
            EXPECT_EQ(kind.value("notLoaded", ""), c.notLoaded) << c.what;
        } else {
            EXPECT_FALSE(kind.contains("notLoaded")) << c.what;
        }
        EXPECT_EQ(document.contains("loadingStops"), report.stop.line != 0) << c.what;
        if (report.stop.line != 0) {
            EXPECT_EQ(document["loadingStops"]["line"], report.stop.line) << c.what;
        }
    }
}

TEST_F(LintTest, APathTheCodePageCannotNameIsReadAsTheAuditsReadIt) {
    const std::wstring path = folder_ / L"\u6807\u51C6.ini";
    kvtest::WriteFileBytes(path, kClean);
    const LintReport report = LintStandardFile(path);
    EXPECT_TRUE(report.loaded.loaded);
    EXPECT_EQ(report.loaded.names[0], (standards::NameList{L"0", L"Walls"}));
    EXPECT_EQ(report.Status(), 0) << Listed(report);
}

// Where loading stops, one warning tells it; the lines it never reaches are not told again.
TEST_F(LintTest, OneWarningWhereLoadingStops) {
    const struct {
        const char* what;
        std::string file;
        std::vector<std::uint32_t> lines;
    } cases[] = {
        {"no name count", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "Name1=0", "Name2=x"}), {3}},
        {"no type", Lines({"[Common]", "TypeCount=1", "[Type1]", "NameCount=1", "Name1=0"}), {3}},
        {"name gap", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=4", "Name1=0", "Name3=x",
                            "Name4=y", "Name0=z"}),
         {5, 9}},
        {"section gap", Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                               "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard"}),
         {2}},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        std::vector<std::uint32_t> lines;
        for (const auto& warning : report.warnings) lines.push_back(warning.line);
        EXPECT_EQ(lines, c.lines) << c.what << "\n" << Listed(report);
    }
}

// Past the line where loading stops, the rest of the file is still checked as the plug-in would read
// it if it went on: every mistake shows in one run, the stop told once.
TEST_F(LintTest, MistakesPastTheStopShowInTheSameRun) {
    const struct {
        const char* what;
        std::string file;
        std::vector<std::pair<std::uint32_t, std::string>> rules;
    } cases[] = {
        {"no common", Lines({"[Type1]", "Type=AcadLayr", "NameCount=1", "Name1=\"  x\""}),
         {{1, "no-common"}, {2, "misspelt-type"}, {4, "leading-space"}}},
        {"type count no number", Lines({"[Common]", "TypeCount=x", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0",
                                        "Name2=0", "[Type2]", "Type=AcadLinetype", "NameCount=1", "Name1=x"}),
         {{2, "type-count-value"}, {7, "duplicate-name"}, {9, "type-name-case"}}},
        {"section gap", Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[Type3]",
                               "Type=AcadTextStyle", "NameCount=1", "Name1=\" Standard\"", "Name2=x"}),
         {{2, "type-count-gap"}, {10, "leading-space"}, {11, "name-above-count"}}},
        {"no type", Lines({"[Common]", "TypeCount=2", "[Type1]", "NameCount=1", "Name1=0", "Name2=x", "[Type2]",
                           "Type=AcadDimStyle", "NameCount=1", "Name1="}),
         {{3, "missing-type"}, {6, "name-above-count"}, {10, "empty-name"}}},
        {"no name count", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "Name1=0", "[Type2]",
                                 "Type=AcadTextStyle", "NameCount=2", "Name1=S", "Name2=s"}),
         {{3, "no-name-count"}, {10, "letter-case-pair"}}},
        {"name gap", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=4", "Name1=0", "Name3=\" x\"",
                            "Name4=0"}),
         {{5, "name-gap"}, {7, "leading-space"}, {8, "duplicate-name"}}},
        {"name count zero", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=0", "[Type2]",
                                   "Type=AcadLineTyp", "NameCount=1", "Name1=x"}),
         {{5, "name-count-zero"}, {7, "misspelt-type"}}},
        // A later line that would stop loading again is told as such, not as where it stops.
        {"a second stop", Lines({"[Common]", "TypeCount=x", "[Type1]", "Kind=AcadLayer", "NameCount=1", "Name1=0",
                                 "[Type2]", "Type=AcadLineType", "NameCount=0"}),
         {{2, "type-count-value"}, {3, "missing-type"}, {4, "unknown-key"}, {9, "name-count-zero"}}},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        std::vector<std::pair<std::uint32_t, std::string>> rules;
        for (const auto& warning : report.warnings) rules.emplace_back(warning.line, std::string(warning.Id()));
        EXPECT_EQ(rules, c.rules) << c.what << "\n" << Listed(report);
        const auto stops = std::count_if(report.warnings.begin(), report.warnings.end(), [](const auto& warning) {
            const bool stop = warning.problem.find("stops") != std::string::npos ||
                              warning.problem.find("loads nothing") != std::string::npos ||
                              warning.problem.find("cannot load") != std::string::npos;
            return stop && warning.problem.find("past where loading stops") == std::string::npos;
        });
        EXPECT_EQ(stops, 1) << c.what << "\n" << Listed(report);
    }
}

// A key one or two letters off one the plug-in reads is named with its right spelling, where it is
// missing and on its own line; other keys stay unknown.
TEST_F(LintTest, MisspeltKeysAreNamedWithTheRightSpelling) {
    const struct {
        const char* what;
        std::string file;
        std::uint32_t line;
        const char* rule;
        const char* problem;
        const char* fix;
    } cases[] = {
        {"type, where it is missing", Lines({"[Common]", "TypeCount=1", "[Type1]", "Typ=AcadLayer", "NameCount=1", "Name1=0"}),
         3, "missing-type", "[Type1] has no Type= (line 4 has Typ=, misspelt?)", nullptr},
        {"type, on its line", Lines({"[Common]", "TypeCount=1", "[Type1]", "Typ=AcadLayer", "NameCount=1", "Name1=0"}), 4,
         "misspelt-key", "Typ= is never read by the plug-in: it reads Type= (misspelt?)", "write Type=AcadLayer"},
        {"name count in another case", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "namecout=1", "Name1=0"}),
         5, "misspelt-key", "namecout= is never read by the plug-in: it reads NameCount= (misspelt?)", "write NameCount=1"},
        {"name count, where it is missing", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCout=1",
                                                   "Name1=0"}),
         3, "no-name-count", "[Type1] has no NameCount= (line 5 has NameCout=, misspelt?)", nullptr},
        {"type count", Lines({"[Common]", "TypeCont=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), 2,
         "misspelt-key", "TypeCont= is never read by the plug-in: it reads TypeCount= (misspelt?)", "write TypeCount=1"},
        {"type count, where it is missing", Lines({"[Common]", "TypeCont=1"}), 1, "no-type-count",
         "[Common] has no TypeCount= (line 2 has TypeCont=, misspelt?)", nullptr},
        {"too far off", Lines({"[Common]", "TypeCount=1", "[Type1]", "Kind=AcadLayer", "Type=AcadLayer", "NameCount=1",
                               "Name1=0"}),
         4, "unknown-key", "Kind= is never read by the plug-in", "remove the line"},
        {"a key of the other section", Lines({"[Common]", "TypeCount=1", "Type=AcadLayer", "[Type1]", "Type=AcadLayer",
                                              "NameCount=1", "Name1=0"}),
         3, "unknown-key", "Type= is never read by the plug-in: [Common] holds only TypeCount", "remove the line"},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        const bool found = std::any_of(report.warnings.begin(), report.warnings.end(), [&](const auto& warning) {
            return warning.line == c.line && warning.Id() == c.rule && warning.problem.find(c.problem) != std::string::npos &&
                   (c.fix == nullptr || warning.fix == c.fix);
        });
        EXPECT_TRUE(found) << c.what << "\n" << Listed(report);
    }
}

// The loads block shortens a long list of names; --all-names lists every one.
TEST_F(LintTest, AllNamesListsEveryName) {
    std::vector<std::string> lines = {"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=14"};
    for (int i = 1; i <= 14; ++i) lines.push_back("Name" + std::to_string(i) + "=L" + std::to_string(i));
    std::string file;
    for (const std::string& line : lines) file += line + "\r\n";
    const LintReport report = LintOf(file);
    const struct {
        bool allNames;
        const char* present;
        const char* absent;
    } cases[] = {
        {false, "\"L12\" and 2 more (--all-names lists them)\n", "\"L13\""},
        {true, "\"L12\", \"L13\", \"L14\"\n", "more"},
    };
    for (const auto& c : cases) {
        const std::string text = kvstcheck::FormatLintText(report, c.allNames);
        EXPECT_NE(text.find("  layers: 14 names: \"L1\", \"L2\""), std::string::npos) << text;
        EXPECT_NE(text.find(c.present), std::string::npos) << c.allNames << "\n" << text;
        EXPECT_EQ(text.find(c.absent), std::string::npos) << c.allNames << "\n" << text;
    }
}

TEST_F(LintTest, CommentsBlankLinesAndSpacesAroundValuesAreNoMistake) {
    const LintReport report = LintOf(Lines({"; a comment", "# another", "[ Common ]", "  TypeCount = 1 ", "", "[Type1]",
                                            "Type=AcadLayer", "; kept for later: Name9=x", "NameCount=1", "Name1=  Walls  "}));
    EXPECT_EQ(report.Status(), 0) << Listed(report);
    EXPECT_EQ(report.loaded.names[0], standards::NameList{L"Walls"});
}

TEST_F(LintTest, FilesThatCannotBeReadAreStatus2WithAReason) {
    ::CreateDirectoryW((folder_ / L"folder.ini").c_str(), nullptr);
    const std::wstring huge = folder_ / L"huge.ini";
    {
        const kv::FileHandle file(
            ::CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size{};
        size.QuadPart = 65ll << 20;
        ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file.get());
    }
    const std::wstring nuls = folder_ / L"nuls.ini";
    kvtest::WriteFileBytes(nuls, std::string(4096, '\0'));
    const std::wstring binary = folder_ / L"binary.ini";
    kvtest::WriteFileBytes(binary, std::string("[Common]\r\nTypeCount=1\r\n\x01\x02\x00\xFF", 26));
    const struct {
        std::wstring path;
        const char* problem;
    } cases[] = {
        {folder_ / L"absent.ini", "the file does not exist"},
        {folder_ / L"folder.ini", "this is a folder, not a standard file"},
        {huge, "the file is 65 MiB; a standard file is a text file of at most 64 MiB"},
        {binary, "this is not a text file: it holds the control character 0x01 (binary content)"},
        {nuls, "this is not a text file: it holds the control character 0x00 (binary content)"},
    };
    for (const auto& c : cases) {
        const LintReport report = LintStandardFile(c.path);
        EXPECT_EQ(report.Status(), 2) << c.problem;
        EXPECT_EQ(report.unreadable, c.problem);
        const auto document = nlohmann::json::parse(kvstcheck::FormatLintJson(report));
        EXPECT_EQ(document["status"], 2);
        EXPECT_EQ(document["error"], c.problem);
    }
    // NULs after the last line are what some editors leave: not binary.
    const LintReport trailing = LintOf(kClean + std::string(3, '\0'));
    EXPECT_EQ(trailing.Status(), 0) << Listed(trailing);
}

TEST_F(LintTest, Utf16FileIsExplainedAsThePluginReadsIt) {
    const std::wstring text = L"[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=3\r\nName1=W\u00E4nde\r\n"
                              L"Name2=\u0100rea\r\nName3=\u4E2D\r\n";
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    const LintReport report = LintOf(bytes);
    EXPECT_EQ(report.encoding, "UTF-16 LE with a byte order mark, handed to the plug-in in code page 1252");
    ASSERT_TRUE(report.loaded.names[0]) << Listed(report);
    EXPECT_EQ((*report.loaded.names[0])[0], L"W\u00E4nde");
    ASSERT_EQ(report.warnings.size(), 2u) << Listed(report);
    EXPECT_EQ(report.warnings[0].line, 7u);
    EXPECT_NE(report.warnings[0].problem.find("code page 1252 cannot hold: the plug-in reads \"Name2=Area\""), std::string::npos)
        << report.warnings[0].problem;
    EXPECT_EQ(report.warnings[1].line, 8u);
    EXPECT_NE(report.warnings[1].problem.find("reads \"Name3=?\""), std::string::npos) << report.warnings[1].problem;
}

TEST_F(LintTest, Utf8ByteOrderMarkIsAWarningOnLine1) {
    const LintReport report = LintOf("\xEF\xBB\xBF" + kClean);
    ASSERT_FALSE(report.warnings.empty());
    EXPECT_EQ(report.warnings[0].line, 1u);
    EXPECT_NE(report.warnings[0].problem.find("UTF-8 byte order mark"), std::string::npos);
}

// Damaged files of every sort: each warning names a line of the file and says how to fix it.
// Lines that Windows reads otherwise than Wine, or may: each one pointed at by its rule, the rest
// of the file still linted.
TEST_F(LintTest, LinesWindowsMayReadOtherwiseCarryTheirRule) {
    const std::string head = Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0"});
    const struct {
        const char* what;
        std::string file;
        std::uint32_t line;
        const char* problem;
    } cases[] = {
        {"header without ']'", head + Lines({"Name2=x", "[Type2", "Type=AcadTextStyle", "NameCount=1", "Name1=S"}), 8,
         "reads it as a section header"},
        {"no-break space", head + Lines({"Name2=Walls\xA0"}), 7, "no-break space"},
        {"no-break space in a section name", head + Lines({"Name2=x", "[\xA0Type2]"}), 8, "no-break space"},
        {"bare key line", head + Lines({"Name2", "Name2=x"}), 7, "names a key the plug-in reads"},
        {"long quoted value", head + Lines({"Name2=\"" + std::string(260, 'q') + "\""}), 7, "254 bytes long or longer"},
        {"very long line", head + Lines({"Name2=" + std::string(40000, 'v')}), 7, "32,768 bytes long or longer"},
        {"two closing brackets", Lines({"[Common] ]", "TypeCount=1"}), 1, "up to the first one"},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        const bool found = std::any_of(report.warnings.begin(), report.warnings.end(), [&](const auto& warning) {
            return warning.line == c.line && warning.Id() == "windows-differs" &&
                   warning.problem.find(c.problem) != std::string::npos && !warning.fix.empty();
        });
        EXPECT_TRUE(found) << c.what << "\n" << Listed(report);
        EXPECT_NE(kvstcheck::FormatLintText(report).find("[windows-differs]"), std::string::npos) << c.what;
        EXPECT_NE(kvstcheck::FormatLintJson(report).find("\"rule\": \"windows-differs\""), std::string::npos) << c.what;
    }
    // A file with control characters is refused as binary; its lines are still known.
    const auto warnings = kvstcheck::FindLintWarnings(head + Lines({"\x1FName2=Walls"}), 1252, {});
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const auto& warning) {
        return warning.line == 7 && warning.Id() == "windows-differs" && warning.problem.find("control character") != std::string::npos;
    }));
    // A line without '=' under a name the plug-in never reads is no such line.
    const LintReport heading = LintOf(head + Lines({"Name2=x", "Walls of the office"}));
    EXPECT_TRUE(std::none_of(heading.warnings.begin(), heading.warnings.end(),
                             [](const auto& warning) { return warning.Id() == "windows-differs"; }))
        << Listed(heading);
}

TEST_F(LintTest, DamagedFilesGiveWarningsAtTheirOwnLines) {
    std::mt19937 random(11);
    const std::string pieces[] = {"[", "]", "=", "\r", "\n", "\r\n", "\"", "'", " ", "\t", ";", "Name", "Type",
                                  "NameCount=", "[Type2]", "\xC3\xA4", "\xFF", "0", "99999", "\x1A"};
    for (int caseNumber = 0; caseNumber < 300; ++caseNumber) {
        std::string bytes = kClean;
        for (int edit = 0; edit < 1 + static_cast<int>(random() % 6); ++edit) {
            const std::size_t at = random() % (bytes.size() + 1);
            if (random() % 3 == 0 && at < bytes.size())
                bytes.erase(at, 1 + random() % 4);
            else
                bytes.insert(at, pieces[random() % std::size(pieces)]);
        }
        std::uint32_t lines = 1;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) ++lines;
        const auto loaded = kvstcheck::LoadedStandard{};
        for (const auto& warning : kvstcheck::FindLintWarnings(bytes, 1252, loaded)) {
            EXPECT_LE(warning.line, lines) << "case " << caseNumber << ": " << warning.problem;
            EXPECT_FALSE(warning.problem.empty()) << "case " << caseNumber;
            EXPECT_FALSE(warning.fix.empty()) << "case " << caseNumber;
        }
    }
}

TEST_F(LintTest, JsonListsKindsTypeNamesAndWarnings) {
    const LintReport report = LintOf(Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}));
    const auto document = nlohmann::json::parse(kvstcheck::FormatLintJson(report));
    EXPECT_EQ(document["status"], 1);
    EXPECT_EQ(document["loads"], true);
    EXPECT_EQ(document["typeNames"], nlohmann::json::parse(R"(["AcadLayer", null])"));
    EXPECT_EQ(document["kinds"][0]["names"], nlohmann::json::parse(R"(["0"])"));
    EXPECT_EQ(document["kinds"][0]["declared"], true);
    EXPECT_EQ(document["kinds"][1]["declared"], false);
    ASSERT_EQ(document["warnings"].size(), 1u);
    EXPECT_EQ(document["warnings"][0]["line"], 2);
}

}  // namespace

namespace {

// The fixes the file itself calls for: a count names the section's real number of names, a name with
// a comment or quoted blanks is told with the name meant, and each comes with its machine edit.
TEST_F(LintTest, FixesAreComputedFromTheFile) {
    const auto section = [](std::string_view count, int names, std::string_view extra = {}) {
        std::string text = Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer"});
        text += std::string(count) + "\r\n";
        for (int n = 1; n <= names; ++n) text += "Name" + std::to_string(n) + "=L" + std::to_string(n) + "\r\n";
        return text + std::string(extra);
    };
    const struct Case {
        const char* what;
        std::string bytes;
        const char* rule;
        std::uint32_t line;
        kvstcheck::LintEdit edit;
    } cases[] = {
        {"a count with a comment", section("NameCount=12 ; layers", 12), "name-count-value", 5,
         {kvstcheck::LintEdit::Action::Replace, 5, "NameCount=12"}},
        {"a count in words", section("NameCount=six", 6), "name-count-value", 5,
         {kvstcheck::LintEdit::Action::Replace, 5, "NameCount=6"}},
        {"no count", section("; no count", 3), "no-name-count", 3, {kvstcheck::LintEdit::Action::InsertAfter, 3, "NameCount=3"}},
        {"names above the count", section("NameCount=2", 4), "name-above-count", 8,
         {kvstcheck::LintEdit::Action::Replace, 5, "NameCount=4"}},
        {"an inline comment", section("NameCount=4", 2, "Name3=A-WALL ; exterior walls\r\nName4=A-#1 #x\r\n"), "inline-comment", 8,
         {kvstcheck::LintEdit::Action::Replace, 8, "Name3=A-WALL"}},
        {"a comment after a blank and '#'", section("NameCount=4", 2, "Name3=A-WALL\r\nName4=A-#1 #x\r\n"), "inline-comment", 9,
         {kvstcheck::LintEdit::Action::Replace, 9, "Name4=A-#1"}},
        {"a quoted trailing space", section("NameCount=3", 2, "Name3=\"A-DOOR \"\r\n"), "quoted-space", 8,
         {kvstcheck::LintEdit::Action::Replace, 8, "Name3=A-DOOR"}},
        {"a later key again", section("NameCount=2", 2, "NameCount=3\r\n"), "duplicate-key", 8, {kvstcheck::LintEdit::Action::Delete, 8, {}}},
        {"a type name's letter case", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=acadlayer", "NameCount=1", "Name1=0"}),
         "type-name-case", 4, {kvstcheck::LintEdit::Action::Replace, 4, "Type=AcadLayer"}},
    };
    for (const Case& c : cases) {
        const LintReport report = LintOf(c.bytes);
        const auto found = std::find_if(report.warnings.begin(), report.warnings.end(),
                                        [&](const auto& warning) { return warning.Id() == c.rule && warning.line == c.line; });
        ASSERT_NE(found, report.warnings.end()) << c.what << "\n" << Listed(report);
        ASSERT_TRUE(found->edit) << c.what;
        EXPECT_EQ(*found->edit, c.edit) << c.what << ": " << found->edit->text;
        EXPECT_NE(found->fix.find(c.edit.text), std::string::npos) << c.what << ": " << found->fix;
    }
}

// Where the fix cannot be known, lint says what is wrong and gives no edit.
TEST_F(LintTest, NoEditWhereNoSafeFixIsKnown) {
    const struct Case {
        const char* what;
        std::string bytes;
        const char* rule;
    } cases[] = {
        {"a count of a section without names", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=x"}),
         "name-count-value"},
        {"a comment on a name listed already",
         Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=A", "Name2=A ; again"}), "inline-comment"},
        {"a type name a fix would make replace another section's names",
         Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=A", "[Type2]", "Type=AcadLayr",
                "NameCount=1", "Name1=B"}),
         "misspelt-type"},
        {"an empty name", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=", "Name2=B"}), "empty-name"},
    };
    for (const Case& c : cases) {
        const LintReport report = LintOf(c.bytes);
        const auto found = std::find_if(report.warnings.begin(), report.warnings.end(),
                                        [&](const auto& warning) { return warning.Id() == c.rule; });
        ASSERT_NE(found, report.warnings.end()) << c.what << "\n" << Listed(report);
        EXPECT_FALSE(found->edit) << c.what << ": " << found->edit->text;
    }
}

// The readings Windows' answer is not pinned for are pointed at with windows-differs (a control byte
// below 0x20 makes the file binary content to lint, so only DEL reaches it).
TEST_F(LintTest, UnpinnedReadingsAreLeftToThePlatform) {
    const auto file = [](std::string_view name) {
        return Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1"}) + std::string(name) + "\r\n";
    };
    const struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"a DEL at an end", file("Name1=\x7F" "A-WALL")},
        {"a long line through its blanks", file("Name1=A" + std::string(32767, ' '))},
        {"a lone quote", file("Name1=\"")},
        {"a long value whose quote is not closed", file("Name1='" + std::string(300, 'w'))},
    };
    for (const Case& c : cases) {
        const LintReport report = LintOf(c.bytes);
        EXPECT_TRUE(std::any_of(report.warnings.begin(), report.warnings.end(),
                                [](const auto& warning) { return warning.Id() == "windows-differs" && warning.line == 6; }))
            << c.what << "\n" << Listed(report);
    }
}

}  // namespace
