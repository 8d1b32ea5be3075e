#pragma once
// A standard file read by the plug-in's own loader, so that a tool and the plug-in cannot disagree
// on what the file allows.
#include <optional>
#include <string>
#include <vector>

#include "audit/Kinds.h"
#include "standards/NameList.h"
#include "standards/StandardLoad.h"

namespace kvstcheck {

// The type name that selects each kind's list, in walk order.
inline constexpr const audit::PerKind<const wchar_t*>& kTypeNames = standards::kStandardTypeNames;

struct LoadedStandard {
    bool loaded = false;  // the loader's answer; false: every audit against the file fails
    // The check filter, element by element; nothing for an element that stayed empty.
    std::vector<std::optional<std::wstring>> typeNames;
    // Each kind's allowed names; nothing when no section filled the list.
    audit::PerKind<std::optional<standards::NameList>> names;
    // The loader's account of its reading, when asked for.
    std::optional<standards::LoadAccount> account;
};

// Loads path as SetupForAudit does on a fresh plug-in object.
LoadedStandard LoadAsThePluginDoes(const std::wstring& path, bool withAccount = false);

// The plug-in copies no drawing name, so every audit passes: the load failed, or left no first type name.
bool ChecksNothing(const LoadedStandard& loaded);

// The kind whose findings carry this label; nothing for another label.
std::optional<audit::Kind> KindOfLabel(std::wstring_view label);

}  // namespace kvstcheck
