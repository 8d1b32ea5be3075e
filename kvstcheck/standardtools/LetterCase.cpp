#include "kvstcheck/standardtools/LetterCase.h"

#include "kvstcheck/text/CaseFolding.h"

namespace kvstcheck {

std::wstring FoldLetterCase(std::wstring_view name) { return text::FoldCase(name); }

}  // namespace kvstcheck
