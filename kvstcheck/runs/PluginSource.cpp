#include "kvstcheck/runs/PluginSource.h"

#include <objbase.h>

#include <utility>
#include <vector>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/runs/ModuleMachine.h"
#include "kvstcheck/runs/SetupError.h"
#include "vocabulary/Module.h"

namespace kvstcheck {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const wchar_t* kProgId = vocabulary::kRegisteredProgId;
constexpr const wchar_t* kModuleName = vocabulary::kModuleFileName;
constexpr const wchar_t* kStandardName = vocabulary::kStandardFileName;

// The class that the module serves.
CLSID PluginClass() {
    CLSID classId{};
    ::CLSIDFromString(vocabulary::kClassId, &classId);
    return classId;
}

class RegisteredSource : public PluginSource {
public:
    explicit RegisteredSource(const CLSID& classId) : classId_(classId) {}

    ComPtr<IKVStPlugin> Create() override {
        ComPtr<IKVStPlugin> plugin;
        const HRESULT hr =
            ::CoCreateInstance(classId_, nullptr, CLSCTX_INPROC_SERVER, IID_IKVStPlugin, &plugin);
        if (FAILED(hr))
            throw SetupError("cannot create the registered plug-in " + EncodeUtf8(kProgId) + ": " + HresultMessage(hr));
        return plugin;
    }

    std::unique_ptr<PluginSource> ForThisThread() override { return std::make_unique<RegisteredSource>(classId_); }

private:
    CLSID classId_;
};

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

ComPtr<IClassFactory> ClassFactory(GetClassObjectFunction getClassObject, const std::wstring& modulePath) {
    ComPtr<IClassFactory> factory;
    const HRESULT hr = getClassObject(PluginClass(), IID_IClassFactory, &factory);
    if (FAILED(hr))
        throw SetupError(EncodeUtf8(modulePath) + " does not serve the plug-in class: " + HresultMessage(hr));
    return factory;
}

ComPtr<IKVStPlugin> CreateFrom(IClassFactory& factory) {
    ComPtr<IKVStPlugin> plugin;
    const HRESULT hr = factory.CreateInstance(nullptr, IID_IKVStPlugin, &plugin);
    if (FAILED(hr)) throw SetupError("the plug-in module cannot create a plug-in object: " + HresultMessage(hr));
    return plugin;
}

// Objects of a module that another source loaded, from the class factory it gives this thread, as
// COM asks a module for one in each apartment.
class ThreadFactorySource : public PluginSource {
public:
    ThreadFactorySource(GetClassObjectFunction getClassObject, std::wstring modulePath)
        : getClassObject_(getClassObject), modulePath_(std::move(modulePath)),
          factory_(ClassFactory(getClassObject_, modulePath_)) {}

    ComPtr<IKVStPlugin> Create() override { return CreateFrom(*factory_.Get()); }

