#include "kvstcheck/selection/Glob.h"

#include "kvstcheck/selection/Characters.h"

namespace kvstcheck {
namespace {

std::u32string CodePoints(std::wstring_view text) {
    std::u32string points;
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = NextCodePoint(text, at);
        points.push_back(c.value == U'\\' ? U'/' : c.value);
        at += c.units;
    }
    return points;
}

bool InRange(char32_t c, char32_t first, char32_t last) { return first <= c && c <= last; }

}  // namespace

std::optional<Glob> Glob::Parse(std::wstring_view pattern, std::string& problem) {
    std::u32string points = CodePoints(pattern);
    while (!points.empty() && points.front() == U'/') points.erase(0, 1);
    if (points.empty()) {
        problem = "an empty pattern leaves nothing out";
        return std::nullopt;
    }
    Glob glob{std::wstring(pattern)};
    for (std::size_t at = 0; at < points.size(); ++at) {
        const char32_t c = points[at];
        if (c == U'*' && at + 1 < points.size() && points[at + 1] == U'*') {
            const bool wholePart = (at == 0 || points[at - 1] == U'/') && at + 2 < points.size() && points[at + 2] == U'/';
            glob.tokens_.emplace_back(wholePart ? Token::AnyFolders : Token::DoubleStar);
            at += wholePart ? 2 : 1;
        } else if (c == U'*') {
            glob.tokens_.emplace_back(Token::Star);
        } else if (c == U'?') {
            glob.tokens_.emplace_back(Token::AnyCharacter);
        } else if (c == U'[') {
            Token set(Token::Set);
            std::size_t next = at + 1;
            if (next < points.size() && (points[next] == U'!' || points[next] == U'^')) {
                set.negated = true;
                ++next;
            }
            for (bool first = true; next < points.size() && (first || points[next] != U']'); first = false) {
                const bool range = next + 2 < points.size() && points[next + 1] == U'-' && points[next + 2] != U']';
                set.ranges.push_back({points[next], range ? points[next + 2] : points[next]});
                next += range ? 3 : 1;
            }
            if (next >= points.size()) {
                problem = "the [ at character " + std::to_string(at + 1) + " has no closing ]";
                return std::nullopt;
            }
            glob.tokens_.push_back(std::move(set));
            at = next;
        } else {
            glob.tokens_.emplace_back(Token::Character, FoldCase(c));
        }
    }
    return glob;
}

bool Glob::TakesOne(const Token& token, char32_t c) const {
    switch (token.type) {
    case Token::Character: return FoldCase(c) == token.character;
    case Token::AnyCharacter: return c != U'/';
    case Token::Set: {
        if (c == U'/') return false;
        bool inSet = false;
        for (const Range& range : token.ranges)
            inSet = inSet || InRange(c, range.first, range.last) ||
                    InRange(FoldCase(c), FoldCase(range.first), FoldCase(range.last));
        return inSet != token.negated;
    }
    default: return false;
    }
}

// Whether tokens [i..] match the text [j..], for every i and j, from the ends backwards: each
// pair is settled once, so no pattern takes more than tokens x characters steps.
bool Glob::Matches(std::wstring_view path) const {
    const std::u32string text = CodePoints(path);
    const std::size_t length = text.size();
    std::vector<bool> next(length + 1, false);  // tokens [i + 1..]
    next[length] = true;
    std::vector<bool> here(length + 1, false);
    for (std::size_t i = tokens_.size(); i-- > 0;) {
        const Token& token = tokens_[i];
        bool slashAhead = false;  // AnyFolders: a "/" at k >= j with next[k + 1]
        for (std::size_t j = length + 1; j-- > 0;) {
            const bool more = j < length;
            switch (token.type) {
            case Token::Star: here[j] = next[j] || (more && text[j] != U'/' && here[j + 1]); break;
            case Token::DoubleStar: here[j] = next[j] || (more && here[j + 1]); break;
            case Token::AnyFolders:
                slashAhead = more && ((text[j] == U'/' && next[j + 1]) || slashAhead);
                here[j] = next[j] || slashAhead;
                break;
            default: here[j] = more && TakesOne(token, text[j]) && next[j + 1];
            }
        }
        std::swap(next, here);
    }
    return next[0];
}

}  // namespace kvstcheck
