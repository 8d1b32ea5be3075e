#include "kvstcheck/rules/NamePattern.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <optional>

namespace kvstcheck::rules {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

// The parsed pattern. Nesting is bounded by the parser, so walking it recursively is safe.
struct Node {
    enum class Type { Empty, Character, Concat, Alternation, Repeat, AtStart, AtEnd };
    static Node Of(Type type) {
        Node node;
        node.type = type;
        return node;
    }
    Type type = Type::Empty;
    std::uint32_t set = 0;
    std::vector<Node> children;
    std::size_t min = 0;
    std::size_t max = 0;
};

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsWordCharacter(char32_t c) {
    return IsDigit(c) || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_';
}
std::optional<unsigned> HexDigit(char32_t c) {
    if (IsDigit(c)) return static_cast<unsigned>(c - U'0');
    if (c >= U'a' && c <= U'f') return static_cast<unsigned>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F') return static_cast<unsigned>(c - U'A' + 10);
    return std::nullopt;
}

struct Range {
    char32_t first, last;
};

CodePointSet SetOf(std::initializer_list<Range> ranges) {
    CodePointSet set;
    for (const Range range : ranges) set.Add(range.first, range.last);
    return set;
}

CodePointSet Single(char32_t c) { return SetOf({{c, c}}); }

CodePointSet Digits() { return SetOf({{U'0', U'9'}}); }

CodePointSet WordCharacters() { return SetOf({{U'0', U'9'}, {U'A', U'Z'}, {U'_', U'_'}, {U'a', U'z'}}); }

// White space and line terminators as ECMAScript's \s has them.
CodePointSet Spaces() {
    return SetOf({{U'\t', U'\r'}, {U' ', U' '}, {0xA0, 0xA0}, {0x1680, 0x1680}, {0x2000, 0x200A}, {0x2028, 0x2029},
                  {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF}});
}

CodePointSet LineTerminators() { return SetOf({{U'\n', U'\n'}, {U'\r', U'\r'}, {0x2028, 0x2029}}); }

class Parser {
public:
    Parser(std::u32string_view pattern, std::vector<CodePointSet>& sets) : pattern_(pattern), sets_(sets) {}

    Node ParseWhole() {
        Node node = ParseAlternation(0);
        if (!AtEnd()) throw PatternError(Column(), "unmatched ) : write \\) for a parenthesis");
        return node;
    }

private:
    bool AtEnd() const { return at_ >= pattern_.size(); }
    char32_t Peek(std::size_t ahead = 0) const { return at_ + ahead < pattern_.size() ? pattern_[at_ + ahead] : 0; }
    std::size_t Column() const { return at_ + 1; }
    char32_t Take() { return pattern_[at_++]; }

    Node SetNode(CodePointSet set) {
        Node node = Node::Of(Node::Type::Character);
        node.set = static_cast<std::uint32_t>(sets_.size());
        sets_.push_back(std::move(set));
        return node;
    }

    Node ParseAlternation(std::size_t depth) {
        Node first = ParseConcat(depth);
        if (Peek() != U'|' || AtEnd()) return first;
        Node alternation = Node::Of(Node::Type::Alternation);
        alternation.children.push_back(std::move(first));
        while (!AtEnd() && Peek() == U'|') {
            ++at_;
            alternation.children.push_back(ParseConcat(depth));
        }
        return alternation;
    }

    Node ParseConcat(std::size_t depth) {
        Node concat = Node::Of(Node::Type::Concat);
        while (!AtEnd() && Peek() != U'|' && Peek() != U')') concat.children.push_back(ParseQuantified(depth));
        return concat;
    }

    Node ParseQuantified(std::size_t depth) {
        const std::size_t atomColumn = Column();
        Node atom = ParseAtom(depth);
        std::size_t min = 0;
        std::size_t max = 0;
        if (!ParseQuantifier(min, max)) return atom;
        if (atom.type == Node::Type::AtStart || atom.type == Node::Type::AtEnd)
            throw PatternError(atomColumn, "^ and $ cannot be repeated");
        if (!AtEnd() && Peek() == U'?') ++at_;  // lazy or greedy is all one for a whole-name match
        if (!AtEnd() && (Peek() == U'*' || Peek() == U'+' || Peek() == U'?' || StartsCountedRepeat()))
            throw PatternError(Column(), "nothing to repeat: a repeat follows a repeat (write (?:x*)* to repeat one)");
        Node repeat = Node::Of(Node::Type::Repeat);
        repeat.min = min;
        repeat.max = max;
        repeat.children.push_back(std::move(atom));
        return repeat;
    }

