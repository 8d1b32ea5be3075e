#include "kvstcheck/fix/FixRequests.h"

#include <algorithm>
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

// Every layer property the rules ask for, by the layer's name after the renames: the rewriter sets what
// differs, keeps an off layer off, and leaves what the drawing's version or linetypes cannot take.
void AddLayerProperties(const FixSetup& setup, DrawingRequest& out) {
    if (!setup.rules) return;
    for (const rules::LayerRule& rule : setup.rules->layers) {
        LayerChange change{rule.color, std::nullopt, rule.lineweight, rule.plot};
        if (rule.linetype) change.linetype = ToWide(*rule.linetype);
        out.request.layerProperties.emplace_back(ToWide(rule.name), change);
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
        const std::optional<Kind>& kind = finding.kind;
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
    AddLayerProperties(setup, out);
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
        // The plan names the layer as the drawing does; the request names it as it will be called.
        std::wstring name = Utf8ToWide(layer.layer);
        for (const PlannedRename& rename : plan.renames)
            if (rename.kind == rules::NameKind::Layer && FoldLetterCase(Utf8ToWide(rename.from)) == FoldLetterCase(name))
                name = Utf8ToWide(rename.to);
        out.request.layerProperties.emplace_back(std::move(name), change);
    }
    return out;
}

DrawingNames AfterFix(const DrawingNames& names, const RewriteAccount& account) {
    DrawingNames after = names;
    std::array<std::vector<std::wstring>*, kFixKindCount> lists = {&after.layers, &after.linetypes, &after.textStyles,
                                                                   &after.dimStyles};
    // Properties first: the account names layers as the drawing spells them before the renames.
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
