#include "kvstcheck/standardtools/StandardWalk.h"

#include <algorithm>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "kvstcheck/standardtools/EditDistance.h"
#include "kvstcheck/standardtools/LoadedStandard.h"
#include "standards/StandardKeys.h"
#include "standards/StandardLoad.h"

namespace kvstcheck {
namespace {

using standards::ProfileEntry;
using standards::ProfileImage;
using standards::ProfileSection;

// The plug-in's read buffer holds this many bytes of a value.
constexpr std::size_t kReadableBytes = 254;
constexpr wchar_t kMissingMarker[] = L"Return Err";
constexpr unsigned kUtf8CodePage = 65001;
constexpr long kLargestCount = 32767;
constexpr audit::PerKind<const char*> kKindPlurals = {"layers", "linetypes", "text styles", "dimension styles"};

// Each rule's weight. A stop that leaves the first type unread is an error where it happens.
struct RuleWeight {
    std::string_view rule;
    Severity severity;
};
constexpr RuleWeight kRuleWeights[] = {
    {"no-common", Severity::Error},          {"no-type-count", Severity::Error},
    {"type-count-value", Severity::Error},   {"name-count-zero", Severity::Error},
    {"empty-first-type", Severity::Error},   {"duplicate-name", Severity::Note},
    {"unknown-key", Severity::Note},         {"unknown-section", Severity::Note},
};

Severity WeightOf(std::string_view rule) {
    for (const RuleWeight& weight : kRuleWeights)
        if (weight.rule == rule) return weight.severity;
    return Severity::Warning;
}

std::string Quoted(const std::string& utf8) { return "\"" + utf8 + "\""; }

std::wstring AsciiFolded(std::string_view text) {
    std::wstring folded;
    for (const char c : text) folded.push_back(static_cast<wchar_t>(c >= 'A' && c <= 'Z' ? c + 32 : static_cast<unsigned char>(c)));
    return folded;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

// Lines the platform skips or no reader means: comments, and lines of nothing but NULs.
bool IsCommentLine(std::string_view name, bool hasValue) {
    if (!hasValue && name.substr(0, name.find('\0')).empty()) return true;
    return !name.empty() && (name[0] == ';' || name[0] == '#');
}

bool IsQuotedValue(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::string_view Unquoted(std::string_view value) {
    return IsQuotedValue(value) ? value.substr(1, value.size() - 2) : value;
}

bool HasBytesAbove127(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 127; });
}

bool IsPlainNumber(std::wstring_view text) {
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::optional<std::size_t> KindOfTypeName(std::wstring_view typeName) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (typeName == kTypeNames[kind]) return kind;
    return std::nullopt;
}

// The number after a literal ("Name12" after "Name"), letter case ignored; nothing for another form.
std::optional<long> NumberAfter(std::string_view text, std::string_view literal) {
    if (text.size() <= literal.size() || !EqualIgnoringAsciiCase(text.substr(0, literal.size()), literal)) return std::nullopt;
    const std::string_view digits = text.substr(literal.size());
    if (digits.size() > 6 || (digits.front() == '0' && digits.size() > 1)) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return std::stol(std::string(digits));
}

std::string TypeSection(long index) { return "Type" + std::to_string(index); }

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

// The loader's way through an image, noting what it reads and where it reads otherwise than meant.
class LoaderWalk {
public:
    LoaderWalk(const ProfileImage& image, const CodePageText& text, bool checkBytes, std::vector<LintWarning>& warnings)
        : image_(image), text_(text), checkBytes_(checkBytes), warnings_(warnings) {}

    void Run() {
        WalkSections();
        // A stop before the first type name leaves the plug-in checking nothing: every audit passes.
        if (checksNothing_ && stopLine_ != 0 && stopWarning_ < warnings_.size())
            warnings_[stopWarning_].severity = Severity::Error;
        for (const auto& kindNames : names_) CheckNames(kindNames);
        ReportUnread();
        ReportDoubts();
    }

