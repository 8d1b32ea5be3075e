// Load time of standard files of the four kinds with 100 to 32,767 names each, through the two
// readers side by side: one reading of the file per load, and the platform's profile function
// per value. Prints one table; every load is checked before its time counts.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "standards/StandardLoader.h"

namespace {

constexpr const char* kKinds[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
constexpr int kNamesPerKind[] = {100, 1000, 10000, 32767};
// Small files are loaded again and again until this much time has been measured.
constexpr double kMinimumSeconds = 2.0;
constexpr int kMaximumLoads = 2000;

std::string StandardFile(int namesPerKind) {
    std::string text = "[Common]\r\nTypeCount=4\r\n";
    for (int kind = 0; kind < 4; ++kind) {
        text += "[Type" + std::to_string(kind + 1) + "]\r\nType=" + kKinds[kind] + "\r\nNameCount=" +
                std::to_string(namesPerKind) + "\r\n";
        for (int name = 1; name <= namesPerKind; ++name)
            text += "Name" + std::to_string(name) + "=" + kKinds[kind] + "-name-" + std::to_string(name) + "\r\n";
    }
    return text;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

struct Members {
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    kv::Variant CheckFilter;
    standards::NameList StdLayerNames, StdLinetypeNames, StdTextStyleNames, StdDimStyleNames;

    bool LoadAndCheck(const std::wstring& path, int namesPerKind, standards::StandardFileReading reading) {
        if (!standards::LoadStandardFile(path, {IniFuncs, CheckFilter, StdLayerNames, StdLinetypeNames,
                                                StdTextStyleNames, StdDimStyleNames},
                                         reading))
            return false;
        const std::wstring lastLayer = L"AcadLayer-name-" + std::to_wstring(namesPerKind);
        const auto count = static_cast<std::size_t>(namesPerKind);
        return StdLayerNames.size() == count && StdLinetypeNames.size() == count &&
               StdTextStyleNames.size() == count && StdDimStyleNames.size() == count &&
               StdLayerNames.back() == lastLayer;
    }
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds per load, loading again and again until kMinimumSeconds have been measured; nothing
// when a load fails its check. Each load fills a new object, as each audit does (one plug-in object
// carries one audit); the object goes afterwards, outside the measurement.
std::optional<double> SecondsPerLoad(const std::wstring& path, int namesPerKind, standards::StandardFileReading reading,
                                     int& loads) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    loads = 0;
    double seconds = 0;
    do {
        auto members = std::make_unique<Members>();
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        const bool loaded = members->LoadAndCheck(path, namesPerKind, reading);
        ::QueryPerformanceCounter(&end);
        if (!loaded) return std::nullopt;
        ++loads;
        seconds += Seconds(start, end, frequency);
    } while (seconds < kMinimumSeconds && loads < kMaximumLoads);
    return seconds / loads;
}

}  // namespace

int main() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (!::GetTempPathW(MAX_PATH + 1, folder) || !::GetTempFileNameW(folder, L"kvs", 0, path)) {
        std::fprintf(stderr, "cannot make a temporary file\n");
        return 1;
    }
    using standards::StandardFileReading;
    std::printf("Standard file load: 4 kinds, names per kind as given; code page %u\n"
                "one reading: the file read once per load; per value: a profile read per value\n\n",
                ::GetACP());
    std::printf("%9s %8s %8s | %13s %6s %10s | %13s %6s %10s | %8s\n", "per kind", "names", "file KB",
                "one reading ms", "loads", "us/name", "per value ms", "loads", "us/name", "ratio");
    int status = 0;
    for (int namesPerKind : kNamesPerKind) {
        const std::string bytes = StandardFile(namesPerKind);
        if (!WriteWholeFile(path, bytes)) {
            std::fprintf(stderr, "cannot write the standard file\n");
            status = 1;
            break;
        }
        int loadsOnce = 0, loadsPerValue = 0;
        // One load outside the measurement, so that the first reading of the file does not count.
        Members warmUp;
        const bool warm = warmUp.LoadAndCheck(path, namesPerKind, StandardFileReading::OncePerLoad);
        const auto once = SecondsPerLoad(path, namesPerKind, StandardFileReading::OncePerLoad, loadsOnce);
        const auto perValue = SecondsPerLoad(path, namesPerKind, StandardFileReading::ProfileReadPerValue, loadsPerValue);
        if (!warm || !once || !perValue) {
            std::fprintf(stderr, "a load of %d names per kind failed\n", namesPerKind);
            status = 1;
            break;
        }
        const int names = 4 * namesPerKind;
        std::printf("%9d %8d %8.1f | %13.3f %6d %10.3f | %13.1f %6d %10.2f | %7.0fx\n", namesPerKind, names,
                    bytes.size() / 1024.0, *once * 1e3, loadsOnce, *once * 1e6 / names, *perValue * 1e3,
                    loadsPerValue, *perValue * 1e6 / names, *perValue / *once);
        std::fflush(stdout);
    }
    ::DeleteFileW(path);
    return status;
}
