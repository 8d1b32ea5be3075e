// Times a whole audit through the registered plug-in, as a host drives it, against a baseline
// that costs what a plain implementation would: a profile read per value of the standard file, a
// scan of the standard list per drawing name and a CoCreateInstance per CheckNext. Splits the
// setup into its steps (standard load, drawing snapshot, indexing), each timed on its own, and
// prints the end-to-end ratio (setup plus walk). Prints one row per size.
//
// Run: cmake --build build --target audit_bench && build/wine-run build/bench/audit_bench.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "KVStMgr.h"
#include "KVStVB7Default.h"
#include "audit/Kinds.h"
#include "audit/Snapshot.h"
#include "audit/Walk.h"
#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Handle.h"
#include "drawing/Drawing.h"
#include "standards/StandardLoader.h"
#include "support/RegistryRead.h"
#include "support/StagedPlugin.h"

namespace {

using standards::NameList;

// The largest name count a standard file section can declare.
constexpr std::size_t kMostStandardNames = 32767;

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceCounter(&start_); }
    double Milliseconds() const {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        char message[160];
        std::snprintf(message, sizeof message, "%s failed: 0x%08lX", what, static_cast<unsigned long>(hr));
        throw std::runtime_error(message);
    }
}

// One audit's data: per kind, size drawing names of which every other one is in the standard;
// the standard is filled up to the same size (at most kMostStandardNames) with names the drawing
// does not use.
struct AuditData {
    audit::PerKind<NameList> drawing, standard;
    std::size_t findings = 0;

    explicit AuditData(std::size_t size) {
        static constexpr const wchar_t* prefixes[] = {L"Layer-", L"Linetype-", L"Text-", L"Dim-"};
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            for (std::size_t i = 0; i < size; ++i) {
                drawing[kind].push_back(prefixes[kind] + std::to_wstring(i));
                if (i % 2 == 0)
                    standard[kind].push_back(drawing[kind].back());
                else
                    ++findings;
            }
            const std::size_t standardSize = std::min(size, kMostStandardNames);
            for (std::size_t i = 0; standard[kind].size() < standardSize; ++i)
                standard[kind].push_back(prefixes[kind] + std::wstring(L"unused-") + std::to_wstring(i));
        }
    }

    std::string StandardFile() const {
        static constexpr const char* types[] = {"AcadLayer", "AcadLineType", "AcadTextStyle", "AcadDimStyle"};
        std::string text = "[Common]\r\nTypeCount=4\r\n";
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            text += "[Type" + std::to_string(kind + 1) + "]\r\nType=" + types[kind] +
                    "\r\nNameCount=" + std::to_string(standard[kind].size()) + "\r\n";
            for (std::size_t k = 0; k < standard[kind].size(); ++k)
                text += "Name" + std::to_string(k + 1) + "=" + std::string(standard[kind][k].begin(), standard[kind][k].end()) + "\r\n";
        }
        return text;
    }

    drawing::DrawingNames DrawingNames() const { return {drawing[0], drawing[1], drawing[2], drawing[3]}; }
};

struct Timing {
    double setupMs = 0;
    double walkMs = 0;
    std::size_t findings = 0;
};

// The host's side: create by CLSID, set up with the drawing, CheckNext and GetError to the end.
Timing AuditThroughPlugin(const AuditData& data) {
    kv::ComPtr<IKVStPlugin> plugin;
    Check(::CoCreateInstance(CLSID_KVStPluginDefault, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)),
          "creating the plug-in");
    kv::ComPtr<IDispatch> drawing = drawing::MakeDrawing(data.DrawingNames());
    kv::Bstr path(L"C:\\bench.dwg");
    Timing timing;
    Stopwatch setup;
    Check(plugin->SetupForAudit(drawing.Get(), path.get()), "SetupForAudit");
    timing.setupMs = setup.Milliseconds();
    Stopwatch walk;
    for (;;) {
        VARIANT_BOOL found = VARIANT_FALSE;
        Check(plugin->CheckNext(&found), "CheckNext");
        if (found == VARIANT_FALSE) break;
        kv::ComPtr<_KVStError> error;
        Check(plugin->GetError(&error), "GetError");
        ++timing.findings;
    }
    timing.walkMs = walk.Milliseconds();
    Check(plugin->Clear(), "Clear");
    return timing;
}

// The same walk at a plain implementation's cost: every lookup scans the standard list, every
// call asks the platform for a new error object.
Timing BaselineWalk(const AuditData& data) {
    Timing timing;
    Stopwatch walk;
    audit::Cursor cursor;
    for (;;) {
        kv::ComPtr<_KVStError> error;
        Check(::CoCreateInstance(CLSID_KVStError, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&error)),
              "creating an error object");
        bool found = false;
        for (; !found && cursor.kind < audit::kKindCount; ) {
            const NameList& names = data.drawing[cursor.kind];
            const NameList& standard = data.standard[cursor.kind];
            while (cursor.position < names.size()) {
                const std::wstring& name = names[cursor.position++];
                if (!audit::IsStandardName(name, standard, static_cast<LONG>(standard.size()))) {
                    kv::Bstr entry(name), label(audit::kKinds[cursor.kind].label);
                    error->put_EntryName(entry.get());
                    error->put_KindLabel(label.get());
                    found = true;
                    break;
                }
            }
            if (!found) {
                ++cursor.kind;
                cursor.position = 0;
            }
        }
        if (!found) break;
        ++timing.findings;
    }
    timing.walkMs = walk.Milliseconds();
    return timing;
}

// The setup's steps, each timed on its own as SetupForAudit runs them.
struct SetupSteps {
    double loadMs = 0;
    double snapshotMs = 0;
    double indexMs = 0;
};

