// The rule set out of the files added, and the likely mistakes that only the whole of them shows.
#include <algorithm>
#include <set>
#include <tuple>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/rules/RulesFile.h"
#include "kvstcheck/rules/RulesText.h"

namespace kvstcheck::rules {

bool RulesBuilder::HasErrors() const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [](const RulesProblem& problem) { return problem.severity() == RuleSeverity::Error; });
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
        target.patternsGiven = draft.patternsAdded || draft.patternsReplaced;
        target.required = draft.required;
        CheckDuplicates(kind, draft);
        if (!draft.format) {
            CheckFields(kind, draft, nullptr);
            continue;
        }
        std::vector<FieldCodes> fields;
        for (const auto& [name, field] : draft.fields) fields.push_back({name, field.codes});
        const Place& place = draft.format->second;
        try {
            target.format = std::make_shared<const NameFormat>(draft.format->first, std::move(fields));
            target.formatPlace = place;
            CheckFields(kind, draft, target.format.get());
        } catch (const FormatError& error) {
            problems_.push_back({LintRule::FormatSyntax, place,
                                 "[" + std::string(SectionOf(kind)) + "] format \"" + ToUtf8(draft.format->first) +
                                     "\": at character " + std::to_string(error.column()) + ": " + error.what(),
                                 "name each field as {name} or {name:WIDTH}, give its codes under [" +
                                     std::string(SectionOf(kind)) + ".fields], mark parts that may be left out with [...]"});
        }
    }
    if (more_)
        for (std::size_t i = 0; i < files_.size(); ++i)
            for (RulesProblem& problem : more_(texts_[i], files_[i], rules)) problems_.push_back(std::move(problem));
    SortProblems();
    return rules;
}

// Fields no layout uses (a misspelt field leaves the layout's own without codes, or does nothing), and
// code lists none of whose codes could ever be a value of their field.
void RulesBuilder::CheckFields(NameKind kind, const KindDraft& draft, const NameFormat* format) {
    const std::string section(SectionOf(kind));
    for (const auto& [name, field] : draft.fields) {
        if (format == nullptr || !format->Uses(name)) {
            problems_.push_back({LintRule::UnusedField, field.place,
                                 "[" + section + ".fields] " + name + " is a field that " +
                                     (format ? "the layout " + ToUtf8(format->layout()) + " does not use"
                                             : std::string("no layout uses: [" + section + "] has no format")),
                                 "correct its name to one of the layout's fields, or remove it", field.removal});
            continue;
        }
        const std::string& fieldName = name;  // a lambda cannot take a structured binding in every compiler
        const auto usable = [&](const std::u32string& code) {
            return format->CodeCanFit(fieldName, code) && std::none_of(code.begin(), code.end(), RefusedInNames);
        };
        if (field.fromCsv && !field.codes.empty() && std::none_of(field.codes.begin(), field.codes.end(), usable))
            problems_.push_back({LintRule::CodeListUnusable, field.place,
                                 "none of the " + std::to_string(field.codes.size()) + " codes of the list for " + name +
                                     " can be a value of the field (the first reads \"" + ToUtf8(field.codes.front()) +
                                     "\")",
                                 "write one code in the first column of each line, cells separated by , or ; as the "
                                 "header line has them"});
    }
}

void RulesBuilder::CheckDuplicates(NameKind kind, const KindDraft& draft) {
    const std::string section(SectionOf(kind));
    std::set<std::string_view> patterns;
    for (const Pattern& pattern : draft.patterns)
        if (!patterns.insert(pattern.text).second)
            problems_.push_back({LintRule::DuplicatePattern, pattern.place,
                                 "[" + section + "] the pattern '" + pattern.text + "' is listed twice",
                                 "remove this one", RemovalOfItem(pattern.place)});
    std::set<std::u32string> required;
    for (const RequiredName& name : draft.required)
        if (!required.insert(FoldCase(name.name)).second)
            problems_.push_back({LintRule::DuplicateRequired, name.place,
                                 "[" + section + "] the required " + std::string(WordOf(kind)) + " \"" +
                                     ToUtf8(name.name) + "\" is listed twice (required names ignore letter case)",
                                 "remove this one", RemovalOfItem(name.place)});
}

// Takes a list item off its line with the comma that joins it to the next item, or else to the one
// before; deletes a line left with nothing.
std::optional<LineEdit> RulesBuilder::RemovalOfItem(const Place& place) const {
    const auto file = std::find(files_.begin(), files_.end(), place.file);
    if (file == files_.end() || place.line != place.endLine) return std::nullopt;
    const auto lines = SplitLines(texts_[static_cast<std::size_t>(file - files_.begin())]);
    if (place.line == 0 || place.line > lines.size()) return std::nullopt;
    const std::string_view line = lines[place.line - 1];
    std::size_t from = ByteOfColumn(line, place.column);
    std::size_t to = ByteOfColumn(line, place.endColumn);
    const auto next = line.find_first_not_of(" \t", to);
    if (next != std::string_view::npos && line[next] == ',') {
        to = line.find_first_not_of(" \t", next + 1);
        if (to == std::string_view::npos) to = line.size();
    } else {
        const auto before = from == 0 ? std::string_view::npos : line.find_last_not_of(" \t", from - 1);
        if (before != std::string_view::npos && line[before] == ',') from = before;
    }
    std::string changed(line);
    changed.erase(from, to - from);
    if (changed.find_first_not_of(" \t") == std::string::npos) return LineEdit{place.line, LineEdit::Action::Delete, {}};
    return LineEdit{place.line, LineEdit::Action::Replace, std::move(changed)};
}

// Problems in the order of the files, and by line and column within a file, as lint and the audit list them.
void RulesBuilder::SortProblems() {
    const auto order = [this](const RulesProblem& problem) {
        const auto file = std::find(files_.begin(), files_.end(), problem.place.file);
        return std::make_tuple(file - files_.begin(), problem.place.line, problem.place.column);
    };
    std::stable_sort(problems_.begin(), problems_.end(),
                     [&](const RulesProblem& a, const RulesProblem& b) { return order(a) < order(b); });
}

}  // namespace kvstcheck::rules
