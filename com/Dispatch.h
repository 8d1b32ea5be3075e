#pragma once
// Table-driven IDispatch: each dual interface describes its members once, by dispatch identifier,
// name and vtable method, and answers late-bound calls from that table alone.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include <wrl/client.h>

#include "Bstr.h"
#include "Hresult.h"
#include "Variant.h"

namespace kv {

enum class MemberKind : WORD {
    Method = DISPATCH_METHOD,
    PropertyGet = DISPATCH_PROPERTYGET,
    PropertyPut = DISPATCH_PROPERTYPUT,
};

// Calls one vtable method of self with the arguments in params (last argument first, as
// DISPPARAMS holds them) and stores its value in result, which may be null.
using MemberInvoker = HRESULT (*)(IDispatch* self, const DISPPARAMS& params, VARIANT* result, UINT* argError);

struct DispatchMember {
    DISPID id;
    const wchar_t* name;
    MemberKind kind;
    UINT argumentCount;
    MemberInvoker invoke;
};

using TypeInfoSource = HRESULT (*)(ITypeInfo** info);

class DispatchTable {
public:
    template <std::size_t N>
    constexpr DispatchTable(const DispatchMember (&members)[N], TypeInfoSource typeInfo = nullptr) noexcept
        : members_(members), typeInfo_(typeInfo) {}

    HRESULT GetTypeInfoCount(UINT* count) const noexcept;
    HRESULT GetTypeInfo(UINT index, ITypeInfo** info) const noexcept;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) const noexcept;
    HRESULT Invoke(IDispatch* self, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   UINT* argError) const noexcept;

    std::span<const DispatchMember> members() const noexcept { return members_; }

private:
    std::span<const DispatchMember> members_;
    TypeInfoSource typeInfo_;
};

// Each dual interface specializes this with its table.
template <class Interface>
const DispatchTable& DispatchTableOf() noexcept;

// Implements IDispatch for one dual interface of an object from that interface's own table.
template <class DualInterface>
class DispatchFor : public DualInterface {
public:
    using Interface = DualInterface;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return DispatchTableOf<Interface>().GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return DispatchTableOf<Interface>().GetTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return DispatchTableOf<Interface>().GetIDsOfNames(iid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) override {
        return DispatchTableOf<Interface>().Invoke(static_cast<Interface*>(this), id, iid, flags, params, result,
                                                   argError);
    }
};

