#include "StandardLoader.h"

#include "FileSearch.h"

namespace standards {
namespace {

// The loader's reads, through the INI class, always with path as the file.
class IniValues final : public StandardValues {
public:
    IniValues(clsIniFuncs& ini, const std::wstring& path) noexcept : ini_(ini), path_(path) {}

    bool TypeCount(std::int32_t& count) override { return Count(ini_.GetNodeCount(path_, count_), count); }
    bool NameCount(std::int16_t section, std::int32_t& count) override {
        return Count(ini_.GetKeyCount(path_, count_, section), count);
    }
    bool TypeName(std::int16_t section, std::wstring& text) override { return ini_.GetNodeName(path_, text, section); }
    bool Name(std::int16_t section, std::int16_t name, std::wstring& text) override {
        return ini_.GetKeyValue(path_, text, section, name);
    }

private:
    bool Count(bool read, std::int32_t& count) const noexcept {
        if (read) count = count_;
        return read;
    }

    clsIniFuncs& ini_;
    const std::wstring& path_;
    LONG count_ = 0;
};

}  // namespace

StandardLoad LoadStandardFile(const std::wstring& path, std::unique_ptr<clsIniFuncs>& iniFuncs,
                              StandardFileReading reading, bool withAccount) noexcept {
    try {
        bool found = false;
        if (FAILED(FindEntry(path, SearchMask::FilesAndDirectories, found)) || !found) return FileNotFound(withAccount);
        // Made on first use and kept with the plug-in object.
        if (!iniFuncs) iniFuncs = std::make_unique<clsIniFuncs>();
        std::optional<clsIniFuncs::OneReading> oneReading;
        if (reading == StandardFileReading::OncePerLoad) oneReading.emplace(*iniFuncs, path);
        IniValues values(*iniFuncs, path);
        return LoadStandard(values, withAccount);
    } catch (...) {
        return {};
    }
}

bool Apply(StandardLoad&& load, const StandardMembers& members) noexcept {
    if (load.typeNames) members.CheckFilter.swap(*load.typeNames);
    for (std::size_t kind = 0; kind < kStandardKindCount; ++kind)
        if (load.kinds[kind].filled) std::swap(*members.lists[kind], load.kinds[kind].names);
    return load.loaded;
}

}  // namespace standards
