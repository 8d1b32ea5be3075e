#include "kvstcheck/rules/RulesFile.h"

#include <algorithm>

#include "kvstcheck/CodePoints.h"

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
constexpr int kMostLineweight = 211;

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

// The first cell of each line of a code list; "#" lines and a header cell "code" are skipped.
std::vector<std::u32string> CodesOfCsv(std::string_view text) {
    std::vector<std::u32string> codes;
    bool first = true;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (first && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        std::string cell;
        if (line.starts_with('"')) {
            for (std::size_t i = 1; i < line.size(); ++i) {
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else if (line[i] == '"') {
                    break;
                } else {
                    cell += line[i];
                }
            }
        } else {
            cell = std::string(line.substr(0, line.find(',')));
            while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t' || cell.back() == '\r')) cell.pop_back();
            cell.erase(0, std::min(cell.size(), cell.find_first_not_of(" \t")));
        }
        const bool header = first && (cell == "code" || cell == "Code" || cell == "CODE");
        first = false;
        if (cell.empty() || cell.starts_with('#') || header) continue;
        codes.push_back(FromUtf8(cell));
    }
    return codes;
}

// Where a TOML file's text stands: outside quotes, in a comment, or in one of the four kinds of string.
enum class Lexical { Outside, Comment, Basic, Literal, MultiBasic, MultiLiteral };

// A quote opens a string only where a key or value may begin. Glued to a bare word (1"x", -"x") it is
// part of that word, which the parser reads on to its end, testing each character for white space.
bool QuoteOpensString(std::string_view text, std::size_t at) {
    constexpr std::string_view kBeforeAString = " \t\n=[{,.";
    return at == 0 || kBeforeAString.find(text[at - 1]) != std::string_view::npos;
}

// After a backslash in a multi-line basic string the parser skips white space and line ends, testing
// each character; afterBackslash: the text after it.
bool BeyondAsciiAfterBackslash(std::string_view afterBackslash) {
    const auto next = afterBackslash.find_first_not_of(" \t\r\n");
    return next != std::string_view::npos && static_cast<unsigned char>(afterBackslash[next]) >= 0x80;
}

// A character the parser must not be given, with its place: a control character other than tab and
// line ends (TOML allows none), or a character beyond ASCII where the parser tests it for white
// space: outside quotes and comments (TOML keys and white space are ASCII), or after a backslash in
// a multi-line string. The parser's tables of white space beyond ASCII are faulty (undefined
// behaviour for most letters beyond ASCII).
std::optional<RulesProblem> UnparseableCharacter(std::string_view text, const std::string& file) {
    Lexical where = Lexical::Outside;
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::string_view rest = text.substr(i);
        const bool lineEnd = c == '\n' || (c == '\r' && rest.starts_with("\r\n"));
        if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F)
            return RulesProblem{{file, line, column}, "not a TOML file: a control character",
                                "remove it: a rules file is UTF-8 text, and only tabs and line ends may be control characters"};
        if (c >= 0x80 && where == Lexical::Outside)
            return RulesProblem{{file, line, column}, "not a TOML file: a character beyond ASCII outside quotes",
                                "quote a name that holds it: [layers.properties.\"NAME\"] or \"NAME\""};
        switch (where) {
            case Lexical::Outside:
                if (c == '#') where = Lexical::Comment;
                else if ((c == '"' || c == '\'') && !QuoteOpensString(text, i)) break;
                else if (rest.starts_with("\"\"\"")) where = Lexical::MultiBasic, i += 2, column += 2;
                else if (rest.starts_with("'''")) where = Lexical::MultiLiteral, i += 2, column += 2;
                else if (c == '"') where = Lexical::Basic;
                else if (c == '\'') where = Lexical::Literal;
                break;
            case Lexical::Comment:
                if (c == '\n') where = Lexical::Outside;
                break;
            case Lexical::Basic:
            case Lexical::MultiBasic:
                if (c == '\\' && where == Lexical::MultiBasic && BeyondAsciiAfterBackslash(rest.substr(1)))
                    return RulesProblem{{file, line, column},
                                        "not a TOML file: a character beyond ASCII after a backslash in a multi-line string",
                                        "write that character as \\uXXXX, its code point in hexadecimal"};
                if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n' && text[i + 1] != '\r') {
                    ++i;
                    ++column;
                } else if (where == Lexical::Basic ? (c == '"' || c == '\n') : rest.starts_with("\"\"\"")) {
                    if (where == Lexical::MultiBasic) i += 2, column += 2;
                    where = Lexical::Outside;
                }
                break;
            case Lexical::Literal:
                if (c == '\'' || c == '\n') where = Lexical::Outside;
                break;
            case Lexical::MultiLiteral:
                if (rest.starts_with("'''")) where = Lexical::Outside, i += 2, column += 2;
                break;
        }
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return std::nullopt;
}

}  // namespace

