// Registering and unregistering an in-process server from its table of registry values.
#include "InprocServer.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Bstr.h"
#include "ComObject.h"
#include "Handle.h"
#include "Module.h"

namespace kv::server {
namespace {

HRESULT FromStatus(LSTATUS status) noexcept { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

// What registering writes for each class, under HKEY_CLASSES_ROOT. In keys and data, {clsid},
// {name}, {progid}, {typelib} and {module} stand for the class's identifier, name and ProgID,
// the identifier of the module's type library and the module's full path.
struct ValuePattern {
    const wchar_t* key;
    const wchar_t* name;  // null for the key's default value
    const wchar_t* data;
    // On 64-bit Windows the 32-bit and the 64-bit module of a class register side by side: CLSID
    // has a key in each registry view, the ProgID one key for both.
    bool shared = false;
};

constexpr ValuePattern kClassValues[] = {
    {L"CLSID\\{clsid}", nullptr, L"{name}"},
    {L"CLSID\\{clsid}\\InprocServer32", nullptr, L"{module}"},
    {L"CLSID\\{clsid}\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\{clsid}\\ProgID", nullptr, L"{progid}"},
    {L"CLSID\\{clsid}\\TypeLib", nullptr, L"{typelib}"},
    // The ProgIDs carry no version number, so each doubles as the version-independent one.
    {L"{progid}", nullptr, L"{name}", true},
    {L"{progid}\\CLSID", nullptr, L"{clsid}", true},
};

// The registry view and the kind of system of the module built for the other architecture.
#ifdef _WIN64
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
constexpr const wchar_t* kOwnSystem = L"win64";
constexpr const wchar_t* kOtherSystem = L"win32";
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
constexpr const wchar_t* kOwnSystem = L"win32";
constexpr const wchar_t* kOtherSystem = L"win64";
#endif

struct RegistryValue {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    ::StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring Expand(std::wstring_view pattern, std::span<const std::pair<std::wstring_view, std::wstring>> fields) {
    std::wstring text(pattern);
    for (const auto& [placeholder, value] : fields) {
        for (auto at = text.find(placeholder); at != std::wstring::npos; at = text.find(placeholder, at + value.size()))
            text.replace(at, placeholder.size(), value);
    }
    return text;
}

// Only 64-bit Windows has a registry view per architecture.
bool HasTwoRegistryViews() noexcept {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

// Whether the class is registered in the other registry view to another module: the same class
// built for the other architecture.
bool OtherArchitectureServes(const ClassEntry& entry, const std::wstring& modulePath) {
    if (!HasTwoRegistryViews()) return false;
    const std::wstring path = L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32";
    RegistryKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | kOtherView, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    if (::RegGetValueW(key.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    std::wstring registered(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(key.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, registered.data(), &size) != ERROR_SUCCESS)
        return false;
    return ::CompareStringOrdinal(registered.c_str(), -1, modulePath.c_str(), -1, TRUE) != CSTR_EQUAL;
}

enum class Purpose { Writing, Removing };

// Removing leaves the shared values of a class that the other architecture's module still serves.
std::vector<RegistryValue> ValuesOf(std::span<const ClassEntry> classes, const std::wstring& modulePath,
                                    REFGUID typeLibrary, Purpose purpose) {
    std::vector<RegistryValue> values;
    for (const ClassEntry& entry : classes) {
        const std::pair<std::wstring_view, std::wstring> fields[] = {
            {L"{clsid}", GuidText(*entry.clsid)}, {L"{name}", entry.name},       {L"{progid}", entry.progID},
            {L"{typelib}", GuidText(typeLibrary)}, {L"{module}", modulePath},
        };
        const bool keepShared = purpose == Purpose::Removing && OtherArchitectureServes(entry, modulePath);
        for (const ValuePattern& pattern : kClassValues)
            if (!(pattern.shared && keepShared))
                values.push_back({Expand(pattern.key, fields), pattern.name, Expand(pattern.data, fields)});
    }
    return values;
}

HRESULT Write(const RegistryValue& value) {
    RegistryKey key;
    KV_RETURN_IF_FAILED(FromStatus(::RegCreateKeyExW(HKEY_CLASSES_ROOT, value.key.c_str(), 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                                                     nullptr)));
    return FromStatus(::RegSetValueExW(key.get(), value.name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.data.c_str()),
                                       static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t))));
}

bool IsEmptyKey(const wchar_t* path) noexcept {
    RegistryKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

// Keeps the first failure of a series of steps that all run; a missing value or key counts as removed.
class FirstFailure {
public:
    void Note(HRESULT hr) noexcept {
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && SUCCEEDED(first_)) first_ = hr;
    }
    HRESULT result() const noexcept { return first_; }

private:
    HRESULT first_ = S_OK;
};

void Remove(std::span<const RegistryValue> values, FirstFailure& failure) {
    for (const RegistryValue& value : values) {
        RegistryKey key;
        LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, value.key.c_str(), 0, KEY_SET_VALUE, key.put());
        if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(key.get(), value.name);
        failure.Note(FromStatus(status));
    }
    // Deepest keys first, so that a parent is looked at after its own subkeys have gone. A key
    // that still holds anything (another program's values or subkeys) stays.
    std::vector<std::wstring_view> keys;
    for (const RegistryValue& value : values) keys.emplace_back(value.key);
    const auto depth = [](std::wstring_view key) { return std::count(key.begin(), key.end(), L'\\'); };
    std::sort(keys.begin(), keys.end(), [&](std::wstring_view a, std::wstring_view b) {
        return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
    });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (std::wstring_view key : keys) {
        const std::wstring path(key);
        if (IsEmptyKey(path.c_str())) failure.Note(FromStatus(::RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str())));
    }
}

// The module's full path, and its own type library with that library's attributes.
struct ThisModule {
    std::wstring path;
    ComPtr<ITypeLib> library;
    TLIBATTR attributes{};
};

HRESULT Load(ThisModule& own) {
    KV_RETURN_IF_FAILED(module::FilePath(own.path));
    KV_RETURN_IF_FAILED(::LoadTypeLibEx(own.path.c_str(), REGKIND_NONE, &own.library));
    TLIBATTR* attributes = nullptr;
    KV_RETURN_IF_FAILED(own.library->GetLibAttr(&attributes));
    own.attributes = *attributes;
    own.library->ReleaseTLibAttr(attributes);
    return S_OK;
}

bool KeyExists(const std::wstring& path) noexcept {
    RegistryKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

HRESULT UnregisterTypeLibrary(const TLIBATTR& own) {
    Bstr registeredPath;
    if (FAILED(::QueryPathOfRegTypeLib(own.guid, own.wMajorVerNum, own.wMinorVerNum, own.lcid, &registeredPath)))
        return S_OK;  // not registered
    // The library's key is one for both views, with an entry per kind of system; oleaut32 writes
    // the interfaces' keys into both views and removes them from both. While the other
    // architecture's entry remains, only this one's entry goes.
    wchar_t locale[16];
    ::swprintf(locale, 16, L"\\%x.%x\\%lx\\", own.wMajorVerNum, own.wMinorVerNum,
               static_cast<unsigned long>(own.lcid));
    const std::wstring entries = L"TypeLib\\" + GuidText(own.guid) + locale;
    if (KeyExists(entries + kOtherSystem))
        return FromStatus(::RegDeleteKeyW(HKEY_CLASSES_ROOT, (entries + kOwnSystem).c_str()));
    return ::UnRegisterTypeLib(own.guid, own.wMajorVerNum, own.wMinorVerNum, own.lcid, own.syskind);
}

HRESULT RemoveAll(std::span<const RegistryValue> values, const TLIBATTR& typeLibrary) {
    FirstFailure failure;
    Remove(values, failure);
    failure.Note(UnregisterTypeLibrary(typeLibrary));
    return failure.result();
}

}  // namespace

HRESULT Register(std::span<const ClassEntry> classes) noexcept {
    return Barrier([&] {
        ThisModule own;
        KV_RETURN_IF_FAILED(Load(own));
        HRESULT hr = ::RegisterTypeLib(own.library.Get(), const_cast<OLECHAR*>(own.path.c_str()), nullptr);
        for (const RegistryValue& value : ValuesOf(classes, own.path, own.attributes.guid, Purpose::Writing)) {
            if (FAILED(hr)) break;
            hr = Write(value);
        }
        if (FAILED(hr))
            RemoveAll(ValuesOf(classes, own.path, own.attributes.guid, Purpose::Removing), own.attributes);
        return hr;
    });
}

HRESULT Unregister(std::span<const ClassEntry> classes) noexcept {
    return Barrier([&] {
        ThisModule own;
        KV_RETURN_IF_FAILED(Load(own));
        return RemoveAll(ValuesOf(classes, own.path, own.attributes.guid, Purpose::Removing), own.attributes);
    });
}

}  // namespace kv::server
