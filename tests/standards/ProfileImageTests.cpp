// The parsed structure of a standard file as tools see it: sections and entries in file order
// with their line numbers, and the lines whose answers the platforms may give differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "standards/ProfileImage.h"

namespace {

using standards::PlatformDoubt;
using standards::kLongestPinnedLine;
using standards::ProfileEncoding;
using standards::ProfileImage;

template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// One line per section and entry: "section@line" and "  name=value@line", "(none)" for a line
// without '=', " dropped" for an entry the platform does not keep.
std::string Outline(const ProfileImage& image) {
    std::string text;
    for (const standards::ProfileSection& section : image.Sections()) {
        text += "[" + std::string(section.name) + "]@" + std::to_string(section.line) + "\n";
        for (const standards::ProfileEntry& entry : image.EntriesOf(section)) {
            const auto value = image.Value(entry);
            text += "  " + std::string(image.Name(entry)) + (value ? "=" + std::string(*value) : " (none)") + "@" +
                    std::to_string(entry.line) + (entry.dropped ? " dropped" : "") + "\n";
        }
    }
    return text;
}

TEST(ProfileImageTest, SectionsAndEntriesKeepFileOrderDuplicatesAndLineNumbers) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string outline;
    } cases[] = {
        {"text before the first header, CRLF",
         "; note\r\ntop = 1\r\n[Common]\r\nTypeCount=2\r\n",
         "[]@0\n  ; note (none)@1\n  top=1@2\n[Common]@3\n  TypeCount=2@4\n"},
        {"every kind of line break, blank lines counted",
         "[A]\nk=1\r\rk=2\n\rk=3\r\n\r\n\t \nk=4",
         "[]@0\n[A]@1\n  k=1@2\n  k=2@4\n  k=3@6\n  k=4@9\n"},
        {"headers trimmed, text after the last bracket ignored, an unclosed one is a key",
         "[ A ]\n[\tB\t] ;x\n[C]]\n[x=1\n[open\n",
         "[]@0\n[A]@1\n[B]@2\n[C]]@3\n  [x=1@4\n  [open (none)@5\n"},
        {"duplicates kept, values untouched, a second empty name dropped",
         "[A]\nk=\"q\"\nK = 2 \n=a\n=b\nx\n=c\n[A]\nk=3\n",
         "[]@0\n[A]@1\n  k=\"q\"@2\n  K=2@3\n  =a@4\n  =b@5 dropped\n  x (none)@6\n  =c@7\n[A]@8\n  k=3@9\n"},
        {"an empty file", "", "[]@0\n"},
    };
    for (const Case& c : cases) {
        const ProfileImage image(c.bytes);
        EXPECT_EQ(image.Encoding(), ProfileEncoding::Ansi) << c.what;
        EXPECT_EQ(Outline(image), c.outline) << c.what;
    }
}

