#include "kvstcheck/standardtools/Lint.h"

#include <oleauto.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/Hints.h"
#include "kvstcheck/standardtools/LetterCase.h"
#include "standards/AnsiText.h"
#include "standards/ProfileImage.h"

namespace kvstcheck {
namespace {

using standards::ProfileEntry;
using standards::ProfileImage;
using standards::ProfileSection;

// The plug-in's read buffer holds this many bytes of a value.
constexpr std::size_t kReadableBytes = 254;
constexpr wchar_t kMissingMarker[] = L"Return Err";
constexpr audit::PerKind<const char*> kKindPlurals = {"layers", "linetypes", "text styles", "dimension styles"};
constexpr audit::PerKind<const char*> kKindWords = {"layer", "linetype", "text style", "dimension style"};
// How many names of a kind the text output shows.
constexpr std::size_t kNamesShown = 12;

std::string Quoted(const std::string& utf8) { return "\"" + utf8 + "\""; }

// The bytes as the platform converts them from the code page.
std::wstring Widened(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return DecodeUtf8(ValidUtf8(bytes)).value_or(std::wstring());
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::string Shown(std::string_view bytes, UINT codePage) { return EncodeUtf8(Widened(bytes, codePage)); }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

// Lines the platform skips or no reader means: comments, and lines of nothing but NULs.
bool IsComment(const ProfileEntry& entry) {
    if (!entry.value && entry.name.substr(0, entry.name.find('\0')).empty()) return true;
    return !entry.name.empty() && (entry.name[0] == ';' || entry.name[0] == '#');
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

// The count conversion of the plug-in's INI class: Automation's, in the invariant locale.
std::optional<SHORT> CountOf(const std::wstring& text) {
    SHORT value = 0;
    if (FAILED(::VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_INVARIANT, 0, &value))) return std::nullopt;
    return value;
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

// The loader's way through an image, noting what it reads and where it reads otherwise than meant.
class LoaderWalk {
public:
    LoaderWalk(const ProfileImage& image, UINT codePage, bool checkBytes, std::vector<LintWarning>& warnings)
        : image_(image), codePage_(codePage), checkBytes_(checkBytes), warnings_(warnings) {}

    void Run() {
        WalkSections();
        for (const auto& kindNames : names_) CheckNames(kindNames);
        ReportUnread();
        ReportDoubts();
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

    void Warn(std::uint32_t line, std::string problem, std::string fix) {
        warnings_.push_back({line, std::move(problem), std::move(fix)});
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
        if (entry == nullptr || !entry->value) return nullptr;
        read_.insert(entry);
        return entry;
    }

    // The value as the loader gets it: read through the buffer, converted, leading spaces gone.
    std::wstring Value(std::string_view section, std::string_view key) const {
        const std::string bytes = image_.ReadString(section, key, "Return Err");
        std::wstring text = Widened(bytes, codePage_);
        text.erase(0, text.find_first_not_of(L' '));
        return text;
    }

    std::string ShownValue(const ProfileEntry& entry) const { return Shown(Unquoted(*entry.value), codePage_); }

    std::string Assignment(const ProfileEntry& entry) const {
        return Shown(entry.name, codePage_) + "=" + Shown(*entry.value, codePage_);
    }

    void WalkSections() {
        const ProfileSection* common = FirstSection("Common");
        if (common == nullptr) {
            StopAt(1, nullptr);
            Warn(1, "there is no [Common] section, so the plug-in loads nothing and every audit against this file fails",
                 "begin the file with [Common] and TypeCount= the number of [TypeN] sections");
            return;
        }
        read_.insert(common);
        const ProfileEntry* typeCountEntry = Entry("Common", "TypeCount");
        const std::wstring typeCountText = typeCountEntry ? Value("Common", "TypeCount") : kMissingMarker;
        const auto typeCount = typeCountText == kMissingMarker ? std::nullopt : CountOf(typeCountText);
        if (!typeCount || *typeCount < 1) {
            StopAt(typeCountEntry ? typeCountEntry->line : common->line, nullptr);
            if (typeCountEntry == nullptr)
                Warn(common->line, "[Common] has no TypeCount=, so the plug-in loads nothing and every audit fails",
                     "add TypeCount= the number of [TypeN] sections under [Common]");
            else
                Warn(typeCountEntry->line,
                     Assignment(*typeCountEntry) + " is not a number from 1 to 32767, so the plug-in loads nothing and "
                                                   "every audit fails",
                     "write the number of [TypeN] sections, for example TypeCount=4");
            return;
        }
        CheckNumberForm(*typeCountEntry, typeCountText, *typeCount);
        typeCount_ = *typeCount;
        audit::PerKind<std::optional<std::pair<long, std::uint32_t>>> declaredBy;  // section number, its line

        for (long type = 1; type <= typeCount_; ++type) {
            const std::string section = TypeSection(type);
            const std::string later = type < typeCount_ ? ", so [" + TypeSection(type + 1) + "] and later are never read" : "";
            const ProfileSection* header = FirstSection(section);
            if (header == nullptr) {
                StopAt(typeCountEntry->line, nullptr);
                Warn(typeCountEntry->line,
                     "TypeCount=" + std::to_string(typeCount_) + ", but there is no [" + section +
                         "]: the plug-in stops loading there" + later,
                     "number the type sections from [Type1] without a gap, or write TypeCount=" + std::to_string(type - 1));
                return;
            }
            read_.insert(header);
            const ProfileEntry* typeEntry = Entry(section, "Type");
            const std::wstring typeName = typeEntry ? Value(section, "Type") : kMissingMarker;
            if (typeName == kMissingMarker) {
                StopAt(header->line, header);
                Warn(header->line, "[" + section + "] has no Type=: the plug-in stops loading here" + later,
                     "add Type= the type of its names (AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle)");
                return;
            }
            CheckValue(*typeEntry, "Type");
            const auto kind = KindOfTypeName(typeName);
            if (!kind) WarnOfTypeName(*typeEntry, typeName, type == 1);

            const ProfileEntry* countEntry = Entry(section, "NameCount");
            const std::wstring countText = countEntry ? Value(section, "NameCount") : kMissingMarker;
            const auto count = countText == kMissingMarker ? std::nullopt : CountOf(countText);
            if (!count) {
                const std::uint32_t line = countEntry ? countEntry->line : header->line;
                StopAt(line, header);
                if (countEntry == nullptr)
                    Warn(line, "[" + section + "] has no NameCount=: the plug-in stops loading here" + later,
                         "add NameCount= the number of its names");
                else
                    Warn(line, Assignment(*countEntry) + " is not a number from 1 to 32767: the plug-in stops loading here" + later,
                         "write the number of its names, for example NameCount=3");
                return;
            }
            CheckNumberForm(*countEntry, countText, *count);
            SectionState& state = sections_[header];
            state.nameCount = *count;
            if (*count < 1) {
                if (kind) {
                    StopAt(countEntry->line, header);
                    Warn(countEntry->line,
                         Assignment(*countEntry) + " under Type=" + EncodeUtf8(typeName) +
                             ": the plug-in cannot load the file at all, and every audit against it fails",
                         "list at least one name, or remove the section and lower TypeCount");
                    return;
                }
                continue;
            }
            if (kind) {
                if (declaredBy[*kind])
                    Warn(declaredBy[*kind]->second,
                         "[" + TypeSection(declaredBy[*kind]->first) + "] and [" + section + "] (line " +
                             std::to_string(header->line) + ") both declare " + EncodeUtf8(typeName) +
                             ": the later one wins, so the names of [" + TypeSection(declaredBy[*kind]->first) +
                             "] are never used",
                         "merge the names into one section");
                declaredBy[*kind] = std::make_pair(type, header->line);
                names_[*kind].clear();
            }
            for (long number = 1; number <= *count; ++number) {
                const std::string key = "Name" + std::to_string(number);
                const ProfileEntry* nameEntry = Entry(section, key);
                const std::wstring name = nameEntry ? Value(section, key) : kMissingMarker;
                if (name == kMissingMarker) {
                    state.stoppedAt = number;
                    const long empty = *count - number + 1;
                    std::string problem = nameEntry ? Assignment(*nameEntry) + " reads as a missing name"
                                                    : "NameCount=" + std::to_string(*count) + ", but [" + section +
                                                          "] has no " + key;
                    problem += ": the plug-in stops reading the section there";
                    if (number < *count) problem += ", so Name" + std::to_string(number + 1) + " and later are never read";
                    if (kind) problem += ", and the list of " + std::string(kKindPlurals[*kind]) + " keeps " +
                                         std::to_string(empty) + (empty == 1 ? " empty name" : " empty names");
                    Warn(nameEntry ? nameEntry->line : countEntry->line, std::move(problem),
                         "number the names from Name1 without a gap, or write NameCount=" + std::to_string(number - 1));
                    break;
                }
                CheckValue(*nameEntry, key);
                if (kind) names_[*kind].push_back({name, key, nameEntry->line});
            }
        }
    }

    // Where loading ends, and the section it ends in (whose other lines that warning covers).
    void StopAt(std::uint32_t line, const ProfileSection* section) {
        stopLine_ = line;
        stoppedIn_ = section;
    }

    // A count that Automation reads from another form ("4.4", "&H4") than a plain number.
    void CheckNumberForm(const ProfileEntry& entry, const std::wstring& text, SHORT count) {
        if (IsPlainNumber(text)) return;
        Warn(entry.line, Assignment(entry) + " is read as " + std::to_string(count),
             "write the whole number: " + Shown(entry.name, codePage_) + "=" + std::to_string(count));
    }

    void WarnOfTypeName(const ProfileEntry& entry, const std::wstring& typeName, bool first) {
        const std::string written = "Type=" + EncodeUtf8(typeName);
        if (typeName.empty()) {
            Warn(entry.line,
                 first ? "Type= is empty in [Type1], so the plug-in checks nothing at all"
                       : "Type= is empty, so the plug-in ignores the names of this section",
                 "write the type of its names: AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle");
            return;
        }
        const std::wstring folded = FoldLetterCase(typeName);
        std::optional<std::size_t> nearest;
        std::size_t nearestDistance = 4;
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            const std::wstring known = FoldLetterCase(kTypeNames[kind]);
            if (folded == known) {
                Warn(entry.line, written + ": the plug-in compares type names with their letter case, so it ignores "
                                           "the names of this section",
                     "write Type=" + EncodeUtf8(kTypeNames[kind]));
                return;
            }
            const std::size_t distance = BoundedEditDistance(folded, known, 3);
            if (distance < nearestDistance) {
                nearest = kind;
                nearestDistance = distance;
            }
        }
        if (nearest) {
            Warn(entry.line, written + " is no type name the plug-in knows (misspelt?), so it ignores the names of this section",
                 "write Type=" + EncodeUtf8(kTypeNames[*nearest]) + " if these are " + kKindPlurals[*nearest]);
            return;
        }
        Warn(entry.line, written + " is none of the four types the plug-in checks, so it reads the names of this section and ignores them",
             "use AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle, or remove the section");
    }

    // What the value becomes on its way to the plug-in: spaces, length and characters.
    void CheckValue(const ProfileEntry& entry, const std::string& key) {
        const std::string_view value = Unquoted(*entry.value);
        const std::string shown = ShownValue(entry);
        if (IsQuotedValue(*entry.value) && !value.empty() && value.front() == ' ') {
            const auto kept = value.find_first_not_of(' ');
            Warn(entry.line,
                 key + "=" + Quoted(shown) + ": the plug-in drops the leading spaces and reads " +
                     Quoted(kept == std::string_view::npos ? "" : Shown(value.substr(kept), codePage_)),
                 "remove the leading spaces: a name that begins with a space cannot be listed");
        }
        if (value.size() > kReadableBytes)
            Warn(entry.line,
                 key + " is " + std::to_string(value.size()) + " bytes long; the plug-in reads only its first " +
                     std::to_string(kReadableBytes) + " bytes, so a drawing name of the full length never matches",
                 "shorten it to " + std::to_string(kReadableBytes) + " bytes at most");
        if (!checkBytes_ || !HasBytesAbove127(value)) return;
        const std::string codePage = std::to_string(codePage_);
        if (codePage_ != CP_UTF8 && DecodeUtf8(value))
            Warn(entry.line,
                 key + " is written in UTF-8 (" + Quoted(std::string(value)) + "), but the plug-in reads it in code page " +
                     codePage + " as " + Quoted(shown),
                 "save the file in code page " + codePage + " (ANSI), not UTF-8");
        else if (!DecodeCodePage(value, codePage_))
            Warn(entry.line, key + " holds bytes that code page " + codePage + " cannot read; the plug-in reads " + Quoted(shown),
                 "save the file in code page " + codePage + " (ANSI)");
    }

    void CheckNames(const std::vector<ReadName>& names) {
        std::unordered_map<std::wstring, const ReadName*> exact;
        std::unordered_map<std::wstring, const ReadName*> folded;
        for (const ReadName& name : names) {
            if (name.name.empty()) {
                Warn(name.line, name.key + "= is empty: it allows only a name that is empty",
                     "write the name, or remove the line and renumber the names");
                continue;
            }
            if (const auto earlier = exact.find(name.name); earlier != exact.end()) {
                Warn(name.line,
                     name.key + "=" + EncodeUtf8(name.name) + " repeats " + earlier->second->key + " (line " +
                         std::to_string(earlier->second->line) + ")",
                     "remove the repeated name");
                continue;
            }
            exact.emplace(name.name, &name);
            const auto [other, fresh] = folded.emplace(FoldLetterCase(name.name), &name);
            if (!fresh)
                Warn(name.line,
                     name.key + "=" + EncodeUtf8(name.name) + " differs from " + Quoted(EncodeUtf8(other->second->name)) +
                         " (line " + std::to_string(other->second->line) +
                         ") only in letter case: the plug-in allows both as two names",
                     "keep only the spelling that drawings should use");
        }
    }

    void ReportUnread() {
        const auto sections = image_.Sections();
        for (std::size_t index = 0; index < sections.size(); ++index) {
            const ProfileSection& section = sections[index];
            const std::string name = Shown(section.name, codePage_);
            if (index == 0) {
                for (const ProfileEntry& entry : image_.EntriesOf(section))
                    if (!IsComment(entry) && !entry.dropped)
                        Warn(entry.line, "this line comes before the first [section], so the plug-in never reads it",
                             "move it into its section, or begin it with ';' to make it a comment");
                continue;
            }
            if (!read_.contains(&section)) {
                ReportUnreadSection(section, name);
                continue;
            }
            if (&section == stoppedIn_) continue;
            const auto state = sections_.find(&section);
            const bool isCommon = EqualIgnoringAsciiCase(section.name, "Common");
            std::vector<const ProfileEntry*> seen;
            for (const ProfileEntry& entry : image_.EntriesOf(section)) {
                if (IsComment(entry) || entry.dropped || read_.contains(&entry)) {
                    seen.push_back(&entry);
                    continue;
                }
                const auto found = std::find_if(seen.begin(), seen.end(), [&](const ProfileEntry* earlier) {
                    return earlier->value && EqualIgnoringAsciiCase(earlier->name, entry.name);
                });
                const ProfileEntry* same = found == seen.end() ? nullptr : *found;
                seen.push_back(&entry);
                const std::string key = Shown(entry.name, codePage_);
                if (!entry.value) {
                    Warn(entry.line, Quoted(key) + " has no '=', so the plug-in never reads this line",
                         "write it as Key=Value, or begin it with ';' to make it a comment");
                } else if (same != nullptr) {
                    Warn(entry.line,
                         key + "= appears again in [" + name + "] (first at line " + std::to_string(same->line) +
                             "): the plug-in reads only the first",
                         "remove one of them");
                } else if (const auto number = NumberAfter(entry.name, "Name"); number && !isCommon && state != sections_.end()) {
                    // Names after a gap are told with the gap.
                    if (state->second.stoppedAt != 0 && *number <= state->second.nameCount && *number > 0) continue;
                    if (*number > state->second.nameCount)
                        Warn(entry.line,
                             key + " is above NameCount=" + std::to_string(state->second.nameCount) +
                                 ", so the plug-in never reads it",
                             "write NameCount=" + std::to_string(*number) + " if it belongs, or remove the line");
                    else
                        Warn(entry.line, key + " is never read by the plug-in", "number the names Name1, Name2, ...");
                } else if (isCommon) {
                    Warn(entry.line, key + "= is never read by the plug-in: [Common] holds only TypeCount",
                         "remove the line");
                } else {
                    Warn(entry.line,
                         key + "= is never read by the plug-in: a type section holds only Type, NameCount and Name1 "
                               "to NameN",
                         "remove the line");
                }
            }
        }
    }

    void ReportUnreadSection(const ProfileSection& section, const std::string& name) {
        const ProfileSection* first = FirstSection(section.name);
        if (first != &section) {
            Warn(section.line,
                 "[" + name + "] appears again (first at line " + std::to_string(first->line) +
                     "): the plug-in reads only the first one",
                 "merge the two into one section");
            return;
        }
        const auto number = NumberAfter(section.name, "Type");
        if (number && *number >= 1 && stopLine_ != 0 && (typeCount_ == 0 || *number <= typeCount_)) {
            Warn(section.line, "[" + name + "] is never read: loading stops before it (line " + std::to_string(stopLine_) + ")",
                 "fix the line where loading stops");
        } else if (number && *number > typeCount_ && typeCount_ > 0) {
            Warn(section.line, "[" + name + "] is never read: TypeCount=" + std::to_string(typeCount_),
                 "write TypeCount=" + std::to_string(*number) + " if it belongs, or remove the section");
        } else {
            Warn(section.line,
                 "[" + name + "] is never read: the plug-in reads only [Common] and [Type1] to [TypeN]",
                 "remove the section, or number it as the next [TypeN] and raise TypeCount");
        }
    }

    void ReportDoubts() {
        using standards::PlatformDoubt;
        for (const auto& [doubt, line] : image_.Doubts()) {
            switch (doubt) {
                case PlatformDoubt::PageOrFormFeedOrEof:
                    Warn(line, "the line holds a page break, form feed or end-of-file character, which platforms read differently",
                         "remove the character");
                    break;
                case PlatformDoubt::QuoteInKeyName:
                    Warn(line, "the key's name holds a quote; Windows does not find such keys", "remove the quote");
                    break;
                case PlatformDoubt::QuotedValueFillsBuffer:
                    Warn(line, "the quoted value is 254 bytes long: some platforms read one byte less",
                         "shorten the name, or remove the quotes");
                    break;
                case PlatformDoubt::BareLineShadowsKey:
                    Warn(line, "this line without '=' hides a later key of the same name on some platforms",
                         "remove the line");
                    break;
                case PlatformDoubt::SeveralClosingBrackets:
                    Warn(line, "the section header holds more than one ']': platforms may name the section differently",
                         "write the header as [Name] with one ']'");
                    break;
                case PlatformDoubt::EmptySectionName:
                    Warn(line, "[] names no section, and platforms disagree on what it holds", "name the section or remove it");
                    break;
                case PlatformDoubt::Utf8ByteOrderMark:
                case PlatformDoubt::Utf16ByteOrderMark:
                case PlatformDoubt::NulByte:
                    break;  // told with the file's encoding, or refused as binary content
            }
        }
    }

    const ProfileImage& image_;
    UINT codePage_;
    bool checkBytes_;
    std::vector<LintWarning>& warnings_;
    long typeCount_ = 0;
    std::uint32_t stopLine_ = 0;
    const ProfileSection* stoppedIn_ = nullptr;
    std::unordered_set<const void*> read_;
    std::unordered_map<const ProfileSection*, SectionState> sections_;
    // The names each kind's list receives, with their lines.
    audit::PerKind<std::vector<ReadName>> names_;
};

enum class Decoding { Ansi, Utf8ByteOrderMark, Utf16Le, Utf16Be };

Decoding DecodingOf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return Decoding::Utf8ByteOrderMark;
    if (bytes.starts_with("\xFF\xFE")) return Decoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return Decoding::Utf16Be;
    return Decoding::Ansi;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first)));
    }
    return text;
}

