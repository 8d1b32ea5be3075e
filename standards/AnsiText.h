#pragma once
// Text in the code page of the ANSI profile functions.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace standards {

// The text in codePage, exactly; nothing when the code page cannot hold it, since a best-fit or
// '?' substitute could name another file or write another value.
std::optional<std::string> ToCodePage(std::wstring_view text, UINT codePage = CP_ACP);
// Throws kv::ComFailure when the text cannot be converted at all.
std::wstring FromCodePage(std::string_view text, UINT codePage = CP_ACP);

}  // namespace standards
