// Load time of standard files of the four kinds with 10 to 10,000 names each, through the real
// profile functions. Prints one table; every load is checked before its time counts.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "standards/StandardLoader.h"

namespace {

constexpr const char* kKinds[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
constexpr int kNamesPerKind[] = {10, 100, 1000, 10000};
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

    bool LoadAndCheck(const std::wstring& path, int namesPerKind) {
        if (!standards::LoadStandardFile(path, {IniFuncs, CheckFilter, StdLayerNames, StdLinetypeNames,
                                                StdTextStyleNames, StdDimStyleNames}))
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

}  // namespace

int main() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (!::GetTempPathW(MAX_PATH + 1, folder) || !::GetTempFileNameW(folder, L"kvs", 0, path)) {
        std::fprintf(stderr, "cannot make a temporary file\n");
        return 1;
    }
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);

    std::printf("Standard file load: 4 kinds, names per kind as given; code page %u\n\n", ::GetACP());
    std::printf("%10s %10s %10s %8s %14s %12s %14s\n", "per kind", "names", "file KB", "loads", "ms per file",
                "us per name", "us per read");
    int status = 0;
    for (int namesPerKind : kNamesPerKind) {
        const std::string bytes = StandardFile(namesPerKind);
        if (!WriteWholeFile(path, bytes)) {
            std::fprintf(stderr, "cannot write the standard file\n");
            status = 1;
            break;
        }
        Members members;
        // One load outside the measurement, so that the first reading of the file does not count.
        if (!members.LoadAndCheck(path, namesPerKind)) {
            std::fprintf(stderr, "the load of %d names per kind failed\n", namesPerKind);
            status = 1;
            break;
        }
        int loads = 0;
        double seconds = 0;
        LARGE_INTEGER start, now;
        ::QueryPerformanceCounter(&start);
        do {
            if (!members.LoadAndCheck(path, namesPerKind)) {
                std::fprintf(stderr, "a load of %d names per kind failed\n", namesPerKind);
                status = 1;
                break;
            }
            ++loads;
            ::QueryPerformanceCounter(&now);
            seconds = Seconds(start, now, frequency);
        } while (seconds < kMinimumSeconds && loads < kMaximumLoads);
        if (status) break;

        const int names = 4 * namesPerKind;
        const int readsPerLoad = 1 + 2 * 4 + names;
        const double perLoad = seconds / loads;
        std::printf("%10d %10d %10.1f %8d %14.3f %12.2f %14.2f\n", namesPerKind, names, bytes.size() / 1024.0,
                    loads, perLoad * 1e3, perLoad * 1e6 / names, perLoad * 1e6 / readsPerLoad);
        std::fflush(stdout);
    }
    ::DeleteFileW(path);
    return status;
}
