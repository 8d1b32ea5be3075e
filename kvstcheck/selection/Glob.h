#pragma once
// Patterns that leave drawings out of a folder walk, matched against the path below the folder
// given, with "/" between its parts.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck {

// *      any characters within one part of the path (not "/")
// **     any characters, "/" too; "**/" also matches no folder at all ("**/old" matches "old")
// ?      one character, not "/"
// [...]  one character of the set: single characters and ranges such as a-z; [!...] or [^...]
//        one character not in it; "]" first in the set stands for itself
// Letter case is ignored, as the folder walk ignores it; "\" in a pattern stands for "/".
class Glob {
public:
    // nullopt, with why in problem, when the pattern cannot be read (an unclosed "[").
    static std::optional<Glob> Parse(std::wstring_view pattern, std::string& problem);

    bool Matches(std::wstring_view path) const;
    const std::wstring& pattern() const noexcept { return pattern_; }

private:
    struct Range {
        char32_t first;
        char32_t last;
    };
    struct Token {
        enum Type { Character, AnyCharacter, Set, Star, DoubleStar, AnyFolders };
        explicit Token(Type type, char32_t character = 0) : type(type), character(character) {}
        Type type;
        char32_t character;         // Character: folded
        std::vector<Range> ranges;  // Set
        bool negated = false;       // Set
    };

    explicit Glob(std::wstring pattern) : pattern_(std::move(pattern)) {}
    bool TakesOne(const Token& token, char32_t c) const;

    std::wstring pattern_;
    std::vector<Token> tokens_;
};

}  // namespace kvstcheck
