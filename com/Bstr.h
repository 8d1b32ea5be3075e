#pragma once
// Owner of one BSTR.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "Hresult.h"

namespace kv {

// The text of a BSTR that the caller does not own; a null BSTR is the empty string, and embedded
// nulls are kept.
inline std::wstring_view ViewOf(BSTR value) noexcept { return {value ? value : L"", ::SysStringLen(value)}; }

class Bstr {
public:
    Bstr() noexcept = default;
    // Throws std::bad_alloc when the string cannot be allocated.
    explicit Bstr(std::wstring_view text) : value_(Allocate(text)) {}
    Bstr(const Bstr& other) : value_(other.value_ ? Allocate(other.view()) : nullptr) {}
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~Bstr() { ::SysFreeString(value_); }

    static Bstr Attach(BSTR value) noexcept {
        Bstr owner;
        owner.value_ = value;
        return owner;
    }

    BSTR get() const noexcept { return value_; }
    // For out-parameters: frees the current value first.
    BSTR* operator&() noexcept {
        reset();
        return &value_;
    }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }
    void reset() noexcept { ::SysFreeString(std::exchange(value_, nullptr)); }

    std::wstring_view view() const noexcept { return ViewOf(value_); }
    std::wstring str() const { return std::wstring(view()); }

private:
    static BSTR Allocate(std::wstring_view text) {
        BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (value == nullptr) throw std::bad_alloc();
        return value;
    }

    BSTR value_ = nullptr;
};

// Hands a copy of text to a caller-owned BSTR out-parameter.
inline HRESULT CopyToBstr(std::wstring_view text, BSTR* out) noexcept {
    KV_RETURN_IF_NULL(out);
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace kv