TEST(ProfileImageTest, DoubtsNameTheirKindAndLine) {
    struct Case {
        std::string bytes;
        PlatformDoubt doubt;
        std::uint32_t line;
    } cases[] = {
        {"\xEF\xBB\xBF[A]\r\n", PlatformDoubt::Utf8ByteOrderMark, 1},
        {"\xFF\xFE[\0A\0]\0", PlatformDoubt::Utf16ByteOrderMark, 1},
        {"\xFE\xFF\0[\0A\0]", PlatformDoubt::Utf16ByteOrderMark, 1},
        {Bytes("[A]\r\nk=a\0b\r\n"), PlatformDoubt::NulByte, 2},
        {Bytes("\0\r\n[A]"), PlatformDoubt::NulByte, 1},
        {"[A]\n\nk=\f\n", PlatformDoubt::PageOrFormFeedOrEof, 3},
        {"[A]\r\nk=1\r\n\x1a", PlatformDoubt::PageOrFormFeedOrEof, 3},
        {"[A]\n;x\n'k'=1\n", PlatformDoubt::QuoteInKeyName, 3},
        {"[A]\nk=\"" + std::string(254, 'v') + "\"\n", PlatformDoubt::QuotedValueFillsBuffer, 2},
        {"[A]\nk=\"" + std::string(255, 'v') + "\"\n", PlatformDoubt::QuotedValueFillsBuffer, 2},
        {"[A]\nk=\'" + std::string(4000, 'v') + "\'\n", PlatformDoubt::QuotedValueFillsBuffer, 2},
        {"[A]\nk\nK=1\n", PlatformDoubt::BareLineReadAsKey, 2},
        {"[A]\nk=1\nName1\n", PlatformDoubt::BareLineReadAsKey, 3},
        {"[A]\nk=1\n[Type2\nk=2\n", PlatformDoubt::UnclosedSectionHeader, 3},
        {"[A]\n[\n", PlatformDoubt::UnclosedSectionHeader, 2},
        {"[A]\nk=v\xA0\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=\x1Cv\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\n\x1Fk=v\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk\x1E=v\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=1\n[\xA0" "B]\n", PlatformDoubt::UntrimmedEdgeByte, 3},
        {"[A]\nk=1\n\n\nk2=" + std::string(kLongestPinnedLine, 'v') + "\n", PlatformDoubt::VeryLongLine, 5},
        {"[A]\n[ ]\nk=1\n", PlatformDoubt::EmptySectionName, 2},
        {"[A] ; [note]\n", PlatformDoubt::SeveralClosingBrackets, 1},
        // Control bytes other than blanks at either end, which Windows may trim.
        {"[A]\nk=v\x01\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=\x08v\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=v\x0E\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\n\x1Bk=v\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=v\x7F\n", PlatformDoubt::UntrimmedEdgeByte, 2},
        {"[A]\nk=1\n[\x7F" "B]\n", PlatformDoubt::UntrimmedEdgeByte, 3},
        // A line that reaches 32,768 bytes only through the blanks at its ends.
        {"[A]\nk=v" + std::string(kLongestPinnedLine, ' ') + "\n", PlatformDoubt::VeryLongLine, 2},
        {"[A]\n" + std::string(kLongestPinnedLine - 2, '\t') + "k=v\n", PlatformDoubt::VeryLongLine, 2},
        {"[A]\nk=\"\n", PlatformDoubt::LoneQuoteValue, 2},
        {"[A]\nk= ' \n", PlatformDoubt::LoneQuoteValue, 2},
        {"[A]\nk=\"" + std::string(254, 'v') + "\n", PlatformDoubt::UnclosedLongQuote, 2},
        {"[A]\nk='" + std::string(300, 'v') + "'x\n", PlatformDoubt::UnclosedLongQuote, 2},
    };
    for (const Case& c : cases) {
        const ProfileImage image(c.bytes);
        ASSERT_EQ(image.Doubts().size(), 1u) << c.bytes;
        EXPECT_EQ(image.Doubts()[0].doubt, c.doubt) << c.bytes;
        EXPECT_EQ(image.Doubts()[0].line, c.line) << c.bytes;
    }
}

TEST(ProfileImageTest, OrdinaryContentRaisesNoDoubt) {
    const std::string files[] = {
        Bytes("[A]\r\nk=1\r\n\0\0"),
        "[A]\r\n;'quoted' comment=1\r\nk=\"" + std::string(253, 'v') + "\"\r\nk=\"" + std::string(255, 'v') + "\"\r\n",
        "[A]\nK=1\nk\n[A]\nk=2\n",
        "top=1\n[A]\n\tk\t=\tv\t\n",
        // Inside a name or value these bytes are plain characters; a bare comment line is never read.
        "[A]\nk\xA0x=v\x1Fw\n; a comment without equals\n",
        // A long quoted value that no read reaches: a later duplicate of its key.
        "[A]\nk=1\nk=\"" + std::string(300, 'v') + "\"\n",
        "[A]\nk=" + std::string(kLongestPinnedLine - 2, 'v') + "\n",
        // A DEL inside a name or value is a plain byte; a quote closed within the read is no doubt.
        "[A]\nk\x7Fx=v\x01w\n",
        "[A]\nk=\"" + std::string(100, 'v') + "\"" + std::string(200, 'w') + "\n",
        "[A]\nk=\"\"\n",
    };
    for (const std::string& bytes : files) {
        const ProfileImage image(bytes);
        EXPECT_TRUE(image.Doubts().empty()) << bytes;
    }
}