    bool StartsCountedRepeat() const {
        if (Peek() != U'{') return false;
        std::size_t i = at_ + 1;
        while (i < pattern_.size() && IsDigit(pattern_[i])) ++i;
        return i > at_ + 1;
    }

    bool ParseQuantifier(std::size_t& min, std::size_t& max) {
        if (AtEnd()) return false;
        switch (Peek()) {
            case U'*': ++at_; min = 0; max = kUnbounded; return true;
            case U'+': ++at_; min = 1; max = kUnbounded; return true;
            case U'?': ++at_; min = 0; max = 1; return true;
            case U'{': break;
            default: return false;
        }
        if (!StartsCountedRepeat()) return false;  // ParseAtom refuses the lone brace
        const std::size_t column = Column();
        ++at_;
        min = ParseCount(column);
        max = min;
        if (Peek() == U',') {
            ++at_;
            max = IsDigit(Peek()) ? ParseCount(column) : kUnbounded;
        }
        if (Take() != U'}') throw PatternError(column, "a repeat {m,n} without its closing }");
        if (max < min) throw PatternError(column, "the numbers of {m,n} are out of order: m must not exceed n");
        return true;
    }

    std::size_t ParseCount(std::size_t column) {
        std::size_t value = 0;
        if (!IsDigit(Peek())) throw PatternError(Column(), "a repeat {m,n} needs numbers");
        while (IsDigit(Peek())) {
            value = value * 10 + (Take() - U'0');
            if (value > NamePattern::kMostRepeats)
                throw PatternError(column, "a repeat count above " + std::to_string(NamePattern::kMostRepeats) +
                                               ": use + or * for long runs");
        }
        return value;
    }

    Node ParseAtom(std::size_t depth) {
        const std::size_t column = Column();
        const char32_t c = Take();
        switch (c) {
            case U'^': return Node::Of(Node::Type::AtStart);
            case U'$': return Node::Of(Node::Type::AtEnd);
            case U'.': return SetNode(LineTerminators().Complement());
            case U'(': return ParseGroup(depth, column);
            case U'[': return SetNode(ParseClass(column));
            case U'\\': return ParseEscape(column);
            case U'*':
            case U'+':
            case U'?': throw PatternError(column, "nothing to repeat before " + std::string(1, static_cast<char>(c)));
            case U'{':
                --at_;
                if (StartsCountedRepeat()) throw PatternError(column, "nothing to repeat before {");
                throw PatternError(column, "a lone { : write \\{ for a brace");
            case U'}': throw PatternError(column, "a lone } : write \\} for a brace");
            case U']': throw PatternError(column, "a lone ] : write \\] for a bracket");
            default: return SetNode(Single(c));
        }
    }

    Node ParseGroup(std::size_t depth, std::size_t column) {
        if (depth + 1 > NamePattern::kDeepestNesting)
            throw PatternError(column, "groups nested more than " + std::to_string(NamePattern::kDeepestNesting) +
                                           " deep");
        if (Peek() == U'?') ParseGroupKind(column);
        Node inner = ParseAlternation(depth + 1);
        if (AtEnd() || Take() != U')') throw PatternError(column, "this ( has no closing )");
        return inner;
    }

    // After "(?": a non-capturing or named group is a group; look-around is not regular.
    void ParseGroupKind(std::size_t column) {
        ++at_;
        const char32_t kind = AtEnd() ? 0 : Take();
        if (kind == U':') return;
        if (kind == U'=' || kind == U'!') throw PatternError(column, "look-ahead (?= (?! is not supported");
        if (kind == U'<' && (Peek() == U'=' || Peek() == U'!'))
            throw PatternError(column, "look-behind (?<= (?<! is not supported");
        if (kind == U'<') {
            const std::size_t start = at_;
            while (!AtEnd() && (IsWordCharacter(Peek()) || Peek() == U'$')) ++at_;
            if (at_ == start || IsDigit(pattern_[start]) || AtEnd() || Take() != U'>')
                throw PatternError(column, "a group name (?<name>...) must be letters, digits or _ closed by >");
            return;
        }
        throw PatternError(column, "unknown group (?" + std::string(kind < 0x80 && kind ? 1 : 0, static_cast<char>(kind)) +
                                       ": only (...), (?:...) and (?<name>...) are supported");
    }

    Node ParseEscape(std::size_t column) {
        if (auto set = ClassEscape()) return SetNode(std::move(*set));
        return SetNode(Single(CharacterEscape(column, false)));
    }

