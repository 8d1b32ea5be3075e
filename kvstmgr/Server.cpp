// What KVStMgr.dll serves and registers: the class KVStError. Registering also registers the
// host type library, and with it IKVStPlugin and _KVStError, which the plug-in's library imports.
#include "KVStError.h"
#include "com/InprocServer.h"

namespace {

using kv::server::RegistryEntry;

const kv::server::ClassEntry kClasses[] = {
    {&CLSID_KVStError, &kvstmgr::KVStError::Create},
};

constexpr wchar_t kClassKey[] = L"CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}";
constexpr wchar_t kServerKey[] = L"CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}\\InprocServer32";
constexpr wchar_t kClassProgIDKey[] = L"CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}\\ProgID";
constexpr wchar_t kClassTypeLibKey[] = L"CLSID\\{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}\\TypeLib";
constexpr wchar_t kProgIDKey[] = L"KVStMgr.KVStError";
constexpr wchar_t kProgIDClassKey[] = L"KVStMgr.KVStError\\CLSID";

constexpr RegistryEntry kRegistry[] = {
    {kClassKey, nullptr, RegistryEntry::Text, L"KVStError"},
    {kServerKey, nullptr, RegistryEntry::ModulePath},
    {kServerKey, L"ThreadingModel", RegistryEntry::Text, L"Apartment"},
    {kClassProgIDKey, nullptr, RegistryEntry::Text, L"KVStMgr.KVStError"},
    {kClassTypeLibKey, nullptr, RegistryEntry::Text, L"{5AD9730A-AC1B-43F5-B402-D1459B883132}"},
    {kProgIDKey, nullptr, RegistryEntry::Text, L"KVStError"},
    {kProgIDClassKey, nullptr, RegistryEntry::Text, L"{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88}"},
};

const kv::server::Description kServer{kClasses, kRegistry};

}  // namespace

const kv::server::Description& kv::server::ThisServer() noexcept { return kServer; }
