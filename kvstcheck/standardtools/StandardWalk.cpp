#include "kvstcheck/standardtools/StandardWalk.h"

#include <algorithm>
#include <unordered_set>

#include "kvstcheck/standardtools/EditDistance.h"
#include "kvstcheck/standardtools/LoadedStandard.h"
#include "kvstcheck/standardtools/StandardWalkParts.h"

namespace kvstcheck {
namespace walk {
namespace {

constexpr wchar_t kMissingMarker[] = L"Return Err";

std::wstring AsciiFolded(std::string_view text) {
    std::wstring folded;
    for (const char c : text) folded.push_back(static_cast<wchar_t>(c >= 'A' && c <= 'Z' ? c + 32 : static_cast<unsigned char>(c)));
    return folded;
}

// The loader's reads answered from the image, as the plug-in's INI class answers them.
class ImageValues final : public standards::StandardValues {
public:
    ImageValues(const ProfileImage& image, const CodePageText& text) : image_(image), text_(text) {}

    bool TypeCount(std::int32_t& count) override { return CountOf("Common", "TypeCount", count); }
    bool NameCount(std::int16_t section, std::int32_t& count) override {
        return CountOf(TypeSection(section), "NameCount", count);
    }
    bool TypeName(std::int16_t section, std::wstring& text) override { return TextOf(TypeSection(section), "Type", text); }
    bool Name(std::int16_t section, std::int16_t name, std::wstring& text) override {
        return TextOf(TypeSection(section), "Name" + std::to_string(name), text);
    }

private:
    // The value through the read buffer, converted, leading spaces gone; the missing marker is no value.
    bool TextOf(const std::string& section, const std::string& key, std::wstring& text) const {
        std::wstring value = text_.Widen(image_.Answer(section, key, "Return Err"));
        value.erase(0, value.find_first_not_of(L' '));
        if (value == kMissingMarker) return false;
        text.swap(value);
        return true;
    }
    bool CountOf(const std::string& section, const std::string& key, std::int32_t& count) const {
        std::wstring text;
        if (!TextOf(section, key, text)) return false;
        const auto converted = text_.Count(text);
        if (converted) count = *converted;
        return converted.has_value();
    }

