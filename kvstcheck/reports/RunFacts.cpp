#include "kvstcheck/reports/RunFacts.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kvstcheck/reports/Sha256.h"

namespace kvstcheck {
namespace {

LocalTime Now() {
    FILETIME utc{};
    ::GetSystemTimeAsFileTime(&utc);
    FILETIME local{};
    ::FileTimeToLocalFileTime(&utc, &local);
    SYSTEMTIME shown{};
    ::FileTimeToSystemTime(&local, &shown);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<long long>(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
    };
    constexpr long long kTicksPerMinute = 600'000'000;
    // Rounded: the two readings are one instant, so the difference is whole minutes.
    const long long offset = (ticks(local) - ticks(utc) + kTicksPerMinute / 2) / kTicksPerMinute;
    return {shown.wYear, shown.wMonth, shown.wDay, shown.wHour, shown.wMinute, shown.wSecond, static_cast<int>(offset)};
}

}  // namespace

std::string FormatLocalTime(const LocalTime& time) {
    char text[64];
    const int offset = std::abs(time.offsetMinutes);
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC%c%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::string ToolVersion() { return KV_TOOL_VERSION; }

std::string ModuleFileVersion(const std::wstring& module) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoW(module.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return {};
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

RunFacts GatherFacts(const std::wstring& pluginModule, const std::string* standardBytes) {
    RunFacts facts;
    facts.when = FormatLocalTime(Now());
    facts.toolVersion = ToolVersion();
    facts.pluginModule = pluginModule;
    if (!pluginModule.empty()) facts.pluginVersion = ModuleFileVersion(pluginModule);
    if (standardBytes) {
        facts.standardSize = standardBytes->size();
        facts.standardSha256 = Sha256Hex(*standardBytes);
    }
    return facts;
}

}  // namespace kvstcheck