// The text in the code page the way the platform hands Unicode text to an ANSI caller: best fit,
// then '?'.
std::string ToCodePageAsThePlatformDoes(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The lines of text, split as the platform splits them: CR LF, LF and a lone CR each end one line.
std::vector<std::wstring_view> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Lines of a decoded file whose characters the code page cannot hold: the plug-in gets look-alikes.
void WarnOfLostCharacters(std::wstring_view text, UINT codePage, std::vector<LintWarning>& warnings) {
    const auto lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (standards::ToCodePage(lines[i], codePage)) continue;
        warnings.push_back({static_cast<std::uint32_t>(i + 1),
                            Quoted(EncodeUtf8(lines[i])) + " holds characters that code page " + std::to_string(codePage) +
                                " cannot hold: the plug-in reads " +
                                Quoted(Shown(ToCodePageAsThePlatformDoes(lines[i], codePage), codePage)),
                            "use only characters of code page " + std::to_string(codePage) +
                                ", and save the file in that code page (ANSI)"});
    }
}

// A control character that no text file holds, as its code; nothing when there is none. NULs after
// the text are what some editors leave behind; a file of nothing but NULs is no text.
template <class Character>
std::optional<unsigned> BinaryContent(std::basic_string_view<Character> text) {
    const std::size_t end = text.find_last_not_of(Character(0));
    if (end == text.npos) return text.empty() ? std::nullopt : std::optional<unsigned>(0);
    for (const Character c : text.substr(0, end + 1)) {
        const auto code = static_cast<unsigned>(c);
        if (code < 0x20 && !(code >= '\t' && code <= '\r') && code != 0x1A) return code;
    }
    return std::nullopt;
}

