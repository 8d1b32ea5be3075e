// Conversion to and from the profile functions' code page: exact, or nothing at all.
#include <gtest/gtest.h>

#include "standards/AnsiText.h"
#include "support/TempFolder.h"

namespace {

TEST(AnsiTextTest, TextIsConvertedExactlyOrNotAtAll) {
    struct Case {
        const wchar_t* text;
        UINT codePage;
        std::optional<std::string> expected;
    } cases[] = {
        {L"Café", 1252, std::string("Caf\xE9")},
        {L"Ω", 1252, std::nullopt},          // best fit would give "O"
        {L"图层", 1252, std::nullopt},       // would give "??"
        {L"图层", 936, std::string("\xCD\xBC\xB2\xE3")},
        // A UTF-8 system code page takes no substitutes and holds every character but a lone surrogate.
        {L"Ω图层", CP_UTF8, std::string("\xCE\xA9\xE5\x9B\xBE\xE5\xB1\x82")},
        {L"a\xD800z", CP_UTF8, std::nullopt},
        {L"", 1252, std::string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Utf8(c.text) + " in code page " + std::to_string(c.codePage));
        EXPECT_EQ(standards::ToCodePage(c.text, c.codePage), c.expected);
        if (c.expected) {
            EXPECT_EQ(standards::FromCodePage(*c.expected, c.codePage), c.text);
        }
    }
}

}  // namespace
