// Hints for findings against standards of up to 32,767 names of a kind, and lint of such a file.
// Prints one table of figures; each hint search is checked before its time counts.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "com/Handle.h"
#include "kvstcheck/standardtools/Hints.h"
#include "kvstcheck/standardtools/Lint.h"

namespace {

using Clock = std::chrono::steady_clock;

// Names shaped like a CAD office's layers: discipline, element, a number.
std::vector<std::wstring> LayerNames(std::size_t count, std::mt19937& random) {
    const wchar_t* disciplines[] = {L"A", L"S", L"M", L"E", L"P", L"C", L"L"};
    const wchar_t* elements[] = {L"WALL", L"DOOR", L"GLAZ", L"FURN", L"ANNO", L"GRID", L"ROOF", L"STAIR", L"DUCT"};
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < count; ++i)
        names.push_back(std::wstring(disciplines[random() % 7]) + L"-" + elements[random() % 9] + L"-" +
                        std::to_wstring(i));
    return names;
}

double MicrosecondsPer(Clock::duration elapsed, std::size_t count) {
    return std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(count);
}

// The processor time this process has used, in seconds.
double ProcessorSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// A name with one character changed: what a drawing holds when its standard is one edit off everywhere.
std::wstring OneCharacterOff(const std::wstring& name, std::mt19937& random) {
    const std::wstring alphabet = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::wstring changed = name;
    wchar_t& c = changed[random() % changed.size()];
    const wchar_t was = c;
    while (c == was) c = alphabet[random() % alphabet.size()];
    return changed;
}

// One drawing of (by default) 100,000 names against a standard of 4 x 32,767 names, every name a finding one edit
// from an allowed one: each gets its hints. Returns false when a name gets none.
bool HintsForOneLargeDrawing(std::size_t queries) {
    const wchar_t* labels[] = {L"\u56FE\u5C42", L"\u7EBF\u578B", L"\u6587\u5B57\u6837\u5F0F", L"\u6807\u6CE8\u6837\u5F0F"};
    std::mt19937 random(4);
    kvstcheck::LoadedStandard standard;
    standard.loaded = true;
    for (auto& names : standard.names) names = LayerNames(32767, random);
    const double startCpu = ProcessorSeconds();
    const auto start = Clock::now();
    const kvstcheck::HintFinder hints(standard);
    const auto indexed = Clock::now();
    const double indexedCpu = ProcessorSeconds();
    std::size_t hinted = 0;
    for (std::size_t i = 0; i < queries; ++i) {
        const std::size_t kind = i % 4;
        const std::wstring name = OneCharacterOff((*standard.names[kind])[random() % 32767], random);
        hinted += hints.For(labels[kind], name).names.empty() ? 0 : 1;
    }
    const auto elapsed = Clock::now() - indexed;
    const double cpu = ProcessorSeconds() - indexedCpu;
    std::printf("%-12s %-28s %10s %14.1f\n", "4 x 32767", "index the standard", "1", MicrosecondsPer(indexed - start, 1));
    std::printf("%-12s %-28s %10zu %14.1f   (%.1f s processor time in all, %.1f s indexing)\n", "4 x 32767",
                "one drawing, one edit off", queries, MicrosecondsPer(elapsed, queries), cpu, indexedCpu - startCpu);
    if (hinted != queries) std::printf("unexpected: %zu of %zu names got hints\n", hinted, queries);
    return hinted == queries;
}

}  // namespace

// The argument, when given, is the large drawing's number of names (a brute-force search takes minutes
// over all of them).
int main(int argc, char** argv) {
    const std::size_t largeDrawingNames = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::wstring layer = L"\u56FE\u5C42";
    std::printf("%-12s %-28s %10s %14s\n", "names", "query", "queries", "us per query");
    for (const std::size_t count : {100u, 1000u, 10000u, 32767u}) {
        std::mt19937 random(static_cast<unsigned>(count));
        kvstcheck::LoadedStandard standard;
        standard.loaded = true;
        standard.names[0] = LayerNames(count, random);
        const auto built = Clock::now();
        const kvstcheck::HintFinder hints(standard);
        std::printf("%-12zu %-28s %10s %14.1f\n", count, "index the standard", "1", MicrosecondsPer(Clock::now() - built, 1));

        const auto& names = *standard.names[0];
        const struct {
            const char* what;
            std::wstring (*change)(const std::wstring&);
        } queries[] = {
            {"other letter case", [](const std::wstring& n) { std::wstring l = n; for (auto& c : l) c = static_cast<wchar_t>(towlower(c)); return l; }},
            {"one letter dropped", [](const std::wstring& n) { return n.substr(0, 2) + n.substr(3); }},
            {"unlike any name", [](const std::wstring& n) { return L"ZZ-QQQQ-" + n + L"-XX"; }},
        };
        for (const auto& query : queries) {
            const std::size_t runs = 200;
            std::size_t hinted = 0;
            const auto start = Clock::now();
            for (std::size_t i = 0; i < runs; ++i) hinted += hints.For(layer, query.change(names[(i * 7919) % count])).names.empty() ? 0 : 1;
            const auto elapsed = Clock::now() - start;
            const bool expected = query.change(names[0]).starts_with(L"ZZ") ? hinted == 0 : hinted == runs;
            if (!expected) {
                std::printf("unexpected hints for \"%s\": %zu of %zu\n", query.what, hinted, runs);
                return 1;
            }
            std::printf("%-12zu %-28s %10zu %14.1f\n", count, query.what, runs, MicrosecondsPer(elapsed, runs));
        }
    }

    if (!HintsForOneLargeDrawing(largeDrawingNames)) return 1;

    // Lint of a file with the largest section a standard can declare.
    std::string file = "[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=32767\r\n";
    std::mt19937 random(1);
    const auto names = LayerNames(32767, random);
    for (std::size_t i = 0; i < names.size(); ++i)
        file += "Name" + std::to_string(i + 1) + "=" + std::string(names[i].begin(), names[i].end()) + "\r\n";
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"kvb", 0, path);
    {
        const kv::FileHandle handle(
            ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ::WriteFile(handle.get(), file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    }
    const auto start = Clock::now();
    const auto report = kvstcheck::LintStandardFile(path);
    const auto elapsed = Clock::now() - start;
    ::DeleteFileW(path);
    if (report.Status() != 0 || !report.loaded.names[0] || report.loaded.names[0]->size() != 32767) {
        std::printf("lint of the 32,767-name file did not load it cleanly\n");
        return 1;
    }
    std::printf("%-12s %-28s %10s %14.1f\n", "32767", "lint the whole file", "1", MicrosecondsPer(elapsed, 1));
    return 0;
}
