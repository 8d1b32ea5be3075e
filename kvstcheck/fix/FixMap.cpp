#include "kvstcheck/fix/FixMap.h"

#include <algorithm>
#include <map>
#include <optional>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"

// As the rules loader reads TOML: errors as values, no assertion can end the program.
#define TOML_EXCEPTIONS 0
#define TOML_ASSERT(expr) static_cast<void>(0)
#define TOML_ENABLE_WINDOWS_COMPAT 0
#include <toml++/toml.h>

namespace kvstcheck::fix {
namespace {

using rules::NameKind;

constexpr std::string_view kKindsInWords = "layers, linetypes, text-styles, dimension-styles";

std::optional<NameKind> KindOfKey(std::string_view key) {
    for (const NameKind kind : rules::kKinds)
        if (rules::SectionOf(kind) == key) return kind;
    return std::nullopt;
}

std::vector<MapEntry>& EntriesOf(FixMap& map, NameKind kind) { return map.renames[static_cast<std::size_t>(kind)]; }

rules::Place At(const std::string& file, const toml::source_region& region) {
    return {file, region.begin.line, region.begin.column};
}

void ReadAuto(const toml::node& node, const std::string& file, FixMap& map, Problems& problems) {
    const auto* list = node.as_array();
    if (!list) {
        problems.push_back({rules::LintRule::FixEntry, At(file, node.source()), "[fix] auto must be a list", "write auto = [\"letter-case\", \"invisible\"]"});
        return;
    }
    for (const toml::node& item : *list) {
        const auto* word = item.as_string();
        if (word && word->get() == "letter-case") map.autoLetterCase = true;
        else if (word && word->get() == "invisible") map.autoInvisible = true;
        else problems.push_back({rules::LintRule::FixEntry, At(file, item.source()), "[fix] auto: unknown entry", "the entries are \"letter-case\" and \"invisible\""});
    }
}

void ReadRenames(NameKind kind, const toml::table& table, const std::string& file, FixMap& map, Problems& problems) {
    for (auto&& [key, value] : table) {
        const auto* target = value.as_string();
        if (!target) {
            problems.push_back({rules::LintRule::FixEntry, At(file, value.source()), "[fix." + std::string(rules::SectionOf(kind)) + "] \"" +
                                    std::string(key.str()) + "\" must be a name in quotes",
                                "write \"OLD\" = \"NEW\""});
            continue;
        }
        EntriesOf(map, kind).push_back({FromUtf8(key.str()), FromUtf8(target->get()), At(file, key.source())});
    }
}

// The fields of one CSV line: quoted fields may hold the delimiter and "" for a quote.
std::optional<std::vector<std::string>> SplitCsvLine(std::string_view line, char delimiter) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') fields.back() += c;
            else if (i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
            else quoted = false;
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == delimiter) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) return std::nullopt;
    return fields;
}

bool IsValidUtf8(std::string_view text) {
    return ToUtf8(FromUtf8(text)) == text && text.find("\xEF\xBF\xBD") == std::string_view::npos;
}

std::u32string Folded(std::u32string_view name) { return rules::FoldCase(name); }

}  // namespace

const MapEntry* FixMap::Find(NameKind kind, std::u32string_view name) const {
    const std::u32string folded = Folded(name);
    for (const MapEntry& entry : of(kind))
        if (Folded(entry.from) == folded) return &entry;
    return nullptr;
}

bool IsReservedName(std::u32string_view name) {
    static constexpr std::array<std::u32string_view, 6> kReserved = {U"0", U"Defpoints", U"ByLayer", U"ByBlock",
                                                                     U"Continuous", U"Standard"};
    const std::u32string folded = Folded(name);
    return std::any_of(kReserved.begin(), kReserved.end(), [&](std::u32string_view reserved) { return Folded(reserved) == folded; });
}

bool IsExternalName(std::u32string_view name) { return name.find(U'|') != std::u32string_view::npos; }

void AddRulesFixTables(std::string_view text, const std::string& file, FixMap& map, Problems& problems) {
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) return;  // the rules loader tells what is wrong with the file
    const auto* fix = parsed.table()["fix"].as_table();
    if (!fix) return;
    for (auto&& [key, node] : *fix) {
        const std::string name(key.str());
        if (name == "auto") {
            ReadAuto(node, file, map, problems);
        } else if (const auto kind = KindOfKey(name); kind && node.as_table()) {
            ReadRenames(*kind, *node.as_table(), file, map, problems);
        } else {
            problems.push_back({rules::LintRule::FixEntry, At(file, key.source()), "unknown key [fix] " + name,
                                "the keys are tables of \"OLD\" = \"NEW\" (" + std::string(kKindsInWords) + ") and auto"});
        }
    }
}

