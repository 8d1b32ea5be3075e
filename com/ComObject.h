#pragma once
// Reference counting and QueryInterface for an object that implements a list of interfaces.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>

#include <type_traits>
#include <utility>

#include <wrl/client.h>

#include "Hresult.h"
#include "Module.h"

namespace kv {

using Microsoft::WRL::ComPtr;

// A base is either an interface or an implementation of one that names it as `Interface`.
template <class Base>
struct InterfaceOf {
    using type = Base;
};
template <class Base>
    requires requires { typename Base::Interface; }
struct InterfaceOf<Base> {
    using type = typename Base::Interface;
};
template <class Base>
using InterfaceOf_t = typename InterfaceOf<Base>::type;

template <class First, class... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        KV_RETURN_IF_NULL(out);
        *out = Find(iid);
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    IUnknown* unknown() noexcept { return static_cast<InterfaceOf_t<First>*>(this); }

private:
    template <class Base>
    void* Match(REFIID iid) noexcept {
        using Interface = InterfaceOf_t<Base>;
        return iid == __uuidof(Interface) ? static_cast<Interface*>(static_cast<Base*>(this)) : nullptr;
    }
    template <class Base, class... Others>
    IDispatch* FirstDispatch() noexcept {
        if constexpr (std::is_base_of_v<IDispatch, InterfaceOf_t<Base>>)
            return static_cast<InterfaceOf_t<Base>*>(static_cast<Base*>(this));
        else if constexpr (sizeof...(Others) > 0)
            return FirstDispatch<Others...>();
        else
            return nullptr;
    }
    void* Find(REFIID iid) noexcept {
        if (iid == IID_IUnknown) return unknown();
        if (iid == IID_IDispatch) return FirstDispatch<First, Rest...>();
        void* found = Match<First>(iid);
        ((found = found ? found : Match<Rest>(iid)), ...);
        return found;
    }

    LONG references_ = 1;
    module::ObjectCounter counter_;
};

// Takes over a reference that the caller already owns. (mingw-w64's ComPtr::Attach adds a
// reference of its own, unlike the documented one, so it must not be used for this.)
template <class Interface>
ComPtr<Interface> Adopt(Interface* owned) noexcept {
    ComPtr<Interface> pointer;
    *pointer.ReleaseAndGetAddressOf() = owned;
    return pointer;
}

// Creates an object with one reference, owned by the returned pointer; throws std::bad_alloc.
template <class Object, class... Arguments>
ComPtr<Object> MakeObject(Arguments&&... arguments) {
    return Adopt(new Object(std::forward<Arguments>(arguments)...));
}

}  // namespace kv