// Walks one parsed file into the builder, reporting what does not belong.
class FileWalk {
public:
    FileWalk(RulesBuilder& builder, std::string file) : builder_(builder), file_(std::move(file)) {}

    void Walk(const toml::table& root) {
        for (auto&& [key, node] : root) {
            const std::string name(key.str());
            const auto kind = KindOfSection(name);
            if (kind) {
                if (const auto* table = Table(node, "[" + name + "]", "write it as a section: [" + name + "]"))
                    WalkKind(*kind, *table);
            } else if (name == "fix") {  // what kvstcheck fix renames: its own loader reads it
            } else if (name == "names") {
                if (const auto* table = Table(node, "[names]", "write it as a section: [names]")) WalkChecks(*table);
            } else {
                Unknown(key.source(), "unknown section [" + name + "]",
                        "the sections are [layers], [linetypes], [text-styles], [dimension-styles] and [names]");
            }
        }
    }

private:
    static std::optional<NameKind> KindOfSection(std::string_view name) {
        for (const NameKind kind : kKinds)
            if (SectionOf(kind) == name) return kind;
        return std::nullopt;
    }

    Place At(const toml::source_region& region) const {
        return Place{file_, region.begin.line, region.begin.column};
    }

    void Problem(const toml::source_region& region, std::string problem, std::string fix) {
        builder_.problems_.push_back({At(region), std::move(problem), std::move(fix)});
    }

    void Unknown(const toml::source_region& region, std::string problem, std::string fix) {
        Problem(region, std::move(problem), std::move(fix));
    }

