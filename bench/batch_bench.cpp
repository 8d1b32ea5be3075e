// A whole office's drawings through kvstcheck: whole runs of kvstcheck.exe, each in its own process,
// on a tiny drawing, a 22 MB drawing (500 layers, 200,000 entities), a folder of 1,000 drawings (the
// bundled DXF and JSON drawings copied into ten folders) at one job and at one per core, the same
// folder at one job against a standard of 4 x 10,000 names, and text runs over 1,272 and 15,264
// drawings (one folder named 12 times). Prints time, drawings/s, MB/s and the peak memory of each,
// also as differences from the tiny drawing's run (so that Wine's start-up cancels out); then where
// the time of a folder goes, phase by phase, measured with kvstcheck's own code and the plug-in's
// host calls; and the plug-in's own part alone, on 1 and N threads: the most drawings/s that any
// program auditing through it could reach on this machine.
//
// Then whole kvstcheck fix runs: a 26 MB drawing fixed and proven against a tiny one, and a folder.
//
// Run (after the tests registered the plug-in; "fix" runs the fix's table alone):
//   cmake --build build --target batch_bench kvstcheck && build/wine-run build/bench/batch_bench.exe [RUNS] [fix]
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <wrl/client.h>

#include "KVStMgr.h"
#include "com/Bstr.h"
#include "com/Handle.h"
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/reports/HtmlReport.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/runs/DrawingObject.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/standardtools/Hints.h"
#include "support/TempFolder.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr std::size_t kFolders = 10;
constexpr const wchar_t* kSamples[] = {L"office.dxf", L"office-zh-2010.dxf", L"office-zh-r2000.dxf", L"site.json",
                                       L"clean.json"};

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceCounter(&start_); }
    double Seconds() const {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw std::runtime_error(std::string(what) + " failed");
}

std::wstring Wide(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

std::wstring TempPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"kvst-batch-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + name;
}

