// Names in the users' own language: a standard file saved in the system code page gives back
// exactly the names it holds. Each suite needs its code page and skips under any other; the build
// runs each under the locale that selects it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "tests/standards/LoadedMembers.h"

namespace {

using standardstest::FilterElements;
using standardstest::IniLines;
using standardstest::LoadedMembers;
using ::testing::ElementsAre;

#define KV_REQUIRE_CODE_PAGE(page)                                                                   \
    do {                                                                                             \
        if (::GetACP() != (page))                                                                    \
            GTEST_SKIP() << "needs system code page " << (page) << ", the system has " << ::GetACP() \
                         << " (Wine takes it from LC_ALL)";                                          \
    } while (0)

class CodePageTest : public ::testing::Test {
protected:
    bool Load(std::string_view bytes) {
        kvtest::WriteFileBytes(file, bytes);
        return members.Load(file);
    }

    kvtest::TempFolder folder;
    std::wstring file = folder / L"KVStPluginDefault.ini";
    LoadedMembers members;
};

using CodePage936Test = CodePageTest;
using CodePage1252Test = CodePageTest;

// GBK: 图层 CD BC B2 E3, 墙体 C7 BD CC E5, 虚线 D0 E9 CF DF, 仿宋 B7 C2 CB CE, 标注 B1 EA D7 A2.
TEST_F(CodePage936Test, ChineseNamesComeBackExactly) {
    KV_REQUIRE_CODE_PAGE(936u);
    ASSERT_TRUE(Load(IniLines({
        "[Common]", "TypeCount=4",
        "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=\xCD\xBC\xB2\xE3", "Name2=\xC7\xBD\xCC\xE5 A",
        "[Type2]", "Type=AcadLineType", "NameCount=1", "Name1=\xD0\xE9\xCF\xDF",
        "[Type3]", "Type=AcadTextStyle", "NameCount=1", "Name1=\"  \xB7\xC2\xCB\xCE\"",
        "[Type4]", "Type=\xB1\xEA\xD7\xA2", "NameCount=1", "Name1=\xCD\xBC\xB2\xE3",
    })));
    EXPECT_THAT(FilterElements(members.CheckFilter),
                ElementsAre(L"AcadLayer", L"AcadLineType", L"AcadTextStyle", L"标注"));
    EXPECT_THAT(members.StdLayerNames, ElementsAre(L"图层", L"墙体 A"));
    EXPECT_THAT(members.StdLinetypeNames, ElementsAre(L"虚线"));
    EXPECT_THAT(members.StdTextStyleNames, ElementsAre(L"仿宋"));
    EXPECT_TRUE(members.StdDimStyleNames.empty());
}

TEST_F(CodePage936Test, LongChineseNamesAreCutAtWholeCharacters) {
    KV_REQUIRE_CODE_PAGE(936u);
    std::string fits, tooLong;
    for (int character = 0; character < 127; ++character) fits += "\xB2\xE3";  // 127 x 层 = 254 bytes
    tooLong = fits + "\xB2\xE3\xB2\xE3";
    ASSERT_TRUE(Load(IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2",
                               "Name1=" + fits, "Name2=" + tooLong})));
    EXPECT_THAT(members.StdLayerNames, ElementsAre(std::wstring(127, L'层'), std::wstring(127, L'层')));
}

TEST_F(CodePage936Test, AUtf16FileGivesTheSameChineseNames) {
    KV_REQUIRE_CODE_PAGE(936u);
    const std::wstring text = L"[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=2\r\n"
                              L"Name1=图层\r\nName2=门窗\r\n";
    ASSERT_TRUE(Load(standardstest::Utf16WithByteOrderMark(text)));
    EXPECT_THAT(members.StdLayerNames, ElementsAre(L"图层", L"门窗"));
}

// Windows-1252: é E9, ß DF, Ñ D1, ú FA, ç E7.
TEST_F(CodePage1252Test, AccentedLatinNamesComeBackExactly) {
    KV_REQUIRE_CODE_PAGE(1252u);
    ASSERT_TRUE(Load(IniLines({
        "[Common]", "TypeCount=2",
        "[Type1]", "Type=AcadLayer", "NameCount=3", "Name1=Caf\xE9", "Name2=Stra\xDF" "e", "Name3=\xD1" "and\xFA",
        "[Type2]", "Type=AcadTextStyle", "NameCount=1", "Name1=Fa\xE7" "ade",
    })));
    EXPECT_THAT(FilterElements(members.CheckFilter), ElementsAre(L"AcadLayer", L"AcadTextStyle"));
    EXPECT_THAT(members.StdLayerNames, ElementsAre(L"Café", L"Straße", L"Ñandú"));
    EXPECT_THAT(members.StdTextStyleNames, ElementsAre(L"Façade"));
}

}  // namespace
