#include "kvstcheck/standardtools/InstalledStandards.h"

#include <windows.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/Lint.h"

namespace kvstcheck {
namespace {

constexpr wchar_t kServerKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}\\InprocServer32";

// The module under one root and registry view; empty when none is registered there.
std::wstring ModuleIn(HKEY root, const std::wstring& key, REGSAM view) {
    kv::RegistryKey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, opened.put()) != ERROR_SUCCESS) return {};
    std::wstring module(MAX_PATH * 4, L'\0');
    auto size = static_cast<DWORD>(module.size() * sizeof(wchar_t));
    const LSTATUS status =
        ::RegGetValueW(opened.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, module.data(), &size);
    if (status != ERROR_SUCCESS) return {};
    module.resize(size / sizeof(wchar_t));
    while (!module.empty() && module.back() == L'\0') module.pop_back();
    if (module.size() >= 2 && module.front() == L'"' && module.back() == L'"') module = module.substr(1, module.size() - 2);
    return module;
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(::towlower(c)); });
    return text;
}

}  // namespace

std::vector<RegisteredModule> RegisteredModules() {
    struct View {
        const char* programs;
        REGSAM flag;
    };
    // The merged classes root, and the user's own classes, which some systems leave out of it.
    const std::pair<HKEY, std::wstring> roots[] = {{HKEY_CLASSES_ROOT, kServerKey},
                                                   {HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + kServerKey}};
    std::vector<RegisteredModule> modules;
    // This program's own view as it is; the other through its flag (on a 32-bit system there is none).
    constexpr bool kIs64Bit = sizeof(void*) == 8;
    const View views[] = {{"32-bit", kIs64Bit ? REGSAM(KEY_WOW64_32KEY) : REGSAM(0)},
                          {"64-bit", kIs64Bit ? REGSAM(0) : REGSAM(KEY_WOW64_64KEY)}};
    for (const View& view : views) {
        for (const auto& [root, key] : roots) {
            const std::wstring module = ModuleIn(root, key, view.flag);
            if (module.empty()) continue;
            // A 32-bit system has one view; both flags read it.
            const bool known = std::any_of(modules.begin(), modules.end(),
                                           [&](const RegisteredModule& m) { return Lower(m.module) == Lower(module); });
            if (!known) modules.push_back({view.programs, module});
        }
    }
    return modules;
}

std::wstring StandardBeside(const std::wstring& module) { return FolderOf(module) + L"\\KVStPluginDefault.ini"; }

int LintInstalled(const Options& options) {
    const auto modules = RegisteredModules();
    if (modules.empty()) {
        WriteError("the plug-in is registered neither for 32-bit nor for 64-bit programs: there is no installed "
                   "standard file to lint");
        return kBroken;
    }
    int status = kNoFindings;
    auto document = nlohmann::ordered_json::array();
    for (const RegisteredModule& registered : modules) {
        const LintReport report = LintStandardFile(StandardBeside(registered.module));
        status = std::max(status, report.Status());
        const std::string heading = "the plug-in for " + registered.programs + " programs, " +
                                    EncodeUtf8(registered.module) + ", reads " + EncodeUtf8(report.path) + ":\n";
        if (options.json)
            document.push_back({{"programs", registered.programs},
                                {"module", EncodeUtf8(registered.module)},
                                {"lint", nlohmann::ordered_json::parse(FormatLintJson(report))}});
        else if (!report.unreadable.empty())
            WriteOut(heading + EncodeUtf8(report.path) + ": " + report.unreadable + "\n");
        else
            WriteOut(heading + FormatLintText(report));
    }
    if (options.json) {
        const nlohmann::ordered_json installed = {{"schemaVersion", kLintSchemaVersion}, {"modules", std::move(document)}};
        WriteOut(installed.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
    }
    return status;
}

}  // namespace kvstcheck
