#pragma once
// A name layout made of fields, each with its list of codes:
// "{discipline}-{major}[-{minor}][-{status}]", "{agent:2}{element:6}". A field without a width ends
// where the literal text after it begins; [...] parts may be left out. A finding can then say which
// field is wrong and which code was likely meant. Portable.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kvstcheck::rules {

// A layout that cannot be used; column counts code points from 1.
class FormatError : public std::runtime_error {
public:
    FormatError(std::size_t column, const std::string& problem) : std::runtime_error(problem), column_(column) {}
    std::size_t column() const noexcept { return column_; }

private:
    std::size_t column_;
};

struct FieldCodes {
    std::string name;  // as in the layout; "_" reads as a space in messages
    std::vector<std::u32string> codes;
};

struct FieldProblem {
    std::string field;  // for messages: "major group"
    std::u32string value;
    std::vector<std::u32string> nearest;  // up to three codes a few edits away, nearest first
};

struct FormatVerdict {
    bool fits = false;                   // the name has the layout's form
    std::vector<FieldProblem> problems;  // fields whose values are not codes
};

// Literal text as a pattern that matches it alone: the pattern syntax's special characters escaped.
std::u32string EscapedForPattern(std::u32string_view literal);

class NameFormat {
public:
    static constexpr std::size_t kMostOptionalParts = 8;

    // Throws FormatError: a field named in the layout without codes, an unclosed { or [, ...
    NameFormat(std::u32string_view layout, std::vector<FieldCodes> fields);

    FormatVerdict Check(std::u32string_view name) const;
    const std::u32string& layout() const noexcept { return layout_; }
    // Whether the layout has the field, and whether a code could ever be its value: as wide as the
    // field, without the literal text that ends it.
    bool Uses(std::string_view field) const;
    bool CodeCanFit(std::string_view field, std::u32string_view code) const;
    // A pattern that matches exactly the names of the layout's form, codes aside; nullopt where a
    // field ends at literal text longer than one character (no pattern says "up to the first ...").
    std::optional<std::u32string> FormPattern() const;

private:
    struct Token {
        std::u32string literal;     // for literal text
        std::size_t field = 0;      // index into fields_, for a field
        std::size_t width = 0;      // a field's fixed width; 0 for one that ends at the next literal
        bool isField = false;
        int optionalPart = -1;      // the [...] part holding the token, -1 for none
    };

    FormatVerdict Walk(std::u32string_view name, unsigned present) const;
    std::vector<const Token*> Chosen(unsigned present) const;
    std::optional<std::u32string> ChoicePattern(unsigned present) const;
    std::vector<std::u32string> Nearest(const FieldCodes& field, std::u32string_view value) const;

    std::u32string layout_;
    std::vector<FieldCodes> fields_;
    std::vector<Token> tokens_;
    int optionalParts_ = 0;
};

}  // namespace kvstcheck::rules
