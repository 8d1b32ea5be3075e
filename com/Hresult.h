#pragma once
// HRESULT flow and the exception barrier that every COM entry point goes through.
#include <windows.h>

#include <exception>
#include <new>

#define KV_RETURN_IF_FAILED(expression)                                                            \
    do {                                                                                           \
        const HRESULT kv_hr_ = (expression);                                                       \
        if (FAILED(kv_hr_)) return kv_hr_;                                                         \
    } while (0)

#define KV_RETURN_IF_NULL(pointer)                                                                 \
    do {                                                                                           \
        if ((pointer) == nullptr) return E_POINTER;                                                \
    } while (0)

namespace kv {

// Carries a failing HRESULT through plain C++ code up to the nearest barrier.
class ComFailure : public std::exception {
public:
    explicit ComFailure(HRESULT hr) noexcept : hr_(hr) {}
    HRESULT hr() const noexcept { return hr_; }
    const char* what() const noexcept override { return "COM call failed"; }

private:
    HRESULT hr_;
};

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure(hr);
}

// Runs the body of a COM method; no C++ exception leaves it.
template <class Body>
HRESULT Barrier(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const ComFailure& failure) {
        return failure.hr();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace kv
