#include "kvstcheck/rules/RulesFile.h"

#include <algorithm>
#include <cstdlib>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/CodeList.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesText.h"

// Errors come back as values: no exception can leave the parser. Its internal assertions would end
// the program on some malformed files (a table header opening with a character no key can start
// with); without them it reports such files as errors, which the fuzz target checks under the
// sanitizers.
#define TOML_EXCEPTIONS 0
#define TOML_ASSERT(expr) static_cast<void>(0)
#define TOML_ENABLE_WINDOWS_COMPAT 0
#include <toml++/toml.h>

namespace kvstcheck::rules {

std::string_view SectionOf(NameKind kind) {
    static constexpr std::array<std::string_view, kKindCount> kSections = {"layers", "linetypes", "text-styles",
                                                                           "dimension-styles"};
    return kSections[static_cast<std::size_t>(kind)];
}

std::string_view WordOf(NameKind kind) {
    static constexpr std::array<std::string_view, kKindCount> kWords = {"layer", "linetype", "text style",
                                                                        "dimension style"};
    return kWords[static_cast<std::size_t>(kind)];
}

std::string Place::Describe() const {
    if (line == 0) return file;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column);
}

std::string RulesProblem::Describe() const {
    return place.Describe() + ": " + problem + (fix.empty() ? "" : "\n    fix: " + fix);
}

std::string FolderOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

namespace {

constexpr int kMostColor = 255;
// The lineweights a layer can have, in hundredths of a millimetre: the drawing format's values.
constexpr std::array<int, 24> kLineweights = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                              53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};

std::string TypeName(const toml::node& node) {
    switch (node.type()) {
        case toml::node_type::table: return "a table";
        case toml::node_type::array: return "a list";
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "an integer";
        case toml::node_type::floating_point: return "a number with a fraction";
        case toml::node_type::boolean: return "true or false";
        default: return "a date or time";
    }
}

// The allowed lineweight nearest to a number, the larger of two as near.
int NearestLineweight(std::int64_t value) {
    int nearest = kLineweights.front();
    for (const int weight : kLineweights)
        if (std::llabs(weight - value) <= std::llabs(nearest - value)) nearest = weight;
    return nearest;
}

// The text after a value on its line holds nothing but blanks and a comment.
bool NothingAfter(std::string_view line, std::size_t endColumn) {
    const std::string_view rest = line.substr(ByteOfColumn(line, endColumn));
    const auto next = rest.find_first_not_of(" \t");
    return next == std::string_view::npos || rest[next] == '#';
}

}  // namespace

// What the walks of one parsed file share: the builder they fill, the file's lines, and the places,
// problems and edits of its values.
class FileWalkBase {
public:
    FileWalkBase(RulesBuilder& builder, std::string file, std::string_view text)
        : builder_(builder), file_(std::move(file)), lines_(SplitLines(text)) {}

protected:
    using KindDraft = RulesBuilder::KindDraft;
    using Field = RulesBuilder::Field;

    KindDraft& Draft(NameKind kind) { return builder_.kinds_[static_cast<std::size_t>(kind)]; }
    std::vector<LayerRule>& Layers() { return builder_.layers_; }
    NameChecks& Checks() { return builder_.checks_; }
    std::optional<std::string> Read(const std::string& path) const { return builder_.read_(path); }
    std::vector<RulesProblem>& Problems() { return builder_.problems_; }
    const std::string& file() const { return file_; }

    Place At(const toml::source_region& region) const {
        return Place{file_, region.begin.line, region.begin.column, region.end.line, region.end.column};
    }

    void Problem(LintRule rule, const toml::source_region& region, std::string problem, std::string fix,
                 std::optional<LineEdit> edit = std::nullopt) {
        builder_.problems_.push_back({rule, At(region), std::move(problem), std::move(fix), std::move(edit)});
    }

    // The region's line with the region's text replaced, where the region lies on one line.
    std::optional<LineEdit> Replacing(const toml::source_region& region, std::string_view by) const {
        if (region.begin.line != region.end.line || region.begin.line > lines_.size()) return std::nullopt;
        const std::string_view line = lines_[region.begin.line - 1];
        const std::size_t from = ByteOfColumn(line, region.begin.column);
        std::string changed(line);
        changed.replace(from, ByteOfColumn(line, region.end.column) - from, by);
        return LineEdit{region.begin.line, LineEdit::Action::Replace, std::move(changed)};
    }

    // Deletes the key's line, where it holds that key and its value alone.
    std::optional<LineEdit> LineRemoval(const toml::source_region& key, const toml::node& value) const {
        const auto& end = value.source().end;
        if (key.begin.line != end.line || key.begin.line > lines_.size()) return std::nullopt;
        const std::string_view line = lines_[key.begin.line - 1];
        if (line.find_first_not_of(" \t") != ByteOfColumn(line, key.begin.column) || !NothingAfter(line, end.column))
            return std::nullopt;
        return LineEdit{key.begin.line, LineEdit::Action::Delete, {}};
    }

