#pragma once
// The machine form of a lint fix: one line replaced, deleted, or a line inserted after it, in the
// file's own bytes. Portable, so that a fix can be applied and proven without the platform.
#include <cstdint>
#include <string>
#include <string_view>

namespace kvstcheck {

struct LintEdit {
    enum class Action : std::uint8_t { Replace, Delete, InsertAfter };
    Action action = Action::Replace;
    std::uint32_t line = 0;  // 1-based; InsertAfter takes 0 for the file's start
    std::string text;        // the new line, without its line break, in the file's code page

    bool operator==(const LintEdit&) const = default;
};

// The bytes with the edit made; lines split at CR LF, LF and a lone CR as the reader splits them, and
// an inserted line ends as the line before it does (CR LF where that one has no break). Bytes of
// other lines are kept as they are. An edit of a line the bytes do not have leaves them unchanged.
std::string ApplyLintEdit(std::string_view bytes, const LintEdit& edit);

// Where a line of the bytes before the edit is found after it: 0 for the deleted line.
std::uint32_t LineAfterEdit(std::uint32_t line, const LintEdit& edit);

}  // namespace kvstcheck
