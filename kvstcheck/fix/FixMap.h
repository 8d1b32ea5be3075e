#pragma once
// What a fix renames: [fix.layers] ... tables of rules files and the rows of --map CSV files, kind by
// kind, and which renames hints may add on their own. Portable: text in, problems out.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/Rules.h"

namespace kvstcheck::fix {

struct MapEntry {
    std::u32string from;
    std::u32string to;
    rules::Place place;  // where the user wrote it
};

struct FixMap {
    std::array<std::vector<MapEntry>, rules::kKindCount> renames;
    bool autoLetterCase = false;  // rename to the one allowed name equal but for letter case
    bool autoInvisible = false;   // rename to the one allowed name equal but for what a reader cannot see

    const std::vector<MapEntry>& of(rules::NameKind kind) const { return renames[static_cast<std::size_t>(kind)]; }
    // The entry for a drawing's name, matched ignoring letter case as CAD programs resolve names; nullptr for none.
    const MapEntry* Find(rules::NameKind kind, std::u32string_view name) const;
};

using Problems = std::vector<rules::RulesProblem>;

// The [fix] tables of one rules file; every other section is the rules loader's.
void AddRulesFixTables(std::string_view toml, const std::string& file, FixMap& map, Problems& problems);
// A CSV file with the header kind,from,to; "," or ";" as its header line uses; UTF-8, a byte order mark allowed.
void AddCsvMap(std::string_view bytes, const std::string& file, FixMap& map, Problems& problems);

// Whether a target is a name the standard (and the rules' patterns) allow.
using TargetAllowed = std::function<bool(rules::NameKind kind, std::u32string_view target)>;
// One name mapped to two targets, a reserved name or another drawing's name renamed, a target not allowed.
void CheckMap(const FixMap& map, const TargetAllowed& allowed, Problems& problems);

// Whether the rules' patterns for the kind allow the target (own part of an external name); no patterns: yes.
bool PatternsAllow(const rules::RuleSet& rules, rules::NameKind kind, std::u32string_view target);

// What rules lint says of a rules file's [fix] tables: their problems, and targets the file's own
// patterns reject (lint knows no standard file; the fix command checks that too).
Problems LintFixTables(std::string_view toml, const std::string& file, const rules::RuleSet& rules);

// Names no fix renames or removes: "0", "Defpoints", "ByLayer", "ByBlock", "Continuous", "Standard".
bool IsReservedName(std::u32string_view name);
// A name from an external reference: "XREF|NAME".
bool IsExternalName(std::u32string_view name);

}  // namespace kvstcheck::fix
