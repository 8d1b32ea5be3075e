#include "kvstcheck/standardtools/LoadedStandard.h"

#include <memory>

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

LoadedStandard LoadAsThePluginDoes(const std::wstring& path, bool withAccount) {
    // The plug-in reads its own KVStPluginDefault.ini through ANSI functions; a file whose path the
    // code page cannot name, or too long for them, is read from a copy, as kvstcheck's audits read it.
    if (!standards::ToCodePage(path) || path.size() >= MAX_PATH) {
        const TemporaryCopy copy(path);
        if (!copy.path().empty()) return LoadAsThePluginDoes(copy.path(), withAccount);
    }
    std::unique_ptr<standards::clsIniFuncs> iniFuncs;
    standards::StandardLoad load =
        standards::LoadStandardFile(path, iniFuncs, standards::StandardFileReading::OncePerLoad, withAccount);
    LoadedStandard standard;
    standard.loaded = load.loaded;
    if (load.typeNames) standard.typeNames = std::move(*load.typeNames);
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind)
        if (load.kinds[kind].filled)
            standard.names[kind].emplace(load.kinds[kind].names.begin(), load.kinds[kind].names.end());
    standard.account = std::move(load.account);
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
