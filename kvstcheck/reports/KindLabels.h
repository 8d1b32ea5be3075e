#pragma once
// The kinds of findings as people read them: in the user's language where the tool knows the kind;
// programs get the vocabulary's keys and English words.
#include <string>

#include "kvstcheck/model/Finding.h"

namespace kvstcheck {

// The user's interface language, as far as kinds go: Chinese for any Chinese UI language, else English.
Language UserLanguage();

// UTF-8: "layer", "text style"... or their Chinese words.
std::string KindName(Kind kind, Language language);
// The finding's kind so; another plug-in's label as it gave it, in its display form.
std::string KindName(const Finding& finding, Language language);

}  // namespace kvstcheck
