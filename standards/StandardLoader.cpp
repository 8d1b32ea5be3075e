#include "StandardLoader.h"

#include <optional>

#include "FileSearch.h"

namespace standards {
namespace {

// The list that a type name selects, compared exactly in this order; null for any other name.
NameList* ListFor(const std::wstring& typeName, const StandardTargets& targets) noexcept {
    if (typeName == L"AcadLayer") return &targets.StdLayerNames;
    if (typeName == L"AcadLineType") return &targets.StdLinetypeNames;
    if (typeName == L"AcadTextStyle") return &targets.StdTextStyleNames;
    if (typeName == L"AcadDimStyle") return &targets.StdDimStyleNames;
    return nullptr;
}

}  // namespace

bool LoadStandardFile(const std::wstring& path, const StandardTargets& targets, StandardFileReading reading) noexcept {
    try {
        bool found = false;
        if (FAILED(FindEntry(path, SearchMask::FilesAndDirectories, found)) || !found) return false;

        // Made on first use and kept with the plug-in object.
        if (!targets.IniFuncs) targets.IniFuncs = std::make_unique<clsIniFuncs>();
        clsIniFuncs& ini = *targets.IniFuncs;
        std::optional<clsIniFuncs::OneReading> oneReading;
        if (reading == StandardFileReading::OncePerLoad) oneReading.emplace(ini, path);

        LONG typeCount = 0;
        if (!ini.GetNodeCount(path, typeCount)) return false;
        // An array of no elements cannot be dimensioned; the filter keeps what it held.
        if (typeCount < 1) return false;
        targets.CheckFilter = kv::Variant::FromArray(kv::SafeArray::Vector(VT_VARIANT, static_cast<ULONG>(typeCount)));

        // Counts come from 16-bit values, so every index fits the 16-bit parameters.
        for (LONG type = 1; type <= typeCount; ++type) {
            const SHORT section = static_cast<SHORT>(type);
            std::wstring typeName;
            if (!ini.GetNodeName(path, typeName, section)) break;
            kv::PutElement(targets.CheckFilter.get().parray, type - 1, kv::Variant::FromString(typeName));

            LONG nameCount = 0;
            if (!ini.GetKeyCount(path, nameCount, section)) break;
            NameList* list = ListFor(typeName, targets);
            if (list) {
                // A list of no names cannot be dimensioned; the list keeps what it held.
                if (nameCount < 1) return false;
                NameList(static_cast<std::size_t>(nameCount)).swap(*list);
            }
            for (LONG name = 1; name <= nameCount; ++name) {
                std::wstring text;
                if (!ini.GetKeyValue(path, text, section, static_cast<SHORT>(name))) break;
                if (list) (*list)[name - 1] = std::move(text);
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace standards
