#include "kvstcheck/standardtools/LintEdit.h"

#include <optional>

namespace kvstcheck {
namespace {

struct LineSpan {
    std::size_t start;
    std::size_t end;       // where the text stops
    std::size_t nextLine;  // past the line break
};

std::optional<LineSpan> FindLine(std::string_view bytes, std::uint32_t line) {
    std::size_t start = 0;
    for (std::uint32_t number = 1; start <= bytes.size(); ++number) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        std::size_t next = end;
        if (next < bytes.size()) next += bytes.substr(end, 2) == "\r\n" ? 2 : 1;
        if (number == line) return LineSpan{start, end, next};
        if (next == end) return std::nullopt;  // the last line
        start = next;
    }
    return std::nullopt;
}

}  // namespace

std::string ApplyLintEdit(std::string_view bytes, const LintEdit& edit) {
    std::string result(bytes);
    if (edit.action == LintEdit::Action::InsertAfter && edit.line == 0) return result.insert(0, edit.text + "\r\n");
    const auto span = FindLine(bytes, edit.line);
    if (!span) return result;
    switch (edit.action) {
        case LintEdit::Action::Replace: return result.replace(span->start, span->end - span->start, edit.text);
        case LintEdit::Action::Delete: return result.erase(span->start, span->nextLine - span->start);
        case LintEdit::Action::InsertAfter: break;
    }
    const std::string_view lineBreak = span->nextLine > span->end ? bytes.substr(span->end, span->nextLine - span->end) : "\r\n";
    if (span->nextLine == span->end) return result.insert(span->end, std::string(lineBreak) + edit.text);
    return result.insert(span->nextLine, edit.text + std::string(lineBreak));
}

std::uint32_t LineAfterEdit(std::uint32_t line, const LintEdit& edit) {
    if (line == 0 || line < edit.line || (line == edit.line && edit.action != LintEdit::Action::Delete)) return line;
    switch (edit.action) {
        case LintEdit::Action::Replace: return line;
        case LintEdit::Action::Delete: return line == edit.line ? 0 : line - 1;
        case LintEdit::Action::InsertAfter: break;
    }
    return line + 1;
}

}  // namespace kvstcheck