    // \d \D \w \W \s \S after a backslash; nothing taken when another escape follows.
    std::optional<CodePointSet> ClassEscape() {
        if (AtEnd()) return std::nullopt;
        std::optional<CodePointSet> set;
        switch (Peek()) {
            case U'd': set = Digits(); break;
            case U'D': set = Digits().Complement(); break;
            case U'w': set = WordCharacters(); break;
            case U'W': set = WordCharacters().Complement(); break;
            case U's': set = Spaces(); break;
            case U'S': set = Spaces().Complement(); break;
            default: return std::nullopt;
        }
        ++at_;
        return set;
    }

    // The character an escape stands for; column is the backslash's.
    char32_t CharacterEscape(std::size_t column, bool inClass) {
        if (AtEnd()) throw PatternError(column, "\\ at the end of the pattern: write \\\\ for a backslash");
        const char32_t c = Take();
        switch (c) {
            case U't': return U'\t';
            case U'n': return U'\n';
            case U'v': return U'\v';
            case U'f': return U'\f';
            case U'r': return U'\r';
            case U'0':
                if (IsDigit(Peek())) throw PatternError(column, "octal escapes are not supported: write \\xHH");
                return 0;
            case U'c': {
                const char32_t letter = AtEnd() ? 0 : Take();
                if (!((letter >= U'a' && letter <= U'z') || (letter >= U'A' && letter <= U'Z')))
                    throw PatternError(column, "\\c must be followed by a letter");
                return letter % 32;
            }
            case U'x': return HexEscape(column, 2);
            case U'u': return UnicodeEscape(column);
            case U'b':
                if (inClass) return U'\b';
                throw PatternError(column, "word boundaries \\b and \\B are not supported");
            case U'B': throw PatternError(column, "word boundaries \\b and \\B are not supported");
            case U'k': throw PatternError(column, "back-references \\k<name> are not supported");
            case U'p':
            case U'P': throw PatternError(column, "Unicode property escapes \\p{...} are not supported");
            default: break;
        }
        if (c >= U'1' && c <= U'9') throw PatternError(column, "back-references \\1 to \\9 are not supported");
        if (IsWordCharacter(c))
            throw PatternError(column, "unknown escape \\" + std::string(1, static_cast<char>(c)) +
                                           ": write the letter without the backslash");
        return c;  // any other character stands for itself: \. \* \- \| ...
    }

    char32_t HexEscape(std::size_t column, std::size_t digits) {
        char32_t value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            const auto digit = AtEnd() ? std::nullopt : HexDigit(Peek());
            if (!digit) throw PatternError(column, "\\x needs 2 and \\u 4 hexadecimal digits");
            value = value * 16 + *digit;
            ++at_;
        }
        return value;
    }

    char32_t UnicodeEscape(std::size_t column) {
        if (Peek() != U'{') return HexEscape(column, 4);
        ++at_;
        char32_t value = 0;
        std::size_t digits = 0;
        while (!AtEnd() && HexDigit(Peek())) {
            value = value * 16 + *HexDigit(Take());
            if (value > kLastCodePoint) throw PatternError(column, "\\u{...} above 10FFFF");
            ++digits;
        }
        if (digits == 0 || AtEnd() || Take() != U'}') throw PatternError(column, "\\u{...} needs hexadecimal digits and }");
        return value;
    }

    CodePointSet ParseClass(std::size_t column) {
        const bool negated = Peek() == U'^' && !AtEnd();
        if (negated) ++at_;
        CodePointSet set;
        for (;;) {
            if (AtEnd()) throw PatternError(column, "this [ has no closing ]");
            if (Peek() == U']') break;
            const std::size_t first = Column();
            CodePointSet lowSet;
            const auto low = ClassAtom(lowSet);
            if (Peek() == U'-' && Peek(1) != U']' && at_ + 1 < pattern_.size()) {
                ++at_;
                CodePointSet highSet;
                const auto high = ClassAtom(highSet);
                if (!low || !high) throw PatternError(first, "a range cannot begin or end with \\d, \\w or \\s");
                if (*high < *low) throw PatternError(first, "the range is out of order: write the lower end first");
                set.Add(*low, *high);
            } else {
                set.Add(lowSet);
            }
        }
        ++at_;
        return negated ? set.Complement() : set;
    }

    // One character (returned, and in set) or a class escape (in set only).
    std::optional<char32_t> ClassAtom(CodePointSet& set) {
        if (AtEnd()) return std::nullopt;
        const std::size_t column = Column();
        char32_t c = Take();
        if (c == U'\\') {
            if (auto escaped = ClassEscape()) {
                set = std::move(*escaped);
                return std::nullopt;
            }
            c = CharacterEscape(column, true);
        }
        set.Add(c, c);
        return c;
    }