    LoadingStop stop() const {
        LoadingStop stop{0, {}, unloaded_};
        if (stopLine_ != 0 && stopWarning_ < warnings_.size()) {
            stop.line = stopLine_;
            stop.problem = warnings_[stopWarning_].problem;
        }
        return stop;
    }

private:
    struct SectionState {
        long nameCount = 0;    // m once NameCount was read
        long stoppedAt = 0;    // the name number where reading stopped; 0 when it did not
    };
    struct ReadName {
        std::wstring name;
        std::string key;
        std::uint32_t line;
    };

    void Warn(std::uint32_t line, const char* rule, std::string problem, std::string fix) {
        warnings_.push_back({line, std::move(problem), std::move(fix), rule, WeightOf(rule)});
    }

    const ProfileSection* FirstSection(std::string_view name) const {
        const auto sections = image_.Sections();
        for (std::size_t i = 1; i < sections.size(); ++i)
            if (EqualIgnoringAsciiCase(sections[i].name, name)) return &sections[i];
        return nullptr;
    }

    // The entry a read finds, or null when the read gives the missing marker.
    const ProfileEntry* Entry(std::string_view section, std::string_view key) {
        const ProfileEntry* entry = image_.Find(section, key);
        if (entry == nullptr || !entry->hasValue) return nullptr;
        read_.insert(entry);
        return entry;
    }

    // The value as the loader gets it: read through the buffer, converted, leading spaces gone.
    std::wstring Value(std::string_view section, std::string_view key) const {
        const std::string bytes = image_.ReadString(section, key, "Return Err");
        std::wstring text = text_.Widen(bytes);
        text.erase(0, text.find_first_not_of(L' '));
        return text;
    }

    // Bytes of the file as the plug-in sees them, in UTF-8.
    std::string Shown(std::string_view bytes) const { return text_.Utf8(text_.Widen(bytes)); }

    std::string ShownValue(const ProfileEntry& entry) const { return Shown(Unquoted(*image_.Value(entry))); }

    std::string Assignment(const ProfileEntry& entry) const {
        return Shown(image_.Name(entry)) + "=" + Shown(*image_.Value(entry));
    }

    // The loader's own walk over the image, told line by line from its account of the reading.
    void WalkSections() {
        ImageValues values(image_, text_);
        const standards::StandardLoad load = standards::LoadStandard(values, true);
        checksNothing_ = !load.loaded || !load.typeNames || load.typeNames->empty() || !load.typeNames->front() ||
                         load.typeNames->front()->empty();
        if (!load.account) return;
        reads_ = &load.account->reads;
        next_ = 0;
        const ProfileSection* common = FirstSection("Common");
        const standards::LoadRead* typeCountRead = Take();
        if (common == nullptr) {
            StopAt(1);
            Warn(1, "no-common", "there is no [Common] section, so the plug-in loads nothing and every audit against this file fails",
                 "begin the file with [Common] and TypeCount= the number of [TypeN] sections");
            return WalkPastStop();
        }
        read_.insert(common);
        const ProfileEntry* typeCountEntry = Entry("Common", "TypeCount");
        if (typeCountRead == nullptr || !typeCountRead->found || typeCountRead->count < 1) {
            StopAt(typeCountEntry ? typeCountEntry->line : common->line);
            if (typeCountEntry == nullptr)
                Warn(common->line, "no-type-count",
                     "[Common] has no TypeCount=" + MisspeltAt(*common, "TypeCount") +
                         ", so the plug-in loads nothing and every audit fails",
                     "add TypeCount= the number of [TypeN] sections under [Common]");
            else
                Warn(typeCountEntry->line, "type-count-value",
                     Assignment(*typeCountEntry) + " is not a number from 1 to 32767, so the plug-in loads nothing and "
                                                   "every audit fails",
                     "write the number of [TypeN] sections, for example TypeCount=4");
            return WalkPastStop();
        }
        CheckNumberForm(*typeCountEntry, Value("Common", "TypeCount"), static_cast<short>(typeCountRead->count));
        typeCount_ = typeCountRead->count;
        for (long type = 1; type <= typeCount_; ++type) WalkTypeSection(type, typeCountEntry->line);
    }

    // With no count of sections to go by, the type sections the file numbers from [Type1] without a gap.
    void WalkPastStop() {
        for (long type = 1; type <= kLargestCount && FirstSection(TypeSection(type)) != nullptr; ++type)
            WalkTypeSection(type, 0);
    }

