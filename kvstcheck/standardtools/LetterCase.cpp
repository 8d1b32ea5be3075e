#include "kvstcheck/standardtools/LetterCase.h"

#include <windows.h>

namespace kvstcheck {

std::wstring FoldLetterCase(std::wstring_view name) {
    std::wstring folded(name);
    if (!folded.empty()) ::CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

}  // namespace kvstcheck
