#include "kvstcheck/reports/KindLabels.h"

#include <windows.h>

#include "kvstcheck/reports/DisplayName.h"

namespace kvstcheck {

Language UserLanguage() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

std::string KindName(Kind kind, Language language) {
    const vocabulary::KindWords& words = vocabulary::WordsOf(kind);
    return language == Language::Chinese ? words.chinese : words.english;
}

std::string KindName(const Finding& finding, Language language) {
    return finding.kind ? KindName(*finding.kind, language) : DisplayNameUtf8(finding.otherLabel);
}

}  // namespace kvstcheck
