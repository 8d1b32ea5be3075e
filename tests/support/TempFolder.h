#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#include <string>
#include <string_view>

namespace kvtest {

class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::wstring& path() const noexcept { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
// UTF-16 to UTF-8 and back, for readable test messages and literals.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

}  // namespace kvtest
