#include "kvstcheck/fix/FixRequests.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <unordered_set>

#include "kvstcheck/CodePoints.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/standardtools/HintsDifferences.h"
#include "kvstcheck/standardtools/LetterCase.h"

namespace kvstcheck::fix {
namespace {

using Renames = std::vector<std::pair<std::wstring, std::wstring>>;

const std::vector<std::wstring>& NamesOf(const DrawingNames& names, std::size_t kind) {
    const std::array<const std::vector<std::wstring>*, kFixKindCount> lists = {&names.layers, &names.linetypes,
                                                                               &names.textStyles, &names.dimStyles};
    return *lists[kind];
}

// The one allowed name that reads as name does once both are folded by fold; none when none or several.
template <class Fold>
std::optional<std::wstring> OnlyAllowed(const LoadedStandard& standard, std::size_t kind, const std::wstring& name, Fold fold) {
    if (!standard.names[kind]) return std::nullopt;
    const std::wstring wanted = fold(name);
    std::optional<std::wstring> found;
    for (const std::wstring& allowed : *standard.names[kind]) {
        if (allowed.empty() || allowed == name || fold(allowed) != wanted) continue;
        if (found && *found != allowed) return std::nullopt;
        found = allowed;
    }
    return found;
}

std::optional<std::pair<std::wstring, RenameSource>> AutoTarget(const FixSetup& setup, std::size_t kind,
                                                                const std::wstring& name) {
    if (setup.map.autoLetterCase)
        if (auto target = OnlyAllowed(setup.standard, kind, name, [](const std::wstring& n) { return FoldLetterCase(n); }))
            return std::pair{*target, RenameSource::LetterCase};
    if (setup.map.autoInvisible)
        if (auto target = OnlyAllowed(setup.standard, kind, name,
                                      [](const std::wstring& n) { return FoldLetterCase(Skeleton(n)); }))
            return std::pair{*target, RenameSource::Invisible};
    return std::nullopt;
}

// The rules' properties for a layer called name, as a change of what the drawing gives; none when it
// already has them.
std::optional<LayerChange> ChangeFor(const rules::RuleSet& ruleSet, const std::wstring& name,
                                     const std::optional<LayerProperties>& current) {
    const std::u32string folded = rules::FoldCase(FromWide(name));
    const auto rule = std::find_if(ruleSet.layers.begin(), ruleSet.layers.end(),
                                   [&](const rules::LayerRule& layer) { return rules::FoldCase(layer.name) == folded; });
    if (rule == ruleSet.layers.end()) return std::nullopt;
    LayerChange change;
    if (rule->color && (!current || !current->color || std::abs(*current->color) != *rule->color)) change.color = rule->color;
    if (rule->linetype && (!current || FoldLetterCase(current->linetype) != FoldLetterCase(ToWide(*rule->linetype))))
        change.linetype = ToWide(*rule->linetype);
    if (rule->lineweight && (!current || current->lineweight != *rule->lineweight)) change.lineweight = rule->lineweight;
    if (rule->plot && (!current || current->plot != *rule->plot)) change.plot = rule->plot;
    if (change == LayerChange{}) return std::nullopt;
    return change;
}

void AddLayerProperties(const FixSetup& setup, const DrawingNames& names, DrawingRequest& out) {
    if (!setup.rules) return;
    const Renames& renames = out.request.renames[0];
    std::unordered_set<std::wstring> present;
    for (const std::wstring& layer : names.layers) present.insert(FoldLetterCase(layer));
    for (std::size_t i = 0; i < names.layers.size(); ++i) {
        const std::wstring& layer = names.layers[i];
        std::wstring final = layer;
        for (const auto& [from, to] : renames)
            if (FoldLetterCase(from) == FoldLetterCase(layer)) final = to;
        // A layer merged into another takes that one's properties; it is set by its own name.
        if (final != layer && FoldLetterCase(final) != FoldLetterCase(layer) && present.contains(FoldLetterCase(final)))
            continue;
        const auto current = i < names.layerProperties.size() ? names.layerProperties[i] : std::nullopt;
        if (auto change = ChangeFor(*setup.rules, final, current)) out.request.layerProperties.emplace_back(layer, *change);
    }
}

}  // namespace

DrawingRequest RequestFor(const FixSetup& setup, const DrawingNames& names, const std::vector<Finding>& findings,
                          bool force) {
    DrawingRequest out;
    out.request.force = force;
    std::array<std::unordered_set<std::wstring>, kFixKindCount> renamed;
    for (std::size_t kind = 0; kind < kFixKindCount; ++kind) {
        for (const std::wstring& name : NamesOf(names, kind)) {
            const std::u32string wide = FromWide(name);
            if (IsReservedName(wide) || IsExternalName(wide)) continue;
            const MapEntry* entry = setup.map.Find(static_cast<rules::NameKind>(kind), wide);
            if (!entry || entry->to == wide || !renamed[kind].insert(name).second) continue;
            out.request.renames[kind].emplace_back(name, ToWide(entry->to));
            out.sources[kind].push_back(RenameSource::Map);
        }
    }
    for (const Finding& finding : findings) {
        const auto kind = KindOfLabel(finding.kind);
        if (!finding.rule.empty() || !kind) continue;
        const auto index = static_cast<std::size_t>(*kind);
        const std::u32string wide = FromWide(finding.name);
        if (IsReservedName(wide) || IsExternalName(wide) || renamed[index].contains(finding.name)) continue;
        if (const auto target = AutoTarget(setup, index, finding.name)) {
            renamed[index].insert(finding.name);
            out.request.renames[index].emplace_back(finding.name, target->first);
            out.sources[index].push_back(target->second);
        }
    }
    AddLayerProperties(setup, names, out);
    return out;
}

DrawingRequest RequestOf(const DrawingPlan& plan, bool force) {
    DrawingRequest out;
    out.request.force = force || !plan.forcedOver.empty();
    for (const PlannedRename& rename : plan.renames) {
        const auto kind = static_cast<std::size_t>(rename.kind);
        out.request.renames[kind].emplace_back(Utf8ToWide(rename.from), Utf8ToWide(rename.to));
        out.sources[kind].push_back(rename.source);
    }
    for (const PlannedProperties& layer : plan.properties) {
        LayerChange change{layer.color, std::nullopt, layer.lineweight, layer.plot};
        if (layer.linetype) change.linetype = Utf8ToWide(*layer.linetype);
        out.request.layerProperties.emplace_back(Utf8ToWide(layer.layer), change);
    }
    return out;
}

DrawingNames AfterFix(const DrawingNames& names, const RewriteAccount& account) {
    DrawingNames after = names;
    std::array<std::vector<std::wstring>*, kFixKindCount> lists = {&after.layers, &after.linetypes, &after.textStyles,
                                                                   &after.dimStyles};
    for (const Rename& rename : account.renames) {
        std::vector<std::wstring>& list = *lists[static_cast<std::size_t>(rename.kind)];
        const auto entry = std::find_if(list.begin(), list.end(), [&](const std::wstring& name) {
            return FoldLetterCase(name) == FoldLetterCase(rename.from);
        });
        if (entry == list.end()) continue;
        const auto index = static_cast<std::size_t>(entry - list.begin());
        if (rename.merge) {
            list.erase(entry);
            if (lists[0] == &list && index < after.layerProperties.size())
                after.layerProperties.erase(after.layerProperties.begin() + static_cast<std::ptrdiff_t>(index));
        } else {
            *entry = rename.to;
        }
    }
    for (const auto& [layer, change] : account.properties) {
        const auto entry = std::find(after.layers.begin(), after.layers.end(), layer);
        const auto index = static_cast<std::size_t>(entry - after.layers.begin());
        if (entry == after.layers.end() || index >= after.layerProperties.size() || !after.layerProperties[index]) continue;
        LayerProperties& properties = *after.layerProperties[index];
        if (change.color) properties.color = properties.color && *properties.color < 0 ? -*change.color : *change.color;
        if (change.linetype) properties.linetype = *change.linetype;
        if (change.lineweight) properties.lineweight = *change.lineweight;
        if (change.plot) properties.plot = *change.plot;
    }
    return after;
}

void FillPlan(const RewriteAccount& account, const DrawingRequest& request, DrawingPlan& plan) {
    for (const Rename& rename : account.renames) {
        const auto kind = static_cast<std::size_t>(rename.kind);
        RenameSource source = RenameSource::Map;
        const Renames& asked = request.request.renames[kind];
        for (std::size_t i = 0; i < asked.size(); ++i)
            if (FoldLetterCase(asked[i].first) == FoldLetterCase(rename.from)) source = request.sources[kind][i];
        plan.renames.push_back({static_cast<rules::NameKind>(kind), WideToUtf8(rename.from), WideToUtf8(rename.to), source,
                                rename.merge, rename.references});
    }
    for (const auto& [layer, change] : account.properties) {
        PlannedProperties properties{WideToUtf8(layer), change.color, std::nullopt, change.lineweight, change.plot};
        if (change.linetype) properties.linetype = WideToUtf8(*change.linetype);
        plan.properties.push_back(std::move(properties));
    }
    for (const LeftPlace& left : account.left)
        plan.left.push_back({left.line, left.what, left.reason});
    if (account.refusal)
        (account.forced ? plan.forcedOver : plan.refusal) =
            account.refusal->reason + (account.refusal->line > 0 ? " (line " + std::to_string(account.refusal->line) + ")" : "");
}

}  // namespace kvstcheck::fix