std::string EncodingWords(Decoding decoding, UINT codePage) {
    const std::string page = "code page " + std::to_string(codePage);
    switch (decoding) {
        case Decoding::Utf8ByteOrderMark: return "UTF-8 with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Utf16Le: return "UTF-16 LE with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Utf16Be: return "UTF-16 BE with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Ansi: break;
    }
    return "ANSI, " + page;
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// The file's bytes, or why they cannot be had.
std::optional<std::string> ReadStandardBytes(const std::wstring& path, std::string& problem) {
    const PathKind kind = KindOfPath(path);
    if (kind == PathKind::Missing) {
        problem = "the file does not exist";
        return std::nullopt;
    }
    if (kind == PathKind::Folder) {
        problem = "this is a folder, not a standard file";
        return std::nullopt;
    }
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        problem = "cannot open the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        problem = "this is a device, not a standard file";
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        problem = "cannot read the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > kLargestStandardFile) {
        problem = "the file is " + std::to_string(size.QuadPart >> 20) +
                  " MiB; a standard file is a text file of at most 64 MiB";
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
        problem = "cannot read the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    return bytes;
}

std::string NamesText(const standards::NameList& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i)
        text += (i > 0 ? ", " : "") + Quoted(EncodeUtf8(names[i]));
    if (names.size() > kNamesShown) text += " and " + std::to_string(names.size() - kNamesShown) + " more";
    return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool ChecksNothing(const LoadedStandard& loaded) {
    return !loaded.loaded || loaded.typeNames.empty() || !loaded.typeNames.front() || loaded.typeNames.front()->empty();
}

}  // namespace

