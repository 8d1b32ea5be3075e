#pragma once
// What late-bound callers learn of each member of a dual interface (identifier, name, invoke kind,
// argument count), read from a dispatch table and from type information, so that the two can be
// compared member for member.
#include <windows.h>
#include <oaidl.h>

#include <compare>
#include <span>
#include <string>
#include <vector>

#include "com/Dispatch.h"

namespace kvtest {

struct DispatchFacts {
    DISPID id = 0;
    std::wstring name;
    WORD invokeKind = 0;       // INVOKE_FUNC, INVOKE_PROPERTYGET or INVOKE_PROPERTYPUT
    UINT argumentCount = 0;    // the caller's arguments: neither the value returned nor a locale
    auto operator<=>(const DispatchFacts&) const = default;
};

// Sorted, by identifier first.
std::vector<DispatchFacts> FactsOf(std::span<const kv::DispatchMember> table);
// The interface's own functions (not those of IDispatch), from either side of a dual interface;
// throws std::runtime_error when the type is no interface or reading it fails.
std::vector<DispatchFacts> FactsOf(ITypeInfo* info);

// Empty when both sides list the same members; else one line for each member that only one side has.
std::string Differences(const std::vector<DispatchFacts>& library, const std::vector<DispatchFacts>& table);

}  // namespace kvtest
