#include "Variant.h"

#include "Bstr.h"

namespace kv {

Variant Variant::FromString(std::wstring_view text) {
    Variant result;
    result.value_.bstrVal = Bstr(text).release();
    result.value_.vt = VT_BSTR;
    return result;
}

Variant Variant::FromArray(SafeArray array) {
    VARTYPE elementType = VT_EMPTY;
    ThrowIfFailed(::SafeArrayGetVartype(array.get(), &elementType));
    Variant result;
    result.value_.parray = array.release();
    result.value_.vt = VT_ARRAY | elementType;
    return result;
}

SafeArray SafeArray::Vector(VARTYPE type, ULONG count) {
    SafeArray result;
    result.array_ = ::SafeArrayCreateVector(type, 0, count);
    if (result.array_ == nullptr) throw std::bad_alloc();
    return result;
}

void PutElement(SAFEARRAY* array, LONG index, const Variant& value) {
    // SafeArrayPutElement copies a VARIANT element, so the caller keeps its own.
    ThrowIfFailed(::SafeArrayPutElement(array, &index, const_cast<VARIANT*>(&value.get())));
}

}  // namespace kv