    // One type section as the loader reads it, or, past where loading stops, as it would if it went on.
    void WalkTypeSection(long type, std::uint32_t typeCountLine) {
        const std::string section = TypeSection(type);
        const std::string later = type < typeCount_ ? ", so [" + TypeSection(type + 1) + "] and later are never read" : "";
        const ProfileSection* header = FirstSection(section);
        const standards::LoadRead typeRead = Asked(standards::LoadRead::Of::TypeName, type);
        if (header == nullptr) {
            if (StopsHere(typeCountLine))
                Warn(typeCountLine, "type-count-gap",
                     "TypeCount=" + std::to_string(typeCount_) + ", but there is no [" + section +
                         "]: the plug-in stops loading there" + later,
                     "number the type sections from [Type1] without a gap, or write TypeCount=" + std::to_string(type - 1));
            return;
        }
        read_.insert(header);
        const ProfileEntry* typeEntry = Entry(section, "Type");
        std::optional<std::size_t> kind;
        if (!typeRead.found || typeEntry == nullptr) {
            const std::string stops = StopWords(header->line, later);
            Warn(header->line, "missing-type", "[" + section + "] has no Type=" + MisspeltAt(*header, "Type") + ": " + stops,
                 "add Type= the type of its names (AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle)");
        } else {
            CheckValue(*typeEntry, "Type");
            kind = KindOfTypeName(typeRead.text);
            if (!kind) WarnOfTypeName(*typeEntry, typeRead.text, section);
            if (kind && pastStop_)
                Unloaded(*kind, "loading stops before [" + section + "] at line " + std::to_string(header->line));
        }
        const standards::LoadRead countRead = Asked(standards::LoadRead::Of::NameCount, type);
        const ProfileEntry* countEntry = Entry(section, "NameCount");
        if (!countRead.found || countEntry == nullptr) {
            const std::uint32_t line = countEntry ? countEntry->line : header->line;
            unchecked_.insert(header);
            if (kind) Unloaded(*kind, "loading stops in [" + section + "] at line " + std::to_string(line) + ", before its names");
            const std::string stops = StopWords(line, later);
            if (countEntry == nullptr)
                Warn(line, "no-name-count", "[" + section + "] has no NameCount=" + MisspeltAt(*header, "NameCount") + ": " + stops,
                     "add NameCount= the number of its names");
            else
                Warn(line, "name-count-value", Assignment(*countEntry) + " is not a number from 1 to 32767: " + stops,
                     "write the number of its names, for example NameCount=3");
            return;
        }
        WalkCountedNames(type, typeRead.text, kind, *header, *countEntry, countRead.count);
    }

    void WalkCountedNames(long type, const std::wstring& typeName, std::optional<std::size_t> kind,
                          const ProfileSection& header, const ProfileEntry& countEntry, long count) {
        const std::string section = TypeSection(type);
        CheckNumberForm(countEntry, Value(section, "NameCount"), static_cast<short>(count));
        SectionState& state = sections_[&header];
        state.nameCount = count;
        if (count < 1) {
            if (kind)
                Warn(countEntry.line, "name-count-zero",
                     Assignment(countEntry) + " under Type=" + text_.Utf8(typeName) +
                         (StopsHere(countEntry.line) ? ": the plug-in cannot load the file at all, and every audit against it fails"
                                                     : ": past where loading stops, yet the plug-in would refuse the file here too"),
                     "list at least one name, or remove the section and lower TypeCount");
            return;
        }
        if (kind) {
            if (declaredBy_[*kind])
                Warn(declaredBy_[*kind]->second, "duplicate-kind",
                     "[" + TypeSection(declaredBy_[*kind]->first) + "] and [" + section + "] (line " +
                         std::to_string(header.line) + ") both declare " + text_.Utf8(typeName) +
                         ": the later one wins, so the names of [" + TypeSection(declaredBy_[*kind]->first) +
                         "] are never used",
                     "merge the names into one section");
            declaredBy_[*kind] = std::make_pair(type, header.line);
            names_[*kind].clear();
        }
        WalkNames(type, count, kind, countEntry, state);
    }

