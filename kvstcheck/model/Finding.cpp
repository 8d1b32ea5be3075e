#include "kvstcheck/model/Finding.h"

#include "kvstcheck/Text.h"

namespace kvstcheck {

Finding PluginFinding(const std::wstring& label, std::wstring name) {
    Finding finding{vocabulary::KindOfHostLabel(label), std::move(name)};
    if (!finding.kind) finding.otherLabel = label;
    return finding;
}

std::wstring HostLabelOf(const Finding& finding) {
    return finding.kind ? vocabulary::WordsOf(*finding.kind).hostLabel : finding.otherLabel;
}

std::string KindKeyOf(const Finding& finding) {
    return finding.kind ? vocabulary::WordsOf(*finding.kind).key : EncodeUtf8(finding.otherLabel);
}

std::string EnglishKindOf(const Finding& finding) {
    return finding.kind ? vocabulary::WordsOf(*finding.kind).english : EncodeUtf8(finding.otherLabel);
}

}  // namespace kvstcheck
