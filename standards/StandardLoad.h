#pragma once
// The standard file loader's algorithm and what a load gives: the type names, each kind's names and
// whether a section filled them, and, when asked for, an account of the reading. Portable: the
// values come from the caller, through the plug-in's INI class or from an image of the file.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "NameStore.h"

namespace standards {

// The value reads a load makes, in the loader's terms.
class StandardValues {
public:
    virtual ~StandardValues() = default;
    // [Common] TypeCount and [TypeN] NameCount, as 16-bit numbers; false when missing or no number.
    virtual bool TypeCount(std::int32_t& count) = 0;
    virtual bool NameCount(std::int16_t section, std::int32_t& count) = 0;
    // [TypeN] Type and NameK; false when missing. text is the caller's buffer, reused.
    virtual bool TypeName(std::int16_t section, std::wstring& text) = 0;
    virtual bool Name(std::int16_t section, std::int16_t name, std::wstring& text) = 0;
};

// The kinds a type name selects, compared exactly, in this order.
inline constexpr std::size_t kStandardKindCount = 4;
inline constexpr std::array<const wchar_t*, kStandardKindCount> kStandardTypeNames = {
    L"AcadLayer", L"AcadLineType", L"AcadTextStyle", L"AcadDimStyle"};

// One element per section once TypeCount was read; nothing for a section loading did not reach.
using TypeNames = std::vector<std::optional<std::wstring>>;

struct LoadedKind {
    bool filled = false;  // a section of the kind re-dimensioned the list
    NameView names;       // m names; an empty string for each one loading stopped before
};

// Why loading ended where it did.
enum class LoadEnd {
    Completed,           // every type section was walked
    FileNotFound,        // the existence test found nothing
    NoTypeCount,         // [Common] TypeCount missing or not a 16-bit number
    TypeCountBelowOne,
    NoTypeName,          // [TypeN] or its Type missing: the walk ends there, and the load succeeds
    NoNameCount,         // [TypeN] NameCount missing or no number: the same
    NameCountBelowOne,   // under a type name the loader knows: the load fails
    Failure,             // anything else, such as exhausted memory
};

// One value read: which, whether found, and what it gave.
struct LoadRead {
    enum class Of : std::uint8_t { TypeCount, TypeName, NameCount, Name } of;
    std::int16_t section = 0;  // 0 for TypeCount
    std::int16_t name = 0;     // the K of NameK
    bool found = false;
    std::int32_t count = 0;    // for counts that were found
    std::wstring text;         // for type names and names that were found
};

struct LoadAccount {
    std::vector<LoadRead> reads;  // in reading order
    LoadEnd end = LoadEnd::Completed;
    std::int16_t endSection = 0;  // the section loading ended in, 0 for the file as a whole
};

struct StandardLoad {
    bool loaded = false;                      // the loader's result
    std::optional<TypeNames> typeNames;       // written once TypeCount read as 1 or more
    std::array<LoadedKind, kStandardKindCount> kinds;
    std::optional<LoadAccount> account;       // only when asked for
};

// The load's algorithm over values. Never throws: a failure ends the load with loaded false and what
// it had read so far.
StandardLoad LoadStandard(StandardValues& values, bool withAccount) noexcept;

// The result of a load whose file was not found.
StandardLoad FileNotFound(bool withAccount);

}  // namespace standards
