#include "kvstcheck/runs/AuditDriver.h"

#include <wrl/client.h>

#include "audit/Snapshot.h"
#include "com/Bstr.h"
#include "com/Variant.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/rules/RuleCheck.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck {
namespace {

using Microsoft::WRL::ComPtr;

void Check(HRESULT hr, const char* call) {
    if (FAILED(hr)) throw SetupError(std::string("the plug-in's ") + call + " failed: " + HresultMessage(hr));
}

std::string ExpectedStandardFile(IKVStPlugin& plugin, const std::wstring& standardFile) {
    if (!standardFile.empty()) return EncodeUtf8(standardFile);
    kv::Bstr folder;
    if (FAILED(plugin.get_Path(&folder))) return "KVStPluginDefault.ini beside the plug-in module";
    return EncodeUtf8(folder.view()) + "\\KVStPluginDefault.ini";
}

// The plug-in copies no drawing name unless its standard file loaded with a first type name.
void RequireLoadedStandard(IKVStPlugin& plugin, const std::wstring& standardFile) {
    kv::Variant filter;
    Check(plugin.GetCheckFilter(&filter), "GetCheckFilter");
    if (filter.empty())
        throw SetupError("the plug-in did not load its standard file: it expects a readable standard file at " +
                         ExpectedStandardFile(plugin, standardFile));
    // The plug-in's own reading of the filter decides.
    const bool hasFirstType = audit::FilterNamesFirstType(filter.get());
    if (!hasFirstType)
        throw SetupError("the standard file at " + ExpectedStandardFile(plugin, standardFile) +
                         " names no type in its section [Type1], so the plug-in checks nothing");
}

const std::vector<std::wstring>& NamesOf(const DrawingNames& names, Kind kind) {
    switch (kind) {
    case Kind::Layers: return names.layers;
    case Kind::Linetypes: return names.linetypes;
    case Kind::TextStyles: return names.textStyles;
    case Kind::DimStyles: break;
    }
    return names.dimStyles;
}

Finding ReadFinding(_KVStError& error) {
    kv::Bstr name;
    kv::Bstr kind;
    Check(error.get_EntryName(&name), "error object's EntryName");
    Check(error.get_KindLabel(&kind), "error object's KindLabel");
    return PluginFinding(kind.str(), name.str());
}

// Clears the plug-in however the audit ends.
class ClearOnExit {
public:
    explicit ClearOnExit(IKVStPlugin& plugin) : plugin_(plugin) {}
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;
    ~ClearOnExit() { plugin_.Clear(); }

private:
    IKVStPlugin& plugin_;
};

}  // namespace

std::vector<Finding> AuditDrawing(IKVStPlugin& plugin, IDispatch* drawing, const std::wstring& drawingPath,
                                  std::size_t nameCount, const std::wstring& standardFile) {
    ClearOnExit clear(plugin);
    const kv::Bstr path(drawingPath);
    Check(plugin.SetupForAudit(drawing, path.get()), "SetupForAudit");
    RequireLoadedStandard(plugin, standardFile);

    std::vector<Finding> findings;
    for (;;) {
        VARIANT_BOOL more = VARIANT_FALSE;
        Check(plugin.CheckNext(&more), "CheckNext");
        if (more == VARIANT_FALSE) return findings;
        // Each name gives at most one finding; a walk that goes on would never end.
        if (findings.size() == nameCount)
            throw SetupError("the plug-in reports more findings than the drawing has names");
        ComPtr<_KVStError> error;
        Check(plugin.GetError(&error), "GetError");
        if (!error)
            throw SetupError("the plug-in reported a finding without an error object: is the host library "
                             "KVStMgr.dll registered?");
        findings.push_back(ReadFinding(*error.Get()));
    }
}

std::vector<Finding> RuleFindings(const std::optional<rules::RuleSet>& ruleSet, const DrawingNames& names) {
    std::vector<Finding> findings;
    if (!ruleSet) return findings;
    static_assert(static_cast<std::size_t>(rules::NameKind::DimStyle) == vocabulary::IndexOf(Kind::DimStyles));
    for (rules::RuleFinding& found : rules::CheckDrawing(*ruleSet, names))
        findings.push_back({static_cast<Kind>(found.kind), std::move(found.name), {}, std::move(found.rule),
                            std::move(found.message)});
    return findings;
}

NameLineIndex::NameLineIndex(const DrawingNames& names, const NameLines& lines) {
    static_assert(std::tuple_size_v<NameLines> == vocabulary::kKindCount);
    for (const Kind kind : vocabulary::kAllKinds) {
        const std::vector<std::wstring>& kindNames = NamesOf(names, kind);
        const std::vector<int>& kindLines = lines[vocabulary::IndexOf(kind)];
        // Lines that do not match the names one for one point nowhere reliable.
        if (kindLines.size() != kindNames.size()) continue;
        auto& index = lines_[vocabulary::IndexOf(kind)];
        for (std::size_t i = 0; i < kindNames.size(); ++i) index.try_emplace(kindNames[i], kindLines[i]);
    }
}

void NameLineIndex::Place(std::vector<Finding>& findings) const {
    for (Finding& finding : findings) {
        if (!finding.kind) continue;
        const auto& index = lines_[vocabulary::IndexOf(*finding.kind)];
        const auto found = index.find(finding.name);
        if (found != index.end()) finding.line = found->second;
    }
}

}  // namespace kvstcheck