    // The names of a section; past a gap, which ends the section's reading, the names still written
    // are checked as the plug-in would read them.
    void WalkNames(long type, long count, std::optional<std::size_t> kind, const ProfileEntry& countEntry,
                   SectionState& state) {
        const std::string section = TypeSection(type);
        for (long number = 1; number <= count; ++number) {
            const std::string key = "Name" + std::to_string(number);
            const standards::LoadRead nameRead = state.stoppedAt == 0 ? Asked(standards::LoadRead::Of::Name, type, number)
                                                                      : ImageRead(standards::LoadRead::Of::Name, type, number);
            const ProfileEntry* nameEntry = Entry(section, key);
            if (!nameRead.found || nameEntry == nullptr) {
                if (state.stoppedAt == 0) WarnOfNameGap(section, key, number, count, kind, countEntry);
                if (state.stoppedAt == 0) state.stoppedAt = number;
                continue;
            }
            CheckValue(*nameEntry, key);
            if (kind) names_[*kind].push_back({nameRead.text, key, nameEntry->line});
        }
    }

    void WarnOfNameGap(const std::string& section, const std::string& key, long number, long count,
                       std::optional<std::size_t> kind, const ProfileEntry& countEntry) {
        const long empty = count - number + 1;
        const ProfileEntry* written = image_.Find(section, key);
        const bool marker = written != nullptr && written->hasValue;
        std::string problem = marker ? Assignment(*written) + " reads as a missing name"
                                     : "NameCount=" + std::to_string(count) + ", but [" + section + "] has no " + key;
        problem += ": the plug-in stops reading the section there";
        if (number < count) problem += ", so Name" + std::to_string(number + 1) + " and later are never read";
        if (kind) problem += ", and the list of " + std::string(kKindPlurals[*kind]) + " keeps " + std::to_string(empty) +
                             (empty == 1 ? " empty name" : " empty names");
        Warn(marker ? written->line : countEntry.line, marker ? "missing-marker" : "name-gap", std::move(problem),
             "number the names from Name1 without a gap, or write NameCount=" + std::to_string(number - 1));
    }

    // The loader's next read, in its order; past where it stops, the read it would make if it went on.
    standards::LoadRead Asked(standards::LoadRead::Of of, long section, long name = 0) {
        if (!pastStop_ && reads_ != nullptr && next_ < reads_->size()) return (*reads_)[next_++];
        return ImageRead(of, section, name);
    }

    standards::LoadRead ImageRead(standards::LoadRead::Of of, long section, long name) const {
        ImageValues values(image_, text_);
        standards::LoadRead read{of, static_cast<std::int16_t>(section), static_cast<std::int16_t>(name), false, 0, {}};
        switch (of) {
            case standards::LoadRead::Of::TypeCount: read.found = values.TypeCount(read.count); break;
            case standards::LoadRead::Of::TypeName: read.found = values.TypeName(read.section, read.text); break;
            case standards::LoadRead::Of::NameCount: read.found = values.NameCount(read.section, read.count); break;
            case standards::LoadRead::Of::Name: read.found = values.Name(read.section, read.name, read.text); break;
        }
        return read;
    }

    // The first read of the account, before any other.
    const standards::LoadRead* Take() noexcept {
        return reads_ != nullptr && next_ < reads_->size() ? &(*reads_)[next_++] : nullptr;
    }

    // Whether loading ends here, the first place it does; what follows is walked as if it went on.
    bool StopsHere(std::uint32_t line) {
        if (pastStop_) return false;
        StopAt(line);
        return true;
    }

    // What a line that ends loading does: the first one stops it, a later one would stop it again.
    std::string StopWords(std::uint32_t line, const std::string& later) {
        return StopsHere(line) ? "the plug-in stops loading here" + later
                               : "past where loading stops, yet the plug-in would stop here too";
    }

    // Where loading ends.
    void StopAt(std::uint32_t line) {
        pastStop_ = true;
        stopLine_ = line;
        stopWarning_ = warnings_.size();  // the warning that follows says why
    }

    // A count that Automation reads from another form ("4.4", "&H4") than a plain number.
    void CheckNumberForm(const ProfileEntry& entry, const std::wstring& text, short count) {
        if (IsPlainNumber(text)) return;
        Warn(entry.line, "number-form", Assignment(entry) + " is read as " + std::to_string(count),
             "write the whole number: " + Shown(image_.Name(entry)) + "=" + std::to_string(count));
    }