std::vector<LintWarning> FindLintWarnings(std::string_view bytes, UINT codePage, const LoadedStandard& loaded) {
    std::vector<LintWarning> warnings;
    const Decoding decoding = DecodingOf(bytes);
    std::string ansi;
    if (decoding == Decoding::Ansi) {
        ansi = bytes;
    } else {
        const std::wstring text = decoding == Decoding::Utf8ByteOrderMark
                                      ? DecodeUtf8(ValidUtf8(bytes.substr(3))).value_or(std::wstring())
                                      : DecodeUtf16(bytes, decoding == Decoding::Utf16Be);
        if (decoding == Decoding::Utf8ByteOrderMark)
            warnings.push_back({1,
                                "the file begins with a UTF-8 byte order mark: Windows reads those bytes as text, so "
                                "a section header on line 1 is lost and names beyond ASCII arrive garbled (Wine "
                                "decodes it)",
                                "save the file in code page " + std::to_string(codePage) + " (ANSI) without a byte order mark"});
        WarnOfLostCharacters(text, codePage, warnings);
        ansi = ToCodePageAsThePlatformDoes(text, codePage);
    }
    const ProfileImage image(ansi);
    LoaderWalk(image, codePage, decoding == Decoding::Ansi, warnings).Run();
    if (ChecksNothing(loaded) && warnings.empty())
        warnings.push_back({0, "the plug-in does not load this file", "check that the file can be read"});
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const LintWarning& a, const LintWarning& b) { return a.line < b.line; });
    return warnings;
}

