// Lines and sections the plug-in never reads, and keys it most likely misses through a misspelling.
#include <algorithm>

#include "kvstcheck/standardtools/StandardWalkParts.h"

namespace kvstcheck::walk {
namespace {

LintEdit Deleting(std::uint32_t line) { return {LintEdit::Action::Delete, line, {}}; }
LintEdit Replacing(std::uint32_t line, std::string text) { return {LintEdit::Action::Replace, line, std::move(text)}; }

class UnreadLines {
public:
    explicit UnreadLines(WalkFacts& facts) : facts_(facts) {}

    void Report() {
        const auto sections = facts_.image.Sections();
        for (std::size_t index = 0; index < sections.size(); ++index) {
            const ProfileSection& section = sections[index];
            if (index == 0) {
                for (const ProfileEntry& entry : facts_.image.EntriesOf(section))
                    if (!IsCommentLine(facts_.image.Name(entry), entry.hasValue) && !entry.dropped)
                        facts_.Warn(entry.line, LintRule::BeforeFirstSection,
                                    "this line comes before the first [section], so the plug-in never reads it",
                                    "move it into its section, or begin it with ';' to make it a comment");
            } else if (!facts_.read.contains(&section)) {
                ReportSection(section, facts_.Shown(section.name));
            } else {
                ReportEntries(section, facts_.Shown(section.name));
            }
        }
    }

private:
    void ReportEntries(const ProfileSection& section, const std::string& name) {
        const bool uncounted = facts_.unchecked.contains(&section);
        std::vector<const ProfileEntry*> seen;
        for (const ProfileEntry& entry : facts_.image.EntriesOf(section)) {
            const std::string_view written = facts_.image.Name(entry);
            if (IsCommentLine(written, entry.hasValue) || entry.dropped || facts_.read.contains(&entry) ||
                (uncounted && entry.hasValue && NumberAfter(written, "Name"))) {
                seen.push_back(&entry);
                continue;
            }
            const auto found = std::find_if(seen.begin(), seen.end(), [&](const ProfileEntry* earlier) {
                return earlier->hasValue && EqualIgnoringAsciiCase(facts_.image.Name(*earlier), written);
            });
            const ProfileEntry* same = found == seen.end() ? nullptr : *found;
            seen.push_back(&entry);
            const std::string key = facts_.Shown(written);
            if (!entry.hasValue) {
                facts_.Warn(entry.line, LintRule::NoEquals, Quoted(key) + " has no '=', so the plug-in never reads this line",
                            "write it as Key=Value, or begin it with ';' to make it a comment");
            } else if (same != nullptr) {
                facts_.Warn(entry.line, LintRule::DuplicateKey,
                            key + "= appears again in [" + name + "] (first at line " + std::to_string(same->line) +
                                "): the plug-in reads only the first",
                            "remove this line, which the plug-in never reads", Deleting(entry.line));
            } else {
                ReportKey(section, entry, key);
            }
        }
    }

    void ReportKey(const ProfileSection& section, const ProfileEntry& entry, const std::string& key) {
        const std::string_view written = facts_.image.Name(entry);
        const bool isCommon = EqualIgnoringAsciiCase(section.name, "Common");
        const auto state = facts_.sections.find(&section);
        if (const auto number = NumberAfter(written, "Name"); number && !isCommon && state != facts_.sections.end()) {
            // Names after a gap are told with the gap.
            if (state->second.stoppedAt != 0 && *number <= state->second.nameCount && *number > 0) return;
            if (*number > state->second.nameCount)
                return WarnAboveCount(section, entry, key, *number, state->second.nameCount);
            facts_.Warn(entry.line, LintRule::NameUnread, key + " is never read by the plug-in", "number the names Name1, Name2, ...");
        } else if (const auto meant = MeantKey(written, isCommon)) {
            const std::string line = std::string(*meant) + "=" + std::string(*facts_.image.Value(entry));
            const bool lacking = facts_.image.Find(section.name, *meant) == nullptr;
            facts_.Warn(entry.line, LintRule::MisspeltKey,
                        key + "= is never read by the plug-in: it reads " + std::string(*meant) + "= (misspelt?)",
                        "write " + facts_.Shown(line), lacking ? facts_.IfProven(Replacing(entry.line, line), LintRule::MisspeltKey, entry.line) : std::nullopt);
        } else {
            facts_.Warn(entry.line, LintRule::UnknownKey,
                        key + "= is never read by the plug-in: " +
                            (isCommon ? "[Common] holds only TypeCount" : "a type section holds only Type, NameCount and Name1 to NameN"),
                        "remove the line", Deleting(entry.line));
        }
    }

