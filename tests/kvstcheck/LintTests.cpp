#include "kvstcheck/standardtools/Lint.h"

#include <gtest/gtest.h>

#include <random>

#include <nlohmann/json.hpp>

#include "com/Handle.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::LintReport;
using kvstcheck::LintStandardFile;

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
        std::string file;
        std::uint32_t line;
        const char* problem;
    } cases[] = {
        {"no common", Lines({"[Type1]", "Type=AcadLayer"}), 1, "there is no [Common] section"},
        {"no type count", Lines({"[Common]", "Types=1"}), 1, "[Common] has no TypeCount="},
        {"type count text", Lines({"[Common]", "TypeCount=four"}), 2, "TypeCount=four is not a number from 1 to 32767"},
        {"type count zero", Lines({"[Common]", "TypeCount=0"}), 2, "loads nothing"},
        {"type count fraction", Lines({"[Common]", "TypeCount=1.4", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}),
         2, "TypeCount=1.4 is read as 1"},
        {"section gap", Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                               "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard"}),
         2, "TypeCount=3, but there is no [Type2]: the plug-in stops loading there, so [Type3] and later are never read"},
        {"section gap, unread", Lines({"[Common]", "TypeCount=3", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                       "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=Standard"}),
         7, "[Type3] is never read: loading stops before it (line 2)"},
        {"no type key", Lines({"[Common]", "TypeCount=1", "[Type1]", "Kind=AcadLayer", "NameCount=1", "Name1=0"}), 3,
         "[Type1] has no Type="},
        {"nothing loads", Lines({"[Common]", "TypeCount=x", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), 3,
         "[Type1] is never read: loading stops before it (line 2)"},
        {"letter case of type", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLinetype", "NameCount=1", "Name1=x"}),
         4, "compares type names with their letter case"},
        {"misspelt type", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayr", "NameCount=1", "Name1=x"}), 4,
         "misspelt?"},
        {"other type", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=Blocks", "NameCount=1", "Name1=x"}), 4,
         "none of the four types"},
        {"no name count", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "Name1=x"}), 3,
         "[Type1] has no NameCount=: the plug-in stops loading here"},
        {"name count text", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=", "Name1=x"}), 5,
         "NameCount= is not a number from 1 to 32767"},
        {"name count zero", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadDimStyle", "NameCount=0"}), 5,
         "the plug-in cannot load the file at all"},
        {"name gap", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=3", "Name1=0", "Name3=x"}), 5,
         "NameCount=3, but [Type1] has no Name2: the plug-in stops reading the section there, so Name3 and later are "
         "never read, and the list of layers keeps 2 empty names"},
        {"missing marker", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=Return Err",
                                  "Name2=x"}),
         6, "Name1=Return Err reads as a missing name"},
        {"leading spaces", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=\"  x\""}), 6,
         "Name1=\"<U+0020><U+0020>x\": the plug-in drops the leading spaces and reads \"x\""},
        {"too long", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=" + std::string(300, 'n')}),
         6, "Name1 is 300 bytes long; the plug-in reads only its first 254 bytes"},
        {"utf-8 text", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=W\xC3\xA4nde"}), 6,
         "Name1 is written in UTF-8 (\"W\xC3\xA4nde\"), but the plug-in reads it in code page 1252 as \"W\xC3\x83\xC2\xA4nde\""},
        {"later kind wins", Lines({"[Common]", "TypeCount=2", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                   "[Type2]", "Type=AcadLayer", "NameCount=1", "Name1=x"}),
         3, "[Type1] and [Type2] (line 7) both declare AcadLayer: the later one wins"},
        {"repeated name", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0", "Name2=0"}), 7,
         "Name2=0 repeats Name1 (line 6)"},
        // Names are shown in their display form: a no-break space is seen as such.
        {"repeated name with a no-break space", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer",
                                                       "NameCount=2", "Name1=A\xA0" "B", "Name2=A\xA0" "B"}),
         7, "Name2=A<U+00A0>B repeats Name1 (line 6)"},
        {"letter case of names", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=Walls",
                                        "Name2=WALLS"}),
         7, "Name2=WALLS differs from \"Walls\" (line 6) only in letter case"},
        {"empty name", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1="}), 6,
         "Name1= is empty"},
        {"name above count", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "Name2=x"}),
         7, "Name2 is above NameCount=1, so the plug-in never reads it"},
        {"unknown key", Lines({"[Common]", "TypeCount=1", "Author=me", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}), 3,
         "Author= is never read by the plug-in: [Common] holds only TypeCount"},
        {"line without =", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "Walls"}), 7,
         "\"Walls\" has no '='"},
        {"repeated key", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "name1=x"}), 7,
         "name1= appears again in [Type1] (first at line 6)"},
        {"repeated section", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[type1]",
                                    "Name2=x"}),
         7, "[type1] appears again (first at line 3): the plug-in reads only the first one"},
        {"other section", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0", "[Notes]"}), 7,
         "[Notes] is never read"},
        {"section above count", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0",
                                       "[Type2]", "Type=AcadLineType"}),
         7, "[Type2] is never read: TypeCount=1"},
        {"text before sections", Lines({"TypeCount=1", "[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1",
                                        "Name1=0"}),
         1, "before the first [section]"},
        {"empty first type", Lines({"[Common]", "TypeCount=1", "[Type1]", "Type=", "NameCount=1", "Name1=0"}), 4,
         "so the plug-in checks nothing at all"},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        EXPECT_EQ(report.Status(), 1) << c.what;
        const bool found = std::any_of(report.warnings.begin(), report.warnings.end(), [&](const auto& warning) {
            return warning.line == c.line && warning.problem.find(c.problem) != std::string::npos && !warning.fix.empty();
        });
        EXPECT_TRUE(found) << c.what << "\n" << Listed(report);
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
         {2, 7}},
    };
    for (const auto& c : cases) {
        const LintReport report = LintOf(c.file);
        std::vector<std::uint32_t> lines;
        for (const auto& warning : report.warnings) lines.push_back(warning.line);
        EXPECT_EQ(lines, c.lines) << c.what << "\n" << Listed(report);
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
            return warning.line == c.line && warning.rule == "windows-differs" &&
                   warning.problem.find(c.problem) != std::string::npos && !warning.fix.empty();
        });
        EXPECT_TRUE(found) << c.what << "\n" << Listed(report);
        EXPECT_NE(kvstcheck::FormatLintText(report).find("[windows-differs]"), std::string::npos) << c.what;
        EXPECT_NE(kvstcheck::FormatLintJson(report).find("\"rule\": \"windows-differs\""), std::string::npos) << c.what;
    }
    // A file with control characters is refused as binary; its lines are still known.
    const auto warnings = kvstcheck::FindLintWarnings(head + Lines({"\x1FName2=Walls"}), 1252, {});
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const auto& warning) {
        return warning.line == 7 && warning.rule == "windows-differs" && warning.problem.find("control character") != std::string::npos;
    }));
    // A line without '=' under a name the plug-in never reads is no such line.
    const LintReport heading = LintOf(head + Lines({"Name2=x", "Walls of the office"}));
    EXPECT_TRUE(std::none_of(heading.warnings.begin(), heading.warnings.end(),
                             [](const auto& warning) { return warning.rule == "windows-differs"; }))
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
