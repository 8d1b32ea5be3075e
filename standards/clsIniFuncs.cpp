#include "clsIniFuncs.h"

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "AnsiText.h"
#include "FileImage.h"
#include "SameBytes.h"
#include "com/Hresult.h"

namespace standards {
namespace {

// What the profile function hands back for a missing file, section or key.
constexpr wchar_t kMissingMarker[] = L"Return Err";
constexpr char kMissingMarkerAnsi[] = "Return Err";
// The read buffer, in bytes of ANSI text including the terminating NUL.
constexpr DWORD kReadBufferSize = kStandardReadBufferSize;

constexpr char kCommonSection[] = "Common";
constexpr char kTypeCountKey[] = "TypeCount";
constexpr char kTypeSection[] = "Type";
constexpr char kTypeKey[] = "Type";
constexpr char kNameCountKey[] = "NameCount";
constexpr char kNameKey[] = "Name";

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

// Swapped rather than copied: the caller's string takes the text, and its old buffer becomes the
// next read's, so that both keep their room.
bool StoreText(std::wstring& text, std::wstring& output) noexcept {
    output.swap(text);
    return true;
}

// A literal followed by an index in decimal ("Type" and 3 give Type3), held without allocating.
// Both are ASCII, the same text in every code page.
class Numbered {
public:
    Numbered(std::string_view literal, SHORT index) noexcept : size_(literal.size()) {
        std::copy(literal.begin(), literal.end(), text_);
        if (index < 0) text_[size_++] = '-';
        // The digits are written from the last one back, in place.
        unsigned magnitude = index < 0 ? 0u - static_cast<unsigned>(index) : static_cast<unsigned>(index);
        size_ += DigitCount(magnitude);
        char* digit = text_ + size_;
        do {
            *--digit = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        text_[size_] = '\0';
    }
    operator std::string_view() const noexcept { return {text_, size_}; }

private:
    // A 16-bit index has at most five digits.
    static std::size_t DigitCount(unsigned magnitude) noexcept {
        return magnitude < 10 ? 1 : magnitude < 100 ? 2 : magnitude < 1000 ? 3 : magnitude < 10000 ? 4 : 5;
    }

    char text_[16];  // the longest literal, "Type" or "Name", "-32768" and a NUL
    std::size_t size_;
};

// The answer as text with its leading spaces removed, into output, whose buffer is reused. ASCII is
// widened in place as it is checked, in one pass: a string assigned from a range of another
// character type is built in a temporary first.
void AssignAnswer(std::string_view answer, std::wstring& output) {
    const std::size_t start = std::min(answer.find_first_not_of(' '), answer.size());
    output.resize(answer.size() - start);
    unsigned char any = 0;
    wchar_t* target = output.data();
    for (std::size_t i = start; i < answer.size(); ++i) {
        const auto byte = static_cast<unsigned char>(answer[i]);
        any |= byte;
        *target++ = static_cast<wchar_t>(byte);
    }
    if (any < 0x80) return;
    output = FromCodePage(answer);
    output.erase(0, output.find_first_not_of(L' '));
}

// Every read compares its file's path with the one being read.
bool SamePath(const std::wstring& a, const std::wstring& b) noexcept {
    const auto bytes = [](const std::wstring& text) {
        return std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    };
    return SameBytes(bytes(a), bytes(b));
}

}  // namespace

clsIniFuncs::clsIniFuncs() = default;
clsIniFuncs::~clsIniFuncs() = default;

clsIniFuncs::OneReading::OneReading(clsIniFuncs& ini, const std::wstring& FilePath) noexcept : ini_(ini) {
    try {
        ini_.reading_ = std::make_unique<Reading>();
        ini_.reading_->path = FilePath;
    } catch (...) {
        // Without memory for it, the platform answers every read.
        ini_.reading_.reset();
    }
}

clsIniFuncs::OneReading::~OneReading() { ini_.reading_.reset(); }

const FileImage* clsIniFuncs::OneReading::Image() {
    return ini_.reading_ ? ini_.ImageFor(ini_.reading_->path) : nullptr;
}

const FileImage* clsIniFuncs::ImageFor(const std::wstring& fileName) {
    if (!reading_ || !SamePath(fileName, reading_->path)) return nullptr;
    if (!reading_->current) {
        reading_->current = true;
        try {
            reading_->image = FileImage::Read(reading_->path);
        } catch (const std::bad_alloc&) {
            // No room for a copy of the file: the platform answers, as it always could.
            reading_->image.reset();
        }
    }
    return reading_->image.get();
}

bool clsIniFuncs::WriteInfoToIniFile(const std::wstring& SectionName, const std::wstring& KeyName,
                                     const std::wstring& AddString, const std::wstring& FileName) {
    const auto section = ToCodePage(SectionName);
    const auto key = ToCodePage(KeyName);
    const auto value = ToCodePage(AddString);
    const auto file = ToCodePage(FileName);
    if (!section || !key || !value || !file) return false;
    // The next read of the file being read sees this write.
    if (reading_) reading_->current = false;
    return ::WritePrivateProfileStringA(section->c_str(), key->c_str(), value->c_str(), file->c_str()) != 0;
}

bool clsIniFuncs::GetNodeCount(const std::wstring& FilePath, LONG& PassCount) noexcept {
    return Trapped([&] {
        return ReadInfoFromIniFile(kCommonSection, kTypeCountKey, text_, FilePath) && StoreCount(text_, PassCount);
    });
}

bool clsIniFuncs::GetNodeName(const std::wstring& FilePath, std::wstring& PassName, SHORT NodeIndex) noexcept {
    return Trapped([&] {
        return ReadInfoFromIniFile(Numbered(kTypeSection, NodeIndex), kTypeKey, text_, FilePath) &&
               StoreText(text_, PassName);
    });
}

bool clsIniFuncs::GetKeyCount(const std::wstring& FilePath, LONG& PassCount, SHORT KeyIndex) noexcept {
    return Trapped([&] {
        return ReadInfoFromIniFile(Numbered(kTypeSection, KeyIndex), kNameCountKey, text_, FilePath) &&
               StoreCount(text_, PassCount);
    });
}

bool clsIniFuncs::GetKeyValue(const std::wstring& FilePath, std::wstring& PassText, SHORT NodeIndex,
                              SHORT KeyIndex) noexcept {
    return Trapped([&] {
        return ReadInfoFromIniFile(Numbered(kTypeSection, NodeIndex), Numbered(kNameKey, KeyIndex), text_,
                                   FilePath) &&
               StoreText(text_, PassText);
    });
}

bool clsIniFuncs::ReadInfoFromIniFile(std::string_view section, std::string_view key, std::wstring& text,
                                      const std::wstring& fileName) {
    // The names are the class's own, ASCII and NUL-terminated.
    std::string platformAnswer;
    std::string_view answer;
    if (const FileImage* image = ImageFor(fileName)) {
        answer = image->Answer(section, key, kMissingMarkerAnsi);
    } else {
        const auto fileAnsi = ToCodePage(fileName);
        if (!fileAnsi) {
            text = kMissingMarker;
            return false;
        }
        std::string buffer(kReadBufferSize, ' ');
        ::GetPrivateProfileStringA(section.data(), key.data(), kMissingMarkerAnsi, buffer.data(), kReadBufferSize,
                                   fileAnsi->c_str());
        // The buffer holds the value, its terminating NUL (always within the size the function is
        // told) and the untouched filler spaces. Only the bytes before the NUL are converted, so a
        // value cut inside a double-byte character cannot swallow the NUL.
        platformAnswer.assign(buffer.data(), buffer.find('\0'));
        answer = platformAnswer;
    }
    // Trimming the filler spaces at both ends stops at the NUL, which then goes: the value keeps
    // its trailing spaces and loses its leading ones.
    AssignAnswer(answer, text);
    return text.size() != std::size(kMissingMarker) - 1 || text != kMissingMarker;
}

}  // namespace standards