    const toml::table* Table(const toml::node& node, const std::string& what, const std::string& fix) {
        if (const auto* table = node.as_table()) return table;
        Problem(LintRule::WrongType, node.source(), what + " must be a table, found " + TypeName(node), fix);
        return nullptr;
    }

    std::optional<std::vector<std::pair<std::string, Place>>> Strings(const toml::node& node, const std::string& what) {
        const auto* array = node.as_array();
        std::vector<std::pair<std::string, Place>> strings;
        if (array) {
            for (const toml::node& item : *array) {
                if (const auto* text = item.as_string()) {
                    strings.emplace_back(text->get(), At(item.source()));
                    continue;
                }
                Problem(LintRule::WrongType, item.source(),
                        what + " holds " + TypeName(item) + "; each entry must be a string", "quote it: \"...\"");
                return std::nullopt;
            }
            return strings;
        }
        Problem(LintRule::WrongType, node.source(), what + " must be a list of strings, found " + TypeName(node),
                "write a list: " + what.substr(what.find(' ') + 1) + " = [\"...\"]");
        return std::nullopt;
    }

private:
    RulesBuilder& builder_;
    std::string file_;
    std::vector<std::string_view> lines_;
};

// The properties of layers: [layers.properties."NAME"] tables.
class LayerWalk : public FileWalkBase {
public:
    explicit LayerWalk(const FileWalkBase& base) : FileWalkBase(base) {}

    void WalkLayers(const toml::table& properties) {
        std::map<std::u32string, std::string> spellings;  // this file's tables by folded name
        for (auto&& [key, node] : properties) {
            const std::string name(key.str());
            const std::string what = "[layers.properties.\"" + name + "\"]";
            const auto* table = Table(node, what, "write " + what + " with color, linetype, lineweight or plot");
            if (!table) continue;
            const auto [first, added] = spellings.emplace(FoldCase(FromUtf8(name)), name);
            if (!added) {
                Problem(LintRule::LayerCasePair, key.source(),
                        what + " and [layers.properties.\"" + first->second +
                            "\"] differ only in letter case: both apply to one layer, with different properties",
                        "merge them into one table");
                continue;
            }
            if (name.find_first_of("*?") != std::string::npos)
                Problem(LintRule::LayerWildcard, key.source(),
                        what + " holds a wildcard character, but names are matched whole: it applies to no layer",
                        "write one table per layer, each with the layer's whole name");
            LayerRule& rule = LayerRuleFor(FromUtf8(name), At(key.source()));
            for (auto&& [propertyKey, value] : *table)
                WalkLayerProperty(rule, what, std::string(propertyKey.str()), value, propertyKey.source());
        }
    }

    // A later file's table for a layer changes the earlier one's, letter case aside.
    LayerRule& LayerRuleFor(const std::u32string& name, const Place& place) {
        auto& layers = Layers();
        const std::u32string folded = FoldCase(name);
        const auto found =
            std::find_if(layers.begin(), layers.end(), [&](const LayerRule& r) { return FoldCase(r.name) == folded; });
        if (found != layers.end()) {
            found->place = place;
            return *found;
        }
        layers.push_back(LayerRule{name, place, {}, {}, {}, {}});
        return layers.back();
    }

    void WalkLayerProperty(LayerRule& rule, const std::string& what, const std::string& key, const toml::node& value,
                           const toml::source_region& keyRegion) {
        const std::string where = what + " " + key;
        if (key == "color") {
            const auto number = value.value_exact<std::int64_t>();
            if (number && *number >= 1 && *number <= kMostColor)
                rule.color = static_cast<int>(*number);
            else
                Problem(LintRule::ColorValue, value.source(),
                        where + " must be a colour number from 1 to 255, found " + Shown(value),
                        "write color = 7 (a layer that is off keeps its colour number)");
        } else if (key == "linetype") {
            if (const auto* text = value.as_string())
                rule.linetype = FromUtf8(text->get());
            else
                Problem(LintRule::WrongType, value.source(), where + " must be a string, found " + Shown(value),
                        "write linetype = \"Continuous\"");
        } else if (key == "lineweight") {
            WalkLineweight(rule, where, value);
        } else if (key == "plot") {
            if (const auto* flag = value.as_boolean())
                rule.plot = flag->get();
            else
                Problem(LintRule::WrongType, value.source(), where + " must be true or false, found " + Shown(value),
                        "write plot = true");
        } else {
            Problem(LintRule::UnknownKey, keyRegion, "unknown key " + where,
                    "a layer's properties are color, linetype, lineweight and plot");
        }
    }

