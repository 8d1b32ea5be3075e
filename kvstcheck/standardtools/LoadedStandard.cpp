#include "kvstcheck/standardtools/LoadedStandard.h"

#include <memory>

#include "com/Variant.h"
#include "kvstcheck/Files.h"
#include "standards/AnsiText.h"
#include "standards/StandardLoader.h"

namespace kvstcheck {
namespace {

// A copy of a file under a temporary name, removed with the object.
class TemporaryCopy {
public:
    explicit TemporaryCopy(const std::wstring& source) {
        wchar_t folder[MAX_PATH + 1] = {};
        wchar_t name[MAX_PATH + 1] = {};
        if (::GetTempPathW(MAX_PATH, folder) == 0 || ::GetTempFileNameW(folder, L"kvs", 0, name) == 0) return;
        path_ = name;
        if (!::CopyFileW(SystemPath(source).c_str(), path_.c_str(), FALSE)) path_.clear();
    }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;
    ~TemporaryCopy() {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
    }
    const std::wstring& path() const noexcept { return path_; }

private:
    std::wstring path_;
};

}  // namespace

LoadedStandard LoadAsThePluginDoes(const std::wstring& path) {
    // The plug-in reads its own KVStPluginDefault.ini through ANSI functions; a file whose path the
    // code page cannot name, or too long for them, is read from a copy, as kvstcheck's audits read it.
    if (!standards::ToCodePage(path) || path.size() >= MAX_PATH) {
        const TemporaryCopy copy(path);
        if (!copy.path().empty()) return LoadAsThePluginDoes(copy.path());
    }
    std::unique_ptr<standards::clsIniFuncs> iniFuncs;
    kv::Variant filter;
    // A list that the load leaves alone stays unfilled; the marker tells it from a filled one.
    audit::PerKind<standards::NameList> lists;
    const std::wstring untouched = L"\x1F untouched";
    for (auto& list : lists) list = {untouched};
    LoadedStandard standard;
    standard.loaded = standards::LoadStandardFile(path, {iniFuncs, filter, lists[0], lists[1], lists[2], lists[3]});

    const VARIANT& value = filter.get();
    if (value.vt == (VT_ARRAY | VT_VARIANT)) {
        LONG lower = 0;
        LONG upper = -1;
        ::SafeArrayGetLBound(value.parray, 1, &lower);
        ::SafeArrayGetUBound(value.parray, 1, &upper);
        for (LONG index = lower; index <= upper; ++index) {
            kv::Variant element;
            if (FAILED(::SafeArrayGetElement(value.parray, &index, &element)) || element.type() != VT_BSTR) {
                standard.typeNames.emplace_back();
                continue;
            }
            const BSTR text = element.get().bstrVal;
            standard.typeNames.emplace_back(std::wstring(text, ::SysStringLen(text)));
        }
    }
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (lists[kind] != standards::NameList{untouched}) standard.names[kind] = std::move(lists[kind]);
    return standard;
}

bool ChecksNothing(const LoadedStandard& loaded) {
    return !loaded.loaded || loaded.typeNames.empty() || !loaded.typeNames.front() || loaded.typeNames.front()->empty();
}

std::optional<audit::Kind> KindOfLabel(std::wstring_view label) {
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (label == audit::kKinds[kind].label) return static_cast<audit::Kind>(kind);
    return std::nullopt;
}

}  // namespace kvstcheck