    // The kind a type name the plug-in does not know most likely means: one in another letter case, or
    // a few letters off.
    struct KindGuess {
        std::size_t kind;
        bool letterCaseOnly;
    };
    std::optional<KindGuess> GuessKind(const std::wstring& typeName) const {
        if (typeName.empty()) return std::nullopt;
        const std::wstring folded = text_.FoldLetterCase(typeName);
        std::optional<KindGuess> nearest;
        std::size_t nearestDistance = 4;
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            const std::wstring known = text_.FoldLetterCase(kTypeNames[kind]);
            if (folded == known) return KindGuess{kind, true};
            const std::size_t distance = BoundedEditDistance(folded, known, 3);
            if (distance < nearestDistance) {
                nearest = KindGuess{kind, false};
                nearestDistance = distance;
            }
        }
        return nearest;
    }

    // Why a kind the file means has no list; the first reason is the one that counts.
    void Unloaded(std::size_t kind, std::string why) {
        if (unloaded_[kind].empty()) unloaded_[kind] = std::move(why);
    }

    void WarnOfTypeName(const ProfileEntry& entry, const std::wstring& typeName, const std::string& section) {
        const bool first = section == TypeSection(1);
        const std::string written = "Type=" + text_.Utf8(typeName);
        if (const auto guess = GuessKind(typeName))
            Unloaded(guess->kind, "[" + section + "] has " + written + " at line " + std::to_string(entry.line) + ", not " +
                                      text_.Utf8(kTypeNames[guess->kind]));
        if (typeName.empty()) {
            Warn(entry.line, first ? "empty-first-type" : "empty-type",
                 first ? "Type= is empty in [Type1], so the plug-in checks nothing at all"
                       : "Type= is empty, so the plug-in ignores the names of this section",
                 "write the type of its names: AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle");
            return;
        }
        const auto guess = GuessKind(typeName);
        if (guess && guess->letterCaseOnly) {
            Warn(entry.line, "type-name-case",
                 written + ": the plug-in compares type names with their letter case, so it ignores the names of this section",
                 "write Type=" + text_.Utf8(kTypeNames[guess->kind]));
            return;
        }
        if (guess) {
            Warn(entry.line, "misspelt-type",
                 written + " is no type name the plug-in knows (misspelt?), so it ignores the names of this section",
                 "write Type=" + text_.Utf8(kTypeNames[guess->kind]) + " if these are " + kKindPlurals[guess->kind]);
            return;
        }
        Warn(entry.line, "unknown-type", written + " is none of the four types the plug-in checks, so it reads the names of this section and ignores them",
             "use AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle, or remove the section");
    }

    // What the value becomes on its way to the plug-in: spaces, length and characters.
    void CheckValue(const ProfileEntry& entry, const std::string& key) {
        const std::string_view value = Unquoted(*image_.Value(entry));
        const std::string shown = ShownValue(entry);
        if (IsQuotedValue(*image_.Value(entry)) && !value.empty() && value.front() == ' ') {
            const auto kept = value.find_first_not_of(' ');
            Warn(entry.line, "leading-space",
                 key + "=" + Quoted(shown) + ": the plug-in drops the leading spaces and reads " +
                     Quoted(kept == std::string_view::npos ? "" : Shown(value.substr(kept))),
                 "remove the leading spaces: a name that begins with a space cannot be listed");
        }
        if (value.size() > kReadableBytes)
            Warn(entry.line, "value-too-long",
                 key + " is " + std::to_string(value.size()) + " bytes long; the plug-in reads only its first " +
                     std::to_string(kReadableBytes) + " bytes, so a drawing name of the full length never matches",
                 "shorten it to " + std::to_string(kReadableBytes) + " bytes at most");
        if (!checkBytes_ || !HasBytesAbove127(value)) return;
        const std::string codePage = std::to_string(text_.CodePage());
        if (text_.CodePage() != kUtf8CodePage && text_.IsUtf8(value))
            Warn(entry.line, "utf8-text",
                 key + " is written in UTF-8 (" + Quoted(std::string(value)) + "), but the plug-in reads it in code page " +
                     codePage + " as " + Quoted(shown),
                 "save the file in code page " + codePage + " (ANSI), not UTF-8");
        else if (!text_.Readable(value))
            Warn(entry.line, "unreadable-bytes", key + " holds bytes that code page " + codePage + " cannot read; the plug-in reads " + Quoted(shown),
                 "save the file in code page " + codePage + " (ANSI)");
    }

