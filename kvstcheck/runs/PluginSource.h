#pragma once
// Where the plug-in objects come from: the registered class, the module at a path, or a private copy
// of the module beside another standard file. Objects are reached through COM only.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <wrl/client.h>

#include "KVStMgr.h"

namespace kvstcheck {

class PluginSource {
public:
    virtual ~PluginSource() = default;
    // A new plug-in object for the calling thread's apartment; one object carries one audit.
    // Throws SetupError.
    virtual Microsoft::WRL::ComPtr<IKVStPlugin> Create() = 0;
    // A source of the same class for the calling thread, another one than this source's: its objects
    // live in that thread's apartment. This source must outlive it. Throws SetupError.
    virtual std::unique_ptr<PluginSource> ForThisThread() = 0;
    // The private copy of the standard file that this source's objects read; empty when they read
    // the file beside the module.
    virtual std::wstring PrivateStandardFile() const { return {}; }
};

// Each call of Create makes the class registered under the plug-in's ProgID. Throws SetupError
// when nothing is registered under it.
std::unique_ptr<PluginSource> RegisteredPlugin();

// Loads the module at modulePath (empty: the registered module's file) and creates objects through
// its own class factory. With a standard file, the module is first copied into a new temporary folder
// beside a copy of that file named KVStPluginDefault.ini; the folder goes when the source does.
// Throws SetupError.
std::unique_ptr<PluginSource> PrivatePlugin(const std::wstring& modulePath, const std::wstring& standardFile);
// The same with the standard file's bytes as the run read them once, written as the private copy, so
// that the plug-in reads exactly the bytes the run judged and fingerprinted.
std::unique_ptr<PluginSource> PrivatePluginWithBytes(const std::wstring& modulePath, const std::string& standardBytes);

// The process that made a private copy's folder, named "kvstcheck-<process>-<attempt>"; nothing for
// any other name. A folder whose process has ended was left by a run that could not clean up (a fault,
// a second Ctrl+C): the next run that makes a copy removes it.
std::optional<unsigned long> StagingFolderOwner(std::wstring_view name);

// The module file registered for the plug-in's class. Throws SetupError.
std::wstring RegisteredModulePath();

}  // namespace kvstcheck
