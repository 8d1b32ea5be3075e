#include "kvstcheck/readers/SystemTextDecoder.h"

#include <windows.h>

#include "kvstcheck/Text.h"

namespace kvstcheck {

bool SystemTextDecoder::Knows(unsigned codePage) const { return ::IsValidCodePage(codePage) != FALSE; }

std::optional<std::wstring> SystemTextDecoder::Decode(std::string_view bytes, unsigned codePage) const {
    return DecodeCodePage(bytes, codePage);
}

}  // namespace kvstcheck