    void CheckNames(const std::vector<ReadName>& names) {
        std::unordered_map<std::wstring, const ReadName*> exact;
        std::unordered_map<std::wstring, const ReadName*> folded;
        for (const ReadName& name : names) {
            if (name.name.empty()) {
                Warn(name.line, "empty-name", name.key + "= is empty: it allows only a name that is empty",
                     "write the name, or remove the line and renumber the names");
                continue;
            }
            if (const auto earlier = exact.find(name.name); earlier != exact.end()) {
                Warn(name.line, "duplicate-name",
                     name.key + "=" + text_.Utf8(name.name) + " repeats " + earlier->second->key + " (line " +
                         std::to_string(earlier->second->line) + ")",
                     "remove the repeated name");
                continue;
            }
            exact.emplace(name.name, &name);
            const auto [other, fresh] = folded.emplace(text_.FoldLetterCase(name.name), &name);
            if (!fresh)
                Warn(name.line, "letter-case-pair",
                     name.key + "=" + text_.Utf8(name.name) + " differs from " + Quoted(text_.Utf8(other->second->name)) +
                         " (line " + std::to_string(other->second->line) +
                         ") only in letter case: the plug-in allows both as two names",
                     "keep only the spelling that drawings should use");
        }
    }

    void ReportUnread() {
        const auto sections = image_.Sections();
        for (std::size_t index = 0; index < sections.size(); ++index) {
            const ProfileSection& section = sections[index];
            const std::string name = Shown(section.name);
            if (index == 0) {
                for (const ProfileEntry& entry : image_.EntriesOf(section))
                    if (!IsCommentLine(image_.Name(entry), entry.hasValue) && !entry.dropped)
                        Warn(entry.line, "before-first-section", "this line comes before the first [section], so the plug-in never reads it",
                             "move it into its section, or begin it with ';' to make it a comment");
                continue;
            }
            if (!read_.contains(&section)) {
                ReportUnreadSection(section, name);
                continue;
            }
            const bool uncounted = unchecked_.contains(&section);
            const auto state = sections_.find(&section);
            const bool isCommon = EqualIgnoringAsciiCase(section.name, "Common");
            std::vector<const ProfileEntry*> seen;
            for (const ProfileEntry& entry : image_.EntriesOf(section)) {
                if (IsCommentLine(image_.Name(entry), entry.hasValue) || entry.dropped || read_.contains(&entry) ||
                    (uncounted && entry.hasValue && NumberAfter(image_.Name(entry), "Name"))) {
                    seen.push_back(&entry);
                    continue;
                }
                const auto found = std::find_if(seen.begin(), seen.end(), [&](const ProfileEntry* earlier) {
                    return earlier->hasValue && EqualIgnoringAsciiCase(image_.Name(*earlier), image_.Name(entry));
                });
                const ProfileEntry* same = found == seen.end() ? nullptr : *found;
                seen.push_back(&entry);
                const std::string key = Shown(image_.Name(entry));
                if (!entry.hasValue) {
                    Warn(entry.line, "no-equals", Quoted(key) + " has no '=', so the plug-in never reads this line",
                         "write it as Key=Value, or begin it with ';' to make it a comment");
                } else if (same != nullptr) {
                    Warn(entry.line, "duplicate-key",
                         key + "= appears again in [" + name + "] (first at line " + std::to_string(same->line) +
                             "): the plug-in reads only the first",
                         "remove one of them");
                } else if (const auto number = NumberAfter(image_.Name(entry), "Name"); number && !isCommon && state != sections_.end()) {
                    // Names after a gap are told with the gap.
                    if (state->second.stoppedAt != 0 && *number <= state->second.nameCount && *number > 0) continue;
                    if (*number > state->second.nameCount)
                        Warn(entry.line, "name-above-count",
                             key + " is above NameCount=" + std::to_string(state->second.nameCount) +
                                 ", so the plug-in never reads it",
                             "write NameCount=" + std::to_string(*number) + " if it belongs, or remove the line");
                    else
                        Warn(entry.line, "name-unread", key + " is never read by the plug-in", "number the names Name1, Name2, ...");
                } else if (const auto meant = MeantKey(image_.Name(entry), isCommon)) {
                    Warn(entry.line, "misspelt-key",
                         key + "= is never read by the plug-in: it reads " + std::string(*meant) + "= (misspelt?)",
                         "write " + std::string(*meant) + "=" + Shown(*image_.Value(entry)));
                } else if (isCommon) {
                    Warn(entry.line, "unknown-key", key + "= is never read by the plug-in: [Common] holds only TypeCount",
                         "remove the line");
                } else {
                    Warn(entry.line, "unknown-key",
                         key + "= is never read by the plug-in: a type section holds only Type, NameCount and Name1 "
                               "to NameN",
                         "remove the line");
                }
            }
        }
    }

