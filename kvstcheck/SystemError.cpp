#include "kvstcheck/SystemError.h"

#include <cstdio>

#include "com/Handle.h"
#include "kvstcheck/Text.h"

namespace kvstcheck {

std::string SystemMessage(DWORD error) {
    kv::LocalMemory<wchar_t*> buffer;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    std::wstring text(buffer ? buffer.get() : L"", length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return EncodeUtf8(text);
}

std::string HresultMessage(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string(code) + " (" + SystemMessage(static_cast<DWORD>(hr)) + ")";
}

}  // namespace kvstcheck