// A file of the bench, removed at the end.
class BenchFile {
public:
    BenchFile(const wchar_t* name, const std::string& bytes) : path_(TempPath(name)) {
        kv::FileHandle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file.get() == INVALID_HANDLE_VALUE ||
            !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            throw std::runtime_error("cannot write a bench drawing");
    }
    BenchFile(const BenchFile&) = delete;
    BenchFile& operator=(const BenchFile&) = delete;
    ~BenchFile() { ::DeleteFileW(path_.c_str()); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

std::string Pair(int code, const std::string& value) { return std::to_string(code) + "\n" + value + "\n"; }

// An R2000 drawing with its layers in TABLES and its lines in ENTITIES, as a CAD program writes one.
std::string GeneratedDrawing(std::size_t layers, std::size_t entities) {
    std::string text = Pair(0, "SECTION") + Pair(2, "HEADER") + Pair(9, "$ACADVER") + Pair(1, "AC1015") +
                       Pair(9, "$DWGCODEPAGE") + Pair(3, "ANSI_1252") + Pair(0, "ENDSEC") + Pair(0, "SECTION") +
                       Pair(2, "TABLES") + Pair(0, "TABLE") + Pair(2, "LAYER") + Pair(70, std::to_string(layers));
    for (std::size_t i = 0; i < layers; ++i)
        text += Pair(0, "LAYER") + Pair(5, std::to_string(0x100 + i)) + Pair(100, "AcDbSymbolTableRecord") +
                Pair(100, "AcDbLayerTableRecord") + Pair(2, "A-LAYER-" + std::to_string(i)) + Pair(70, "0") +
                Pair(62, "7") + Pair(6, "Continuous");
    text += Pair(0, "ENDTAB") + Pair(0, "ENDSEC") + Pair(0, "SECTION") + Pair(2, "ENTITIES");
    text.reserve(text.size() + entities * 140);
    for (std::size_t i = 0; i < entities; ++i) {
        const std::string at = std::to_string(i % 1000) + ".125";
        text += Pair(0, "LINE") + Pair(5, std::to_string(0x10000 + i)) + Pair(100, "AcDbEntity") +
                Pair(8, "A-LAYER-" + std::to_string(i % layers)) + Pair(100, "AcDbLine") + Pair(10, at) +
                Pair(20, at) + Pair(30, "0.0") + Pair(11, at) + Pair(21, "250.5") + Pair(31, "0.0");
    }
    return text + Pair(0, "ENDSEC") + Pair(0, "EOF");
}

// The sample standard with each of its kinds filled up to namesPerKind names, so that drawings get the
// same findings from a file of the size of a large office's standard.
std::string ManyNameStandard(const std::wstring& sample, int namesPerKind) {
    // The sample holds ASCII names only.
    const auto value = [&](const std::string& section, const std::string& key) {
        wchar_t text[256];
        ::GetPrivateProfileStringW(Wide(section.c_str()).c_str(), Wide(key.c_str()).c_str(), L"", text,
                                   static_cast<DWORD>(std::size(text)), sample.c_str());
        std::string ascii;
        for (const wchar_t* c = text; *c != 0; ++c) ascii += static_cast<char>(*c);
        return ascii;
    };
    std::string text = "[Common]\r\nTypeCount=4\r\n";
    for (int kind = 1; kind <= 4; ++kind) {
        const std::string section = "Type" + std::to_string(kind);
        const std::string type = value(section, "Type");
        text += "[" + section + "]\r\nType=" + type + "\r\nNameCount=" + std::to_string(namesPerKind) + "\r\n";
        const int own = std::atoi(value(section, "NameCount").c_str());
        for (int name = 1; name <= namesPerKind; ++name)
            text += "Name" + std::to_string(name) + "=" +
                    (name <= own ? value(section, "Name" + std::to_string(name)) : type + "-" + std::to_string(name)) +
                    "\r\n";
    }
    return text;
}

// One kvstcheck.exe process: its wall time, or its peak memory.
struct ProcessRun {
    double seconds = 0;
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPagefile = 0;
    DWORD status = 0;
};

std::wstring KvstcheckExe() {
    wchar_t own[MAX_PATH * 2];
    const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH * 2);
    std::wstring path(own, length);
    path = path.substr(0, path.find_last_of(L"\\/"));
    return path.substr(0, path.find_last_of(L"\\/")) + L"\\kvstcheck\\kvstcheck.exe";
}

PROCESS_INFORMATION Start(const std::wstring& arguments, DWORD flags, HANDLE output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring command = L"\"" + KvstcheckExe() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start kvstcheck.exe");
    return process;
}

void Sample(HANDLE process, ProcessRun& run) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return;
    run.peakWorkingSet = std::max(run.peakWorkingSet, counters.PeakWorkingSetSize);
    run.peakPagefile = std::max(run.peakPagefile, counters.PeakPagefileUsage);
}

// The counters of a process that has ended are gone, so the process runs under this program as its
// debugger: it reads them when the process reports its exit, before the process is let go.
void WatchMemory(const PROCESS_INFORMATION& process, ProcessRun& run) {
    for (;;) {
        DEBUG_EVENT event{};
        if (!::WaitForDebugEvent(&event, 20)) {
            Sample(process.hProcess, run);
            continue;
        }
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT: kv::FileHandle{event.u.CreateProcessInfo.hFile}.reset(); break;
            case LOAD_DLL_DEBUG_EVENT: kv::FileHandle{event.u.LoadDll.hFile}.reset(); break;
            case EXCEPTION_DEBUG_EVENT:
                // The loader's first breakpoint is the debugger's; every other exception is the program's own.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    continuation = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                Sample(process.hProcess, run);
                run.status = event.u.ExitProcess.dwExitCode;
                ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                return;
            default: break;
        }
        Sample(process.hProcess, run);
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
    }
}

ProcessRun RunProcess(const std::wstring& arguments, bool memory) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const kv::FileHandle nul(
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
    ProcessRun run;
    const Stopwatch watch;
    const PROCESS_INFORMATION process = Start(arguments, memory ? DEBUG_ONLY_THIS_PROCESS : 0, nul.get());
    const kv::FileHandle thread(process.hThread);
    const kv::FileHandle child(process.hProcess);
    if (memory) WatchMemory(process, run);
    ::WaitForSingleObject(child.get(), INFINITE);
    run.seconds = watch.Seconds();
    ::GetExitCodeProcess(child.get(), &run.status);
    return run;
}