    // The kind an unread type section declares has no list because of it.
    void NoteUnreadKind(const ProfileSection& section, const std::string& name) {
        const ProfileEntry* type = image_.Find(section.name, "Type");
        if (type == nullptr || !type->hasValue) return;
        std::wstring typeName = text_.Widen(Unquoted(*image_.Value(*type)));
        typeName.erase(0, typeName.find_first_not_of(L' '));
        auto kind = KindOfTypeName(typeName);
        if (!kind) {
            const auto guess = GuessKind(typeName);
            if (guess) kind = guess->kind;
        }
        if (kind) Unloaded(*kind, "[" + name + "] at line " + std::to_string(section.line) + " is never read");
    }

    // The key the plug-in reads that a key it never reads most likely misspells: one or two letters off.
    std::optional<std::string_view> MeantKey(std::string_view written, bool common) const {
        static constexpr std::string_view kCommonKeys[] = {"TypeCount"};
        static constexpr std::string_view kTypeKeys[] = {"Type", "NameCount"};
        const std::span<const std::string_view> keys = common ? std::span<const std::string_view>(kCommonKeys)
                                                              : std::span<const std::string_view>(kTypeKeys);
        const std::wstring folded = AsciiFolded(written);
        for (const std::string_view key : keys) {
            const std::size_t distance = BoundedEditDistance(folded, AsciiFolded(key), 2);
            if (distance > 0 && distance <= 2 && distance * 3 <= key.size()) return key;
        }
        return std::nullopt;
    }

    // Where a section misspells a key it lacks: " (line 4 has Typ=)", or nothing.
    std::string MisspeltAt(const ProfileSection& section, std::string_view key) const {
        const bool common = EqualIgnoringAsciiCase(section.name, "Common");
        for (const ProfileEntry& entry : image_.EntriesOf(section))
            if (entry.hasValue && !IsCommentLine(image_.Name(entry), entry.hasValue) && MeantKey(image_.Name(entry), common) == key)
                return " (line " + std::to_string(entry.line) + " has " + Shown(image_.Name(entry)) + "=, misspelt?)";
        return {};
    }

    void ReportUnreadSection(const ProfileSection& section, const std::string& name) {
        const ProfileSection* first = FirstSection(section.name);
        if (first != &section) {
            Warn(section.line, "duplicate-section",
                 "[" + name + "] appears again (first at line " + std::to_string(first->line) +
                     "): the plug-in reads only the first one",
                 "merge the two into one section");
            return;
        }
        const auto number = NumberAfter(section.name, "Type");
        if (number && *number >= 1) NoteUnreadKind(section, name);
        if (number && *number >= 1 && stopLine_ != 0 && (typeCount_ == 0 || *number <= typeCount_)) {
            Warn(section.line, "after-stop", "[" + name + "] is never read: loading stops before it (line " + std::to_string(stopLine_) + ")",
                 "fix the line where loading stops");
        } else if (number && *number > typeCount_ && typeCount_ > 0) {
            Warn(section.line, "section-above-count", "[" + name + "] is never read: TypeCount=" + std::to_string(typeCount_),
                 "write TypeCount=" + std::to_string(*number) + " if it belongs, or remove the section");
        } else {
            Warn(section.line, "unknown-section",
                 "[" + name + "] is never read: the plug-in reads only [Common] and [Type1] to [TypeN]",
                 "remove the section, or number it as the next [TypeN] and raise TypeCount");
        }
    }

