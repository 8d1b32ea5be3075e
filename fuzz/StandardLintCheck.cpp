#include "StandardLintCheck.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "kvstcheck/standardtools/StandardWalk.h"

namespace fuzzcheck {
namespace {

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        unsigned code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const unsigned shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// A code page in which every byte is the character of its own number (ISO 8859-1), converted
// without the platform.
class Latin1Text : public kvstcheck::CodePageText {
public:
    unsigned CodePage() const override { return 28591; }
    std::wstring Widen(std::string_view bytes) const override {
        std::wstring text;
        for (const char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        return text;
    }
    std::string Utf8(std::wstring_view text) const override {
        std::string bytes;
        for (const wchar_t c : text) {
            const unsigned code = (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : static_cast<unsigned>(c);
            if (code < 0x80) {
                bytes += static_cast<char>(code);
            } else if (code < 0x800) {
                bytes += static_cast<char>(0xC0 | code >> 6);
                bytes += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                bytes += static_cast<char>(0xE0 | code >> 12);
                bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                bytes += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
        return bytes;
    }
    bool Readable(std::string_view) const override { return true; }
    bool IsUtf8(std::string_view bytes) const override { return IsValidUtf8(bytes); }
    std::optional<short> Count(const std::wstring& text) const override {
        std::wstring_view digits = text;
        while (!digits.empty() && digits.front() == L' ') digits.remove_prefix(1);
        while (!digits.empty() && digits.back() == L' ') digits.remove_suffix(1);
        const bool negative = !digits.empty() && digits.front() == L'-';
        if (!digits.empty() && (digits.front() == L'-' || digits.front() == L'+')) digits.remove_prefix(1);
        if (digits.empty() || digits.size() > 6) return std::nullopt;
        long value = 0;
        for (const wchar_t c : digits) {
            if (c < L'0' || c > L'9') return std::nullopt;
            value = value * 10 + (c - L'0');
        }
        if (negative) value = -value;
        if (value < -32768 || value > 32767) return std::nullopt;
        return static_cast<short>(value);
    }
    std::wstring FoldLetterCase(std::wstring_view name) const override {
        std::wstring folded(name);
        for (wchar_t& c : folded)
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
        return folded;
    }
};

std::uint32_t LineCount(std::string_view bytes) {
    std::uint32_t lines = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) ++lines;
    return lines;
}

bool IsKebabCase(std::string_view rule) {
    const auto allowed = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; };
    return !rule.empty() && rule.front() != '-' && rule.back() != '-' && std::all_of(rule.begin(), rule.end(), allowed) &&
           rule.find("--") == std::string_view::npos;
}

// A warning's rule at a line, to find it again after an edit.
using RuleAt = std::pair<kvstcheck::LintRule, std::uint32_t>;

// One suggested edit, applied and linted again: its warning is gone, no error appears that was not a
// problem before, and no list loads fewer names.
std::string ProveEdit(const standards::ProfileImage& image, const std::vector<kvstcheck::LintWarning>& before,
                      const kvstcheck::LintWarning& warning, const Latin1Text& text) {
    const kvstcheck::LintEdit& edit = *warning.edit;
    const standards::ProfileImage edited{kvstcheck::ApplyLintEdit(image.Bytes(), edit)};
    const auto after = kvstcheck::WalkStandardWithoutEdits(edited, text, true);
    const std::string what = std::string(warning.Id()) + " at line " + std::to_string(warning.line) + ": its edit ";
    std::set<RuleAt> problems;
    for (const auto& earlier : before) problems.insert({earlier.rule, kvstcheck::LineAfterEdit(earlier.line, edit)});
    const std::uint32_t line = kvstcheck::LineAfterEdit(warning.line, edit);
    for (const auto& later : after) {
        if (later.rule == warning.rule && later.line == line && line != 0) return what + "leaves the warning";
        if (later.severity == kvstcheck::Severity::Error && !problems.contains({later.rule, later.line}))
            return what + "brings the error " + std::string(later.Id()) + " at line " + std::to_string(later.line);
    }
    const auto namesBefore = kvstcheck::LoadedNameCounts(image, text);
    const auto namesAfter = kvstcheck::LoadedNameCounts(edited, text);
    for (std::size_t kind = 0; kind < namesBefore.size(); ++kind)
        if (namesAfter[kind] < namesBefore[kind])
            return what + "loads " + std::to_string(namesAfter[kind]) + " names of kind " + std::to_string(kind) + " where " +
                   std::to_string(namesBefore[kind]) + " loaded";
    return {};
}

std::string ProveEdits(const standards::ProfileImage& image, const std::vector<kvstcheck::LintWarning>& warnings,
                       const Latin1Text& text, std::size_t* proven) {
    std::size_t tried = 0;
    for (const auto& warning : warnings) {
        if (!warning.edit) continue;
        // Files with hundreds of fixes prove the first ones: each proof lints the whole file again.
        if (++tried > kEditsProvenPerFile) break;
        if (std::string broken = ProveEdit(image, warnings, warning, text); !broken.empty()) return broken;
        if (proven != nullptr) ++*proven;
    }
    return {};
}

}  // namespace

std::string CheckLintEdits(std::string_view bytes, std::size_t* proven) {
    const standards::ProfileImage image{std::string(bytes)};
    const Latin1Text text;
    return ProveEdits(image, kvstcheck::WalkStandard(image, text, true), text, proven);
}

std::string CheckStandardLint(std::string_view bytes) {
    const standards::ProfileImage image{std::string(bytes)};
    const Latin1Text text;
    const auto warnings = kvstcheck::WalkStandard(image, text, true);
    const std::uint32_t lines = LineCount(bytes);
    for (const auto& warning : warnings) {
        const std::string where = "warning at line " + std::to_string(warning.line);
        if (warning.line > lines) return where + " of a file of " + std::to_string(lines) + " lines";
        if (warning.problem.empty() || warning.fix.empty()) return where + " without its problem or fix";
        if (!IsKebabCase(warning.Id())) return where + " without a rule id in kebab case";
        if (!IsValidUtf8(warning.problem) || !IsValidUtf8(warning.fix)) return where + " is not valid UTF-8";
    }
    if (kvstcheck::WalkStandard(image, text, true) != warnings) return "a second walk gives other warnings";
    return ProveEdits(image, warnings, text, nullptr);
}

}  // namespace fuzzcheck
