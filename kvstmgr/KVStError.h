#pragma once
// The host's error object: one finding, the offending entry's name and the label of its kind.
#include <string>

#include "KVStMgr.h"
#include "com/ComObject.h"
#include "com/Dispatch.h"

namespace kv {
template <>
const DispatchTable& DispatchTableOf<_KVStError>() noexcept;
}  // namespace kv

namespace kvstmgr {

class KVStError final : public kv::ComObject<kv::DispatchFor<_KVStError>> {
public:
    // Makes an object with both properties empty and returns it in the requested interface.
    static HRESULT Create(REFIID iid, void** object) noexcept;

    HRESULT STDMETHODCALLTYPE put_EntryName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_EntryName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_KindLabel(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_KindLabel(BSTR* value) override;

private:
    KVStError() = default;
    ~KVStError() override = default;

    std::wstring entryName_;
    std::wstring kindLabel_;
};

}  // namespace kvstmgr