    std::u32string_view pattern_;
    std::vector<CodePointSet>& sets_;
    std::size_t at_ = 0;
};

constexpr std::size_t kBeyond = NamePattern::kLargestProgram + 1;

// Instructions a node becomes, saturating at the limit so that nested repeats cannot overflow.
std::size_t SizeOf(const Node& node) {
    const auto add = [](std::size_t a, std::size_t b) { return std::min(a + b, kBeyond); };
    switch (node.type) {
        case Node::Type::Empty: return 0;
        case Node::Type::Character:
        case Node::Type::AtStart:
        case Node::Type::AtEnd: return 1;
        case Node::Type::Concat:
        case Node::Type::Alternation: {
            std::size_t size = node.type == Node::Type::Alternation ? 2 * (node.children.size() - 1) : 0;
            for (const Node& child : node.children) size = add(size, SizeOf(child));
            return size;
        }
        case Node::Type::Repeat: {
            const std::size_t body = SizeOf(node.children.front());
            const std::size_t copies = node.max == kUnbounded ? node.min + 1 : node.max;
            if (body > 0 && copies > kBeyond / (body + 2)) return kBeyond;
            return std::min(copies * (body + 2), kBeyond);
        }
    }
    return kBeyond;
}

class Emitter {
public:
    using Op = NamePattern::Op;
    explicit Emitter(std::vector<NamePattern::Instruction>& program) : program_(program) {}

    void Emit(const Node& node) {
        switch (node.type) {
            case Node::Type::Empty: return;
            case Node::Type::Character: Push(Op::Character, node.set); return;
            case Node::Type::AtStart: Push(Op::AtStart); return;
            case Node::Type::AtEnd: Push(Op::AtEnd); return;
            case Node::Type::Concat:
                for (const Node& child : node.children) Emit(child);
                return;
            case Node::Type::Alternation: EmitAlternation(node); return;
            case Node::Type::Repeat: EmitRepeat(node); return;
        }
    }

private:
    std::uint32_t Here() const { return static_cast<std::uint32_t>(program_.size()); }
    std::uint32_t Push(Op op, std::uint32_t first = 0, std::uint32_t second = 0) {
        program_.push_back({op, first, second});
        return Here() - 1;
    }

    void EmitAlternation(const Node& node) {
        std::vector<std::uint32_t> jumps;
        for (std::size_t i = 0; i + 1 < node.children.size(); ++i) {
            const std::uint32_t split = Push(Op::Split, Here() + 1);
            Emit(node.children[i]);
            jumps.push_back(Push(Op::Jump));
            program_[split].second = Here();
        }
        Emit(node.children.back());
        for (const std::uint32_t jump : jumps) program_[jump].first = Here();
    }

    void EmitRepeat(const Node& node) {
        const Node& body = node.children.front();
        for (std::size_t i = 0; i < node.min; ++i) Emit(body);
        if (node.max == kUnbounded) {
            const std::uint32_t loop = Push(Op::Split, Here() + 1);
            Emit(body);
            Push(Op::Jump, loop);
            program_[loop].second = Here();
            return;
        }
        std::vector<std::uint32_t> splits;
        for (std::size_t i = node.min; i < node.max; ++i) {
            splits.push_back(Push(Op::Split, Here() + 1));
            Emit(body);
        }
        for (const std::uint32_t split : splits) program_[split].second = Here();
    }

    std::vector<NamePattern::Instruction>& program_;
};

// The states a run is in, each once: insertion, membership and clearing in constant time.
class StateSet {
public:
    explicit StateSet(std::size_t size) : dense_(size), sparse_(size) {}
    bool Contains(std::uint32_t state) const {
        const std::uint32_t index = sparse_[state];
        return index < count_ && dense_[index] == state;
    }
    void Insert(std::uint32_t state) {
        sparse_[state] = static_cast<std::uint32_t>(count_);
        dense_[count_++] = state;
    }
    void Clear() { count_ = 0; }
    std::size_t size() const { return count_; }
    std::uint32_t operator[](std::size_t i) const { return dense_[i]; }

private:
    std::vector<std::uint32_t> dense_;
    std::vector<std::uint32_t> sparse_;
    std::size_t count_ = 0;
};

}  // namespace

void CodePointSet::Add(char32_t first, char32_t last) {
    ranges_.emplace_back(first, last);
    std::sort(ranges_.begin(), ranges_.end());
    std::vector<Range> merged;
    for (const Range& range : ranges_) {
        if (!merged.empty() && range.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, range.second);
        else
            merged.push_back(range);
    }
    ranges_ = std::move(merged);
}

