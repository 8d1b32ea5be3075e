#include "StandardLoader.h"

#include "FileImage.h"
#include "FileSearch.h"
#include "ThreadImageCache.h"

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

// Keeps load as what the loader made of image, its lists indexed so that the copies given later
// come with their lookups built. A failed load is not kept: exhausted memory may have ended it.
void KeepIndexed(const FileImage& image, StandardLoad& load) noexcept {
    if (!load.loaded || !thread_image_cache::Holds(image)) return;
    try {
        std::array<NameView, kStandardKindCount> indexed;
        for (std::size_t kind = 0; kind < kStandardKindCount; ++kind)
            if (load.kinds[kind].filled) indexed[kind] = load.kinds[kind].names.Indexed();
        for (std::size_t kind = 0; kind < kStandardKindCount; ++kind)
            if (load.kinds[kind].filled) load.kinds[kind].names = std::move(indexed[kind]);
        thread_image_cache::KeepLoad(image, std::make_shared<const StandardLoad>(load));
    } catch (...) {
        // Without memory for the index or the copy, nothing is kept and the load stands.
    }
}

// A load answered wholly by image is the same for the same image: the calling thread's kept load
// is copied (its lists share their names and indexes) rather than walked again.
StandardLoad KeptOrNewLoad(const FileImage& image, StandardValues& values) {
    if (const auto kept = thread_image_cache::KeptLoad(image)) return *kept;
    StandardLoad load = LoadStandard(values, false);
    KeepIndexed(image, load);
    return load;
}

}  // namespace

StandardLoad LoadStandardFile(const std::wstring& path, std::unique_ptr<clsIniFuncs>& iniFuncs,
                              StandardFileReading reading, bool withAccount) noexcept {
    try {
        bool found = false;
        if (FAILED(FindEntry(path, SearchMask::FilesAndDirectories, found)) || !found) return FileNotFound(withAccount);
        // Made on first use and kept with the plug-in object.
        if (!iniFuncs) iniFuncs = std::make_unique<clsIniFuncs>();
        IniValues values(*iniFuncs, path);
        if (reading == StandardFileReading::ProfileReadPerValue) return LoadStandard(values, withAccount);
        clsIniFuncs::OneReading oneReading(*iniFuncs, path);
        const FileImage* image = withAccount ? nullptr : oneReading.Image();
        if (image == nullptr) return LoadStandard(values, withAccount);
        return KeptOrNewLoad(*image, values);
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
