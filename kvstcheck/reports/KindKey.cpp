#include "kvstcheck/reports/KindKey.h"

#include "audit/Kinds.h"

namespace kvstcheck {
namespace {

// The drawing's collection with a lower-case first letter: "TextStyles" becomes "textStyles".
std::string KeyOf(const audit::KindNames& kind) {
    std::string key;
    for (const wchar_t* c = kind.collection; *c != L'\0'; ++c) key += static_cast<char>(*c);
    key[0] = static_cast<char>(key[0] - 'A' + 'a');
    return key;
}

}  // namespace

std::wstring LabelOfKindKey(std::string_view key) {
    for (const audit::KindNames& kind : audit::kKinds)
        if (key == KeyOf(kind)) return kind.label;
    return {};
}

}  // namespace kvstcheck