    // A layer's lineweight is one of the drawing format's values or the default; a layer has no
    // lineweight by layer or by block.
    void WalkLineweight(LayerRule& rule, const std::string& where, const toml::node& value) {
        const auto number = value.value_exact<std::int64_t>();
        const auto* text = value.as_string();
        if (number && std::find(kLineweights.begin(), kLineweights.end(), *number) != kLineweights.end()) {
            rule.lineweight = static_cast<int>(*number);
            return;
        }
        if (text && text->get() == "default") {
            rule.lineweight = kDefaultLineweight;
            return;
        }
        const std::string problem = where + " must be a lineweight from 0 to 211 hundredths of a millimetre that the "
                                            "drawing format has, or \"default\", found " + Shown(value);
        if (number && *number >= 0 && *number <= kLineweights.back()) {
            const std::string nearest = std::to_string(NearestLineweight(*number));
            Problem(LintRule::LineweightValue, value.source(), problem + " (the nearest: " + nearest + ")",
                    "write lineweight = " + nearest + "; the lineweights are 0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, "
                    "50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200 and 211",
                    Replacing(value.source(), nearest));
            return;
        }
        Problem(LintRule::LineweightValue, value.source(), problem,
                "write lineweight = 35 for 0.35 mm, or \"default\"");
    }

    static std::string Shown(const toml::node& node) {
        if (const auto number = node.value_exact<std::int64_t>()) return std::to_string(*number);
        if (const auto* text = node.as_string()) return "\"" + text->get() + "\"";
        return TypeName(node);
    }

};

// Walks one parsed file into the builder, reporting what does not belong.
class FileWalk : public FileWalkBase {
public:
    using FileWalkBase::FileWalkBase;

    void Walk(const toml::table& root) {
        for (auto&& [key, node] : root) {
            const std::string name(key.str());
            const auto known = std::find_if(kSections.begin(), kSections.end(),
                                            [&](const Section& section) { return section.name == name; });
            if (known == kSections.end()) {
                std::string names;
                for (const Section& section : kSections) names += (names.empty() ? "[" : "], [") + std::string(section.name);
                Problem(LintRule::UnknownSection, key.source(), "unknown section [" + name + "]",
                        "the sections are " + names + "]");
            } else if (const auto* table = Table(node, "[" + name + "]", "write it as a section: [" + name + "]")) {
                (this->*(known->walk))(*table);
            }
        }
    }

private:
    // Every section a rules file may have, and what reads it: a new family of tables is one line here.
    struct Section {
        std::string_view name;
        void (FileWalk::*walk)(const toml::table&);
    };
    template <NameKind kind>
    void WalkKindSection(const toml::table& table) {
        WalkKind(kind, table);
    }
    // What kvstcheck fix renames: the fix command's own loader reads it.
    void SkipFixTables(const toml::table&) {}
    static const std::array<Section, 6> kSections;

