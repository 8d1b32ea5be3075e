#pragma once
// What a report forwarded to others must say about the run that made it: when, with which tool and
// plug-in, against which standard file (and which bytes of it).
#include <cstdint>
#include <optional>
#include <string>

namespace kvstcheck {

struct RunFacts {
    std::string when;               // local date and time with the offset from UTC; empty when not known
    std::string toolVersion;        // this program's version
    std::wstring pluginModule;      // the plug-in module audited through; empty when not known
    std::string pluginVersion;      // its file version, "1.0.0.0"; empty when it has none
    std::optional<std::uint64_t> standardSize;  // bytes; nothing when the file could not be read
    std::string standardSha256;     // 64 lower-case hex digits; empty when the file could not be read
};

struct LocalTime {
    int year, month, day, hour, minute, second;
    int offsetMinutes;  // local time minus UTC
};

// "2026-12-08 12:30:05 UTC+08:00".
std::string FormatLocalTime(const LocalTime& time);

// The version this program was built as, "1.0".
std::string ToolVersion();
// The file version of a module's version resource, "1.0.0.0"; empty when it has none.
std::string ModuleFileVersion(const std::wstring& module);
// The facts of a run now, against this module (may be empty) and the standard file's bytes as read
// once for the run (nothing when they could not be read).
RunFacts GatherFacts(const std::wstring& pluginModule, const std::string* standardBytes);

}  // namespace kvstcheck
