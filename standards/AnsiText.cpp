#include "AnsiText.h"

#include "com/Hresult.h"

namespace standards {

std::optional<std::string> ToCodePage(std::wstring_view text, UINT codePage) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    if (codePage == CP_ACP) codePage = ::GetACP();
    // A code page with substitutes reports whether it used one. UTF-8 and GB18030 (system code
    // pages on some machines) have none and refuse that question: there only unencodable text
    // (a lone surrogate) fails.
    const bool substitutes = codePage != CP_UTF8 && codePage != 54936;
    const DWORD flags = substitutes ? WC_NO_BEST_FIT_CHARS : WC_ERR_INVALID_CHARS;
    BOOL lossy = FALSE;
    BOOL* reportLossy = substitutes ? &lossy : nullptr;
    const int size = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, reportLossy);
    if (size <= 0 || lossy) return std::nullopt;
    std::string result(size, '\0');
    if (::WideCharToMultiByte(codePage, flags, text.data(), length, result.data(), size, nullptr, reportLossy) != size)
        return std::nullopt;
    return result;
}

std::wstring FromCodePage(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (size <= 0) throw kv::ComFailure(HRESULT_FROM_WIN32(::GetLastError()));
    std::wstring result(size, L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), size);
    return result;
}

}  // namespace standards