    void WalkKind(NameKind kind, const toml::table& table) {
        const std::string section(SectionOf(kind));
        auto& draft = Draft(kind);
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            const std::string what = "[" + section + "] " + name;
            if (name == "patterns" || name == "patterns_add") {
                if (name == "patterns") draft.patterns.clear();
                (name == "patterns" ? draft.patternsReplaced : draft.patternsAdded) = true;
                if (auto strings = Strings(node, what))
                    for (auto& [text, place] : *strings) AddPattern(draft, text, place);
            } else if (name == "required" || name == "required_add") {
                if (name == "required") draft.required.clear();
                if (auto strings = Strings(node, what))
                    for (auto& [text, place] : *strings) draft.required.push_back({FromUtf8(text), place});
            } else if (name == "format") {
                if (const auto* text = node.as_string())
                    draft.format.emplace(FromUtf8(text->get()), At(node.source()));
                else
                    Problem(LintRule::WrongType, node.source(), what + " must be a string, found " + TypeName(node),
                            "write format = \"{discipline}-{major}\"");
            } else if (name == "fields") {
                if (const auto* fields = Table(node, what, "write [" + section + ".fields] with a list per field"))
                    WalkFields(draft, section, *fields);
            } else if (name == "properties" && kind == NameKind::Layer) {
                if (const auto* properties = Table(node, what, "write [layers.properties.\"NAME\"] sections"))
                    LayerWalk(*this).WalkLayers(*properties);
            } else {
                Problem(LintRule::UnknownKey, key.source(), "unknown key " + what,
                        "the keys of [" + section + "] are patterns, patterns_add, required, required_add, format" +
                            (kind == NameKind::Layer ? ", fields and properties" : " and fields"));
            }
        }
    }

    void AddPattern(KindDraft& draft, const std::string& text, const Place& place) {
        try {
            draft.patterns.push_back({text, place, std::make_shared<const NamePattern>(FromUtf8(text))});
        } catch (const PatternError& error) {
            Problems().push_back({LintRule::PatternSyntax, place,
                                          "pattern '" + text + "' does not compile: at character " +
                                              std::to_string(error.column()) + " of the pattern: " + error.what(),
                                          "write the pattern in the regular part of ECMAScript's syntax: classes, "
                                          "groups, alternation, ? * + {m,n}"});
        }
    }

    void WalkFields(KindDraft& draft, const std::string& section, const toml::table& fields) {
        for (auto&& [key, node] : fields) {
            const std::string name(key.str());
            const std::string what = "[" + section + ".fields] " + name;
            if (const auto* inline_table = node.as_table()) {
                WalkCsvField(draft, what, name, *inline_table, node, key.source());
                continue;
            }
            if (auto strings = Strings(node, what)) {
                Field field{{}, At(key.source()), false, LineRemoval(key.source(), node)};
                for (const auto& entry : *strings) field.codes.push_back(FromUtf8(entry.first));
                draft.fields[name] = std::move(field);
            }
        }
    }

    void WalkCsvField(KindDraft& draft, const std::string& what, const std::string& name,
                      const toml::table& table, const toml::node& node, const toml::source_region& key) {
        const auto* csv = table.get_as<std::string>("csv");
        if (csv == nullptr || table.size() != 1) {
            Problem(LintRule::WrongType, node.source(), what + " must be a list of codes or { csv = \"FILE\" }",
                    "write " + name + " = [\"A\", \"B\"] or " + name + " = { csv = \"" + name + ".csv\" }");
            return;
        }
        const std::string path = FolderOf(file()) + csv->get();
        const auto bytes = Read(path);
        const DecodedText text = bytes ? DecodeText(*bytes) : DecodedText{};
        if (!text.text) {
            Problem(LintRule::CodeListUnreadable, csv->source(),
                    "cannot read the code list " + path + (bytes ? ": not a text file (" + text.why + ")" : ""),
                    "put the CSV file beside the rules file, one code in the first column of each line");
            return;
        }
        draft.fields[name] = Field{CodesOfCsv(*text.text), At(csv->source()), true, LineRemoval(key, node)};
    }

    void WalkChecks(const toml::table& table) {
        NameChecks& checks = Checks();
        const std::pair<std::string_view, bool NameChecks::*> kChecks[] = {
            {"characters", &NameChecks::characters},
            {"letter-case", &NameChecks::letterCase},
            {"spaces", &NameChecks::spaces},
            {"invisible", &NameChecks::invisible},
        };
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            const auto check = std::find_if(std::begin(kChecks), std::end(kChecks),
                                            [&](const auto& entry) { return entry.first == name; });
            if (check == std::end(kChecks))
                Problem(LintRule::UnknownKey, key.source(), "unknown key [names] " + name,
                        "the checks are characters, letter-case, spaces and invisible (true or false)");
            else if (const auto* flag = node.as_boolean())
                checks.*(check->second) = flag->get();
            else
                Problem(LintRule::WrongType, node.source(),
                        "[names] " + name + " must be true or false, found " + TypeName(node),
                        "write " + name + " = false to turn the check off");
        }
    }

};

const std::array<FileWalk::Section, 6> FileWalk::kSections = {{
    {"layers", &FileWalk::WalkKindSection<NameKind::Layer>},
    {"linetypes", &FileWalk::WalkKindSection<NameKind::Linetype>},
    {"text-styles", &FileWalk::WalkKindSection<NameKind::TextStyle>},
    {"dimension-styles", &FileWalk::WalkKindSection<NameKind::DimStyle>},
    {"names", &FileWalk::WalkChecks},
    {"fix", &FileWalk::SkipFixTables},
}};

void RulesBuilder::Add(std::string_view bytes, const std::string& file) {
    files_.push_back(file);
    const DecodedText decoded = DecodeText(bytes);
    texts_.push_back(decoded.text.value_or(std::string()));
    if (!decoded.text) {
        problems_.push_back({LintRule::NotText, Place{file, decoded.line, decoded.column},
                             "not a text file: " + decoded.why,
                             "save it as UTF-8 text (UTF-16 with its byte order mark is read too)"});
        return;
    }
    const std::string_view text = texts_.back();
    if (auto problem = UnparseableCharacter(text, file)) {
        problems_.push_back(std::move(*problem));
        return;
    }
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        problems_.push_back({LintRule::TomlSyntax, Place{file, error.source().begin.line, error.source().begin.column},
                             "not a TOML file: " + std::string(error.description()),
                             "write sections as [layers] and values as key = \"text\", key = 1, key = [\"a\", \"b\"]"});
        return;
    }
    FileWalk(*this, file, text).Walk(parsed.table());
}

}  // namespace kvstcheck::rules
