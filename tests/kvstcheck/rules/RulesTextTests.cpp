// Rules files and code lists as editors save them: encodings, separators, and the edits of lines.
#include "kvstcheck/rules/RulesText.h"

#include <gtest/gtest.h>

#include <map>

#include "kvstcheck/rules/CodeList.h"
#include "kvstcheck/rules/RulesFile.h"

namespace {

using namespace kvstcheck::rules;

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

const std::string kRules = "[layers]\r\nrequired = [\"M\xC3\xB6" "bel\", \"0\"]\r\n";

struct Saved {
    const char* label;
    std::string bytes;
};

// Each way Notepad and others save the same rules gives the same rule set.
TEST(RulesText, EveryWayAnEditorSavesTextIsRead) {
    const Saved kSaved[] = {
        {"Utf8", kRules},
        {"Utf8WithMark", "\xEF\xBB\xBF" + kRules},
        {"Utf16LittleEndian", Utf16(u"[layers]\r\nrequired = [\"M\u00F6bel\", \"0\"]\r\n", false)},
        {"Utf16BigEndian", Utf16(u"[layers]\r\nrequired = [\"M\u00F6bel\", \"0\"]\r\n", true)},
    };
    for (const Saved& saved : kSaved) {
        RulesBuilder builder([](const std::string&) { return std::nullopt; });
        builder.Add(saved.bytes, "r.toml");
        const RuleSet rules = builder.Finish();
        EXPECT_TRUE(builder.problems().empty()) << saved.label << ": " << builder.problems().front().Describe();
        ASSERT_EQ(rules.of(NameKind::Layer).required.size(), 2u) << saved.label;
        EXPECT_EQ(rules.of(NameKind::Layer).required[0].name, U"M\u00F6bel") << saved.label;
        EXPECT_EQ(rules.of(NameKind::Layer).required[1].place.Describe(), "r.toml:2:22") << saved.label;
    }
}

struct NotText {
    const char* label;
    std::string bytes;
    std::size_t line;
    std::size_t column;
    const char* why;
};

TEST(RulesText, BytesThatAreNotTextAreSaidToBeSo) {
    const NotText kNotText[] = {
        {"Png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), 1, 1, "0x89 is not part of UTF-8"},
        {"Utf16WithoutMark", std::string("[\0l\0", 4), 1, 2, "0x00 (NUL)"},
        {"Latin1", "[layers]\nrequired = [\"M\xF6" "bel\"]\n", 2, 15, "0xF6"},
        {"Overlong", "[layers]\n# \xC0\xAF\n", 2, 3, "0xC0"},
        {"Surrogate", "# \xED\xA0\x80\n", 1, 3, "0xED"},
        {"CutSequence", "# \xE2\x80", 1, 3, "0xE2"},
        {"OddUtf16", std::string("\xFF\xFE[\0x", 5), 1, 2, "odd number of bytes"},
        {"LoneSurrogateInUtf16", Utf16(u"# \xD800x", false), 1, 3, "half of a UTF-16 surrogate pair"},
    };
    for (const NotText& bad : kNotText) {
        const DecodedText decoded = DecodeText(bad.bytes);
        EXPECT_FALSE(decoded.text) << bad.label;
        EXPECT_EQ(std::make_pair(decoded.line, decoded.column), std::make_pair(bad.line, bad.column)) << bad.label;
        EXPECT_NE(decoded.why.find(bad.why), std::string::npos) << bad.label << ": " << decoded.why;
        RulesBuilder builder([](const std::string&) { return std::nullopt; });
        builder.Add(bad.bytes, "r.toml");
        ASSERT_EQ(builder.problems().size(), 1u) << bad.label;
        EXPECT_EQ(builder.problems()[0].rule, LintRule::NotText) << bad.label;
        EXPECT_TRUE(builder.problems()[0].problem.starts_with("not a text file: ")) << bad.label;
    }
}

struct Invisible {
    const char* label;
    std::string line;
    const char* named;
    std::string fixed;  // the line as its edit leaves it
};

// An invisible or other space character outside quotes is named by its code point, and its edit
// takes it out or writes a plain space, so the line reads as it looks.
TEST(RulesText, InvisibleCharactersOutsideQuotesAreNamedAndMended) {
    const Invisible kInvisible[] = {
        {"NoBreakSpaceBetweenItems", "required = [\"A\",\xC2\xA0\"B\"]", "the space character U+00A0",
         "required = [\"A\", \"B\"]"},
        {"NoBreakSpaceBeforeEquals", "required\xC2\xA0= []", "U+00A0", "required = []"},
        {"IdeographicSpace", "required =\xE3\x80\x80[]", "U+3000", "required = []"},
        {"ZeroWidthSpaceInAKey", "requ\xE2\x80\x8Bired = []", "the invisible character U+200B", "required = []"},
        {"MarkInTheMiddle", "required = []\xEF\xBB\xBF", "U+FEFF", "required = []"},
        {"RunOfThem", "required =\xE2\x80\x8B\xC2\xA0[]", "U+200B", "required = []"},
    };
    for (const Invisible& bad : kInvisible) {
        const std::string text = "[layers]\n" + bad.line + "\n";
        const auto problem = UnparseableCharacter(text, "r.toml");
        ASSERT_TRUE(problem) << bad.label;
        EXPECT_EQ(problem->rule, LintRule::InvisibleCharacter) << bad.label;
        EXPECT_NE(problem->problem.find(bad.named), std::string::npos) << bad.label << ": " << problem->problem;
        ASSERT_TRUE(problem->edit) << bad.label;
        const std::string fixed = ApplyEdit(text, *problem->edit);
        EXPECT_EQ(fixed, "[layers]\n" + bad.fixed + "\n") << bad.label;
        EXPECT_FALSE(UnparseableCharacter(fixed, "r.toml")) << bad.label;
    }
    // Letters beyond ASCII outside quotes are not invisible: they are to be quoted.
    EXPECT_EQ(UnparseableCharacter("[layers]\nM\xC3\xB6" "bel = 1\n", "r.toml")->rule, LintRule::BeyondAscii);
}

struct Edit {
    const char* label;
    std::string text;
    LineEdit edit;
    std::string expected;
};

TEST(RulesText, EditsChangeOneLineAndKeepItsLineEnd) {
    using Action = LineEdit::Action;
    const Edit kEdits[] = {
        {"Replace", "a\nb\nc\n", {2, Action::Replace, "B"}, "a\nB\nc\n"},
        {"ReplaceKeepsCrLf", "a\r\nb\r\n", {1, Action::Replace, "A"}, "A\r\nb\r\n"},
        {"ReplaceTheLastLineWithoutAnEnd", "a\nb", {2, Action::Replace, "B"}, "a\nB"},
        {"Delete", "a\r\nb\r\nc\r\n", {2, Action::Delete, ""}, "a\r\nc\r\n"},
        {"DeleteTheLastLine", "a\nb", {2, Action::Delete, ""}, "a\n"},
        {"InsertAfter", "a\r\nb\r\n", {1, Action::InsertAfter, "x"}, "a\r\nx\r\nb\r\n"},
        {"InsertAfterTheLastLineWithoutAnEnd", "a", {1, Action::InsertAfter, "x"}, "a\nx"},
        {"BeyondTheText", "a\n", {3, Action::Replace, "x"}, "a\n"},
        {"LineZero", "a\n", {0, Action::Delete, ""}, "a\n"},
    };
    for (const Edit& edit : kEdits) EXPECT_EQ(ApplyEdit(edit.text, edit.edit), edit.expected) << edit.label;
}

struct Csv {
    const char* label;
    std::string text;
    std::vector<std::u32string> codes;
};

// Spreadsheets in many locales separate cells with ";"; the header line says which.
TEST(RulesText, CodeListsTakeEitherSeparatorAsTheHeaderHasIt) {
    const Csv kLists[] = {
        {"Comma", "code,meaning\nWALL,walls\nDOOR,doors\n", {U"WALL", U"DOOR"}},
        {"Semicolon", "code;meaning\r\nWALL;walls, inside and out\r\nDOOR;doors\r\n", {U"WALL", U"DOOR"}},
        {"SemicolonWithoutHeader", "WALL;walls\nDOOR;doors\n", {U"WALL", U"DOOR"}},
        {"QuotedSeparatorInTheHeader", "\"a;b\",meaning\nWALL;x,walls\n", {U"a;b", U"WALL;x"}},
        {"QuotedCell", "code;meaning\n\"DO;OR\";doors\n", {U"DO;OR"}},
        {"OneColumn", "WALL\nDOOR\n", {U"WALL", U"DOOR"}},
    };
    for (const Csv& list : kLists) EXPECT_EQ(CodesOfCsv(list.text), list.codes) << list.label;
}

TEST(RulesText, CodeListsAreReadInEveryEncodingOfRulesFiles) {
    const std::map<std::string, std::string> kFiles = {
        {"marked.csv", "\xEF\xBB\xBF" "code;meaning\r\nWALL;walls\r\n"},
        {"wide.csv", Utf16(u"code;meaning\r\nDOOR;doors\r\n", true)},
        {"binary.csv", std::string("\x89PNG\0", 5)},
    };
    const FileReader read = [&](const std::string& path) -> std::optional<std::string> {
        const auto found = kFiles.find(path);
        return found == kFiles.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    RulesBuilder builder(read);
    builder.Add("[layers]\nformat = '{a}-{b}'\n[layers.fields]\na = { csv = 'marked.csv' }\nb = { csv = 'wide.csv' }\n",
                "r.toml");
    const RuleSet rules = builder.Finish();
    ASSERT_TRUE(builder.problems().empty()) << builder.problems().front().Describe();
    const FormatVerdict verdict = rules.of(NameKind::Layer).format->Check(U"WALL-DOOR");
    EXPECT_TRUE(verdict.fits);
    EXPECT_TRUE(verdict.problems.empty());

    RulesBuilder binary(read);
    binary.Add("[layers.fields]\nc = { csv = 'binary.csv' }\n", "r.toml");
    binary.Finish();
    ASSERT_FALSE(binary.problems().empty());
    EXPECT_EQ(binary.problems()[0].rule, LintRule::CodeListUnreadable);
    EXPECT_NE(binary.problems()[0].problem.find("cannot read the code list binary.csv: not a text file"), std::string::npos);
}

}  // namespace
