#pragma once
// A standard file read by the plug-in's own loader, so that a tool and the plug-in cannot disagree
// on what the file allows.
#include <optional>
#include <string>
#include <vector>

#include "audit/Kinds.h"
#include "standards/NameList.h"

namespace kvstcheck {

// The type name that selects each kind's list, in walk order.
inline constexpr audit::PerKind<const wchar_t*> kTypeNames = {L"AcadLayer", L"AcadLineType", L"AcadTextStyle",
                                                              L"AcadDimStyle"};

struct LoadedStandard {
    bool loaded = false;  // the loader's answer; false: every audit against the file fails
    // The check filter, element by element; nothing for an element that stayed empty.
    std::vector<std::optional<std::wstring>> typeNames;
    // Each kind's allowed names; nothing when no section filled the list.
    audit::PerKind<std::optional<standards::NameList>> names;
};

// Loads path as SetupForAudit does on a fresh plug-in object.
LoadedStandard LoadAsThePluginDoes(const std::wstring& path);

// The plug-in copies no drawing name, so every audit passes: the load failed, or left no first type name.
bool ChecksNothing(const LoadedStandard& loaded);

// The kind whose findings carry this label; nothing for another label.
std::optional<audit::Kind> KindOfLabel(std::wstring_view label);

}  // namespace kvstcheck