// The best of some runs, the least disturbed by other work on the machine: the shortest time of
// plain runs, the least memory of runs under watch (which slows them).
ProcessRun BestRun(const std::wstring& arguments, int runs) {
    ProcessRun best;
    for (int i = 0; i < runs; ++i) {
        const ProcessRun timed = RunProcess(arguments, false);
        if (i == 0 || timed.seconds < best.seconds) best.seconds = timed.seconds, best.status = timed.status;
        const ProcessRun watched = RunProcess(arguments, true);
        if (i == 0 || watched.peakWorkingSet < best.peakWorkingSet) best.peakWorkingSet = watched.peakWorkingSet;
        if (i == 0 || watched.peakPagefile < best.peakPagefile) best.peakPagefile = watched.peakPagefile;
    }
    return best;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

double Megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

std::size_t FolderBytes(const std::wstring& folder) {
    std::size_t bytes = 0;
    for (const kvstcheck::WalkEntry& entry : kvstcheck::ListDrawings({folder})) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(entry.path.c_str(), GetFileExInfoStandard, &data)) bytes += data.nFileSizeLow;
    }
    return bytes;
}

struct Case {
    std::string label;
    std::wstring arguments;
    std::size_t drawings;
    std::size_t bytes;
};

// count drawings in kFolders folders under a new temporary folder; removed at the end.
class DrawingFolder {
public:
    DrawingFolder(const std::wstring& samples, std::size_t count, const wchar_t* tag) : root_(TempPath(tag)) {
        if (!::CreateDirectoryW(root_.c_str(), nullptr)) throw std::runtime_error("cannot create the bench folder");
        for (std::size_t folder = 0; folder < kFolders; ++folder) ::CreateDirectoryW(Folder(folder).c_str(), nullptr);
        for (std::size_t i = 0; i < count; ++i) {
            const wchar_t* sample = kSamples[i % std::size(kSamples)];
            const std::wstring target = Folder(i % kFolders) + L"\\" + std::to_wstring(i) + L"-" + sample;
            if (!::CopyFileW((samples + L"\\" + sample).c_str(), target.c_str(), FALSE))
                throw std::runtime_error("cannot copy the sample drawings");
            files_.push_back(target);
        }
    }
    DrawingFolder(const DrawingFolder&) = delete;
    DrawingFolder& operator=(const DrawingFolder&) = delete;
    ~DrawingFolder() {
        for (const std::wstring& file : files_) ::DeleteFileW(file.c_str());
        for (std::size_t folder = 0; folder < kFolders; ++folder) ::RemoveDirectoryW(Folder(folder).c_str());
        ::RemoveDirectoryW(root_.c_str());
    }
    const std::wstring& root() const { return root_; }

private:
    std::wstring Folder(std::size_t number) const { return root_ + L"\\job-" + std::to_wstring(number); }

    std::wstring root_;
    std::vector<std::wstring> files_;
};

// One row: the run, then its difference from the tiny drawing's run, and the rates of that difference;
// the tiny drawing's own row has no difference.
void PrintRow(const Case& c, const ProcessRun& run, const ProcessRun* tiny) {
    const auto mb = [](SIZE_T bytes) { return Megabytes(static_cast<double>(bytes)); };
    std::printf("  %-30s %6zu %7.1f | %7.0f %7.1f %7.1f |", c.label.c_str(), c.drawings,
                Megabytes(static_cast<double>(c.bytes)), run.seconds * 1000, mb(run.peakWorkingSet),
                mb(run.peakPagefile));
    if (tiny == nullptr) {
        std::printf(" %7s %7s %7s | %8s %7s | %lu\n", "-", "-", "-", "-", "-", run.status);
        return;
    }
    // Below a millisecond the difference is the machine's noise, and no rate can be told.
    const double net = std::max(run.seconds - tiny->seconds, 0.0);
    std::printf(" %7.0f %+7.1f %+7.1f |", net * 1000, mb(run.peakWorkingSet) - mb(tiny->peakWorkingSet),
                mb(run.peakPagefile) - mb(tiny->peakPagefile));
    if (net < 1e-3)
        std::printf(" %8s %7s | %lu\n", "-", "-", run.status);
    else
        std::printf(" %8.0f %7.1f | %lu\n", static_cast<double>(c.drawings) / net,
                    Megabytes(static_cast<double>(c.bytes)) / net, run.status);
}

