#pragma once
// One reading of an INI file that answers ANSI profile reads from memory, made only where its
// answers are the platform's own for certain.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "ProfileImage.h"

namespace standards {

class FileImage {
public:
    // Null when the platform must answer: a path that the profile functions resolve differently
    // (no folder in it, too long, not in the code page), a file that cannot be opened or read
    // (missing, a folder, locked, over kLargestImagedFile), or content whose answers are not
    // certain (AnswersCertain). Where the module started thread_image_cache, the calling thread's
    // last image is given again when the file's bytes and path are the same. Throws std::bad_alloc.
    static std::shared_ptr<const FileImage> Read(const std::wstring& path);

    // What GetPrivateProfileStringA(section, key, fallback, buffer, kStandardReadBufferSize)
    // writes before its NUL, as a view into the image or into fallback.
    std::string_view Answer(std::string_view section, std::string_view key, std::string_view fallback) const noexcept {
        return profile_.Answer(section, key, fallback);
    }

    // The file's bytes the image was made from.
    std::string_view Bytes() const noexcept { return profile_.Bytes(); }

    explicit FileImage(std::string bytes) : profile_(std::move(bytes)) {}

private:
    ProfileImage profile_;
};

// Files above this size are left to the platform rather than copied whole into the host's memory.
inline constexpr ULONGLONG kLargestImagedFile = 64ull << 20;

// True when the code page turns every byte into one character of its own and back, the ASCII
// bytes into themselves: then the profile functions' parse of the characters is the parse of the bytes.
bool CodePageKeepsEveryByte(UINT codePage);

// True when the image gives the platform's answers for certain under the code page: no doubt in
// the file, and bytes above 127 only with a code page that keeps every byte.
bool AnswersCertain(const ProfileImage& image, UINT codePage);

}  // namespace standards
