// Load time of standard files of the four kinds with 100 to 32,767 names each, through the two
// readers side by side: one reading of the file per load, and the platform's profile function
// per value. Prints one table; every load is checked before its time counts. Every load parses the
// file: the image the plug-in module keeps per thread is not started here.
// Usage: standards_bench [once]   (once: only the one-reading column, for repeated runs of it)
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com/Handle.h"
#include "standards/StandardLoader.h"

namespace {

constexpr const char* kKinds[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
constexpr int kNamesPerKind[] = {100, 1000, 10000, 32767};
// Small files are loaded again and again until this much time has been measured.
constexpr double kMinimumSeconds = 2.0;
constexpr int kMaximumLoads = 2000;
// Files with fewer names per kind are read once per load kSmallLoadsPerBatch at a time.
constexpr int kLargeFileNames = 10000;
constexpr int kSmallLoadsPerBatch = 50;

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
    const kv::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

struct Members {
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    standards::TypeNames CheckFilter;
    standards::NameView StdLayerNames, StdLinetypeNames, StdTextStyleNames, StdDimStyleNames;

    bool LoadAndCheck(const std::wstring& path, int namesPerKind, standards::StandardFileReading reading) {
        if (!standards::Apply(standards::LoadStandardFile(path, IniFuncs, reading),
                              {CheckFilter, {&StdLayerNames, &StdLinetypeNames, &StdTextStyleNames, &StdDimStyleNames}}))
            return false;
        const std::wstring lastLayer = L"AcadLayer-name-" + std::to_wstring(namesPerKind);
        const auto count = static_cast<std::size_t>(namesPerKind);
        return StdLayerNames.size() == count && StdLinetypeNames.size() == count &&
               StdTextStyleNames.size() == count && StdDimStyleNames.size() == count &&
               StdLayerNames[count - 1] == lastLayer;
    }
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The calling thread's processor time (user and kernel) in seconds: what the load itself costs,
// whatever else runs on the machine.
double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct LoadTimes {
    double seconds = 0;     // elapsed, per load
    double cpuSeconds = 0;  // processor time of this thread, per load
    int loads = 0;
};

// Loads again and again until kMinimumSeconds have been measured; nothing when a load fails its
// check. Each load fills a new object, as each audit does (one plug-in object carries one audit).
// Small files load in batches between two readings of the clocks: reading this thread's processor
// time is itself a request to Wine's server (some 0.03 ms), which would count in every small load.
// The objects go after their batch, outside the measurement.
std::optional<LoadTimes> TimeLoads(const std::wstring& path, int namesPerKind, standards::StandardFileReading reading) {
    const bool small = reading == standards::StandardFileReading::OncePerLoad && namesPerKind < kLargeFileNames;
    const int batch = small ? kSmallLoadsPerBatch : 1;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    LoadTimes times;
    do {
        std::vector<std::unique_ptr<Members>> objects;
        for (int load = 0; load < batch; ++load) objects.push_back(std::make_unique<Members>());
        bool loaded = true;
        LARGE_INTEGER start, end;
        const double cpuStart = ThreadSeconds();
        ::QueryPerformanceCounter(&start);
        for (const auto& members : objects) loaded = members->LoadAndCheck(path, namesPerKind, reading) && loaded;
        ::QueryPerformanceCounter(&end);
        times.cpuSeconds += ThreadSeconds() - cpuStart;
        if (!loaded) return std::nullopt;
        times.loads += batch;
        times.seconds += Seconds(start, end, frequency);
    } while (times.seconds < kMinimumSeconds && times.loads < kMaximumLoads);
    times.seconds /= times.loads;
    times.cpuSeconds /= times.loads;
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const bool onlyOnce = argc > 1 && std::string(argv[1]) == "once";
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (!::GetTempPathW(MAX_PATH + 1, folder) || !::GetTempFileNameW(folder, L"kvs", 0, path)) {
        std::fprintf(stderr, "cannot make a temporary file\n");
        return 1;
    }
    using standards::StandardFileReading;
    std::printf("Standard file load: 4 kinds, names per kind as given; code page %u\n"
                "once: the file read once per load; value: a profile read per value. ms: elapsed per load;\n"
                "cpu ms: this thread's processor time per load (apart from other jobs on the machine)\n\n",
                ::GetACP());
    std::printf("%9s %8s %8s | %9s %8s %6s %8s | %10s %10s %6s %8s | %7s\n", "per kind", "names", "file KB",
                "once ms", "cpu ms", "loads", "us/name", "value ms", "cpu ms", "loads", "us/name", "ratio");
    int status = 0;
    for (int namesPerKind : kNamesPerKind) {
        const std::string bytes = StandardFile(namesPerKind);
        if (!WriteWholeFile(path, bytes)) {
            std::fprintf(stderr, "cannot write the standard file\n");
            status = 1;
            break;
        }
        // One load outside the measurement, so that the first reading of the file does not count.
        Members warmUp;
        const bool warm = warmUp.LoadAndCheck(path, namesPerKind, StandardFileReading::OncePerLoad);
        const auto once = TimeLoads(path, namesPerKind, StandardFileReading::OncePerLoad);
        const auto perValue = onlyOnce ? std::optional<LoadTimes>(LoadTimes{})
                                       : TimeLoads(path, namesPerKind, StandardFileReading::ProfileReadPerValue);
        if (!warm || !once || !perValue) {
            std::fprintf(stderr, "a load of %d names per kind failed\n", namesPerKind);
            status = 1;
            break;
        }
        const int names = 4 * namesPerKind;
        std::printf("%9d %8d %8.1f | %9.3f %8.3f %6d %8.3f |", namesPerKind, names, bytes.size() / 1024.0,
                    once->seconds * 1e3, once->cpuSeconds * 1e3, once->loads, once->seconds * 1e6 / names);
        if (onlyOnce)
            std::printf("%10s %10s %6s %8s | %7s\n", "-", "-", "-", "-", "-");
        else
            std::printf(" %10.1f %10.1f %6d %8.2f | %6.0fx\n", perValue->seconds * 1e3, perValue->cpuSeconds * 1e3,
                        perValue->loads, perValue->seconds * 1e6 / names, perValue->seconds / once->seconds);
        std::fflush(stdout);
    }
    ::DeleteFileW(path);
    return status;
}