// Whether this kvstcheck.exe knows --jobs: an unknown option is a usage error (status 2).
bool KnowsJobs(const std::wstring& standard, const std::wstring& tiny) {
    return RunProcess(L"--jobs 1 --standard " + Quoted(standard) + L" " + Quoted(tiny), false).status != 2;
}

// The CheckNext/GetError walk of an audit that is set up: its findings.
std::vector<kvstcheck::Finding> Walk(IKVStPlugin& plugin) {
    std::vector<kvstcheck::Finding> findings;
    for (;;) {
        VARIANT_BOOL more = VARIANT_FALSE;
        Check(plugin.CheckNext(&more), "CheckNext");
        if (more == VARIANT_FALSE) return findings;
        ComPtr<_KVStError> error;
        Check(plugin.GetError(&error), "GetError");
        kv::Bstr name, kind;
        Check(error->get_EntryName(&name), "EntryName");
        Check(error->get_KindLabel(&kind), "KindLabel");
        findings.push_back(kvstcheck::PluginFinding(kind.str(), name.str()));
    }
}

struct Phases {
    double source = 0, walk = 0, read = 0, object = 0, create = 0, setup = 0, checks = 0, clear = 0, hints = 0,
           report = 0;
};

// The same run taken apart: each phase timed on its own.
Phases TimedPhases(const kvstcheck::Options& options, std::size_t& findings) {
    Phases phases;
    Stopwatch watch;
    const auto source = kvstcheck::PrivatePlugin(options.plugin, options.standard);
    phases.source = watch.Seconds();
    watch = Stopwatch();
    const auto entries = kvstcheck::ListDrawings(options.drawings);
    phases.walk = watch.Seconds();
    watch = Stopwatch();
    const kvstcheck::HintFinder hints(kvstcheck::LoadAsThePluginDoes(options.standard));
    phases.hints = watch.Seconds();
    kvstcheck::RunReport report;
    for (const kvstcheck::WalkEntry& entry : entries) {
        watch = Stopwatch();
        kvstcheck::DrawingContent content = kvstcheck::ReadDrawingFile(entry.path);
        phases.read += watch.Seconds();
        kvstcheck::DrawingResult result{entry.path, content.names.total(), {}, {}, {}};
        watch = Stopwatch();
        const auto drawing = kvstcheck::MakeDrawingObject(std::move(content.names));
        phases.object += watch.Seconds();
        watch = Stopwatch();
        const auto plugin = source->Create();
        phases.create += watch.Seconds();
        const kv::Bstr path(entry.path);
        watch = Stopwatch();
        Check(plugin->SetupForAudit(drawing.Get(), path.get()), "SetupForAudit");
        phases.setup += watch.Seconds();
        watch = Stopwatch();
        result.findings = Walk(*plugin.Get());
        phases.checks += watch.Seconds();
        watch = Stopwatch();
        Check(plugin->Clear(), "Clear");
        phases.clear += watch.Seconds();
        watch = Stopwatch();
        for (kvstcheck::Finding& finding : result.findings) finding.hints = hints.For(kvstcheck::HostLabelOf(finding), finding.name);
        phases.hints += watch.Seconds();
        findings += result.findings.size();
        report.drawings.push_back(std::move(result));
    }
    watch = Stopwatch();
    std::size_t bytes = 0;
    for (const kvstcheck::DrawingResult& drawing : report.drawings) bytes += kvstcheck::FormatDrawing(drawing).size();
    bytes += kvstcheck::FormatJson(report).size() + kvstcheck::FormatHtml(report).size();
    phases.report = watch.Seconds();
    if (bytes == 0) throw std::runtime_error("no report");
    return phases;
}

// One drawing's audit by the plug-in, as kvstcheck makes it: a new object, SetupForAudit, the
// CheckNext/GetError walk, Clear.
void AuditOnce(kvstcheck::PluginSource& source, IDispatch* drawing, BSTR path) {
    const auto plugin = source.Create();
    Check(plugin->SetupForAudit(drawing, path), "SetupForAudit");
    Walk(*plugin.Get());
    Check(plugin->Clear(), "Clear");
}

