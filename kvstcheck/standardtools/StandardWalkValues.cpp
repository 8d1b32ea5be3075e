// What a value becomes on its way to the plug-in, and the names each list receives.
#include <algorithm>
#include <unordered_map>

#include "kvstcheck/standardtools/StandardWalkParts.h"

namespace kvstcheck::walk {
namespace {

constexpr unsigned kUtf8CodePage = 65001;

bool HasBytesAbove127(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 127; });
}

std::string_view TrimBlanks(std::string_view bytes) {
    const auto first = bytes.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return bytes.substr(first, bytes.find_last_not_of(" \t") - first + 1);
}

// Where an inline comment begins: ';' anywhere, or '#' after a blank ('#' alone is legal in names).
std::size_t CommentStart(std::string_view value) {
    std::size_t at = value.find(';');
    for (std::size_t i = 1; i < std::min(at, value.size()); ++i)
        if (value[i] == '#' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return i;
    return at;
}

bool HasInnerWhiteSpace(std::wstring_view name) {
    return name.find(L'\t') != std::wstring_view::npos || name.find(L"  ") != std::wstring_view::npos;
}

}  // namespace

void ValueChecks::CheckValue(const ProfileEntry& entry, const std::string& key) {
    const std::string_view written = *facts_.image.Value(entry);
    const std::string_view value = Unquoted(written);
    const std::string shown = facts_.Shown(value);
    const std::string_view keyName = facts_.image.Name(entry);
    if (IsQuotedValue(written) && !value.empty() && value.front() == ' ') {
        const auto kept = value.find_first_not_of(' ');
        const std::string_view read = kept == std::string_view::npos ? std::string_view() : value.substr(kept);
        const auto line = facts_.LineReading(keyName, read);
        facts_.Warn(entry.line, LintRule::LeadingSpace,
                    key + "=" + Quoted(shown) + ": the plug-in drops the leading spaces and reads " + Quoted(facts_.Shown(read)),
                    (line ? "write " + facts_.Shown(*line) + ": " : std::string("remove the leading spaces: ")) +
                        "a name that begins with a space cannot be listed",
                    line ? std::optional<LintEdit>(LintEdit{LintEdit::Action::Replace, entry.line, *line}) : std::nullopt);
    }
    if (value.size() > kReadableBytes) {
        const auto line = IsQuotedValue(written) ? std::nullopt : facts_.LineReading(keyName, value.substr(0, kReadableBytes));
        facts_.Warn(entry.line, LintRule::ValueTooLong,
                    key + " is " + std::to_string(value.size()) + " bytes long; the plug-in reads only its first " +
                        std::to_string(kReadableBytes) + " bytes, so a drawing name of the full length never matches",
                    "shorten it to " + std::to_string(kReadableBytes) + " bytes at most",
                    line ? std::optional<LintEdit>(LintEdit{LintEdit::Action::Replace, entry.line, *line}) : std::nullopt);
    }
    if (facts_.checkBytes && HasBytesAbove127(value)) CheckBytes(entry, key, value);
}

void ValueChecks::CheckBytes(const ProfileEntry& entry, const std::string& key, std::string_view value) {
    const std::string shown = facts_.Shown(value);
    const std::string codePage = std::to_string(facts_.text.CodePage());
    if (facts_.text.CodePage() != kUtf8CodePage && facts_.text.IsUtf8(value))
        facts_.Warn(entry.line, LintRule::Utf8Text,
                    key + " is written in UTF-8 (" + Quoted(std::string(value)) + "), but the plug-in reads it in code page " +
                        codePage + " as " + Quoted(shown),
                    "save the file in code page " + codePage + " (ANSI), not UTF-8");
    else if (!facts_.text.Readable(value))
        facts_.Warn(entry.line, LintRule::UnreadableBytes,
                    key + " holds bytes that code page " + codePage + " cannot read; the plug-in reads " + Quoted(shown),
                    "save the file in code page " + codePage + " (ANSI)");
}

