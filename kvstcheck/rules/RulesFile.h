#pragma once
// Rules files (TOML) to one rule set. Several files layer, each over the ones before: a key a later
// file gives replaces the earlier value, and patterns_add / required_add append to the earlier lists.
// Portable: files beside a rules file (code lists) come through the caller's reader.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/Rules.h"

namespace kvstcheck::rules {

// The bytes of a file named by its path; nullopt when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Checks of a rules file that another part of kvstcheck owns (the fix command's [fix] tables), handed
// in by the command layer, which sees both: the problems of one file, given its decoded text and the
// whole rule set, with the catalogue's rules.
using MoreChecks = std::function<std::vector<RulesProblem>(std::string_view text, const std::string& file, const RuleSet& rules)>;

class RulesBuilder {
public:
    explicit RulesBuilder(FileReader read, MoreChecks more = {}) : read_(std::move(read)), more_(std::move(more)) {}

    // One rules file over those added before; file names it in messages and locates its code lists.
    // bytes: as saved (UTF-8 with or without its byte order mark, or UTF-16 with its mark).
    void Add(std::string_view bytes, const std::string& file);
    // The rule set; layouts are checked against their fields here, and the lists for likely mistakes.
    RuleSet Finish();
    // Everything wrong so far, errors and warnings, in file order and by line within a file (sorted by
    // Finish); a run must not use a rule set with an error.
    const std::vector<RulesProblem>& problems() const noexcept { return problems_; }
    bool HasErrors() const;

private:
    struct Field {
        std::vector<std::u32string> codes;
        Place place;
        bool fromCsv = false;
        std::optional<LineEdit> removal;  // deletes the field's line, where it holds the field alone
    };
    struct KindDraft {
        std::vector<Pattern> patterns;
        bool patternsReplaced = false;
        bool patternsAdded = false;
        std::vector<RequiredName> required;
        std::optional<std::pair<std::u32string, Place>> format;
        std::map<std::string, Field> fields;
    };

    void CheckFields(NameKind kind, const KindDraft& draft, const NameFormat* format);
    void CheckDuplicates(NameKind kind, const KindDraft& draft);
    std::optional<LineEdit> RemovalOfItem(const Place& place) const;
    void SortProblems();

    friend class FileWalkBase;
    FileReader read_;
    MoreChecks more_;
    std::array<KindDraft, kKindCount> kinds_;
    std::vector<LayerRule> layers_;
    NameChecks checks_;
    std::vector<std::string> files_;
    std::vector<std::string> texts_;  // each file's text, decoded, for the edits of its lines
    std::vector<RulesProblem> problems_;
};

// The folder part of a path, with its separator; empty for a bare file name.
std::string FolderOf(const std::string& path);

}  // namespace kvstcheck::rules