    const toml::table* Table(const toml::node& node, const std::string& what, const std::string& fix) {
        if (const auto* table = node.as_table()) return table;
        Problem(node.source(), what + " must be a table, found " + TypeName(node), fix);
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
                Problem(item.source(), what + " holds " + TypeName(item) + "; each entry must be a string",
                        "quote it: \"...\"");
                return std::nullopt;
            }
            return strings;
        }
        Problem(node.source(), what + " must be a list of strings, found " + TypeName(node),
                "write a list: " + what.substr(what.find(' ') + 1) + " = [\"...\"]");
        return std::nullopt;
    }

    void WalkKind(NameKind kind, const toml::table& table) {
        const std::string section(SectionOf(kind));
        auto& draft = builder_.kinds_[static_cast<std::size_t>(kind)];
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
                    Problem(node.source(), what + " must be a string, found " + TypeName(node),
                            "write format = \"{discipline}-{major}\"");
            } else if (name == "fields") {
                if (const auto* fields = Table(node, what, "write [" + section + ".fields] with a list per field"))
                    WalkFields(draft, section, *fields);
            } else if (name == "properties" && kind == NameKind::Layer) {
                if (const auto* properties = Table(node, what, "write [layers.properties.\"NAME\"] sections"))
                    WalkLayers(*properties);
            } else {
                Unknown(key.source(), "unknown key " + what,
                        kind == NameKind::Layer
                            ? "the keys of [layers] are patterns, patterns_add, required, required_add, format, "
                              "fields and properties"
                            : "the keys of [" + section + "] are patterns, patterns_add, required, required_add, "
                              "format and fields");
            }
        }
    }

    void AddPattern(RulesBuilder::KindDraft& draft, const std::string& text, const Place& place) {
        try {
            draft.patterns.push_back({text, place, std::make_shared<const NamePattern>(FromUtf8(text))});
        } catch (const PatternError& error) {
            builder_.problems_.push_back({place, "pattern '" + text + "' does not compile: at character " +
                                                     std::to_string(error.column()) + " of the pattern: " + error.what(),
                                          "write the pattern in the regular part of ECMAScript's syntax: classes, "
                                          "groups, alternation, ? * + {m,n}"});
        }
    }

    void WalkFields(RulesBuilder::KindDraft& draft, const std::string& section, const toml::table& fields) {
        for (auto&& [key, node] : fields) {
            const std::string name(key.str());
            const std::string what = "[" + section + ".fields] " + name;
            if (const auto* inline_table = node.as_table()) {
                WalkCsvField(draft, what, name, *inline_table, node);
                continue;
            }
            if (auto strings = Strings(node, what)) {
                RulesBuilder::Field field{{}, At(node.source())};
                for (const auto& entry : *strings) field.codes.push_back(FromUtf8(entry.first));
                draft.fields[name] = std::move(field);
            }
        }
    }

    void WalkCsvField(RulesBuilder::KindDraft& draft, const std::string& what, const std::string& name,
                      const toml::table& table, const toml::node& node) {
        const auto* csv = table.get_as<std::string>("csv");
        if (csv == nullptr || table.size() != 1) {
            Problem(node.source(), what + " must be a list of codes or { csv = \"FILE\" }",
                    "write " + name + " = [\"A\", \"B\"] or " + name + " = { csv = \"" + name + ".csv\" }");
            return;
        }
        const std::string path = FolderOf(file_) + csv->get();
        const auto text = builder_.read_(path);
        if (!text) {
            Problem(csv->source(), "cannot read the code list " + path,
                    "put the CSV file beside the rules file, one code in the first column of each line");
            return;
        }
        draft.fields[name] = RulesBuilder::Field{CodesOfCsv(*text), At(csv->source())};
    }

    void WalkLayers(const toml::table& properties) {
        for (auto&& [key, node] : properties) {
            const std::string name(key.str());
            const std::string what = "[layers.properties.\"" + name + "\"]";
            const auto* table = Table(node, what, "write " + what + " with color, linetype, lineweight or plot");
            if (!table) continue;
            LayerRule& rule = LayerRuleFor(FromUtf8(name), At(key.source()));
            for (auto&& [propertyKey, value] : *table)
                WalkLayerProperty(rule, what, std::string(propertyKey.str()), value, propertyKey.source());
        }
    }

    LayerRule& LayerRuleFor(const std::u32string& name, const Place& place) {
        auto& layers = builder_.layers_;
        const auto found = std::find_if(layers.begin(), layers.end(), [&](const LayerRule& r) { return r.name == name; });
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
                Problem(value.source(), where + " must be a colour number from 1 to 255, found " + Shown(value),
                        "write color = 7 (a layer that is off keeps its colour number)");
        } else if (key == "linetype") {
            if (const auto* text = value.as_string())
                rule.linetype = FromUtf8(text->get());
            else
                Problem(value.source(), where + " must be a string, found " + Shown(value),
                        "write linetype = \"Continuous\"");
        } else if (key == "lineweight") {
            const auto number = value.value_exact<std::int64_t>();
            const auto* text = value.as_string();
            if (number && *number >= 0 && *number <= kMostLineweight)
                rule.lineweight = static_cast<int>(*number);
            else if (text && text->get() == "default")
                rule.lineweight = kDefaultLineweight;
            else
                Problem(value.source(), where + " must be hundredths of a millimetre from 0 to 211 or \"default\", found " +
                                            Shown(value),
                        "write lineweight = 35 for 0.35 mm");
        } else if (key == "plot") {
            if (const auto* flag = value.as_boolean())
                rule.plot = flag->get();
            else
                Problem(value.source(), where + " must be true or false, found " + Shown(value), "write plot = true");
        } else {
            Unknown(keyRegion, "unknown key " + where, "a layer's properties are color, linetype, lineweight and plot");
        }
    }

    static std::string Shown(const toml::node& node) {
        if (const auto number = node.value_exact<std::int64_t>()) return std::to_string(*number);
        if (const auto* text = node.as_string()) return "\"" + text->get() + "\"";
        return TypeName(node);
    }

    void WalkChecks(const toml::table& table) {
        NameChecks& checks = builder_.checks_;
        const std::pair<std::string_view, bool NameChecks::*> kChecks[] = {
            {"characters", &NameChecks::characters},
            {"letter-case", &NameChecks::letterCase},
            {"spaces", &NameChecks::spaces},
            {"invisible", &NameChecks::invisible},
        };
        for (auto&& [key, node] : table) {
            const std::string_view name = key.str();
            const auto check = std::find_if(std::begin(kChecks), std::end(kChecks),
                                            [name](const auto& entry) { return entry.first == name; });
            if (check == std::end(kChecks)) {
                Unknown(key.source(), "unknown key [names] " + std::string(key.str()),
                        "the checks are characters, letter-case, spaces and invisible (true or false)");
            } else if (const auto* flag = node.as_boolean()) {
                checks.*(check->second) = flag->get();
            } else {
                Problem(node.source(), "[names] " + std::string(key.str()) + " must be true or false, found " +
                                           TypeName(node),
                        "write " + std::string(key.str()) + " = false to turn the check off");
            }
        }
    }

    RulesBuilder& builder_;
    std::string file_;
};

