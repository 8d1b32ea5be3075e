#include "kvstcheck/reports/KindLabels.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck {
namespace {

constexpr audit::PerKind<const char*> kKeys = {"layers", "linetypes", "textStyles", "dimStyles"};
constexpr audit::PerKind<const char*> kEnglish = {"layer", "linetype", "text style", "dimension style"};
constexpr audit::PerKind<const char*> kChinese = {"\xE5\x9B\xBE\xE5\xB1\x82", "\xE7\xBA\xBF\xE5\x9E\x8B",
                                                  "\xE6\x96\x87\xE5\xAD\x97\xE6\xA0\xB7\xE5\xBC\x8F",
                                                  "\xE6\xA0\x87\xE6\xB3\xA8\xE6\xA0\xB7\xE5\xBC\x8F"};

}  // namespace

Language UserLanguage() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

std::optional<audit::Kind> KindOfFindingLabel(std::wstring_view label) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        const std::string_view english = kEnglish[kind];
        const bool isEnglish = std::equal(label.begin(), label.end(), english.begin(), english.end(),
                                          [](wchar_t a, char b) { return a == static_cast<unsigned char>(b); });
        if (label == audit::kKinds[kind].label || isEnglish) return static_cast<audit::Kind>(kind);
    }
    return std::nullopt;
}

std::string KindKey(std::wstring_view pluginLabel) {
    const auto kind = KindOfFindingLabel(pluginLabel);
    return kind ? kKeys[static_cast<std::size_t>(*kind)] : "";
}

std::string KindName(std::wstring_view pluginLabel, Language language) {
    const auto kind = KindOfFindingLabel(pluginLabel);
    if (!kind) return DisplayNameUtf8(pluginLabel);
    return (language == Language::Chinese ? kChinese : kEnglish)[static_cast<std::size_t>(*kind)];
}

}  // namespace kvstcheck
