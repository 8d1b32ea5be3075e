#include "kvstcheck/selection/NaturalOrder.h"

#include "kvstcheck/selection/Characters.h"

namespace kvstcheck {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view DigitRun(std::wstring_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && IsDigit(text[end])) ++end;
    return text.substr(at, end - at);
}

// Negative, zero or positive as the value of digits a is below, equal to or above that of b, of
// any length.
int CompareNumbers(std::wstring_view a, std::wstring_view b) {
    while (a.size() > 1 && a.front() == L'0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == L'0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

int CompareNaturally(std::wstring_view a, std::wstring_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::wstring_view numberA = DigitRun(a, i);
            const std::wstring_view numberB = DigitRun(b, j);
            if (const int order = CompareNumbers(numberA, numberB); order != 0) return order;
            i += numberA.size();
            j += numberB.size();
            continue;
        }
        const CodePoint x = NextCodePoint(a, i);
        const CodePoint y = NextCodePoint(b, j);
        const char32_t foldedX = FoldCase(x.value);
        const char32_t foldedY = FoldCase(y.value);
        if (foldedX != foldedY) return foldedX < foldedY ? -1 : 1;
        i += x.units;
        j += y.units;
    }
    if (i == a.size() && j == b.size()) return 0;
    return i == a.size() ? -1 : 1;
}

int CompareCodePoints(std::wstring_view a, std::wstring_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const CodePoint x = NextCodePoint(a, i);
        const CodePoint y = NextCodePoint(b, j);
        if (x.value != y.value) return x.value < y.value ? -1 : 1;
        i += x.units;
        j += y.units;
    }
    if (i == a.size() && j == b.size()) return 0;
    return i == a.size() ? -1 : 1;
}

}  // namespace

bool NaturalLess(std::wstring_view a, std::wstring_view b) {
    if (const int order = CompareNaturally(a, b); order != 0) return order < 0;
    return CompareCodePoints(a, b) < 0;
}

}  // namespace kvstcheck