    void WarnAboveCount(const ProfileSection& section, const ProfileEntry& entry, const std::string& key, long number, long count) {
        const long names = facts_.NamesWithoutGap(std::string(section.name));
        const ProfileEntry* countEntry = facts_.image.Find(section.name, "NameCount");
        const std::string fixed = "NameCount=" + std::to_string(names);
        const bool follows = names >= number && countEntry != nullptr;
        facts_.Warn(entry.line, LintRule::NameAboveCount,
                    key + " is above NameCount=" + std::to_string(count) + ", so the plug-in never reads it",
                    follows ? "write " + fixed + ": the section has Name1 to Name" + std::to_string(names) + ", or remove the line"
                            : "number the names from Name1 without a gap and raise NameCount if it belongs, or remove the line",
                    follows ? facts_.IfProven(Replacing(countEntry->line, fixed), LintRule::NameAboveCount, entry.line) : std::nullopt);
    }

    // The kind an unread type section declares has no list because of it.
    void NoteUnreadKind(const ProfileSection& section, const std::string& name) {
        const ProfileEntry* type = facts_.image.Find(section.name, "Type");
        if (type == nullptr || !type->hasValue) return;
        std::wstring typeName = facts_.text.Widen(Unquoted(*facts_.image.Value(*type)));
        typeName.erase(0, typeName.find_first_not_of(L' '));
        auto kind = KindOfTypeName(typeName);
        if (!kind) {
            const auto guess = GuessKind(typeName, facts_.text);
            if (guess) kind = guess->kind;
        }
        if (kind && facts_.unloaded[*kind].empty())
            facts_.unloaded[*kind] = "[" + name + "] at line " + std::to_string(section.line) + " is never read";
    }

    void ReportSection(const ProfileSection& section, const std::string& name) {
        const ProfileSection* first = facts_.FirstSection(section.name);
        if (first != &section) {
            facts_.Warn(section.line, LintRule::DuplicateSection,
                        "[" + name + "] appears again (first at line " + std::to_string(first->line) + "): the plug-in reads only the first one",
                        "merge the two into one section");
            return;
        }
        const auto number = NumberAfter(section.name, "Type");
        const long typeCount = facts_.typeCount;
        if (number && *number >= 1) NoteUnreadKind(section, name);
        if (number && *number >= 1 && facts_.stopLine != 0 && (typeCount == 0 || *number <= typeCount)) {
            facts_.Warn(section.line, LintRule::AfterStop,
                        "[" + name + "] is never read: loading stops before it (line " + std::to_string(facts_.stopLine) + ")",
                        "fix the line where loading stops");
        } else if (number && *number > typeCount && typeCount > 0) {
            const long sections = facts_.TypeSectionsWithoutGap();
            const ProfileEntry* countEntry = facts_.image.Find("Common", "TypeCount");
            const std::string fixed = "TypeCount=" + std::to_string(sections);
            const bool follows = sections >= *number && countEntry != nullptr;
            facts_.Warn(section.line, LintRule::SectionAboveCount, "[" + name + "] is never read: TypeCount=" + std::to_string(typeCount),
                        follows ? "write " + fixed + ": the file has [Type1] to [Type" + std::to_string(sections) + "], or remove the section"
                                : "number the type sections from [Type1] without a gap and raise TypeCount if it belongs, or remove the section",
                        follows ? facts_.IfProven(Replacing(countEntry->line, fixed), LintRule::SectionAboveCount, section.line) : std::nullopt);
        } else {
            facts_.Warn(section.line, LintRule::UnknownSection,
                        "[" + name + "] is never read: the plug-in reads only [Common] and [Type1] to [TypeN]",
                        "remove the section, or number it as the next [TypeN] and raise TypeCount");
        }
    }

    WalkFacts& facts_;
};

}  // namespace

std::string MisspeltAt(const WalkFacts& facts, const ProfileSection& section, std::string_view key) {
    const bool common = EqualIgnoringAsciiCase(section.name, "Common");
    for (const ProfileEntry& entry : facts.image.EntriesOf(section))
        if (entry.hasValue && !IsCommentLine(facts.image.Name(entry), entry.hasValue) && MeantKey(facts.image.Name(entry), common) == key)
            return " (line " + std::to_string(entry.line) + " has " + facts.Shown(facts.image.Name(entry)) + "=, misspelt?)";
    return {};
}

void ReportUnread(WalkFacts& facts) { UnreadLines(facts).Report(); }

}  // namespace kvstcheck::walk