struct Standard {
    std::unique_ptr<standards::clsIniFuncs> IniFuncs;
    standards::TypeNames CheckFilter;
    standards::NameView StdLayerNames, StdLinetypeNames, StdTextStyleNames, StdDimStyleNames;

    double Load(const std::wstring& path, standards::StandardFileReading reading) {
        Stopwatch load;
        if (!standards::Apply(standards::LoadStandardFile(path, IniFuncs, reading),
                              {CheckFilter, {&StdLayerNames, &StdLinetypeNames, &StdTextStyleNames, &StdDimStyleNames}}))
            throw std::runtime_error("the standard file did not load");
        return load.Milliseconds();
    }
};

SetupSteps TimeSetupSteps(const AuditData& data, const std::wstring& standardPath) {
    SetupSteps steps;
    Standard standard;
    steps.loadMs = standard.Load(standardPath, standards::StandardFileReading::OncePerLoad);
    if (!std::equal(standard.StdDimStyleNames.begin(), standard.StdDimStyleNames.end(), data.standard[3].begin(),
                    data.standard[3].end()))
        throw std::runtime_error("the standard file loaded wrongly");

    kv::ComPtr<IDispatch> drawing = drawing::MakeDrawing(data.DrawingNames());
    audit::PerKind<NameList> drawingLists;
    Stopwatch snapshot;
    audit::SnapshotDrawing(*drawing.Get(), {&drawingLists[0], &drawingLists[1], &drawingLists[2], &drawingLists[3]});
    steps.snapshotMs = snapshot.Milliseconds();

    audit::StandardIndex index;
    Stopwatch indexing;
    index.Build({&standard.StdLayerNames, &standard.StdLinetypeNames, &standard.StdTextStyleNames,
                 &standard.StdDimStyleNames});
    steps.indexMs = indexing.Milliseconds();
    return steps;
}

// Registers a module's classes for the length of the run; afterwards puts back the module that
// was registered before, or unregisters when none was.
class Registration {
public:
    Registration(const wchar_t* clsid, std::wstring module)
        : module_(std::move(module)),
          previous_(kvtest::RegistryString(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32")) {
        Check(Call(module_, "DllRegisterServer"), "registering a module");
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() {
        if (previous_ && *previous_ != module_)
            Call(*previous_, "DllRegisterServer");
        else if (!previous_)
            Call(module_, "DllUnregisterServer");
    }

private:
    static HRESULT Call(const std::wstring& module, const char* name) {
        const kv::LoadedModule loaded(::LoadLibraryW(module.c_str()));
        if (!loaded) return HRESULT_FROM_WIN32(::GetLastError());
        return kvtest::ExportOf<kvtest::ServerFunction>(loaded.get(), name)();
    }

    std::wstring module_;
    std::optional<std::wstring> previous_;
};

int Run() {
    constexpr std::size_t sizes[] = {100, 1000, 10000, 32768};
    // A copy of the plug-in module with the standard file beside it, registered in place of the
    // build's own, and the build's host library for the error objects.
    kvtest::StagedPlugin staged;
    const std::wstring standardPath = staged.folder() + L"\\KVStPluginDefault.ini";
    Registration host(L"{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}", kvtest::BuiltHostModule());
    Registration plugin(L"{CD0257E4-6183-4688-9DB6-93270B232B36}", staged.modulePath());

    std::printf("Audit of a drawing with N names of each of the 4 kinds, half of them findings, against a\n"
                "standard of N names per kind (at most %zu, the largest count a section can declare).\n"
                "Times in milliseconds. Plug-in: setup is SetupForAudit through COM (its steps load, snapshot\n"
                "and index timed on their own), walk the CheckNext/GetError loop. Baseline: a profile read per\n"
                "value of the standard file, the same snapshot, a scan of the standard list per name and a\n"
                "CoCreateInstance per call. Ratio: baseline total over plug-in total (setup plus walk).\n\n",
                kMostStandardNames);
    std::printf("%6s %8s | %8s %8s %7s %8s %7s %9s | %10s %9s %10s | %7s\n", "N", "findings", "load", "snapshot",
                "index", "setup", "walk", "total", "base load", "base walk", "base total", "ratio");
    int result = 0;
    for (std::size_t size : sizes) {
        const AuditData data(size);
        kvtest::WriteFileBytes(standardPath, data.StandardFile());
        const SetupSteps steps = TimeSetupSteps(data, standardPath);
        const Timing measured = AuditThroughPlugin(data);
        Standard baselineStandard;
        const double baselineLoadMs =
            baselineStandard.Load(standardPath, standards::StandardFileReading::ProfileReadPerValue);
        const Timing baseline = BaselineWalk(data);
        const double total = measured.setupMs + measured.walkMs;
        const double baselineTotal = baselineLoadMs + steps.snapshotMs + baseline.walkMs;
        std::printf("%6zu %8zu | %8.1f %8.1f %7.1f %8.1f %7.1f %9.1f | %10.1f %9.1f %10.1f | %6.0fx\n", size,
                    measured.findings, steps.loadMs, steps.snapshotMs, steps.indexMs, measured.setupMs,
                    measured.walkMs, total, baselineLoadMs, baseline.walkMs, baselineTotal, baselineTotal / total);
        std::fflush(stdout);
        if (measured.findings != data.findings || baseline.findings != data.findings) {
            std::printf("  wrong number of findings: expected %zu\n", data.findings);
            result = 1;
        }
    }
    return result;
}

}  // namespace

int main() {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int result = 1;
    try {
        result = Run();
    } catch (const std::exception& failure) {
        std::printf("benchmark failed: %s\n", failure.what());
    }
    ::CoUninitialize();
    return result;
}
