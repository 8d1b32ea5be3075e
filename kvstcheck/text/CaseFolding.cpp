#include "kvstcheck/text/CaseFolding.h"

#include <algorithm>
#include <iterator>

namespace kvstcheck::text {
namespace {

struct Fold {
    char32_t from;
    char32_t to;
};

constexpr Fold kFolds[] = {
#include "kvstcheck/text/CaseFoldingTable.inc"
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kFolds); ++i)
        if (kFolds[i - 1].from >= kFolds[i].from) return false;
    return true;
}
static_assert(IsSorted(), "the folding table is searched by halving: it must stay sorted");

[[maybe_unused]] bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
[[maybe_unused]] bool IsLowSurrogate(wchar_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

char32_t FoldCase(char32_t c) noexcept {
    // Names are mostly ASCII: spare them the search.
    if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 0x20 : c;
    const Fold* found = std::lower_bound(std::begin(kFolds), std::end(kFolds), c,
                                         [](const Fold& fold, char32_t code) { return fold.from < code; });
    return found != std::end(kFolds) && found->from == c ? found->to : c;
}

std::u32string FoldCase(std::u32string_view text) {
    std::u32string folded(text);
    for (char32_t& c : folded) c = FoldCase(c);
    return folded;
}

std::wstring FoldCase(std::wstring_view text) {
    std::wstring folded(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (IsHighSurrogate(folded[i]) && i + 1 < folded.size() && IsLowSurrogate(folded[i + 1])) {
                // A fold never leaves its plane (the generator checks), so the pair stays a pair.
                const char32_t code = 0x10000 + ((static_cast<char32_t>(folded[i]) - 0xD800) << 10) +
                                      (static_cast<char32_t>(folded[i + 1]) - 0xDC00);
                const char32_t to = FoldCase(code) - 0x10000;
                folded[i] = static_cast<wchar_t>(0xD800 + (to >> 10));
                folded[++i] = static_cast<wchar_t>(0xDC00 + (to & 0x3FF));
                continue;
            }
        }
        folded[i] = static_cast<wchar_t>(FoldCase(static_cast<char32_t>(folded[i])));
    }
    return folded;
}

}  // namespace kvstcheck::text
