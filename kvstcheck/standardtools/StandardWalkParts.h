#pragma once
// The parts of lint's walk over a standard file, and what they share: replaying the loader and where
// it stops (StandardWalkReplay.cpp), value checks (StandardWalkValues.cpp), unread or misspelt keys
// (StandardWalkUnread.cpp) and the platform's doubts (StandardWalkDoubts.cpp).
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "kvstcheck/standardtools/StandardWalk.h"

namespace kvstcheck::walk {

using standards::ProfileEntry;
using standards::ProfileImage;
using standards::ProfileSection;

// The plug-in's read buffer holds this many bytes of a value.
inline constexpr std::size_t kReadableBytes = 254;
inline constexpr long kLargestCount = 32767;
inline constexpr audit::PerKind<const char*> kKindPlurals = {"layers", "linetypes", "text styles", "dimension styles"};

std::string Quoted(const std::string& utf8);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);
// Lines the platform skips or no reader means: comments, and lines of nothing but NULs.
bool IsCommentLine(std::string_view name, bool hasValue);
bool IsQuotedValue(std::string_view value);
std::string_view Unquoted(std::string_view value);
// The number after a literal ("Name12" after "Name"), letter case ignored; nothing for another form.
std::optional<long> NumberAfter(std::string_view text, std::string_view literal);
std::string TypeSection(long index);
std::optional<std::size_t> KindOfTypeName(std::wstring_view typeName);

// The kind a type name the plug-in does not know most likely means: one in another letter case, or
// a few letters off.
struct KindGuess {
    std::size_t kind;
    bool letterCaseOnly;
};
std::optional<KindGuess> GuessKind(const std::wstring& typeName, const CodePageText& text);

// The key the plug-in reads that a key it never reads most likely misspells: one or two letters off.
std::optional<std::string_view> MeantKey(std::string_view written, bool common);

struct SectionState {
    long nameCount = 0;  // m once NameCount was read
    long stoppedAt = 0;  // the name number where reading stopped; 0 when it did not
};

struct ReadName {
    std::wstring name;
    std::string key;
    const ProfileEntry* entry;
};

// What the walk learns, shared by its parts, and the words they share.
class WalkFacts {
public:
    WalkFacts(const ProfileImage& image, const CodePageText& text, bool checkBytes, bool suggestEdits,
              std::vector<LintWarning>& warnings);

    void Warn(std::uint32_t line, LintRule rule, std::string problem, std::string fix,
              std::optional<LintEdit> edit = std::nullopt);
    const ProfileSection* FirstSection(std::string_view name) const;
    // The entry a read finds, or null when the read gives the missing marker; it counts as read.
    const ProfileEntry* Entry(std::string_view section, std::string_view key);
    // The value as the loader gets it: read through the buffer, converted, leading spaces gone.
    std::wstring Value(std::string_view section, std::string_view key) const;
    // Bytes of the file as the plug-in sees them, in UTF-8.
    std::string Shown(std::string_view bytes) const;
    std::string Assignment(const ProfileEntry& entry) const;
    // Key=bytes as a line that reads back as exactly those bytes; nothing where none does.
    std::optional<std::string> LineReading(std::string_view key, std::string_view bytes) const;
    // The names a section holds from Name1 on without a gap, and the type sections from [Type1] on.
    long NamesWithoutGap(const std::string& section) const;
    long TypeSectionsWithoutGap() const;
    // The edit, when linting the edited bytes again proves it: the warning of rule at line is gone, no
    // error appears that was no problem before, and every name loaded before still loads. Each proof walks the
    // file twice, so only a few edits a walk are proven and the rest are given in words alone.
    std::optional<LintEdit> IfProven(LintEdit edit, LintRule rule, std::uint32_t line);

    const ProfileImage& image;
    const CodePageText& text;
    const bool checkBytes;
    const bool suggestEdits;
    std::vector<LintWarning>& warnings;
    long typeCount = 0;
    bool checksNothing = false;
    audit::PerKind<std::string> unloaded{};
    std::uint32_t stopLine = 0;
    std::size_t stopWarning = 0;
    bool pastStop = false;
    // Sections with no count of names to go by: their name lines are told with the missing count.
    std::unordered_set<const ProfileSection*> unchecked;
    std::unordered_set<const void*> read;
    std::unordered_map<const ProfileSection*, SectionState> sections;
    // The names each kind's list receives, with their lines.
    audit::PerKind<std::vector<ReadName>> names;

private:
    // Every name each kind's list loads from the bytes; none when the load fails.
    audit::PerKind<std::unordered_set<std::wstring>> LoadedNames(const ProfileImage& from) const;

    std::optional<audit::PerKind<std::unordered_set<std::wstring>>> loadedNames_;
    std::optional<std::vector<LintWarning>> unedited_;
    int proofsLeft_;
};

// What a value becomes on its way to the plug-in, and the names each list receives.
class ValueChecks {
public:
    explicit ValueChecks(WalkFacts& facts) : facts_(facts) {}
    void CheckValue(const ProfileEntry& entry, const std::string& key);
    void CheckNames(const std::vector<ReadName>& names);

private:
    void CheckBytes(const ProfileEntry& entry, const std::string& key, std::string_view value);
    // A name with a comment or white space the author most likely did not mean, and the name meant.
    void CheckMeant(const ReadName& name, const std::unordered_set<std::wstring>& listed);
    WalkFacts& facts_;
};

// The whole walk; edits suggested only when asked for (a proof's walk asks for none).
std::vector<LintWarning> Walk(const ProfileImage& image, const CodePageText& text, bool checkBytes, bool suggestEdits,
                              LoadingStop* stop);

// The loader's own walk over the image, told line by line from its account of the reading.
void ReplayLoader(WalkFacts& facts, ValueChecks& values);

// Lines and sections the plug-in never reads, and keys it most likely misses through a misspelling.
void ReportUnread(WalkFacts& facts);
std::string MisspeltAt(const WalkFacts& facts, const ProfileSection& section, std::string_view key);

// Lines whose reading the platforms may give differently.
void ReportDoubts(WalkFacts& facts);

}  // namespace kvstcheck::walk
