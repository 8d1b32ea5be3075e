#include "clsIniFuncs.h"

#include <oleauto.h>

#include <optional>
#include <string_view>

#include "AnsiText.h"
#include "com/Hresult.h"

namespace standards {
namespace {

// What the profile function hands back for a missing file, section or key.
constexpr wchar_t kMissingMarker[] = L"Return Err";
constexpr char kMissingMarkerAnsi[] = "Return Err";
// The read buffer, in bytes of ANSI text including the terminating NUL.
constexpr DWORD kReadBufferSize = 255;

constexpr wchar_t kCommonSection[] = L"Common";
constexpr wchar_t kTypeCountKey[] = L"TypeCount";
constexpr wchar_t kTypeSection[] = L"Type";
constexpr wchar_t kTypeKey[] = L"Type";
constexpr wchar_t kNameCountKey[] = L"NameCount";
constexpr wchar_t kNameKey[] = L"Name";

// Any failure of a reading operation ends it with false; nothing reaches the caller.
template <class Body>
bool Trapped(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return false;
    }
}

// OLE Automation's own string-to-integer conversion: decimal text with an optional sign, fractions
// rounded half to even, and the other forms Automation reads (exponents, digit grouping, &H hex);
// empty text, anything else and anything out of range refused. The invariant locale keeps a file's
// meaning independent of the user's number format.
std::optional<SHORT> ToCount(const std::wstring& text) {
    SHORT value = 0;
    if (FAILED(::VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_INVARIANT, 0, &value)))
        return std::nullopt;
    return value;
}

// Outputs are written only on success.
bool StoreCount(const std::wstring& text, LONG& count) {
    const auto converted = ToCount(text);
    if (converted) count = *converted;
    return converted.has_value();
}

bool StoreText(std::wstring& text, std::wstring& output) noexcept {
    output.swap(text);
    return true;
}

std::wstring Numbered(const wchar_t* literal, SHORT index) { return literal + std::to_wstring(index); }

}  // namespace

bool clsIniFuncs::WriteInfoToIniFile(const std::wstring& SectionName, const std::wstring& KeyName,
                                     const std::wstring& AddString, const std::wstring& FileName) {
    const auto section = ToCodePage(SectionName);
    const auto key = ToCodePage(KeyName);
    const auto value = ToCodePage(AddString);
    const auto file = ToCodePage(FileName);
    if (!section || !key || !value || !file) return false;
    return ::WritePrivateProfileStringA(section->c_str(), key->c_str(), value->c_str(), file->c_str()) != 0;
}

bool clsIniFuncs::GetNodeCount(const std::wstring& FilePath, LONG& PassCount) noexcept {
    return Trapped([&] {
        std::wstring text;
        return ReadInfoFromIniFile(kCommonSection, kTypeCountKey, text, FilePath) && StoreCount(text, PassCount);
    });
}

bool clsIniFuncs::GetNodeName(const std::wstring& FilePath, std::wstring& PassName, SHORT NodeIndex) noexcept {
    return Trapped([&] {
        std::wstring text;
        return ReadInfoFromIniFile(Numbered(kTypeSection, NodeIndex), kTypeKey, text, FilePath) &&
               StoreText(text, PassName);
    });
}

bool clsIniFuncs::GetKeyCount(const std::wstring& FilePath, LONG& PassCount, SHORT KeyIndex) noexcept {
    return Trapped([&] {
        std::wstring text;
        return ReadInfoFromIniFile(Numbered(kTypeSection, KeyIndex), kNameCountKey, text, FilePath) &&
               StoreCount(text, PassCount);
    });
}

bool clsIniFuncs::GetKeyValue(const std::wstring& FilePath, std::wstring& PassText, SHORT NodeIndex,
                              SHORT KeyIndex) noexcept {
    return Trapped([&] {
        std::wstring text;
        return ReadInfoFromIniFile(Numbered(kTypeSection, NodeIndex), Numbered(kNameKey, KeyIndex), text,
                                   FilePath) &&
               StoreText(text, PassText);
    });
}

bool clsIniFuncs::ReadInfoFromIniFile(const std::wstring& section, const std::wstring& key, std::wstring& text,
                                      const std::wstring& fileName) {
    const auto sectionAnsi = ToCodePage(section);
    const auto keyAnsi = ToCodePage(key);
    const auto fileAnsi = ToCodePage(fileName);
    if (!sectionAnsi || !keyAnsi || !fileAnsi) {
        // A name the code page cannot hold names nothing the ANSI profile function could find.
        text = kMissingMarker;
        return false;
    }
    std::string buffer(kReadBufferSize, ' ');
    ::GetPrivateProfileStringA(sectionAnsi->c_str(), keyAnsi->c_str(), kMissingMarkerAnsi, buffer.data(),
                               kReadBufferSize, fileAnsi->c_str());
    // The buffer holds the value, its terminating NUL (always within the size the function is told)
    // and the untouched filler spaces. Trimming the spaces at both ends stops at the NUL, which then
    // goes: the value keeps its trailing spaces and loses its leading ones. Only the bytes before the
    // NUL are converted, so a value cut inside a double-byte character cannot swallow the NUL.
    text = FromCodePage(std::string_view(buffer).substr(0, buffer.find('\0')));
    text.erase(0, text.find_first_not_of(L' '));
    return text != kMissingMarker;
}

}  // namespace standards
