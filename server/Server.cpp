// What KVStVB7Default.dll serves and registers: the class KVStPluginDefault.
#include "com/InprocServer.h"
#include "plugin/KVStPluginDefault.h"

namespace {

using kv::server::RegistryEntry;

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStPluginDefault, &plugin::KVStPluginDefault::Create},
};

constexpr wchar_t kClassKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}";
constexpr wchar_t kServerKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}\\InprocServer32";
constexpr wchar_t kClassProgIDKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}\\ProgID";
constexpr wchar_t kClassTypeLibKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}\\TypeLib";
constexpr wchar_t kProgIDKey[] = L"KVStVB7Default.KVStPluginDefault";
constexpr wchar_t kProgIDClassKey[] = L"KVStVB7Default.KVStPluginDefault\\CLSID";

// The ProgID carries no version number, so it doubles as the version-independent one.
constexpr RegistryEntry kRegistry[] = {
    {kClassKey, nullptr, RegistryEntry::Text, L"KVStPluginDefault"},
    {kServerKey, nullptr, RegistryEntry::ModulePath},
    {kServerKey, L"ThreadingModel", RegistryEntry::Text, L"Apartment"},
    {kClassProgIDKey, nullptr, RegistryEntry::Text, L"KVStVB7Default.KVStPluginDefault"},
    {kClassTypeLibKey, nullptr, RegistryEntry::Text, L"{34778468-C70C-41D8-B056-534670D04504}"},
    {kProgIDKey, nullptr, RegistryEntry::Text, L"KVStPluginDefault"},
    {kProgIDClassKey, nullptr, RegistryEntry::Text, L"{CD0257E4-6183-4688-9DB6-93270B232B36}"},
};

const kv::server::Description kServer{kClasses, kRegistry};

}  // namespace

const kv::server::Description& kv::server::ThisServer() noexcept { return kServer; }
