#pragma once
// Owner of one Windows handle: files, searches, registry keys, modules and memory from LocalAlloc.
// Each kind differs only in its empty value and its closing function, given by a traits type.
#include <windows.h>

#include <utility>

namespace kv {

// Traits: `Value` (the handle type), `static Value Empty() noexcept` (what the system gives when
// there is no handle) and `static void Close(Value) noexcept`.
template <class Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return valid(); }

    // For out-parameters: closes the current handle first.
    Value* put() noexcept {
        reset();
        return &value_;
    }
    // Hands the handle to the caller, who closes it (or means to keep it open for good).
    Value release() noexcept { return std::exchange(value_, Traits::Empty()); }
    void reset(Value value = Traits::Empty()) noexcept {
        const Value old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Close(old);
    }

private:
    Value value_ = Traits::Empty();
};

// What a system function gives when it has no handle to give: most give null, CreateFile and
// FindFirstFile give INVALID_HANDLE_VALUE.
enum class EmptyHandle { Null, Invalid };

template <class Handle, auto CloseFunction, EmptyHandle empty = EmptyHandle::Null>
struct HandleTraits {
    using Value = Handle;
    static Value Empty() noexcept {
        if constexpr (empty == EmptyHandle::Invalid) return INVALID_HANDLE_VALUE;
        else return nullptr;
    }
    static void Close(Value handle) noexcept { CloseFunction(handle); }
};

using FileHandle = UniqueHandle<HandleTraits<HANDLE, &::CloseHandle, EmptyHandle::Invalid>>;
// A kernel object from a function that answers null when it fails (OpenProcess, CreateEvent).
using KernelHandle = UniqueHandle<HandleTraits<HANDLE, &::CloseHandle>>;
// A search from FindFirstFile or FindFirstFileEx.
using FindHandle = UniqueHandle<HandleTraits<HANDLE, &::FindClose, EmptyHandle::Invalid>>;
using RegistryKey = UniqueHandle<HandleTraits<HKEY, &::RegCloseKey>>;
// A module from LoadLibrary or LoadLibraryEx (not GetModuleHandle, which adds no reference).
using LoadedModule = UniqueHandle<HandleTraits<HMODULE, &::FreeLibrary>>;
// Memory that the system allocated with LocalAlloc for the caller (FormatMessage,
// CommandLineToArgvW).
template <class Pointer>
using LocalMemory = UniqueHandle<HandleTraits<Pointer, &::LocalFree>>;

}  // namespace kv