int LintReport::Status() const {
    if (!unreadable.empty()) return kBroken;
    return warnings.empty() ? kNoFindings : kFindings;
}

LintReport LintStandardFile(const std::wstring& path) {
    LintReport report;
    report.path = path;
    report.codePage = ::GetACP();
    std::string problem;
    const auto bytes = ReadStandardBytes(path, problem);
    if (!bytes) {
        report.unreadable = problem;
        return report;
    }
    const Decoding decoding = DecodingOf(*bytes);
    const bool utf16 = decoding == Decoding::Utf16Le || decoding == Decoding::Utf16Be;
    const auto binary = utf16 ? BinaryContent(std::wstring_view(DecodeUtf16(*bytes, decoding == Decoding::Utf16Be)))
                              : BinaryContent(std::string_view(*bytes));
    if (binary) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", *binary);
        report.unreadable = std::string("this is not a text file: it holds the control character ") + code +
                            " (binary content)";
        return report;
    }
    report.encoding = EncodingWords(decoding, report.codePage);
    report.loaded = LoadAsThePluginDoes(FullPath(path));
    report.warnings = FindLintWarnings(*bytes, report.codePage, report.loaded);
    return report;
}

std::string FormatLintText(const LintReport& report) {
    const std::string path = EncodeUtf8(report.path);
    std::string text = path + ": " + report.encoding + "\n";
    const LoadedStandard& loaded = report.loaded;
    if (!loaded.loaded) {
        text += "what the plug-in loads: nothing; it refuses this file, so every audit against it fails\n";
    } else if (ChecksNothing(loaded)) {
        text += "what the plug-in loads: no type name in [Type1], so it checks nothing\n";
    } else {
        text += "what the plug-in loads:\n";
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            const auto& names = loaded.names[kind];
            text += std::string("  ") + kKindPlurals[kind] + ": ";
            if (!names) {
                text += std::string("no section, so every ") + kKindWords[kind] + " of a drawing is a finding\n";
                continue;
            }
            const auto empty = static_cast<std::size_t>(std::count(names->begin(), names->end(), std::wstring()));
            text += Plural(names->size(), "name", "names");
            if (empty > 0) text += " (" + std::to_string(empty) + " empty)";
            text += ": " + NamesText(*names) + "\n";
        }
        std::string types;
        for (const auto& typeName : loaded.typeNames)
            types += (types.empty() ? "" : ", ") + (typeName ? Quoted(EncodeUtf8(*typeName)) : std::string("(none)"));
        text += "  type names the host is given: " + types + "\n";
    }
    for (const LintWarning& warning : report.warnings) {
        text += path + (warning.line > 0 ? ":" + std::to_string(warning.line) : std::string()) + ": " + warning.problem + "\n";
        text += "    fix: " + warning.fix + "\n";
    }
    text += path + ": " + (report.warnings.empty() ? "nothing to fix" : Plural(report.warnings.size(), "warning", "warnings")) + "\n";
    return text;
}

