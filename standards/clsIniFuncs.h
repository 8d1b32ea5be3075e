#pragma once
// Reads (and writes) single values of an INI file through the platform's ANSI profile functions,
// knowing the section and key names of the standard file.
#include <windows.h>

#include <string>

namespace standards {

class clsIniFuncs {
public:
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
    // was found; true unless it reads "Return Err".
    bool ReadInfoFromIniFile(const std::wstring& section, const std::wstring& key, std::wstring& text,
                             const std::wstring& fileName);
};

}  // namespace standards