    const ProfileImage& image_;
    const CodePageText& text_;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string Quoted(const std::string& utf8) { return "\"" + utf8 + "\""; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

bool IsCommentLine(std::string_view name, bool hasValue) {
    if (!hasValue && name.substr(0, name.find('\0')).empty()) return true;
    return !name.empty() && (name[0] == ';' || name[0] == '#');
}

bool IsQuotedValue(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::string_view Unquoted(std::string_view value) { return IsQuotedValue(value) ? value.substr(1, value.size() - 2) : value; }

std::optional<long> NumberAfter(std::string_view text, std::string_view literal) {
    if (text.size() <= literal.size() || !EqualIgnoringAsciiCase(text.substr(0, literal.size()), literal)) return std::nullopt;
    const std::string_view digits = text.substr(literal.size());
    if (digits.size() > 6 || (digits.front() == '0' && digits.size() > 1)) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return std::stol(std::string(digits));
}

std::string TypeSection(long index) { return "Type" + std::to_string(index); }

std::optional<std::size_t> KindOfTypeName(std::wstring_view typeName) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (typeName == kTypeNames[kind]) return kind;
    return std::nullopt;
}

std::optional<KindGuess> GuessKind(const std::wstring& typeName, const CodePageText& text) {
    if (typeName.empty()) return std::nullopt;
    const std::wstring folded = text.FoldLetterCase(typeName);
    std::optional<KindGuess> nearest;
    std::size_t nearestDistance = 4;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        const std::wstring known = text.FoldLetterCase(kTypeNames[kind]);
        if (folded == known) return KindGuess{kind, true};
        const std::size_t distance = BoundedEditDistance(folded, known, 3);
        if (distance < nearestDistance) {
            nearest = KindGuess{kind, false};
            nearestDistance = distance;
        }
    }
    return nearest;
}

std::optional<std::string_view> MeantKey(std::string_view written, bool common) {
    static constexpr std::string_view kCommonKeys[] = {"TypeCount"};
    static constexpr std::string_view kTypeKeys[] = {"Type", "NameCount"};
    const std::span<const std::string_view> keys =
        common ? std::span<const std::string_view>(kCommonKeys) : std::span<const std::string_view>(kTypeKeys);
    const std::wstring folded = AsciiFolded(written);
    for (const std::string_view key : keys) {
        const std::size_t distance = BoundedEditDistance(folded, AsciiFolded(key), 2);
        if (distance > 0 && distance <= 2 && distance * 3 <= key.size()) return key;
    }
    return std::nullopt;
}

WalkFacts::WalkFacts(const ProfileImage& image, const CodePageText& text, bool checkBytes, bool suggestEdits,
                     std::vector<LintWarning>& warnings)
    : image(image),
      text(text),
      checkBytes(checkBytes),
      suggestEdits(suggestEdits),
      warnings(warnings),
      // Proofs walk the file again: a large file gets fewer of them, so that lint stays quick.
      proofsLeft_(static_cast<int>(std::min<std::size_t>(16, (std::size_t{8} << 20) / (image.Bytes().size() + 1)))) {}

void WalkFacts::Warn(std::uint32_t line, LintRule rule, std::string problem, std::string fix, std::optional<LintEdit> edit) {
    if (!suggestEdits) edit.reset();
    warnings.push_back(MakeLintWarning(line, rule, std::move(problem), std::move(fix), std::move(edit)));
}

const ProfileSection* WalkFacts::FirstSection(std::string_view name) const {
    const auto all = image.Sections();
    for (std::size_t i = 1; i < all.size(); ++i)
        if (EqualIgnoringAsciiCase(all[i].name, name)) return &all[i];
    return nullptr;
}

const ProfileEntry* WalkFacts::Entry(std::string_view section, std::string_view key) {
    const ProfileEntry* entry = image.Find(section, key);
    if (entry == nullptr || !entry->hasValue) return nullptr;
    read.insert(entry);
    return entry;
}

std::wstring WalkFacts::Value(std::string_view section, std::string_view key) const {
    std::wstring value = text.Widen(image.ReadString(section, key, "Return Err"));
    value.erase(0, value.find_first_not_of(L' '));
    return value;
}

std::string WalkFacts::Shown(std::string_view bytes) const { return text.Utf8(text.Widen(bytes)); }

std::string WalkFacts::Assignment(const ProfileEntry& entry) const {
    return Shown(image.Name(entry)) + "=" + Shown(*image.Value(entry));
}

std::optional<std::string> WalkFacts::LineReading(std::string_view key, std::string_view bytes) const {
    if (bytes.empty() || bytes.size() > kReadableBytes - 4) return std::nullopt;
    if (bytes.find_first_of(std::string_view("\r\n\0\v\f\x1a", 6)) != std::string_view::npos) return std::nullopt;
    // Quotes keep blanks at the ends, and the platform takes one pair of them off.
    const bool quote = IsBlank(bytes.front()) || IsBlank(bytes.back()) || IsQuotedValue(bytes);
    if (bytes.front() == ' ') return std::nullopt;  // the loader drops leading spaces even inside quotes
    std::string line = std::string(key) + "=";
    return quote ? line + "\"" + std::string(bytes) + "\"" : line + std::string(bytes);
}

long WalkFacts::NamesWithoutGap(const std::string& section) const {
    ImageValues values(image, text);
    const auto number = NumberAfter(section, "Type");
    if (!number || *number > kLargestCount) return 0;
    std::wstring name;
    long count = 0;
    while (count < kLargestCount &&
           values.Name(static_cast<std::int16_t>(*number), static_cast<std::int16_t>(count + 1), name))
        ++count;
    return count;
}

long WalkFacts::TypeSectionsWithoutGap() const {
    long count = 0;
    while (count < kLargestCount && FirstSection(TypeSection(count + 1)) != nullptr) ++count;
    return count;
}

std::optional<LintEdit> WalkFacts::IfProven(LintEdit edit, LintRule rule, std::uint32_t line) {
    if (!suggestEdits || proofsLeft_ <= 0) return std::nullopt;
    --proofsLeft_;
    if (!loadedNames_) loadedNames_ = LoadedNames(image);
    if (!unedited_) unedited_ = Walk(image, text, checkBytes, false, nullptr);
    const ProfileImage edited(ApplyLintEdit(image.Bytes(), edit));
    const auto names = LoadedNames(edited);
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        for (const std::wstring& name : (*loadedNames_)[kind])
            if (!names[kind].contains(name)) return std::nullopt;
    const std::uint32_t moved = LineAfterEdit(line, edit);
    for (const LintWarning& later : Walk(edited, text, checkBytes, false, nullptr)) {
        if (later.rule == rule && later.line == moved && moved != 0) return std::nullopt;
        if (later.severity != Severity::Error) continue;
        const bool known = std::any_of(unedited_->begin(), unedited_->end(), [&](const LintWarning& earlier) {
            return earlier.rule == later.rule && LineAfterEdit(earlier.line, edit) == later.line;
        });
        if (!known) return std::nullopt;
    }
    return edit;
}

audit::PerKind<std::unordered_set<std::wstring>> WalkFacts::LoadedNames(const ProfileImage& from) const {
    const standards::StandardLoad load = LoadFromImage(from, text, false);
    audit::PerKind<std::unordered_set<std::wstring>> names;
    if (!load.loaded) return names;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        for (const std::wstring_view name : load.kinds[kind].names) names[kind].emplace(name);
    return names;
}

std::vector<LintWarning> Walk(const ProfileImage& image, const CodePageText& text, bool checkBytes, bool suggestEdits,
                              LoadingStop* stop) {
    std::vector<LintWarning> warnings;
    WalkFacts facts(image, text, checkBytes, suggestEdits, warnings);
    ValueChecks values(facts);
    ReplayLoader(facts, values);
    // A stop before the first type name leaves the plug-in checking nothing: every audit passes.
    if (facts.checksNothing && facts.stopLine != 0 && facts.stopWarning < warnings.size())
        warnings[facts.stopWarning].severity = Severity::Error;
    for (const auto& kindNames : facts.names) values.CheckNames(kindNames);
    ReportUnread(facts);
    ReportDoubts(facts);
    if (stop != nullptr) {
        *stop = LoadingStop{0, {}, facts.unloaded};
        if (facts.stopLine != 0 && facts.stopWarning < warnings.size()) {
            stop->line = facts.stopLine;
            stop->problem = warnings[facts.stopWarning].problem;
        }
    }
    return warnings;
}

}  // namespace walk

const char* SeverityWord(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: break;
    }
    return "note";
}

std::optional<LintRule> LintRuleOfId(std::string_view id) {
    for (const LintRuleInfo& info : kLintRules)
        if (info.id == id) return info.rule;
    return std::nullopt;
}

LintWarning MakeLintWarning(std::uint32_t line, LintRule rule, std::string problem, std::string fix, std::optional<LintEdit> edit) {
    return {line, std::move(problem), std::move(fix), rule, InfoOf(rule).severity, std::move(edit)};
}

standards::StandardLoad LoadFromImage(const standards::ProfileImage& image, const CodePageText& text, bool withAccount) {
    walk::ImageValues values(image, text);
    return standards::LoadStandard(values, withAccount);
}

audit::PerKind<std::size_t> LoadedNameCounts(const standards::ProfileImage& image, const CodePageText& text) {
    const standards::StandardLoad load = LoadFromImage(image, text, false);
    audit::PerKind<std::size_t> counts{};
    if (!load.loaded) return counts;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        std::unordered_set<std::wstring_view> distinct(load.kinds[kind].names.begin(), load.kinds[kind].names.end());
        distinct.erase(std::wstring_view());
        counts[kind] = distinct.size();
    }
    return counts;
}

std::vector<LintWarning> WalkStandard(const standards::ProfileImage& image, const CodePageText& text, bool checkBytes,
                                      LoadingStop* stop) {
    return walk::Walk(image, text, checkBytes, true, stop);
}

std::vector<LintWarning> WalkStandardWithoutEdits(const standards::ProfileImage& image, const CodePageText& text, bool checkBytes) {
    return walk::Walk(image, text, checkBytes, false, nullptr);
}

}  // namespace kvstcheck
