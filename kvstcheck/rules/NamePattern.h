#pragma once
// Whole-name patterns in the regular part of ECMAScript's syntax (classes, groups, alternation,
// ? * + {m,n}, ^ $), over code points. Compiled to a small program of states and run over all
// states at once, so a match takes time linear in the name and no stack per character; compiling
// is bounded too, so no pattern can hang a run or overflow a stack. Portable.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvstcheck::rules {

// A pattern that does not compile; column counts code points of the pattern from 1.
class PatternError : public std::runtime_error {
public:
    PatternError(std::size_t column, const std::string& problem)
        : std::runtime_error(problem), column_(column) {}
    std::size_t column() const noexcept { return column_; }

private:
    std::size_t column_;
};

// A set of code points as sorted, disjoint, non-adjacent ranges.
class CodePointSet {
public:
    using Range = std::pair<char32_t, char32_t>;
    void Add(char32_t first, char32_t last);
    void Add(const CodePointSet& other);
    CodePointSet Complement() const;
    bool Contains(char32_t c) const;
    bool empty() const noexcept { return ranges_.empty(); }

private:
    std::vector<Range> ranges_;
};

struct MatchRun {
    bool matched = false;
    std::size_t steps = 0;  // states visited: at most (name length + 1) x 2 x program size
};

class NamePattern {
public:
    static constexpr std::size_t kLongestPattern = 4000;  // code points
    static constexpr std::size_t kMostRepeats = 1000;     // the largest m or n of {m,n}
    static constexpr std::size_t kLargestProgram = 50000;  // states, after repeats are written out
    static constexpr std::size_t kDeepestNesting = 64;    // groups within groups

    // Throws PatternError.
    explicit NamePattern(std::u32string_view pattern);

    bool Matches(std::u32string_view name) const { return Run(name).matched; }
    MatchRun Run(std::u32string_view name) const;
    // False when no name at all can match (an empty class, $ before a character, ...).
    bool CanMatch() const;
    std::size_t size() const noexcept { return program_.size(); }

    enum class Op : std::uint8_t { Character, Split, Jump, AtStart, AtEnd, Match };
    struct Instruction {
        Op op = Op::Match;
        std::uint32_t first = 0;   // Character: the set; Split, Jump: a target
        std::uint32_t second = 0;  // Split: the other target
    };

private:
    std::vector<Instruction> program_;
    std::vector<CodePointSet> sets_;
};

}  // namespace kvstcheck::rules
