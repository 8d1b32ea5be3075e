// Lines whose reading the platforms may give differently, told with the rule windows-differs.
#include <algorithm>

#include "kvstcheck/standardtools/StandardWalkParts.h"
#include "standards/StandardKeys.h"

namespace kvstcheck::walk {
namespace {

using standards::PlatformDoubt;

struct DoubtWords {
    PlatformDoubt doubt;
    const char* problem;  // empty: told elsewhere (the file's encoding), or refused as binary content
    const char* fix;
};

constexpr DoubtWords kDoubtWords[] = {
    {PlatformDoubt::Utf8ByteOrderMark, "", ""},
    {PlatformDoubt::Utf16ByteOrderMark, "", ""},
    {PlatformDoubt::NulByte, "", ""},
    {PlatformDoubt::PageOrFormFeedOrEof,
     "the line holds a page break, form feed or end-of-file character, which Windows may read otherwise than other platforms",
     "remove the character"},
    {PlatformDoubt::QuoteInKeyName, "the key's name holds a quote, which Windows may read otherwise than other platforms",
     "remove the quote"},
    {PlatformDoubt::QuotedValueFillsBuffer, "the quoted value is 254 bytes long or longer: Windows may read it otherwise",
     "shorten the name, or remove the quotes"},
    {PlatformDoubt::BareLineReadAsKey, "this line without '=' names a key the plug-in reads: Windows may read it otherwise",
     "write it as Key=Value, or remove the line"},
    {PlatformDoubt::SeveralClosingBrackets,
     "the section header holds more than one ']': Windows names the section up to the first one",
     "write the header as [Name] with one ']'"},
    {PlatformDoubt::EmptySectionName, "[] names no section, and Windows reads what it holds otherwise", "name the section or remove it"},
    {PlatformDoubt::UnclosedSectionHeader,
     "the line opens a section without ']': Windows reads it as a section header, other platforms as a plain line",
     "close the header with ']'"},
    {PlatformDoubt::UntrimmedEdgeByte,
     "a name or value begins or ends with a no-break space or a control character, which Windows may trim",
     "remove the character"},
    {PlatformDoubt::VeryLongLine, "the line is 32,768 bytes long or longer: Windows may read it otherwise", "shorten the line"},
    {PlatformDoubt::LoneQuoteValue, "the value is one quote alone: Windows may read it otherwise than other platforms",
     "write the value without the quote, or quote it whole"},
    {PlatformDoubt::UnclosedLongQuote,
     "the value begins with a quote that is not closed within the 254 bytes read: Windows may read it otherwise",
     "remove the quote, or shorten the value"},
};

const DoubtWords* WordsOf(PlatformDoubt doubt) {
    const auto found = std::find_if(std::begin(kDoubtWords), std::end(kDoubtWords), [&](const DoubtWords& w) { return w.doubt == doubt; });
    return found == std::end(kDoubtWords) ? nullptr : found;
}

}  // namespace

void ReportDoubts(WalkFacts& facts) {
    for (const standards::DoubtAt& at : facts.image.Doubts()) {
        const DoubtWords* words = WordsOf(at.doubt);
        if (words == nullptr || *words->problem == '\0') continue;
        // Only a name the plug-in reads is read otherwise; other lines are told as unread.
        if (at.doubt == PlatformDoubt::BareLineReadAsKey && !standards::IsStandardKeyName(at.name)) continue;
        facts.Warn(at.line, LintRule::WindowsDiffers, words->problem, words->fix);
    }
}

}  // namespace kvstcheck::walk
