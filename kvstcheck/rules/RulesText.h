#pragma once
// The text of a rules file or a code list as people save it (Notepad writes UTF-8 with a byte order
// mark, or UTF-16), what of it the TOML parser must not see, and the lines that edits change. Portable.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/Rules.h"

namespace kvstcheck::rules {

// UTF-8 with or without its byte order mark, or UTF-16 with its mark (either byte order), as UTF-8
// without a mark. Without text, where the first thing that is not text stands and what it is.
struct DecodedText {
    std::optional<std::string> text;
    std::size_t line = 0;
    std::size_t column = 0;
    std::string why;
};
DecodedText DecodeText(std::string_view bytes);

// The first character of decoded text that the parser must not be given, as the problem it is.
std::optional<RulesProblem> UnparseableCharacter(std::string_view text, const std::string& file);

// The lines of a text without their line ends ("\n", "\r\n").
std::vector<std::string_view> SplitLines(std::string_view text);
// The byte offset in a line of a column (code points from 1); the line's size beyond its end.
std::size_t ByteOfColumn(std::string_view line, std::size_t column);
// The text with one edit made; unchanged when the edit's line is not in it.
std::string ApplyEdit(std::string_view text, const LineEdit& edit);

}  // namespace kvstcheck::rules