// The plug-in's own part of audits and nothing else, on threads that each audit one drawing object,
// made once, again and again (each thread its own apartment and source, as kvstcheck's workers):
// no file is read, nothing is reported. The most drawings/s any program could audit here.
double PluginOnlyRate(kvstcheck::PluginSource& source, const kvstcheck::DrawingNames& names, std::size_t threads,
                      std::size_t audits) {
    std::atomic<bool> failed = false;
    std::vector<std::thread> workers;
    const Stopwatch watch;
    for (std::size_t t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
                failed = true;
                return;
            }
            try {
                const auto mine = source.ForThisThread();
                const auto drawing = kvstcheck::MakeDrawingObject(names);
                const kv::Bstr path(L"drawing.dxf");
                for (std::size_t i = 0; i < audits / threads; ++i) AuditOnce(*mine, drawing.Get(), path.get());
            } catch (const std::exception&) {
                failed = true;
            }
            ::CoUninitialize();
        });
    for (std::thread& worker : workers) worker.join();
    if (failed) throw std::runtime_error("an audit of the plug-in-only run failed");
    return static_cast<double>(audits / threads * threads) / watch.Seconds();
}

void Row(const char* phase, double seconds, double total, std::size_t drawings) {
    std::printf("  %-44s %9.1f ms %8.3f ms/drawing %5.1f %%\n", phase, seconds * 1000,
                seconds * 1000 / static_cast<double>(drawings), 100 * seconds / total);
}


// kvstcheck fix: a drawing of 26 MB (300 layers with handles, 245,000 lines, CR LF and padded codes as
// CAD programs write them) and a tiny one of the same kind, every layer renamed by a map (one merged),
// each fixed into a copy below --output, proven and audited again; and a folder of tiny drawings.
constexpr int kFixLayers = 300;

std::string PaddedPair(int code, const std::string& value) {
    return (code < 10 ? "  " : code < 100 ? " " : "") + std::to_string(code) + "\r\n" + value + "\r\n";
}

std::string FixDrawing(int entities) {
    std::string text = PaddedPair(0, "SECTION") + PaddedPair(2, "HEADER") + PaddedPair(9, "$ACADVER") +
                       PaddedPair(1, "AC1015") + PaddedPair(9, "$CLAYER") + PaddedPair(8, "L1") + PaddedPair(0, "ENDSEC") +
                       PaddedPair(0, "SECTION") + PaddedPair(2, "TABLES") + PaddedPair(0, "TABLE") + PaddedPair(2, "LAYER") +
                       PaddedPair(5, "2") + PaddedPair(70, std::to_string(kFixLayers));
    for (int layer = 0; layer < kFixLayers; ++layer)
        text += PaddedPair(0, "LAYER") + PaddedPair(5, std::to_string(1000 + layer)) + PaddedPair(2, "L" + std::to_string(layer)) +
                PaddedPair(70, "0") + PaddedPair(62, "7") + PaddedPair(6, "Continuous");
    text += PaddedPair(0, "ENDTAB") + PaddedPair(0, "ENDSEC") + PaddedPair(0, "SECTION") + PaddedPair(2, "ENTITIES");
    text.reserve(text.size() + static_cast<std::size_t>(entities) * 115);
    for (int i = 0; i < entities; ++i) {
        text += PaddedPair(0, "LINE") + PaddedPair(5, std::to_string(0x10000 + i)) + PaddedPair(8, "L" + std::to_string(i % kFixLayers));
        for (const int code : {10, 20, 11, 21}) text += PaddedPair(code, std::to_string(i * 0.5 + code));
    }
    return text + PaddedPair(0, "ENDSEC") + PaddedPair(0, "EOF");
}

// L1 to L299 renamed to A-2 to A-299 (L1 merged into A-2's entry, which L2 becomes), and the standard
// that allows what the fixed drawings hold.
std::string FixMap() {
    std::string map = "kind,from,to\r\n";
    for (int layer = 1; layer < kFixLayers; ++layer)
        map += "layers,L" + std::to_string(layer) + ",A-" + std::to_string(layer == 1 ? 2 : layer) + "\r\n";
    return map;
}