    void ReportDoubts() {
        using standards::PlatformDoubt;
        for (const standards::DoubtAt& at : image_.Doubts()) {
            const auto warn = [&](std::string problem, std::string fix) {
                warnings_.push_back({at.line, std::move(problem), std::move(fix), kWindowsDiffersRule, Severity::Warning});
            };
            switch (at.doubt) {
                case PlatformDoubt::PageOrFormFeedOrEof:
                    warn("the line holds a page break, form feed or end-of-file character, which Windows may read "
                         "otherwise than other platforms",
                         "remove the character");
                    break;
                case PlatformDoubt::QuoteInKeyName:
                    warn("the key's name holds a quote; Windows does not find such keys", "remove the quote");
                    break;
                case PlatformDoubt::QuotedValueFillsBuffer:
                    warn("the quoted value is 254 bytes long or longer: Windows may read it otherwise",
                         "shorten the name, or remove the quotes");
                    break;
                case PlatformDoubt::BareLineReadAsKey:
                    // Only a name the plug-in reads is read otherwise; other lines are told as unread.
                    if (standards::IsStandardKeyName(at.name))
                        warn("this line without '=' names a key the plug-in reads: Windows may read it otherwise",
                             "write it as Key=Value, or remove the line");
                    break;
                case PlatformDoubt::SeveralClosingBrackets:
                    warn("the section header holds more than one ']': Windows names the section up to the first one",
                         "write the header as [Name] with one ']'");
                    break;
                case PlatformDoubt::EmptySectionName:
                    warn("[] names no section, and Windows reads what it holds otherwise", "name the section or remove it");
                    break;
                case PlatformDoubt::UnclosedSectionHeader:
                    warn("the line opens a section without ']': Windows reads it as a section header, other platforms "
                         "as a plain line",
                         "close the header with ']'");
                    break;
                case PlatformDoubt::UntrimmedEdgeByte:
                    warn("a name or value begins or ends with a no-break space or a control character (0x1C-0x1F), "
                         "which Windows may trim",
                         "remove the character");
                    break;
                case PlatformDoubt::VeryLongLine:
                    warn("the line is 32,768 bytes long or longer: Windows may read it otherwise", "shorten the line");
                    break;
                case PlatformDoubt::Utf8ByteOrderMark:
                case PlatformDoubt::Utf16ByteOrderMark:
                case PlatformDoubt::NulByte:
                    break;  // told with the file's encoding, or refused as binary content
            }
        }
    }

    const ProfileImage& image_;
    const CodePageText& text_;
    bool checkBytes_;
    std::vector<LintWarning>& warnings_;
    long typeCount_ = 0;
    bool checksNothing_ = false;
    audit::PerKind<std::string> unloaded_{};
    std::uint32_t stopLine_ = 0;
    std::size_t stopWarning_ = 0;
    bool pastStop_ = false;
    // Sections with no count of names to go by: their name lines are told with the missing count.
    std::unordered_set<const ProfileSection*> unchecked_;
    std::unordered_set<const void*> read_;
    std::unordered_map<const ProfileSection*, SectionState> sections_;
    // The names each kind's list receives, with their lines.
    audit::PerKind<std::vector<ReadName>> names_;
    // The section that declared each kind last, and its header's line.
    audit::PerKind<std::optional<std::pair<long, std::uint32_t>>> declaredBy_;
    const std::vector<standards::LoadRead>* reads_ = nullptr;
    std::size_t next_ = 0;
};


}  // namespace

const char* SeverityWord(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: break;
    }
    return "note";
}

std::vector<LintWarning> WalkStandard(const ProfileImage& image, const CodePageText& text, bool checkBytes,
                                      LoadingStop* stop) {
    std::vector<LintWarning> warnings;
    LoaderWalk walk(image, text, checkBytes, warnings);
    walk.Run();
    if (stop != nullptr) *stop = walk.stop();
    return warnings;
}

}  // namespace kvstcheck
