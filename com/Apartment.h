#pragma once
// The calling thread in a single-threaded apartment for the owner's lifetime, as a host's thread is.
#include <objbase.h>

namespace kv {

class Apartment {
public:
    Apartment() noexcept : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

}  // namespace kv
