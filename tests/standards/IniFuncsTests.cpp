// The INI reader against real files, read through the platform's own profile functions.
#include <gtest/gtest.h>

#include <optional>

#include "standards/clsIniFuncs.h"
#include "support/TempFolder.h"
#include "tests/standards/LoadedMembers.h"

namespace {

using standardstest::IniLines;

constexpr wchar_t kUntouched[] = L"untouched";
constexpr LONG kUntouchedCount = -12345;

class IniFuncsTest : public ::testing::Test {
protected:
    void Write(std::string_view bytes) { kvtest::WriteFileBytes(file, bytes); }

    kvtest::TempFolder folder;
    std::wstring file = folder / L"values.ini";
    standards::clsIniFuncs ini;
};

TEST_F(IniFuncsTest, NameValuesComeBackAsTheProfileFunctionGivesThemWithLeadingSpacesRemoved) {
    const std::string longValue(300, 'x');
    struct Case {
        std::string line;  // in section [Type1]
        std::optional<std::wstring> text;  // nullopt: reported missing
    } cases[] = {
        {"Name1=Walls", L"Walls"},
        {"Name1=", L""},
        {"Name1=   spaced   ", L"spaced"},
        {"Name1=\"   lead and trail  \"", L"lead and trail  "},
        {"Name1='  single quotes'", L"single quotes"},
        {"Name1=\"\tTab\t\"", L"\tTab\t"},
        {"Name1=a=b ; no comment", L"a=b ; no comment"},
        {"name1=Key case does not matter", L"Key case does not matter"},
        {"Name1=Return Err", std::nullopt},
        {"Name1=\"  Return Err\"", std::nullopt},
        {"Name1=return err", L"return err"},
        {"Name1=\"Return Err \"", L"Return Err "},
        {"Name1=" + longValue, std::wstring(254, L'x')},
        // The cut at 254 bytes comes before the leading spaces go.
        {"Name1=\"" + std::string(250, ' ') + "abcdefgh\"", L"abcd"},
        {std::string("Name1=ab\0cd", 11), L"ab"},
        {"Name01=Padded key", std::nullopt},
        {"Name1", std::nullopt},
        {"Name2=Other key", std::nullopt},
    };
    for (const Case& c : cases) {
        Write(IniLines({"[Type1]", c.line}));
        std::wstring text = kUntouched;
        EXPECT_EQ(ini.GetKeyValue(file, text, 1, 1), c.text.has_value()) << c.line;
        EXPECT_EQ(text, c.text.value_or(kUntouched)) << c.line;
    }
}

TEST_F(IniFuncsTest, CountsConvertLikeAutomationsStringToInteger) {
    struct Case {
        std::string value;
        std::optional<LONG> count;  // nullopt: refused
    } cases[] = {
        {"2", 2},         {"32767", 32767},  {"-32768", -32768}, {"-2", -2},         {"0", 0},
        {"+7", 7},        {"\" 7\"", 7},     {"\"7 \"", 7},      {"\"\t7\"", 7},     {"2.5", 2},
        {"3.5", 4},       {"-2.5", -2},      {"1.49", 1},        {"-32768.5", -32768}, {"1e3", 1000},
        {"1,000", 1000},  {"&H10", 16},      {"32768", {}},      {"-32769", {}},     {"32767.5", {}},
        {"100000", {}},   {"", {}},          {"abc", {}},        {"7abc", {}},       {"0x10", {}},
        {"--1", {}},      {"Return Err", {}}, {std::string(1000, '9'), {}},
    };
    for (const Case& c : cases) {
        Write(IniLines({"[Common]", "TypeCount=" + c.value, "[Type1]", "NameCount=" + c.value}));
        LONG typeCount = kUntouchedCount, nameCount = kUntouchedCount;
        EXPECT_EQ(ini.GetNodeCount(file, typeCount), c.count.has_value()) << c.value;
        EXPECT_EQ(typeCount, c.count.value_or(kUntouchedCount)) << c.value;
        EXPECT_EQ(ini.GetKeyCount(file, nameCount, 1), c.count.has_value()) << c.value;
        EXPECT_EQ(nameCount, c.count.value_or(kUntouchedCount)) << c.value;
    }
}

TEST_F(IniFuncsTest, IndexesBecomeSectionAndKeyNamesWithoutPaddingAndWithTheirSign) {
    Write(IniLines({
        "[Type0]", "Type=zero", "Name0=name zero",
        "[Type-1]", "Type=minus one", "NameCount=4", "Name-2=minus two",
        "[TYPE3]", "TYPE=upper case section", "NAMECOUNT=3", "NAME12=twelve",
        "[Type04]", "Type=padded",
        "[Type32767]", "Type=largest", "Name32767=last",
        "[Type-32768]", "Type=smallest",
        "[Type2]", "NameCount=5",
    }));
    struct NameCase {
        SHORT index;
        std::optional<std::wstring> type;
    } names[] = {
        {0, L"zero"}, {-1, L"minus one"}, {3, L"upper case section"}, {4, std::nullopt},
        {32767, L"largest"}, {-32768, L"smallest"}, {2, std::nullopt}, {1, std::nullopt},
    };
    for (const NameCase& c : names) {
        std::wstring type = kUntouched;
        EXPECT_EQ(ini.GetNodeName(file, type, c.index), c.type.has_value()) << c.index;
        EXPECT_EQ(type, c.type.value_or(kUntouched)) << c.index;
    }
    struct CountCase {
        SHORT index;
        std::optional<LONG> count;
    } counts[] = {{-1, 4}, {3, 3}, {2, 5}, {0, std::nullopt}, {4, std::nullopt}};
    for (const CountCase& c : counts) {
        LONG count = kUntouchedCount;
        EXPECT_EQ(ini.GetKeyCount(file, count, c.index), c.count.has_value()) << c.index;
        EXPECT_EQ(count, c.count.value_or(kUntouchedCount)) << c.index;
    }
    struct ValueCase {
        SHORT section, key;
        std::optional<std::wstring> text;
    } values[] = {
        {0, 0, L"name zero"}, {-1, -2, L"minus two"}, {3, 12, L"twelve"},
        {32767, 32767, L"last"}, {-1, 2, std::nullopt}, {1, 12, std::nullopt},
    };
    for (const ValueCase& c : values) {
        std::wstring text = kUntouched;
        EXPECT_EQ(ini.GetKeyValue(file, text, c.section, c.key), c.text.has_value()) << c.section << "/" << c.key;
        EXPECT_EQ(text, c.text.value_or(kUntouched)) << c.section << "/" << c.key;
    }
}

TEST_F(IniFuncsTest, NothingToReadLeavesEveryOutputUntouched) {
    Write(IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=1", "Name1=0"}));
    const std::wstring folderO = folder / L"O";
    ::CreateDirectoryW(folderO.c_str(), nullptr);
    kvtest::WriteFileBytes(folderO + L"\\values.ini", IniLines({"[Common]", "TypeCount=1"}));
    const std::wstring paths[] = {
        L"",
        folder / L"missing.ini",
        folder.path(),
        folder / L"*.ini",
        // Best fit would turn the Greek capital omega into O and read the neighbouring folder.
        folder / L"\u03A9\\values.ini",
        folder / L"\u0E01\\values.ini",
    };
    for (const std::wstring& path : paths) {
        LONG count = kUntouchedCount;
        std::wstring text = kUntouched;
        EXPECT_FALSE(ini.GetNodeCount(path, count)) << kvtest::Utf8(path);
        EXPECT_FALSE(ini.GetNodeName(path, text, 1)) << kvtest::Utf8(path);
        EXPECT_FALSE(ini.GetKeyCount(path, count, 1)) << kvtest::Utf8(path);
        EXPECT_FALSE(ini.GetKeyValue(path, text, 1, 1)) << kvtest::Utf8(path);
        EXPECT_EQ(count, kUntouchedCount);
        EXPECT_EQ(text, kUntouched);
    }
}

TEST_F(IniFuncsTest, WrittenValuesReadBackAndReplaceEarlierOnes) {
    ASSERT_TRUE(ini.WriteInfoToIniFile(L"Type1", L"Name1", L"first", file));
    ASSERT_TRUE(ini.WriteInfoToIniFile(L"Type1", L"Name1", L"Walls", file));
    ASSERT_TRUE(ini.WriteInfoToIniFile(L"Common", L"TypeCount", L"1", file));
    std::wstring text;
    LONG count = 0;
    EXPECT_TRUE(ini.GetKeyValue(file, text, 1, 1));
    EXPECT_EQ(text, L"Walls");
    EXPECT_TRUE(ini.GetNodeCount(file, count));
    EXPECT_EQ(count, 1);
}

TEST_F(IniFuncsTest, WriteFailsWhereThePlatformCannotWriteOrTheCodePageCannotHoldTheText) {
    EXPECT_FALSE(ini.WriteInfoToIniFile(L"Type1", L"Name1", L"x", folder / L"no such folder\\values.ini"));
    // Not written at all rather than written as a substitute.
    EXPECT_FALSE(ini.WriteInfoToIniFile(L"Type1", L"Name1", L"\u0E01", file));
    EXPECT_FALSE(ini.WriteInfoToIniFile(L"Type1", L"Name\u0E01", L"x", file));
    EXPECT_EQ(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
