// The fix's rewriter on a tiny drawing and on a 26 MB one (300 layers, 245,000 entities, every layer
// renamed, one merged, properties set): each fixed in a process of its own (plan, rewrite to a file,
// proof), with its time and peak memory, and the 26 MB drawing's figures as differences from the
// tiny one's (so that Wine's start-up cancels out), and each pass's time; then a folder's rate, 1,000
// small drawings fixed in one process. The rewriter alone: batch_bench times whole kvstcheck fix runs.
//
// Run: cmake --build build --target rewrite_bench && build/wine-run build/bench/rewrite_bench.exe
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "kvstcheck/fix/SystemTextCodec.h"
#include "tests/kvstcheck/fix/StdioFiles.h"

namespace {

using namespace kvstcheck::fix;

constexpr int kLayers = 300;

double Now() {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pair(std::string& text, int code, const std::string& value) {
    text += (code < 10 ? "  " : code < 100 ? " " : "") + std::to_string(code) + "\r\n" + value + "\r\n";
}

// A drawing of entities entities, each on one of the layers, with handles.
void WriteDrawing(const std::string& path, int entities) {
    fixtest::FileSink out(path);
    std::string text;
    for (const auto& [code, value] : {std::pair<int, std::string>{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"},
                                      {1, "AC1015"}, {9, "$CLAYER"}, {8, "L1"}, {0, "ENDSEC"}, {0, "SECTION"},
                                      {2, "TABLES"}, {0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {70, std::to_string(kLayers)}})
        Pair(text, code, value);
    for (int layer = 0; layer < kLayers; ++layer) {
        Pair(text, 0, "LAYER");
        Pair(text, 5, std::to_string(1000 + layer));
        Pair(text, 2, "L" + std::to_string(layer));
        Pair(text, 70, "0");
        Pair(text, 62, "7");
        Pair(text, 6, "Continuous");
    }
    for (const char* end : {"ENDTAB", "ENDSEC"}) Pair(text, 0, end);
    Pair(text, 0, "SECTION");
    Pair(text, 2, "ENTITIES");
    for (int i = 0; i < entities; ++i) {
        Pair(text, 0, "LINE");
        Pair(text, 5, std::to_string(0x10000 + i));
        Pair(text, 8, "L" + std::to_string(i % kLayers));
        for (const int code : {10, 20, 11, 21}) Pair(text, code, std::to_string(i * 0.5 + code));
        if (text.size() > (1 << 20)) {
            out.Write(text);
            text.clear();
        }
    }
    for (const char* end : {"ENDSEC", "EOF"}) Pair(text, 0, end);
    out.Write(text);
}

FixRequest EveryLayer() {
    FixRequest request;
    for (int layer = 1; layer < kLayers; ++layer)
        request.renames[0].emplace_back(L"L" + std::to_wstring(layer), L"A-" + std::to_wstring(layer == 1 ? 2 : layer));
    request.layerProperties.emplace_back(L"A-5", LayerChange{3, {}, 25, false});
    return request;
}

// The seconds of each pass over one drawing.
struct Passes {
    double plan = 0, rewrite = 0, proof = 0;
};

// Plan, rewrite and proof of one drawing; false when any of them fails.
bool FixOne(const std::string& in, const std::string& out, const SystemTextCodec& codec, const FixRequest& request,
            Passes& passes) {
    double start = Now();
    fixtest::FileBytes first(in);
    const RewriteAccount plan = PlanDxf(first, codec, request);
    if (plan.refusal) return false;
    passes.plan = Now() - start;
    start = Now();
    fixtest::FileBytes second(in);
    fixtest::FileSink sink(out);
    const RewriteAccount done = RewriteDxf(second, sink, codec, plan);
    sink.Close();
    passes.rewrite = Now() - start;
    start = Now();
    fixtest::FileBytes original(in), rewritten(out);
    const bool proven = !done.refusal && !VerifyRewrite(original, rewritten, codec, done);
    passes.proof = Now() - start;
    return proven;
}

struct Run {
    double wall = 0;     // the child process, start to end
    double fix = 0;      // plan, rewrite and proof inside it
    double peakMb = 0;   // its peak working set
    Passes passes;
};

Run RunChild(const std::string& self, const std::string& drawing) {
    const std::string figures = drawing + ".figures";
    std::string command = "\"" + self + "\" --one \"" + drawing + "\" \"" + figures + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {};
    ::WaitForSingleObject(process.hProcess, INFINITE);
    Run run;
    run.wall = Now() - start;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    fixtest::File file = fixtest::Open(figures, "r");
    if (std::fscanf(file.get(), "%lf %lf %lf %lf %lf", &run.fix, &run.peakMb, &run.passes.plan, &run.passes.rewrite,
                    &run.passes.proof) != 5)
        std::printf("  %s: the fix failed\n", drawing.c_str());
    file.reset();
    ::DeleteFileA(figures.c_str());
    return run;
}

// The child: fixes one drawing and writes its time and peak memory to the figures file.
int FixInChild(const std::string& drawing, const std::string& figures) {
    const SystemTextCodec codec;
    const double start = Now();
    Passes passes;
    const bool fixed = FixOne(drawing, drawing + ".fixed", codec, EveryLayer(), passes);
    const double seconds = Now() - start;
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    fixtest::File file = fixtest::Open(figures, "w");
    if (fixed)
        std::fprintf(file.get(), "%f %f %f %f %f\n", seconds, counters.PeakWorkingSetSize / 1048576.0, passes.plan,
                     passes.rewrite, passes.proof);
    return fixed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--one") return FixInChild(argv[2], argv[3]);
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string tiny = std::string(folder) + "kv-rewrite-tiny.dxf", large = std::string(folder) + "kv-rewrite-26mb.dxf";
    WriteDrawing(tiny, 10);
    WriteDrawing(large, 245000);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ::GetFileAttributesExA(large.c_str(), GetFileExInfoStandard, &attributes);
    const Run small = RunChild(argv[0], tiny), big = RunChild(argv[0], large);
    std::printf("drawing        size      process    fix      peak WS\n");
    std::printf("tiny        %6.1f MB  %6.3f s  %6.3f s  %6.1f MB\n", 0.0, small.wall, small.fix, small.peakMb);
    std::printf("large       %6.1f MB  %6.3f s  %6.3f s  %6.1f MB\n", attributes.nFileSizeLow / 1048576.0, big.wall, big.fix,
                big.peakMb);
    std::printf("large-tiny             %+6.3f s  %+6.3f s  %+6.1f MB\n", big.wall - small.wall, big.fix - small.fix,
                big.peakMb - small.peakMb);
    std::printf("large, pass by pass: plan %.3f s, rewrite %.3f s, proof (both files) %.3f s\n", big.passes.plan,
                big.passes.rewrite, big.passes.proof);
    const SystemTextCodec codec;
    constexpr int kFolder = 1000;
    const double start = Now();
    int fixed = 0;
    Passes passes;
    for (int i = 0; i < kFolder; ++i) fixed += FixOne(tiny, tiny + ".fixed", codec, EveryLayer(), passes) ? 1 : 0;
    const double seconds = Now() - start;
    std::printf("folder: %d small drawings fixed and proven in %.2f s: %.0f drawings/s\n", fixed, seconds, kFolder / seconds);
    for (const std::string& path : {tiny, large, tiny + ".fixed", large + ".fixed"}) ::DeleteFileA(path.c_str());
    return 0;
}
