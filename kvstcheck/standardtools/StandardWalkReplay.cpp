// Replaying the loader over the image, and where it stops.
#include <algorithm>

#include "kvstcheck/standardtools/LoadedStandard.h"
#include "kvstcheck/standardtools/StandardWalkParts.h"

namespace kvstcheck::walk {
namespace {

bool IsPlainNumber(std::wstring_view text) {
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

LintEdit Replacing(std::uint32_t line, std::string text) { return {LintEdit::Action::Replace, line, std::move(text)}; }

class LoaderReplay {
public:
    LoaderReplay(WalkFacts& facts, ValueChecks& values) : facts_(facts), values_(values) {}

    void Run() {
        const standards::StandardLoad load = LoadFromImage(facts_.image, facts_.text, true);
        facts_.checksNothing = !load.loaded || !load.typeNames || load.typeNames->empty() || !load.typeNames->front() ||
                               load.typeNames->front()->empty();
        if (!load.account) return;
        reads_ = &load.account->reads;
        WalkCommon();
    }

private:
    void WalkCommon() {
        const ProfileSection* common = facts_.FirstSection("Common");
        const standards::LoadRead* typeCountRead = Take();
        if (common == nullptr) {
            StopAt(1);
            facts_.Warn(1, LintRule::NoCommon,
                        "there is no [Common] section, so the plug-in loads nothing and every audit against this file fails",
                        "begin the file with [Common] and TypeCount= the number of [TypeN] sections");
            return WalkPastStop();
        }
        facts_.read.insert(common);
        const ProfileEntry* typeCountEntry = facts_.Entry("Common", "TypeCount");
        if (typeCountRead == nullptr || !typeCountRead->found || typeCountRead->count < 1) {
            StopAt(typeCountEntry ? typeCountEntry->line : common->line);
            WarnOfTypeCount(*common, typeCountEntry);
            return WalkPastStop();
        }
        CheckNumberForm(*typeCountEntry, facts_.Value("Common", "TypeCount"), static_cast<short>(typeCountRead->count));
        facts_.typeCount = typeCountRead->count;
        for (long type = 1; type <= facts_.typeCount; ++type) WalkTypeSection(type, typeCountEntry->line);
    }

    void WarnOfTypeCount(const ProfileSection& common, const ProfileEntry* entry) {
        const long sections = facts_.TypeSectionsWithoutGap();
        const std::string count = "TypeCount=" + std::to_string(sections);
        if (entry == nullptr) {
            facts_.Warn(common.line, LintRule::NoTypeCount,
                        "[Common] has no TypeCount=" + MisspeltAt(facts_, common, "TypeCount") +
                            ", so the plug-in loads nothing and every audit fails",
                        sections > 0 ? "add " + count + " under [Common]: the file has [Type1] to [Type" + std::to_string(sections) + "]"
                                     : "add TypeCount= the number of [TypeN] sections under [Common]",
                        sections > 0 ? facts_.IfProven({LintEdit::Action::InsertAfter, common.line, count}, LintRule::NoTypeCount, common.line) : std::nullopt);
            return;
        }
        facts_.Warn(entry->line, LintRule::TypeCountValue,
                    facts_.Assignment(*entry) + " is not a number from 1 to 32767, so the plug-in loads nothing and every audit fails",
                    sections > 0 ? "write " + count + ": the file has [Type1] to [Type" + std::to_string(sections) + "]"
                                 : "write the number of [TypeN] sections; the file has no [Type1]",
                    sections > 0 ? facts_.IfProven(Replacing(entry->line, count), LintRule::TypeCountValue, entry->line) : std::nullopt);
    }

    // With no count of sections to go by, the type sections the file numbers from [Type1] without a gap.
    void WalkPastStop() {
        for (long type = 1; type <= kLargestCount && facts_.FirstSection(TypeSection(type)) != nullptr; ++type)
            WalkTypeSection(type, 0);
    }

    // One type section as the loader reads it, or, past where loading stops, as it would if it went on.
    void WalkTypeSection(long type, std::uint32_t typeCountLine) {
        const std::string section = TypeSection(type);
        const std::string later = type < facts_.typeCount ? ", so [" + TypeSection(type + 1) + "] and later are never read" : "";
        const ProfileSection* header = facts_.FirstSection(section);
        const standards::LoadRead typeRead = Asked(standards::LoadRead::Of::TypeName, type);
        if (header == nullptr) {
            if (StopsHere(typeCountLine)) {
                const std::string count = "TypeCount=" + std::to_string(type - 1);
                facts_.Warn(typeCountLine, LintRule::TypeCountGap,
                            "TypeCount=" + std::to_string(facts_.typeCount) + ", but there is no [" + section +
                                "]: the plug-in stops loading there" + later,
                            "number the type sections from [Type1] without a gap, or write " + count,
                            type > 1 ? facts_.IfProven(Replacing(typeCountLine, count), LintRule::TypeCountGap, typeCountLine) : std::nullopt);
            }
            return;
        }
        facts_.read.insert(header);
        const ProfileEntry* typeEntry = facts_.Entry(section, "Type");
        std::optional<std::size_t> kind;
        if (!typeRead.found || typeEntry == nullptr) {
            const std::string stops = StopWords(header->line, later);
            facts_.Warn(header->line, LintRule::MissingType,
                        "[" + section + "] has no Type=" + MisspeltAt(facts_, *header, "Type") + ": " + stops,
                        "add Type= the type of its names (AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle)");
        } else {
            values_.CheckValue(*typeEntry, "Type");
            kind = KindOfTypeName(typeRead.text);
            if (!kind) WarnOfTypeName(*typeEntry, typeRead.text, section);
            if (kind && facts_.pastStop)
                Unloaded(*kind, "loading stops before [" + section + "] at line " + std::to_string(header->line));
        }
        WalkNameCount(type, typeRead.text, kind, *header, later);
    }

    void WalkNameCount(long type, const std::wstring& typeName, std::optional<std::size_t> kind, const ProfileSection& header,
                       const std::string& later) {
        const std::string section = TypeSection(type);
        const standards::LoadRead countRead = Asked(standards::LoadRead::Of::NameCount, type);
        const ProfileEntry* countEntry = facts_.Entry(section, "NameCount");
        if (countRead.found && countEntry != nullptr) return WalkCountedNames(type, typeName, kind, header, *countEntry, countRead.count);
        const std::uint32_t line = countEntry ? countEntry->line : header.line;
        facts_.unchecked.insert(&header);
        if (kind) Unloaded(*kind, "loading stops in [" + section + "] at line " + std::to_string(line) + ", before its names");
        const std::string stops = StopWords(line, later);
        const long names = facts_.NamesWithoutGap(section);
        const std::string count = "NameCount=" + std::to_string(names);
        const std::string real = names > 0 ? ": the section has Name1 to Name" + std::to_string(names) : "";
        if (countEntry == nullptr)
            facts_.Warn(line, LintRule::NoNameCount, "[" + section + "] has no NameCount=" + MisspeltAt(facts_, header, "NameCount") + ": " + stops,
                        names > 0 ? "add " + count + real : "add NameCount= the number of its names",
                        names > 0 ? facts_.IfProven({LintEdit::Action::InsertAfter, header.line, count}, LintRule::NoNameCount, line) : std::nullopt);
        else
            facts_.Warn(line, LintRule::NameCountValue, facts_.Assignment(*countEntry) + " is not a number from 1 to 32767: " + stops,
                        names > 0 ? "write " + count + real : "write the number of its names; the section has no Name1",
                        names > 0 ? facts_.IfProven(Replacing(line, count), LintRule::NameCountValue, line) : std::nullopt);
    }

    void WalkCountedNames(long type, const std::wstring& typeName, std::optional<std::size_t> kind, const ProfileSection& header,
                          const ProfileEntry& countEntry, long count) {
        const std::string section = TypeSection(type);
        CheckNumberForm(countEntry, facts_.Value(section, "NameCount"), static_cast<short>(count));
        SectionState& state = facts_.sections[&header];
        state.nameCount = count;
        if (count < 1) {
            const long names = facts_.NamesWithoutGap(section);
            if (kind)
                facts_.Warn(countEntry.line, LintRule::NameCountZero,
                            facts_.Assignment(countEntry) + " under Type=" + facts_.text.Utf8(typeName) +
                                (StopsHere(countEntry.line) ? ": the plug-in cannot load the file at all, and every audit against it fails"
                                                            : ": past where loading stops, yet the plug-in would refuse the file here too"),
                            names > 0 ? "write NameCount=" + std::to_string(names) + ": the section has Name1 to Name" + std::to_string(names)
                                      : "list at least one name, or remove the section and lower TypeCount",
                            names > 0 ? facts_.IfProven(Replacing(countEntry.line, "NameCount=" + std::to_string(names)), LintRule::NameCountZero, countEntry.line) : std::nullopt);
            return;
        }
        if (kind) {
            if (declaredBy_[*kind])
                facts_.Warn(declaredBy_[*kind]->second, LintRule::DuplicateKind,
                            "[" + TypeSection(declaredBy_[*kind]->first) + "] and [" + section + "] (line " +
                                std::to_string(header.line) + ") both declare " + facts_.text.Utf8(typeName) +
                                ": the later one wins, so the names of [" + TypeSection(declaredBy_[*kind]->first) +
                                "] are never used",
                            "merge the names into one section");
            declaredBy_[*kind] = std::make_pair(type, header.line);
            facts_.names[*kind].clear();
        }
        WalkNames(type, count, kind, countEntry, state);
    }

    // The names of a section; past a gap, which ends the section's reading, the names still written
    // are checked as the plug-in would read them.
    void WalkNames(long type, long count, std::optional<std::size_t> kind, const ProfileEntry& countEntry, SectionState& state) {
        const std::string section = TypeSection(type);
        for (long number = 1; number <= count; ++number) {
            const std::string key = "Name" + std::to_string(number);
            const standards::LoadRead nameRead = state.stoppedAt == 0 ? Asked(standards::LoadRead::Of::Name, type, number)
                                                                      : ImageRead(standards::LoadRead::Of::Name, type, number);
            const ProfileEntry* nameEntry = facts_.Entry(section, key);
            if (!nameRead.found || nameEntry == nullptr) {
                if (state.stoppedAt == 0) WarnOfNameGap(section, key, number, count, kind, countEntry);
                if (state.stoppedAt == 0) state.stoppedAt = number;
                continue;
            }
            values_.CheckValue(*nameEntry, key);
            if (kind) facts_.names[*kind].push_back({nameRead.text, key, nameEntry});
        }
    }

    void WarnOfNameGap(const std::string& section, const std::string& key, long number, long count, std::optional<std::size_t> kind,
                       const ProfileEntry& countEntry) {
        const long empty = count - number + 1;
        const ProfileEntry* written = facts_.image.Find(section, key);
        const bool marker = written != nullptr && written->hasValue;
        std::string problem = marker ? facts_.Assignment(*written) + " reads as a missing name"
                                     : "NameCount=" + std::to_string(count) + ", but [" + section + "] has no " + key;
        problem += ": the plug-in stops reading the section there";
        if (number < count) problem += ", so Name" + std::to_string(number + 1) + " and later are never read";
        if (kind)
            problem += ", and the list of " + std::string(kKindPlurals[*kind]) + " keeps " + std::to_string(empty) +
                       (empty == 1 ? " empty name" : " empty names");
        const std::string fixed = "NameCount=" + std::to_string(number - 1);
        facts_.Warn(marker ? written->line : countEntry.line, marker ? LintRule::MissingMarker : LintRule::NameGap, std::move(problem),
                    "number the names from Name1 without a gap, or write " + fixed,
                    number > 1 ? facts_.IfProven(Replacing(countEntry.line, fixed), marker ? LintRule::MissingMarker : LintRule::NameGap, marker ? written->line : countEntry.line) : std::nullopt);
    }

    // The loader's next read, in its order; past where it stops, the read it would make if it went on.
    standards::LoadRead Asked(standards::LoadRead::Of of, long section, long name = 0) {
        if (!facts_.pastStop && reads_ != nullptr && next_ < reads_->size()) return (*reads_)[next_++];
        return ImageRead(of, section, name);
    }

    standards::LoadRead ImageRead(standards::LoadRead::Of of, long section, long name) const;

    // The first read of the account, before any other.
    const standards::LoadRead* Take() noexcept { return reads_ != nullptr && next_ < reads_->size() ? &(*reads_)[next_++] : nullptr; }

    // Whether loading ends here, the first place it does; what follows is walked as if it went on.
    bool StopsHere(std::uint32_t line) {
        if (facts_.pastStop) return false;
        StopAt(line);
        return true;
    }

    // What a line that ends loading does: the first one stops it, a later one would stop it again.
    std::string StopWords(std::uint32_t line, const std::string& later) {
        return StopsHere(line) ? "the plug-in stops loading here" + later : "past where loading stops, yet the plug-in would stop here too";
    }

    void StopAt(std::uint32_t line) {
        facts_.pastStop = true;
        facts_.stopLine = line;
        facts_.stopWarning = facts_.warnings.size();  // the warning that follows says why
    }

    // A count that Automation reads from another form ("4.4", "&H4") than a plain number.
    void CheckNumberForm(const ProfileEntry& entry, const std::wstring& text, short count) {
        if (IsPlainNumber(text)) return;
        const std::string line = std::string(facts_.image.Name(entry)) + "=" + std::to_string(count);
        facts_.Warn(entry.line, LintRule::NumberForm, facts_.Assignment(entry) + " is read as " + std::to_string(count),
                    "write the whole number: " + facts_.Shown(line), Replacing(entry.line, line));
    }

    // Why a kind the file means has no list; the first reason is the one that counts.
    void Unloaded(std::size_t kind, std::string why) {
        if (facts_.unloaded[kind].empty()) facts_.unloaded[kind] = std::move(why);
    }

    void WarnOfTypeName(const ProfileEntry& entry, const std::wstring& typeName, const std::string& section);

    WalkFacts& facts_;
    ValueChecks& values_;
    // The section that declared each kind last, and its header's line.
    audit::PerKind<std::optional<std::pair<long, std::uint32_t>>> declaredBy_;
    const std::vector<standards::LoadRead>* reads_ = nullptr;
    std::size_t next_ = 0;
};

standards::LoadRead LoaderReplay::ImageRead(standards::LoadRead::Of of, long section, long name) const {
    // Read as the plug-in's INI class answers: the missing marker is no value.
    standards::LoadRead read{of, static_cast<std::int16_t>(section), static_cast<std::int16_t>(name), false, 0, {}};
    const std::string typeSection = TypeSection(section);
    const auto text = [&](const std::string& sectionName, const std::string& key) {
        const std::wstring value = facts_.Value(sectionName, key);
        if (value == L"Return Err") return false;
        read.text = value;
        return true;
    };
    const auto count = [&](const std::string& sectionName, const std::string& key) {
        if (!text(sectionName, key)) return false;
        const auto converted = facts_.text.Count(read.text);
        read.text.clear();
        if (converted) read.count = *converted;
        return converted.has_value();
    };
    switch (of) {
        case standards::LoadRead::Of::TypeCount: read.found = count("Common", "TypeCount"); break;
        case standards::LoadRead::Of::TypeName: read.found = text(typeSection, "Type"); break;
        case standards::LoadRead::Of::NameCount: read.found = count(typeSection, "NameCount"); break;
        case standards::LoadRead::Of::Name: read.found = text(typeSection, "Name" + std::to_string(name)); break;
    }
    return read;
}

void LoaderReplay::WarnOfTypeName(const ProfileEntry& entry, const std::wstring& typeName, const std::string& section) {
    const bool first = section == TypeSection(1);
    const std::string written = "Type=" + facts_.text.Utf8(typeName);
    const auto guess = GuessKind(typeName, facts_.text);
    if (guess)
        Unloaded(guess->kind, "[" + section + "] has " + written + " at line " + std::to_string(entry.line) + ", not " +
                                  facts_.text.Utf8(kTypeNames[guess->kind]));
    if (typeName.empty()) {
        facts_.Warn(entry.line, first ? LintRule::EmptyFirstType : LintRule::EmptyType,
                    first ? "Type= is empty in [Type1], so the plug-in checks nothing at all"
                          : "Type= is empty, so the plug-in ignores the names of this section",
                    "write the type of its names: AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle");
        return;
    }
    if (!guess) {
        facts_.Warn(entry.line, LintRule::UnknownType,
                    written + " is none of the four types the plug-in checks, so it reads the names of this section and ignores them",
                    "use AcadLayer, AcadLineType, AcadTextStyle or AcadDimStyle, or remove the section");
        return;
    }
    std::string meant;
    for (const wchar_t c : std::wstring_view(kTypeNames[guess->kind])) meant.push_back(static_cast<char>(c));
    const auto edit = facts_.IfProven(Replacing(entry.line, "Type=" + meant), guess->letterCaseOnly ? LintRule::TypeNameCase : LintRule::MisspeltType, entry.line);
    if (guess->letterCaseOnly)
        facts_.Warn(entry.line, LintRule::TypeNameCase,
                    written + ": the plug-in compares type names with their letter case, so it ignores the names of this section",
                    "write Type=" + meant, edit);
    else
        facts_.Warn(entry.line, LintRule::MisspeltType,
                    written + " is no type name the plug-in knows (misspelt?), so it ignores the names of this section",
                    "write Type=" + meant + " if these are " + kKindPlurals[guess->kind], edit);
}

}  // namespace

void ReplayLoader(WalkFacts& facts, ValueChecks& values) { LoaderReplay(facts, values).Run(); }

}  // namespace kvstcheck::walk