TEST(ProfileImageTest, EncodingsAndHighBytesAreReported) {
    EXPECT_EQ(ProfileImage("\xEF\xBB\xBF").Encoding(), ProfileEncoding::Utf8ByteOrderMark);
    EXPECT_EQ(ProfileImage("\xFF\xFE").Encoding(), ProfileEncoding::Utf16LeByteOrderMark);
    EXPECT_EQ(ProfileImage("\xFE\xFF").Encoding(), ProfileEncoding::Utf16BeByteOrderMark);
    EXPECT_EQ(ProfileImage("\xEF\xBB").Encoding(), ProfileEncoding::Ansi);
    EXPECT_TRUE(ProfileImage("[A]\nk=\xE9").HasBytesAbove127());
    EXPECT_FALSE(ProfileImage("[A]\nk=e").HasBytesAbove127());
    // A file the image does not decode answers every read with the default.
    EXPECT_EQ(ProfileImage("\xEF\xBB\xBF[A]\nk=1").ReadString("A", "k", "d"), "d");
}

// The entries marked found, as "name@line", in file order.
std::string FoundEntries(const ProfileImage& image) {
    std::string text;
    for (const standards::ProfileSection& section : image.Sections())
        for (const standards::ProfileEntry& entry : image.EntriesOf(section))
            if (entry.found) text += std::string(image.Name(entry)) + "@" + std::to_string(entry.line) + " ";
    return text;
}

// A large section whose names share their first letters, with a repeat of an early one at its end.
std::string ManyNames() {
    std::string text = "[Big]\n";
    for (int i = 0; i < 300; ++i) text += "Name" + std::to_string(i) + "=v\n";
    return text + "NAME7=again\n";
}

std::string ManyNamesFound() {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "Name" + std::to_string(i) + "@" + std::to_string(i + 2) + " ";
    return text;
}

// found marks the entry each read of its name finds: the first kept entry of a name, in the first
// section of a name.
TEST(ProfileImageTest, TheFirstEntryOfEachNameInTheFirstSectionOfEachNameIsFound) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string found;
    } cases[] = {
        {"a repeat in other letter case is not found", "[A]\nk=1\nK=2\nj=3\n", "k@2 j@4 "},
        {"a later section of the same name is never searched", "[A]\nk=1\n[B]\nk=2\n[a]\nk=3\nm=4\n", "k@2 k@4 "},
        {"a dropped empty name is not found, nor a later empty one", "[A]\n=a\n=b\nx\n=c\n", "@2 x@4 "},
        {"a line without '=' is found like any other", "[A]\nk\nk=1\n", "k@2 "},
        {"the text before the first header is a section too", "top=1\n[A]\ntop=2\n", "top@1 top@3 "},
        {"a table that fills past its first slots", ManyNames(), ManyNamesFound()},
    };
    for (const Case& c : cases) EXPECT_EQ(FoundEntries(ProfileImage(c.bytes)), c.found) << c.what;
}

// Reads in any order find what reads in file order find: the first section of a name and its
// first entry of a name, never a neighbour of the last entry found.
TEST(ProfileImageTest, ReadsInAnyOrderFindTheFirstOfEachName) {
    const ProfileImage image("[A]\nk=1\nk=2\nj=3\n[B]\nk=4\nj\nJ=5\n[a]\nk=6\nm=7\n");
    struct Read {
        const char* section;
        const char* key;
        const char* answer;
    } reads[] = {
        {"A", "k", "1"}, {"A", "k", "1"}, {"a", "j", "3"}, {"B", "k", "4"}, {"B", "j", "d"}, {"B", "J", "d"},
        {"A", "m", "d"}, {"B", "k", "4"}, {"A", "j", "3"}, {"b", "K", "4"}, {"A", "k", "1"}, {"C", "k", "d"},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const Read& read : reads) EXPECT_EQ(image.ReadString(read.section, read.key, "d"), read.answer)
            << read.section << "/" << read.key;
        std::reverse(std::begin(reads), std::end(reads));
    }
    EXPECT_EQ(image.Find("A", "k")->line, 2u);
    EXPECT_EQ(image.Value(*image.Find("B", "j")), std::nullopt);
    EXPECT_EQ(image.Find("A", "m"), nullptr);
}

}  // namespace
