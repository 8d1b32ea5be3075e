#include "kvstcheck/standardtools/LoadedStandard.h"

#include <memory>

#include "com/Variant.h"
#include "standards/StandardLoader.h"

namespace kvstcheck {

LoadedStandard LoadAsThePluginDoes(const std::wstring& path) {
    std::unique_ptr<standards::clsIniFuncs> iniFuncs;
    kv::Variant filter;
    // A list that the load leaves alone stays unfilled; the marker tells it from a filled one.
    audit::PerKind<standards::NameList> lists;
    const std::wstring untouched = L"\x1F untouched";
    for (auto& list : lists) list = {untouched};
    LoadedStandard standard;
    standard.loaded = standards::LoadStandardFile(path, {iniFuncs, filter, lists[0], lists[1], lists[2], lists[3]});

    const VARIANT& value = filter.get();
    if (value.vt == (VT_ARRAY | VT_VARIANT)) {
        LONG lower = 0;
        LONG upper = -1;
        ::SafeArrayGetLBound(value.parray, 1, &lower);
        ::SafeArrayGetUBound(value.parray, 1, &upper);
        for (LONG index = lower; index <= upper; ++index) {
            kv::Variant element;
            if (FAILED(::SafeArrayGetElement(value.parray, &index, &element)) || element.type() != VT_BSTR) {
                standard.typeNames.emplace_back();
                continue;
            }
            const BSTR text = element.get().bstrVal;
            standard.typeNames.emplace_back(std::wstring(text, ::SysStringLen(text)));
        }
    }
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (lists[kind] != standards::NameList{untouched}) standard.names[kind] = std::move(lists[kind]);
    return standard;
}

std::optional<audit::Kind> KindOfLabel(std::wstring_view label) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (label == audit::kKinds[kind].label) return static_cast<audit::Kind>(kind);
    return std::nullopt;
}

}  // namespace kvstcheck
