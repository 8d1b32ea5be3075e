#include "clsIniFuncs.h"
// Placeholder until the INI reader lands.
namespace standards {
bool clsIniFuncs::WriteInfoToIniFile(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) { return false; }
bool clsIniFuncs::GetNodeCount(const std::wstring&, LONG&) noexcept { return false; }
bool clsIniFuncs::GetNodeName(const std::wstring&, std::wstring&, SHORT) noexcept { return false; }
bool clsIniFuncs::GetKeyCount(const std::wstring&, LONG&, SHORT) noexcept { return false; }
bool clsIniFuncs::GetKeyValue(const std::wstring&, std::wstring&, SHORT, SHORT) noexcept { return false; }
}