void RulesBuilder::Add(std::string_view text, const std::string& file) {
    files_.push_back(file);
    if (auto problem = UnparseableCharacter(text, file)) {
        problems_.push_back(std::move(*problem));
        return;
    }
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        problems_.push_back({Place{file, error.source().begin.line, error.source().begin.column},
                             "not a TOML file: " + std::string(error.description()),
                             "write sections as [layers] and values as key = \"text\", key = 1, key = [\"a\", \"b\"]"});
        return;
    }
    FileWalk(*this, file).Walk(parsed.table());
}

RuleSet RulesBuilder::Finish() {
    RuleSet rules;
    rules.files = files_;
    rules.checks = checks_;
    rules.layers = layers_;
    for (const NameKind kind : kKinds) {
        KindDraft& draft = kinds_[static_cast<std::size_t>(kind)];
        KindRules& target = rules.kinds[static_cast<std::size_t>(kind)];
        target.patterns = draft.patterns;
        target.patternsOnlyAdded = draft.patternsAdded && !draft.patternsReplaced;
        target.required = draft.required;
        if (!draft.format) continue;
        std::vector<FieldCodes> fields;
        for (const auto& [name, field] : draft.fields) fields.push_back({name, field.codes});
        const Place& place = draft.format->second;
        try {
            target.format = std::make_shared<const NameFormat>(draft.format->first, std::move(fields));
            target.formatPlace = place;
        } catch (const FormatError& error) {
            problems_.push_back({place, "[" + std::string(SectionOf(kind)) + "] format \"" + ToUtf8(draft.format->first) +
                                            "\": at character " + std::to_string(error.column()) + ": " + error.what(),
                                 "name each field as {name} or {name:WIDTH}, give its codes under [" +
                                     std::string(SectionOf(kind)) + ".fields], mark parts that may be left out with [...]"});
        }
    }
    return rules;
}

}  // namespace kvstcheck::rules
