#pragma once
// Owners of one VARIANT and of one SAFEARRAY.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "Hresult.h"

namespace kv {

class SafeArray;

class Variant {
public:
    Variant() noexcept { ::VariantInit(&value_); }
    Variant(const Variant& other) : Variant() { ThrowIfFailed(::VariantCopy(&value_, other.source())); }
    Variant(Variant&& other) noexcept : Variant() { std::swap(value_, other.value_); }
    Variant& operator=(Variant other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~Variant() { ::VariantClear(&value_); }

    // Takes ownership of what value holds and leaves value Empty.
    static Variant Take(VARIANT& value) noexcept {
        Variant owner;
        owner.value_ = value;
        ::VariantInit(&value);
        return owner;
    }
    static Variant FromString(std::wstring_view text);
    // Takes over array as an array variant of the array's own element type.
    static Variant FromArray(SafeArray array);

    const VARIANT& get() const noexcept { return value_; }
    // For platform functions that take a source VARIANT through a non-const pointer.
    VARIANT* source() const noexcept { return const_cast<VARIANT*>(&value_); }
    VARTYPE type() const noexcept { return value_.vt; }
    bool empty() const noexcept { return value_.vt == VT_EMPTY; }

    // For out-parameters: clears the current value first.
    VARIANT* operator&() noexcept {
        reset();
        return &value_;
    }
    void reset() noexcept {
        ::VariantClear(&value_);
    }
    // Hands the value to a caller-owned VARIANT out-parameter; this owner becomes Empty.
    void DetachTo(VARIANT* out) noexcept {
        *out = value_;
        ::VariantInit(&value_);
    }

private:
    VARIANT value_;
};

class SafeArray {
public:
    SafeArray() noexcept = default;
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept {
        std::swap(array_, other.array_);
        return *this;
    }
    ~SafeArray() { reset(); }

    // A one-dimensional array with bounds 0 to count - 1; throws std::bad_alloc on failure.
    static SafeArray Vector(VARTYPE type, ULONG count);

    SAFEARRAY* get() const noexcept { return array_; }
    SAFEARRAY* release() noexcept { return std::exchange(array_, nullptr); }
    void reset() noexcept {
        if (array_) ::SafeArrayDestroy(std::exchange(array_, nullptr));
    }

private:
    SAFEARRAY* array_ = nullptr;
};

// Stores a copy of value at index of a one-dimensional VT_VARIANT array.
void PutElement(SAFEARRAY* array, LONG index, const Variant& value);

}  // namespace kv