void ValueChecks::CheckMeant(const ReadName& name, const std::unordered_set<std::wstring>& listed) {
    const std::string_view written = *facts_.image.Value(*name.entry);
    const bool quoted = IsQuotedValue(written);
    const std::string_view value = Unquoted(written);
    // Quotes say the name is meant as written, but for blanks at its ends; a value that is all comment
    // has no name before it to suggest.
    std::size_t comment = quoted ? std::string_view::npos : CommentStart(value);
    if (comment != std::string_view::npos && TrimBlanks(value.substr(0, comment)).empty()) comment = std::string_view::npos;
    const bool blankEnds =
        quoted && !value.empty() && (value.back() == ' ' || value.back() == '\t' || value.front() == '\t');
    if (comment == std::string_view::npos && !blankEnds) {
        if (!quoted && HasInnerWhiteSpace(name.name))
            facts_.Warn(name.entry->line, LintRule::InnerWhiteSpace,
                        name.key + "=" + facts_.text.Utf8(name.name) + " holds a tab or two spaces in a row: the plug-in allows exactly " +
                            Quoted(facts_.text.Utf8(name.name)) + ", and a drawing's name with one space does not match it",
                        "write the name as drawings spell it");
        return;
    }
    const std::string_view meant = TrimBlanks(comment != std::string_view::npos ? value.substr(0, comment) : value);
    const std::wstring meantName = facts_.text.Widen(meant);
    const bool taken = listed.contains(meantName);
    const auto line = meant.empty() || taken ? std::nullopt : facts_.LineReading(facts_.image.Name(*name.entry), meant);
    const std::string allowed = "the plug-in allows " + Quoted(facts_.text.Utf8(name.name)) + ", not " + Quoted(facts_.Shown(meant));
    const std::string after = taken ? " (" + Quoted(facts_.Shown(meant)) + " is listed already: remove this name and renumber)" : "";
    const auto edit = line ? std::optional<LintEdit>(LintEdit{LintEdit::Action::Replace, name.entry->line, *line}) : std::nullopt;
    if (comment != std::string_view::npos)
        facts_.Warn(name.entry->line, LintRule::InlineComment,
                    name.key + " holds a comment: " + allowed + " (a comment is a line of its own that begins with ';')",
                    (line ? "write " + facts_.Shown(*line) + ", and the comment on a line of its own" : "write the name alone") + after,
                    edit);
    else
        facts_.Warn(name.entry->line, LintRule::QuotedSpace,
                    name.key + "=" + facts_.Shown(written) + ": the quotes keep the blanks at its ends, so " + allowed,
                    (line ? "write " + facts_.Shown(*line) : "remove the blanks inside the quotes") + after, edit);
}

void ValueChecks::CheckNames(const std::vector<ReadName>& names) {
    std::unordered_set<std::wstring> listed;
    for (const ReadName& name : names) listed.insert(name.name);
    std::unordered_map<std::wstring, const ReadName*> exact;
    std::unordered_map<std::wstring, const ReadName*> folded;
    for (const ReadName& name : names) {
        const std::uint32_t line = name.entry->line;
        if (name.name.empty()) {
            facts_.Warn(line, LintRule::EmptyName, name.key + "= is empty: it allows only a name that is empty",
                        "write the name, or remove the line and renumber the names");
            continue;
        }
        CheckMeant(name, listed);
        if (const auto earlier = exact.find(name.name); earlier != exact.end()) {
            facts_.Warn(line, LintRule::DuplicateName,
                        name.key + "=" + facts_.text.Utf8(name.name) + " repeats " + earlier->second->key + " (line " +
                            std::to_string(earlier->second->entry->line) + ")",
                        "remove the repeated name");
            continue;
        }
        exact.emplace(name.name, &name);
        const auto [other, fresh] = folded.emplace(facts_.text.FoldLetterCase(name.name), &name);
        if (!fresh)
            facts_.Warn(line, LintRule::LetterCasePair,
                        name.key + "=" + facts_.text.Utf8(name.name) + " differs from " + Quoted(facts_.text.Utf8(other->second->name)) +
                            " (line " + std::to_string(other->second->entry->line) +
                            ") only in letter case: the plug-in allows both as two names",
                        "keep only the spelling that drawings should use");
    }
}

}  // namespace kvstcheck::walk