void AddCsvMap(std::string_view bytes, const std::string& file, FixMap& map, Problems& problems) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const auto problem = [&](std::size_t line, std::string what, std::string fix) {
        problems.push_back({rules::LintRule::FixEntry, rules::Place{file, line, 1}, std::move(what), std::move(fix)});
    };
    if (!IsValidUtf8(bytes)) return problem(0, "the map is not UTF-8 text", "save it as UTF-8 (CSV UTF-8)");
    const std::size_t headerEnd = std::min(bytes.find('\n'), bytes.size());
    const std::string_view header = bytes.substr(0, headerEnd);
    const char delimiter = header.find(';') != std::string_view::npos ? ';' : ',';
    const auto headerFields = SplitCsvLine(header.ends_with('\r') ? header.substr(0, header.size() - 1) : header, delimiter);
    if (!headerFields || *headerFields != std::vector<std::string>{"kind", "from", "to"})
        return problem(1, "the first line must be the header kind,from,to", "start the file with the line kind,from,to");
    std::size_t lineNumber = 1;
    for (std::size_t start = headerEnd + 1; start < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const auto fields = SplitCsvLine(line, delimiter);
        if (!fields || fields->size() != 3) {
            problem(lineNumber, "a row must have three fields: kind, from, to", "write e.g. layers" + std::string(1, delimiter) +
                                                                                    "WALLS" + delimiter + "A-WALL");
            continue;
        }
        const auto kind = KindOfKey((*fields)[0]);
        if (!kind) {
            problem(lineNumber, "unknown kind \"" + (*fields)[0] + "\"", "the kinds are " + std::string(kKindsInWords));
            continue;
        }
        if ((*fields)[1].empty() || (*fields)[2].empty()) {
            problem(lineNumber, "a rename needs a name and its target", "fill both the from and the to field");
            continue;
        }
        EntriesOf(map, *kind).push_back({FromUtf8((*fields)[1]), FromUtf8((*fields)[2]), {file, lineNumber, 1}});
    }
}

bool PatternsAllow(const rules::RuleSet& ruleSet, NameKind kind, std::u32string_view target) {
    const auto& patterns = ruleSet.of(kind).patterns;
    const std::u32string own = rules::OwnPart(target);
    return patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const rules::Pattern& pattern) {
               return pattern.compiled->Matches(own);
           });
}

Problems LintFixTables(std::string_view toml, const std::string& file, const rules::RuleSet& ruleSet) {
    FixMap map;
    Problems problems;
    AddRulesFixTables(toml, file, map, problems);
    CheckMap(map, [&](NameKind kind, std::u32string_view target) { return PatternsAllow(ruleSet, kind, target); }, problems);
    return problems;
}

void CheckMap(const FixMap& map, const TargetAllowed& allowed, Problems& problems) {
    for (const NameKind kind : rules::kKinds) {
        const std::string section = "[fix." + std::string(rules::SectionOf(kind)) + "] ";
        std::map<std::u32string, const MapEntry*> firstOf;
        for (const MapEntry& entry : map.of(kind)) {
            const std::string rename = "\"" + ToUtf8(entry.from) + "\" = \"" + ToUtf8(entry.to) + "\"";
            if (IsReservedName(entry.from))
                problems.push_back({rules::LintRule::FixTarget, entry.place, section + rename + ": \"" + ToUtf8(entry.from) + "\" is never renamed",
                                    "leave the reserved names out of the map"});
            else if (IsExternalName(entry.from))
                problems.push_back({rules::LintRule::FixTarget, entry.place, section + rename + ": a name from an external reference is left as it is",
                                    "rename it in the drawing it comes from"});
            if (!allowed(kind, entry.to))
                problems.push_back({rules::LintRule::FixTarget, entry.place, section + rename + ": \"" + ToUtf8(entry.to) + "\" is not a name the standard and the rules allow",
                                    "map it to a name the standard (and the rules' patterns) allow"});
            const auto [earlier, first] = firstOf.emplace(Folded(entry.from), &entry);
            if (!first && earlier->second->to != entry.to)
                problems.push_back({rules::LintRule::FixTarget, entry.place, section + rename + ": \"" + ToUtf8(entry.from) + "\" is also mapped to \"" +
                                        ToUtf8(earlier->second->to) + "\" at " + earlier->second->place.Describe(),
                                    "map each name to one target"});
        }
    }
}

}  // namespace kvstcheck::fix