std::string FixStandard() {
    std::string text = "[Common]\r\nTypeCount=1\r\n[Type1]\r\nType=AcadLayer\r\nNameCount=" + std::to_string(kFixLayers) +
                       "\r\nName1=L0\r\n";
    for (int layer = 2; layer <= kFixLayers; ++layer) text += "Name" + std::to_string(layer) + "=A-" + std::to_string(layer) + "\r\n";
    return text;
}

// The fix's table: whole runs against the tiny drawing's, as the audit's table.
void FixRuns(int runs) {
    constexpr std::size_t kFolderDrawings = 200;
    const kvtest::TempFolder work;  // removed with the copies at the end
    const std::string tinyBytes = FixDrawing(10), largeBytes = FixDrawing(245000);
    const std::wstring folder = work / L"drawings";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (std::size_t i = 0; i < kFolderDrawings; ++i)
        kvtest::WriteFileBytes(folder + L"\\" + std::to_wstring(i) + L".dxf", tinyBytes);
    kvtest::WriteFileBytes(work / L"tiny.dxf", tinyBytes);
    kvtest::WriteFileBytes(work / L"26mb.dxf", largeBytes);
    kvtest::WriteFileBytes(work / L"map.csv", FixMap());
    kvtest::WriteFileBytes(work / L"standard.ini", FixStandard());
    const std::wstring common = L"fix --standard " + Quoted(work / L"standard.ini") + L" --map " + Quoted(work / L"map.csv") +
                                L" --force --output " + Quoted(work / L"copies") + L" ";
    const Case cases[] = {
        {"tiny drawing fixed", common + Quoted(work / L"tiny.dxf"), 1, tinyBytes.size()},
        {"26 MB drawing fixed", common + Quoted(work / L"26mb.dxf"), 1, largeBytes.size()},
        {"200 tiny drawings fixed", common + Quoted(folder), kFolderDrawings, kFolderDrawings * tinyBytes.size()},
    };
    std::printf("kvstcheck fix into copies below --output (each proven: read again, audited again, compared pair by "
                "pair), 300 layers renamed, one merged; best of %d runs, of three times as many for single drawings\n",
                runs);
    ProcessRun tinyRun;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const ProcessRun run = BestRun(cases[i].arguments, cases[i].drawings == 1 ? 3 * runs : runs);
        if (i == 0) tinyRun = run;
        PrintRow(cases[i], run, i == 0 ? nullptr : &tinyRun);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    const bool fixOnly = argc > 2 && std::string(argv[2]) == "fix";
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    try {
        if (fixOnly) {
            FixRuns(runs);
            ::CoUninitialize();
            return 0;
        }
        const std::wstring source = Wide(KV_SOURCE_DIR);
        const std::wstring samples = source + L"\\examples\\drawings";
        const std::wstring standard = source + L"\\examples\\standard\\KVStPluginDefault.ini";
        const std::string tinyBytes = GeneratedDrawing(3, 1);
        const BenchFile tiny(L"tiny.dxf", tinyBytes);
        const std::string bigBytes = GeneratedDrawing(500, 200000);
        const BenchFile big(L"big.dxf", bigBytes);
        const std::string manyNamesBytes = ManyNameStandard(standard, 10000);
        const BenchFile manyNames(L"many-names.ini", manyNamesBytes);
        const DrawingFolder thousand(samples, 1000, L"thousand");
        const DrawingFolder library(samples, 1272, L"library");
        SYSTEM_INFO system{};
        ::GetSystemInfo(&system);
        const std::size_t cores = system.dwNumberOfProcessors;
        const bool jobs = KnowsJobs(standard, tiny.path());
        const std::wstring common = L"--standard " + Quoted(standard) + L" ";
        const std::wstring oneJob = jobs ? L"--jobs 1 " : L"";
        std::wstring twelve;
        for (int i = 0; i < 12; ++i) twelve += L" " + Quoted(library.root());

        std::vector<Case> cases = {
            {"tiny drawing (3 layers)", common + oneJob + Quoted(tiny.path()), 1, tinyBytes.size()},
            {"22 MB drawing, 200,000 entities", common + oneJob + Quoted(big.path()), 1, bigBytes.size()},
            {"1,000 drawings, 1 job", common + oneJob + Quoted(thousand.root()), 1000, FolderBytes(thousand.root())},
        };
        if (jobs)
            for (std::size_t n = 2; n <= std::max<std::size_t>(cores, 2) * 2; n *= 2)
                cases.push_back({"1,000 drawings, " + std::to_string(n) + " jobs",
                                 common + L"--jobs " + std::to_wstring(n) + L" " + Quoted(thousand.root()), 1000,
                                 FolderBytes(thousand.root())});
        cases.push_back({"1,000 drawings, 40,000 names",
                         L"--standard " + Quoted(manyNames.path()) + L" " + oneJob + Quoted(thousand.root()), 1000,
                         FolderBytes(thousand.root())});
        cases.push_back(
            {"text run, 1,272 drawings", common + Quoted(library.root()), 1272, FolderBytes(library.root())});
        cases.push_back({"text run, 15,264 drawings", common + twelve, 15264, 12 * FolderBytes(library.root())});

        std::printf("Whole kvstcheck.exe runs, text output to NUL, %zu cores%s; best of %d runs each, of three "
                    "times as many for single drawings (the machine is shared: the least disturbed run)\n",
                    cores, jobs ? "" : ", a program without --jobs", runs);
        std::printf("  %-30s %6s %7s | %7s %7s %7s | %7s %7s %7s | %8s %7s | %s\n", "", "files", "MB", "ms", "peakWS",
                    "peakPF", "net ms", "+WS MB", "+PF MB", "files/s", "MB/s", "exit");
        ProcessRun tinyRun;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            // Single drawings are cheap to run more often, and their differences are the smallest.
            const ProcessRun run = BestRun(cases[i].arguments, cases[i].drawings == 1 ? 3 * runs : runs);
            if (i == 0) tinyRun = run;
            PrintRow(cases[i], run, i == 0 ? nullptr : &tinyRun);
        }
        std::printf("  (net: the difference from the tiny drawing's run; peak WS/PF: PeakWorkingSetSize and "
                    "PeakPagefileUsage in MB; 40,000 names: a standard file of 4 x 10,000 names, %.1f MB)\n",
                    Megabytes(static_cast<double>(manyNamesBytes.size())));

        kvstcheck::Options options;
        options.drawings = {thousand.root()};
        options.standard = standard;
        std::size_t findings = 0;
        const std::size_t drawings = 1000;
        const Phases p = TimedPhases(options, findings);
        const double total =
            p.source + p.walk + p.read + p.object + p.create + p.setup + p.checks + p.clear + p.hints + p.report;
        std::printf("Where the time of 1,000 drawings goes on one thread (%zu findings; phases timed one by one: "
                    "%.2f s):\n", findings, total);
        Row("plug-in module and standard file copied, loaded", p.source, total, drawings);
        Row("folder walk", p.walk, total, drawings);
        Row("reading drawing files", p.read, total, drawings);
        Row("drawing objects", p.object, total, drawings);
        Row("plug-in objects created", p.create, total, drawings);
        Row("SetupForAudit (loads the standard file)", p.setup, total, drawings);
        Row("CheckNext / GetError walk", p.checks, total, drawings);
        Row("Clear", p.clear, total, drawings);
        Row("hints for the findings", p.hints, total, drawings);
        Row("reports (lines, JSON, HTML)", p.report, total, drawings);

        // The best of runs, for each number of threads.
        const auto plugins = kvstcheck::PrivatePlugin(options.plugin, options.standard);
        const kvstcheck::DrawingNames office = kvstcheck::ReadDrawingFile(samples + L"\\office.dxf").names;
        std::printf("The plug-in alone (objects created, SetupForAudit, CheckNext/GetError walk, Clear on a drawing "
                    "object made once; no file read, nothing reported), best of %d:\n", runs);
        for (std::size_t threads = 1; threads <= std::max<std::size_t>(cores, 2) * 2; threads *= 2) {
            double best = 0;
            for (int run = 0; run < runs; ++run) best = std::max(best, PluginOnlyRate(*plugins, office, threads, 2000));
            std::printf("  %zu thread%s %8.0f drawings/s\n", threads, threads == 1 ? " " : "s", best);
        }
        FixRuns(runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "batch_bench: %s\n", error.what());
        ::CoUninitialize();
        return 1;
    }
    ::CoUninitialize();
    return 0;
}
