#include "kvstcheck/runs/ModuleVersion.h"

#include <windows.h>

#include <vector>

#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/runs/PluginSource.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck {

std::string VersionResourceOf(const std::wstring& module) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0) throw SetupError(EncodeUtf8(module) + ": no version resource: " + SystemMessage(::GetLastError()));
    std::vector<unsigned char> information(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoW(module.c_str(), 0, size, information.data()) ||
        !::VerQueryValueW(information.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        throw SetupError(EncodeUtf8(module) + ": the version resource holds no file version");
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

int PrintVersions(const Options& options) {
    WriteOut("kvstcheck " KVSTCHECK_VERSION "\n");
    try {
        const std::wstring module = FullPath(options.plugin.empty() ? RegisteredModulePath() : options.plugin);
        const std::string version = VersionResourceOf(module);
        WriteOut("plug-in: " + EncodeUtf8(module) + ", file version " + version + "\n");
        return kNoFindings;
    } catch (const SetupError& error) {
        WriteError(error.what());
        return kBroken;
    }
}

}  // namespace kvstcheck
