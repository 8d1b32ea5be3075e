#include "kvstcheck/rules/RuleCheck.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/text/CaseFolding.h"

namespace kvstcheck::rules {
namespace {

constexpr std::size_t kPatternsShown = 3;
constexpr std::u32string_view kRefusedCharacters = U"<>/\\\":;?*|=";

bool IsSpace(char32_t c) {
    return c == U' ' || (c >= U'\t' && c <= U'\r') || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Format characters and fillers that show as nothing.
bool IsInvisible(char32_t c) {
    return c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180E) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x206F) || c == 0x3164 || c == 0xFEFF ||
           c == 0xFFA0;
}

std::string CodePointName(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// Names in messages in their display form: nothing of a name acts on the terminal it reaches.
std::string Quoted(std::u32string_view text) {
    return "\"" + DisplayNameUtf8(kvstcheck::ToWide(text)) + "\"";
}

std::string Millimetres(int lineweight) {
    if (lineweight == kDefaultLineweight) return "the default lineweight";
    if (lineweight == -2) return "lineweight by block";
    if (lineweight == -1) return "lineweight by layer";
    char text[32];
    std::snprintf(text, sizeof text, "lineweight %d.%02d mm", lineweight / 100, lineweight % 100);
    return text;
}

class DrawingCheck {
public:
    DrawingCheck(const RuleSet& rules, std::vector<RuleFinding>& findings) : rules_(rules), findings_(findings) {}

    void CheckKind(NameKind kind, const std::vector<std::wstring>& names) {
        kind_ = kind;
        prefix_ = std::string(SectionOf(kind));
        std::unordered_map<std::u32string, std::u32string> spellings;  // folded own part -> first spelling
        std::vector<std::u32string> own;
        for (const std::wstring& wide : names) {
            name_ = &wide;
            const std::u32string full = FromWide(wide);
            own.push_back(OwnPart(full));
            CheckCharacters(full, own.back());
            CheckRules(full, own.back());
            if (!rules_.checks.letterCase) continue;
            const auto [first, added] = spellings.emplace(FoldCase(full), full);
            if (!added && first->second != full)
                Add("names.letter-case", Describe(full) + " differs from " + Quoted(first->second) +
                                             " only in letter case: programs that ignore case take them for one");
        }
        CheckRequired(names);
    }

    void CheckLayerProperties(const DrawingNames& drawing) {
        if (rules_.layers.empty() || drawing.layerProperties.size() != drawing.layers.size()) return;
        kind_ = NameKind::Layer;
        prefix_ = std::string(SectionOf(kind_));
        for (std::size_t i = 0; i < drawing.layers.size(); ++i) {
            if (!drawing.layerProperties[i]) continue;
            name_ = &drawing.layers[i];
            const std::u32string full = FromWide(drawing.layers[i]);
            const std::u32string folded = FoldCase(OwnPart(full));
            for (const LayerRule& rule : rules_.layers)
                if (FoldCase(rule.name) == folded) CheckLayer(full, *drawing.layerProperties[i], rule);
        }
    }

private:
    std::string Describe(std::u32string_view name) const { return std::string(WordOf(kind_)) + " " + Quoted(name); }

    void Add(const std::string& rule, std::string message) {
        const bool own = rule.starts_with("names.");
        findings_.push_back({own ? rule : prefix_ + rule.substr(rule.find('.')), kind_, *name_, std::move(message)});
    }

    void CheckCharacters(const std::u32string& full, const std::u32string& own) {
        const NameChecks& checks = rules_.checks;
        if (checks.characters) {
            const auto bad = std::find_if(own.begin(), own.end(), RefusedInNames);
            if (bad != own.end())
                Add("names.characters", Describe(full) + " holds " +
                                            (IsControl(*bad) ? "the control character " + CodePointName(*bad)
                                                             : "'" + ToUtf8(std::u32string(1, *bad)) + "'") +
                                            ", which other programs refuse in names");
        }
        if (checks.spaces && !own.empty() && (IsSpace(own.front()) || IsSpace(own.back())))
            Add("names.spaces", Describe(full) + (IsSpace(own.front()) ? " begins" : " ends") +
                                    " with a space, which is easily missed and often lost");
        if (checks.invisible) {
            const auto hidden = std::find_if(own.begin(), own.end(), IsInvisible);
            if (hidden != own.end())
                Add("names.invisible", Describe(full) + " holds the invisible character " + CodePointName(*hidden));
        }
    }

    void CheckRules(const std::u32string& full, const std::u32string& own) {
        const KindRules& rules = rules_.of(kind_);
        if (!rules.patterns.empty() &&
            std::none_of(rules.patterns.begin(), rules.patterns.end(),
                         [&](const Pattern& pattern) { return pattern.compiled->Matches(own); })) {
            std::string shown;
            for (std::size_t i = 0; i < rules.patterns.size() && i < kPatternsShown; ++i)
                shown += (i > 0 ? ", '" : "'") + rules.patterns[i].text + "'";
            if (rules.patterns.size() > kPatternsShown) shown += ", ...";
            Add("x.pattern", Describe(full) + " matches none of the patterns (" + shown + ")");
        }
        if (rules.format) CheckFields(full, own, *rules.format, rules.patterns.empty());
    }

    // A name of another form ("0") is the patterns' to judge when there are patterns.
    void CheckFields(const std::u32string& full, const std::u32string& own, const NameFormat& format,
                     bool formIsTheRule) {
        const FormatVerdict verdict = format.Check(own);
        if (!verdict.fits) {
            if (formIsTheRule) Add("x.fields", Describe(full) + " does not have the form " + ToUtf8(format.layout()));
            return;
        }
        for (const FieldProblem& problem : verdict.problems) {
            std::string message = Describe(full) + ": " + problem.field + " " + Quoted(problem.value) + " is not a code";
            for (std::size_t i = 0; i < problem.nearest.size(); ++i)
                message += (i == 0 ? " (nearest: " : ", ") + ToUtf8(problem.nearest[i]);
            Add("x.fields", message + (problem.nearest.empty() ? "" : ")"));
        }
    }

    // A drawing's own names only: a name from an external reference belongs to the other drawing.
    void CheckRequired(const std::vector<std::wstring>& names) {
        std::vector<std::u32string> present;
        for (const std::wstring& name : names) {
            const std::u32string full = FromWide(name);
            if (full.find(U'|') == std::u32string::npos) present.push_back(FoldCase(full));
        }
        for (const RequiredName& required : rules_.of(kind_).required) {
            if (std::find(present.begin(), present.end(), FoldCase(required.name)) != present.end()) continue;
            const std::wstring missing = ToWide(required.name);
            name_ = &missing;
            Add("x.required", "the drawing has no " + Describe(required.name) + ", which the rules require");
        }
    }

    void CheckLayer(const std::u32string& full, const LayerProperties& layer, const LayerRule& rule) {
        if (rule.color) {
            if (!layer.color)
                Add("x.color", Describe(full) + " gives no colour (the rules ask for " + std::to_string(*rule.color) + ")");
            else if (std::abs(*layer.color) != *rule.color)
                Add("x.color", Describe(full) + " has colour " + std::to_string(std::abs(*layer.color)) +
                                   " (the rules ask for " + std::to_string(*rule.color) + ")");
        }
        if (rule.linetype && FoldCase(FromWide(layer.linetype)) != FoldCase(*rule.linetype))
            Add("x.linetype", Describe(full) + " has linetype " + Quoted(FromWide(layer.linetype)) +
                                  " (the rules ask for " + Quoted(*rule.linetype) + ")");
        if (rule.lineweight && layer.lineweight != *rule.lineweight)
            Add("x.lineweight", Describe(full) + " has " + Millimetres(layer.lineweight) + " (the rules ask for " +
                                    Millimetres(*rule.lineweight) + ")");
        if (rule.plot && layer.plot != *rule.plot)
            Add("x.plot", Describe(full) + (layer.plot ? " is plotted (the rules ask for it not to be)"
                                                       : " is not plotted (the rules ask for it to be)"));
    }

    const RuleSet& rules_;
    std::vector<RuleFinding>& findings_;
    NameKind kind_ = NameKind::Layer;
    std::string prefix_;
    const std::wstring* name_ = nullptr;
};

}  // namespace

bool RefusedInNames(char32_t c) { return IsControl(c) || kRefusedCharacters.find(c) != std::u32string_view::npos; }

std::u32string OwnPart(std::u32string_view name) {
    const auto bar = name.rfind(U'|');
    return std::u32string(bar == std::u32string_view::npos ? name : name.substr(bar + 1));
}

std::u32string FoldCase(std::u32string_view name) { return text::FoldCase(name); }

std::vector<RuleFinding> CheckDrawing(const RuleSet& rules, const DrawingNames& drawing) {
    std::vector<RuleFinding> findings;
    DrawingCheck check(rules, findings);
    const std::array<const std::vector<std::wstring>*, kKindCount> lists = {&drawing.layers, &drawing.linetypes,
                                                                           &drawing.textStyles, &drawing.dimStyles};
    for (const NameKind kind : kKinds) check.CheckKind(kind, *lists[static_cast<std::size_t>(kind)]);
    check.CheckLayerProperties(drawing);
    return findings;
}

}  // namespace kvstcheck::rules