std::string FormatLintJson(const LintReport& report) {
    using Json = nlohmann::ordered_json;
    Json document = {{"path", EncodeUtf8(report.path)}, {"status", report.Status()}};
    if (!report.unreadable.empty()) {
        document["error"] = report.unreadable;
        return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    }
    const LoadedStandard& loaded = report.loaded;
    document["codePage"] = report.codePage;
    document["encoding"] = report.encoding;
    document["loads"] = loaded.loaded;
    document["checksNothing"] = ChecksNothing(loaded);
    Json typeNames = Json::array();
    for (const auto& typeName : loaded.typeNames) typeNames.push_back(typeName ? Json(EncodeUtf8(*typeName)) : Json());
    document["typeNames"] = std::move(typeNames);
    Json kinds = Json::array();
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        Json entry = {{"kind", kKindPlurals[kind]},
                      {"label", EncodeUtf8(audit::kKinds[kind].label)},
                      {"typeName", EncodeUtf8(kTypeNames[kind])},
                      {"declared", loaded.names[kind].has_value()}};
        Json names = Json::array();
        if (loaded.names[kind])
            for (const std::wstring& name : *loaded.names[kind]) names.push_back(EncodeUtf8(name));
        entry["names"] = std::move(names);
        kinds.push_back(std::move(entry));
    }
    document["kinds"] = std::move(kinds);
    Json warnings = Json::array();
    for (const LintWarning& warning : report.warnings)
        warnings.push_back({{"line", warning.line}, {"problem", warning.problem}, {"fix", warning.fix}});
    document["warnings"] = std::move(warnings);
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

int Lint(const Options& options) {
    const LintReport report = LintStandardFile(options.standard);
    if (options.json) {
        WriteOut(FormatLintJson(report));
    } else if (!report.unreadable.empty()) {
        WriteError(EncodeUtf8(report.path) + ": " + report.unreadable);
    } else {
        WriteOut(FormatLintText(report));
    }
    return report.Status();
}

}  // namespace kvstcheck
