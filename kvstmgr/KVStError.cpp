#include "KVStError.h"

#include "com/Bstr.h"
#include "com/TypeInfo.h"

namespace kvstmgr {
namespace {

HRESULT Assign(std::wstring& target, BSTR value) noexcept {
    return kv::Barrier([&] {
        target = kv::ViewOf(value);
        return S_OK;
    });
}

}  // namespace

HRESULT KVStError::Create(REFIID iid, void** object) noexcept {
    KV_RETURN_IF_NULL(object);
    *object = nullptr;
    return kv::Barrier([&] { return kv::Adopt(new KVStError())->QueryInterface(iid, object); });
}

HRESULT KVStError::put_EntryName(BSTR value) { return Assign(entryName_, value); }
HRESULT KVStError::get_EntryName(BSTR* value) { return kv::CopyToBstr(entryName_, value); }
HRESULT KVStError::put_KindLabel(BSTR value) { return Assign(kindLabel_, value); }
HRESULT KVStError::get_KindLabel(BSTR* value) { return kv::CopyToBstr(kindLabel_, value); }

}  // namespace kvstmgr

namespace kv {

template <>
const DispatchTable& DispatchTableOf<_KVStError>() noexcept {
    using I = _KVStError;
    static constexpr DispatchMember members[] = {
        Member<&I::put_EntryName>(0x68030001, L"EntryName", MemberKind::PropertyPut),
        Member<&I::get_EntryName>(0x68030001, L"EntryName", MemberKind::PropertyGet),
        Member<&I::put_KindLabel>(0x68030000, L"KindLabel", MemberKind::PropertyPut),
        Member<&I::get_KindLabel>(0x68030000, L"KindLabel", MemberKind::PropertyGet),
    };
    static constexpr DispatchTable table(members, &TypeInfoFromModule<_KVStError>);
    return table;
}

}  // namespace kv