namespace dispatch_detail {

// Input arguments, converted from the caller's VARIANT to the parameter type.
template <class T>
struct InArgument;

template <>
struct InArgument<BSTR> {
    Variant holder;
    HRESULT From(const VARIANT& source) noexcept {
        return ::VariantChangeType(&holder, const_cast<VARIANT*>(&source), 0, VT_BSTR);
    }
    BSTR get() const noexcept { return holder.get().bstrVal; }
};

template <>
struct InArgument<LONG> {
    Variant holder;
    HRESULT From(const VARIANT& source) noexcept {
        return ::VariantChangeType(&holder, const_cast<VARIANT*>(&source), 0, VT_I4);
    }
    LONG get() const noexcept { return holder.get().lVal; }
};

template <>
struct InArgument<IDispatch*> {
    Variant holder;
    HRESULT From(const VARIANT& source) noexcept {
        // Empty and Null stand for "no object", as a script's Nothing does.
        if (source.vt == VT_EMPTY || source.vt == VT_NULL) return S_OK;
        return ::VariantChangeType(&holder, const_cast<VARIANT*>(&source), 0, VT_DISPATCH);
    }
    IDispatch* get() const noexcept { return holder.type() == VT_DISPATCH ? holder.get().pdispVal : nullptr; }
};

template <>
struct InArgument<VARIANT> {
    Variant holder;
    HRESULT From(const VARIANT& source) noexcept {
        return ::VariantCopyInd(&holder, const_cast<VARIANT*>(&source));
    }
    VARIANT get() const noexcept { return holder.get(); }
};

// The value of a call, received through the method's last parameter and moved into a VARIANT.
template <class T>
struct OutValue;

template <>
struct OutValue<BSTR> {
    Bstr value;
    void Store(VARIANT& result) noexcept {
        result.vt = VT_BSTR;
        result.bstrVal = value.release();
    }
};

template <>
struct OutValue<LONG> {
    LONG value = 0;
    void Store(VARIANT& result) noexcept {
        result.vt = VT_I4;
        result.lVal = value;
    }
};

template <>
struct OutValue<VARIANT_BOOL> {
    VARIANT_BOOL value = VARIANT_FALSE;
    void Store(VARIANT& result) noexcept {
        result.vt = VT_BOOL;
        result.boolVal = value;
    }
};

template <>
struct OutValue<VARIANT> {
    Variant value;
    void Store(VARIANT& result) noexcept { value.DetachTo(&result); }
};

template <class I>
    requires std::is_base_of_v<IUnknown, I>
struct OutValue<I*> {
    Microsoft::WRL::ComPtr<I> value;
    void Store(VARIANT& result) noexcept {
        if constexpr (std::is_base_of_v<IDispatch, I>) {
            result.vt = VT_DISPATCH;
            result.pdispVal = value.Detach();
        } else {
            result.vt = VT_UNKNOWN;
            result.punkVal = value.Detach();
        }
    }
};

template <class T>
concept OutParameter = std::is_pointer_v<T> && requires { OutValue<std::remove_pointer_t<T>>{}; };

template <class Method>
struct MethodTraits;

template <class Class, class... Parameters>
struct MethodTraits<HRESULT (STDMETHODCALLTYPE Class::*)(Parameters...)> {
    using Owner = Class;
    using ParameterList = std::tuple<Parameters...>;
    static constexpr std::size_t parameterCount = sizeof...(Parameters);
};

template <class Tuple>
struct LastIsOut : std::false_type {};
template <class... Parameters>
    requires(sizeof...(Parameters) > 0)
struct LastIsOut<std::tuple<Parameters...>>
    : std::bool_constant<OutParameter<std::tuple_element_t<sizeof...(Parameters) - 1, std::tuple<Parameters...>>>> {};

template <auto Method>
struct Thunk {
    using Traits = MethodTraits<decltype(Method)>;
    using Owner = typename Traits::Owner;
    using Parameters = typename Traits::ParameterList;
    static constexpr bool hasValue = LastIsOut<Parameters>::value;
    static constexpr std::size_t inputCount = Traits::parameterCount - (hasValue ? 1 : 0);

    static HRESULT Invoke(IDispatch* self, const DISPPARAMS& params, VARIANT* result, UINT* argError) {
        return InvokeWith(self, params, result, argError, std::make_index_sequence<inputCount>());
    }

private:
    template <std::size_t... Index>
    static HRESULT InvokeWith(IDispatch* self, [[maybe_unused]] const DISPPARAMS& params, VARIANT* result,
                              [[maybe_unused]] UINT* argError, std::index_sequence<Index...>) {
        std::tuple<InArgument<std::tuple_element_t<Index, Parameters>>...> inputs;
        HRESULT hr = S_OK;
        // DISPPARAMS holds the arguments in reverse order.
        ((hr = SUCCEEDED(hr) ? Convert(std::get<Index>(inputs), params, Index, argError) : hr), ...);
        KV_RETURN_IF_FAILED(hr);
        Owner* owner = static_cast<Owner*>(self);
        if constexpr (hasValue) {
            using Value = std::remove_pointer_t<std::tuple_element_t<inputCount, Parameters>>;
            OutValue<Value> value;
            KV_RETURN_IF_FAILED((owner->*Method)(std::get<Index>(inputs).get()..., &value.value));
            if (result) value.Store(*result);
            return S_OK;
        } else {
            return (owner->*Method)(std::get<Index>(inputs).get()...);
        }
    }

    template <class Argument>
    static HRESULT Convert(Argument& argument, const DISPPARAMS& params, std::size_t index, UINT* argError) {
        const UINT position = params.cArgs - 1 - static_cast<UINT>(index);
        const HRESULT hr = argument.From(params.rgvarg[position]);
        if (FAILED(hr)) {
            if (argError) *argError = position;
            return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    }
};

}  // namespace dispatch_detail

// One table row for a vtable method: its inputs and value are deduced from its signature.
template <auto Method>
constexpr DispatchMember Member(DISPID id, const wchar_t* name, MemberKind kind) noexcept {
    using Thunk = dispatch_detail::Thunk<Method>;
    return {id, name, kind, static_cast<UINT>(Thunk::inputCount), &Thunk::Invoke};
}

}  // namespace kv