void CodePointSet::Add(const CodePointSet& other) {
    for (const Range& range : other.ranges_) Add(range.first, range.second);
}

CodePointSet CodePointSet::Complement() const {
    CodePointSet complement;
    char32_t next = 0;
    for (const Range& range : ranges_) {
        if (range.first > next) complement.ranges_.emplace_back(next, range.first - 1);
        next = range.second + 1;
    }
    if (next <= kLastCodePoint) complement.ranges_.emplace_back(next, kLastCodePoint);
    return complement;
}

bool CodePointSet::Contains(char32_t c) const {
    const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                                        [](char32_t value, const Range& range) { return value < range.first; });
    return after != ranges_.begin() && c <= std::prev(after)->second;
}

NamePattern::NamePattern(std::u32string_view pattern) {
    if (pattern.size() > kLongestPattern)
        throw PatternError(kLongestPattern + 1, "the pattern is longer than " + std::to_string(kLongestPattern) +
                                                    " characters");
    const Node root = Parser(pattern, sets_).ParseWhole();
    if (SizeOf(root) + 1 > kLargestProgram)
        throw PatternError(1, "the pattern is too large once its repeats are written out (over " +
                                  std::to_string(kLargestProgram) + " states): use fewer or smaller {m,n}");
    Emitter(program_).Emit(root);
    program_.push_back({Op::Match});
}

MatchRun NamePattern::Run(std::u32string_view name) const {
    MatchRun run;
    StateSet current(program_.size());
    StateSet next(program_.size());
    std::vector<std::uint32_t> pending;
    // Follows the states that consume nothing from state, without recursion.
    const auto follow = [&](StateSet& states, std::uint32_t state, std::size_t position) {
        pending.push_back(state);
        while (!pending.empty()) {
            const std::uint32_t at = pending.back();
            pending.pop_back();
            if (states.Contains(at)) continue;
            states.Insert(at);
            ++run.steps;
            const Instruction& instruction = program_[at];
            switch (instruction.op) {
                case Op::Jump: pending.push_back(instruction.first); break;
                case Op::Split:
                    pending.push_back(instruction.second);
                    pending.push_back(instruction.first);
                    break;
                case Op::AtStart:
                    if (position == 0) pending.push_back(at + 1);
                    break;
                case Op::AtEnd:
                    if (position == name.size()) pending.push_back(at + 1);
                    break;
                case Op::Character:
                case Op::Match: break;
            }
        }
    };
    follow(current, 0, 0);
    for (std::size_t position = 0; position < name.size() && current.size() > 0; ++position) {
        next.Clear();
        for (std::size_t i = 0; i < current.size(); ++i) {
            const Instruction& instruction = program_[current[i]];
            ++run.steps;
            if (instruction.op == Op::Character && sets_[instruction.first].Contains(name[position]))
                follow(next, current[i] + 1, position + 1);
        }
        std::swap(current, next);
        if (position + 1 == name.size()) {
            run.matched = current.Contains(static_cast<std::uint32_t>(program_.size() - 1));
            return run;
        }
    }
    run.matched = !name.empty() ? false : current.Contains(static_cast<std::uint32_t>(program_.size() - 1));
    return run;
}

bool NamePattern::CanMatch() const {
    // A state of the search: an instruction, whether a character was read, whether $ was passed.
    const std::size_t size = program_.size();
    std::vector<bool> seen(size * 4);
    std::vector<std::size_t> pending{0};
    const auto visit = [&](std::size_t at, bool read, bool ended) {
        const std::size_t key = at * 4 + (read ? 2 : 0) + (ended ? 1 : 0);
        if (!seen[key]) {
            seen[key] = true;
            pending.push_back(key);
        }
    };
    seen[0] = true;
    while (!pending.empty()) {
        const std::size_t key = pending.back();
        pending.pop_back();
        const std::size_t at = key / 4;
        const bool read = key & 2;
        const bool ended = key & 1;
        const Instruction& instruction = program_[at];
        switch (instruction.op) {
            case Op::Match: return true;
            case Op::Character:
                if (!ended && !sets_[instruction.first].empty()) visit(at + 1, true, false);
                break;
            case Op::Jump: visit(instruction.first, read, ended); break;
            case Op::Split:
                visit(instruction.first, read, ended);
                visit(instruction.second, read, ended);
                break;
            case Op::AtStart:
                if (!read) visit(at + 1, read, ended);
                break;
            case Op::AtEnd: visit(at + 1, read, true); break;
        }
    }
    return false;
}

}  // namespace kvstcheck::rules
