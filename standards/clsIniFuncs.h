#pragma once
// Reads (and writes) single values of an INI file with the answers of the platform's ANSI profile
// functions, knowing the section and key names of the standard file.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace standards {

class FileImage;

class clsIniFuncs {
public:
    clsIniFuncs();
    ~clsIniFuncs();
    clsIniFuncs(const clsIniFuncs&) = delete;
    clsIniFuncs& operator=(const clsIniFuncs&) = delete;

    // While it lives, the reads of one file are answered from a single reading of it, made when
    // it begins (or at the first read after a write), wherever that gives the platform's answers
    // for certain; otherwise, and for other files, each read asks the platform.
    class OneReading {
    public:
        OneReading(clsIniFuncs& ini, const std::wstring& FilePath) noexcept;
        ~OneReading();
        OneReading(const OneReading&) = delete;
        OneReading& operator=(const OneReading&) = delete;

        // The image that answers the reads (read now if no read came first), or null when the
        // platform answers them. Throws std::bad_alloc.
        const FileImage* Image();

    private:
        clsIniFuncs& ini_;
    };

    // Writes one value; true when the platform reports success. Text that the system code page
    // cannot hold exactly is not written (false). Failures other than the platform's own answer
    // (for example exhausted memory) are thrown, not trapped.
    bool WriteInfoToIniFile(const std::wstring& SectionName, const std::wstring& KeyName,
                            const std::wstring& AddString, const std::wstring& FileName);
    // The reading operations write their output only when they return true. A count is the value
    // converted to a 16-bit integer; GetKeyCount's KeyIndex numbers the type section.
    bool GetNodeCount(const std::wstring& FilePath, LONG& PassCount) noexcept;
    bool GetNodeName(const std::wstring& FilePath, std::wstring& PassName, SHORT NodeIndex) noexcept;
    bool GetKeyCount(const std::wstring& FilePath, LONG& PassCount, SHORT KeyIndex) noexcept;
    bool GetKeyValue(const std::wstring& FilePath, std::wstring& PassText, SHORT NodeIndex, SHORT KeyIndex) noexcept;

private:
    // Always writes text: the value with its leading spaces removed, or "Return Err" when nothing
    // was found; true unless it reads "Return Err". section and key are ASCII and NUL-terminated.
    bool ReadInfoFromIniFile(std::string_view section, std::string_view key, std::wstring& text,
                             const std::wstring& fileName);
    // The image that answers reads of fileName now, or null when the platform answers them.
    const FileImage* ImageFor(const std::wstring& fileName);

    struct Reading {
        std::wstring path;
        std::shared_ptr<const FileImage> image;  // null: the platform answers
        bool current = false;              // false after a write: read the file again first
    };
    std::unique_ptr<Reading> reading_;  // null outside a OneReading
    // The text of the read in progress, kept so that reads reuse its buffer.
    std::wstring text_;
};

}  // namespace standards
