#include "Module.h"

#include "Hresult.h"

namespace kv::module {
namespace {

HMODULE recordedHandle = nullptr;
LONG liveObjects = 0;
LONG serverLocks = 0;

}  // namespace

void RecordHandle(HMODULE handle) noexcept { recordedHandle = handle; }

HMODULE Handle() noexcept {
    if (recordedHandle) return recordedHandle;
    HMODULE handle = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&Handle), &handle);
    return handle;
}

HRESULT FilePath(std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(Handle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
        if (length < buffer.size()) {
            buffer.resize(length);
            path = std::move(buffer);
            return S_OK;
        }
        if (buffer.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        buffer.resize(buffer.size() * 2);
    }
}

HRESULT Folder(std::wstring& folder) {
    std::wstring path;
    KV_RETURN_IF_FAILED(FilePath(path));
    const auto separator = path.find_last_of(L"\\/");
    folder = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
    return S_OK;
}

void ObjectCreated() noexcept { ::InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() noexcept { ::InterlockedDecrement(&liveObjects); }
void Lock() noexcept { ::InterlockedIncrement(&serverLocks); }
bool Unlock() noexcept {
    // An unbalanced unlock must not cancel a later lock.
    for (LONG held = ::InterlockedCompareExchange(&serverLocks, 0, 0); held > 0;) {
        const LONG seen = ::InterlockedCompareExchange(&serverLocks, held - 1, held);
        if (seen == held) return true;
        held = seen;
    }
    return false;
}
LONG ObjectCount() noexcept { return ::InterlockedCompareExchange(&liveObjects, 0, 0); }

bool CanUnload() noexcept {
    return ObjectCount() == 0 && ::InterlockedCompareExchange(&serverLocks, 0, 0) == 0;
}

}  // namespace kv::module