    std::unique_ptr<PluginSource> ForThisThread() override {
        return std::make_unique<ThreadFactorySource>(getClassObject_, modulePath_);
    }

private:
    GetClassObjectFunction getClassObject_;
    std::wstring modulePath_;
    ComPtr<IClassFactory> factory_;
};

constexpr wchar_t kStagingPrefix[] = L"kvstcheck-";

// Digits alone, within a DWORD, as a process's identifier is written.
std::optional<unsigned long> DecimalNumber(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    unsigned long long value = 0;
    for (const wchar_t digit : digits) {
        if (digit < L'0' || digit > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(digit - L'0');
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(value);
}

// Gone, or ended while something still holds it; a process this user may not open is taken to live.
bool ProcessHasEnded(DWORD id) {
    const kv::KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD status = 0;
    return ::GetExitCodeProcess(process.get(), &status) && status != STILL_ACTIVE;
}

// Only what a run puts there is removed: a folder holding anything else stays.
void RemoveLeftStagingFolders(const std::wstring& base) {
    WIN32_FIND_DATAW found{};
    const kv::FindHandle search(::FindFirstFileExW((base + kStagingPrefix + L"*").c_str(), FindExInfoBasic, &found,
                                                   FindExSearchLimitToDirectories, nullptr, 0));
    if (!search) return;
    do {
        const auto owner = StagingFolderOwner(found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !owner || *owner == ::GetCurrentProcessId() ||
            !ProcessHasEnded(*owner))
            continue;
        const std::wstring folder = base + found.cFileName + L"\\";
        for (const wchar_t* copy : {kModuleName, kStandardName}) ::DeleteFileW((folder + copy).c_str());
        ::RemoveDirectoryW(folder.c_str());
    } while (::FindNextFileW(search.get(), &found));
}

// A temporary folder that holds the private copies; removed with them.
class StagingFolder {
public:
    StagingFolder() {
        wchar_t base[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
        if (length == 0 || length > MAX_PATH)
            throw SetupError("no temporary folder: " + SystemMessage(::GetLastError()));
        const std::wstring temporary(base, length);
        RemoveLeftStagingFolders(temporary);
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            path_ = temporary + kStagingPrefix + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
            if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
            if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
        throw SetupError("cannot create a temporary folder under " + EncodeUtf8(temporary) + ": " +
                         SystemMessage(::GetLastError(), FileUse::Writing));
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    ~StagingFolder() {
        for (const std::wstring& file : files_) ::DeleteFileW(file.c_str());
        ::RemoveDirectoryW(path_.c_str());
    }

    std::wstring Copy(const std::wstring& source, const wchar_t* name) {
        const std::wstring target = path_ + L"\\" + name;
        if (!::CopyFileW(SystemPath(source).c_str(), target.c_str(), TRUE))
            throw SetupError("cannot copy " + EncodeUtf8(source) + " for the audit into a temporary folder: " +
                             SystemMessage(::GetLastError()));
        files_.push_back(target);
        // A hidden or read-only source must not make the copy invisible to the plug-in or undeletable.
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        return target;
    }

    std::wstring Write(const std::string& bytes, const wchar_t* name) {
        const std::wstring target = path_ + L"\\" + name;
        const kv::FileHandle file(
            ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) files_.push_back(target);
        DWORD written = 0;
        if (!file || (!bytes.empty() && (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                      nullptr) || written != bytes.size())))
            throw SetupError("cannot write the standard file for the audit into a temporary folder: " +
                             SystemMessage(::GetLastError(), FileUse::Writing));
        return target;
    }

    std::wstring Copied(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

class ModuleSource : public PluginSource {
public:
    ModuleSource(const std::wstring& modulePath, std::unique_ptr<StagingFolder> folder)
        : folder_(std::move(folder)), modulePath_(modulePath),
          standardCopy_(folder_ ? folder_->Copied(kStandardName) : std::wstring()) {
        module_.reset(::LoadLibraryW(modulePath.c_str()));
        if (!module_)
            throw SetupError("cannot load the plug-in module " + EncodeUtf8(modulePath) + ": " +
                             SystemMessage(::GetLastError()));
        getClassObject_ = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
        if (getClassObject_ == nullptr) {
            Unload();
            throw SetupError(EncodeUtf8(modulePath) + " is not a COM server: it does not export DllGetClassObject");
        }
        try {
            factory_ = ClassFactory(getClassObject_, modulePath_);
        } catch (const SetupError&) {
            Unload();
            throw;
        }
    }
    ~ModuleSource() override { Unload(); }

    ComPtr<IKVStPlugin> Create() override { return CreateFrom(*factory_.Get()); }

    std::unique_ptr<PluginSource> ForThisThread() override {
        return std::make_unique<ThreadFactorySource>(getClassObject_, modulePath_);
    }

    std::wstring PrivateStandardFile() const override { return standardCopy_; }

private:
    using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

    // The module stays loaded while any object of it is alive: freeing it then would pull code from
    // under that object.
    void Unload() noexcept {
        factory_.Reset();
        if (module_ && canUnloadNow_ != nullptr && canUnloadNow_() != S_OK) module_.release();
        module_.reset();
    }

    std::unique_ptr<StagingFolder> folder_;  // destroyed after the module is unloaded
    std::wstring modulePath_;
    std::wstring standardCopy_;
    kv::LoadedModule module_;
    GetClassObjectFunction getClassObject_ = nullptr;
    CanUnloadNowFunction canUnloadNow_ = nullptr;
    ComPtr<IClassFactory> factory_;
};

void RequireFile(const std::wstring& path, const std::string& what) {
    switch (KindOfPath(path)) {
    case PathKind::Missing:
        throw SetupError(what + " " + EncodeUtf8(path) + " does not exist");
    case PathKind::Folder:
        throw SetupError(what + " " + EncodeUtf8(path) + " is a folder, not a file");
    case PathKind::File:
        return;
    }
}

// A module of another machine cannot load into this process; the loader would only say that the
// image is invalid. A file that is no PE image is left to the loader to refuse.
void RequireOwnMachine(const std::wstring& path) {
    const kv::FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string header(4096, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), header.data(), static_cast<DWORD>(header.size()), &read, nullptr)) return;
    header.resize(read);
    const auto machine = PeMachine(header);
    if (machine && *machine != kOwnMachine)
        throw SetupError(EncodeUtf8(path) + " is a " + MachineName(*machine) + " module, and this kvstcheck.exe is a " +
                         MachineName(kOwnMachine) + " program: a plug-in loads only into a program of its own "
                         "architecture; use the " + MachineName(*machine) + " kvstcheck.exe, or a " +
                         MachineName(kOwnMachine) + " KVStVB7Default.dll");
}

// The module that serves the objects, checked before anything is loaded or copied.
std::wstring CheckedModule(const std::wstring& modulePath) {
    const std::wstring module = FullPath(modulePath.empty() ? RegisteredModulePath() : modulePath);
    RequireFile(module, "the plug-in module");
    RequireOwnMachine(module);
    return module;
}

// A copy of the module in a new temporary folder, beside the standard file that addStandard puts there.
template <class AddStandard>
std::unique_ptr<PluginSource> StagedPlugin(const std::wstring& modulePath, AddStandard addStandard) {
    const std::wstring module = CheckedModule(modulePath);
    auto folder = std::make_unique<StagingFolder>();
    const std::wstring copy = folder->Copy(module, kModuleName);
    addStandard(*folder);
    return std::make_unique<ModuleSource>(copy, std::move(folder));
}

}  // namespace

std::optional<unsigned long> StagingFolderOwner(std::wstring_view name) {
    const std::wstring_view prefix = kStagingPrefix;
    if (!name.starts_with(prefix)) return std::nullopt;
    name.remove_prefix(prefix.size());
    const auto dash = name.find(L'-');
    if (dash == std::wstring_view::npos || !DecimalNumber(name.substr(dash + 1))) return std::nullopt;
    return DecimalNumber(name.substr(0, dash));
}

std::unique_ptr<PluginSource> RegisteredPlugin() {
    CLSID classId{};
    const HRESULT hr = ::CLSIDFromProgID(kProgId, &classId);
    if (FAILED(hr))
        throw SetupError("the plug-in is not registered for " + MachineName(kOwnMachine) +
                         " programs (no class under the ProgID " + EncodeUtf8(kProgId) +
                         "): register the host library KVStMgr.dll and then KVStVB7Default.dll with regsvr32");
    return std::make_unique<RegisteredSource>(classId);
}

std::wstring RegisteredModulePath() {
    CLSID classId = PluginClass();
    ::CLSIDFromProgID(kProgId, &classId);
    wchar_t classText[64];
    ::StringFromGUID2(classId, classText, 64);
    const std::wstring key = std::wstring(L"CLSID\\") + classText + L"\\InprocServer32";
    wchar_t path[MAX_PATH * 4];
    DWORD size = sizeof path;
    const LSTATUS status =
        ::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
    if (status != ERROR_SUCCESS)
        throw SetupError("the plug-in is not registered for " + MachineName(kOwnMachine) +
                         " programs (no module under HKEY_CLASSES_ROOT\\" + EncodeUtf8(key) +
                         "): register KVStVB7Default.dll with regsvr32, or name the module with --plugin");
    std::wstring module = path;
    if (module.size() >= 2 && module.front() == L'"' && module.back() == L'"') module = module.substr(1, module.size() - 2);
    return module;
}

std::unique_ptr<PluginSource> PrivatePlugin(const std::wstring& modulePath, const std::wstring& standardFile) {
    if (standardFile.empty()) return std::make_unique<ModuleSource>(CheckedModule(modulePath), nullptr);
    return StagedPlugin(modulePath, [&standardFile](StagingFolder& folder) {
        RequireFile(standardFile, "the standard file");
        folder.Copy(standardFile, kStandardName);
    });
}

std::unique_ptr<PluginSource> PrivatePluginWithBytes(const std::wstring& modulePath, const std::string& standardBytes) {
    return StagedPlugin(modulePath, [&standardBytes](StagingFolder& folder) { folder.Write(standardBytes, kStandardName); });
}

}  // namespace kvstcheck
