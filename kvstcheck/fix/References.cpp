#include "kvstcheck/fix/References.h"

#include <algorithm>
#include <array>

namespace kvstcheck::fix {
namespace {

constexpr std::array<std::string_view, kFixKindCount> kTables = {"LAYER", "LTYPE", "STYLE", "DIMSTYLE"};
constexpr std::array<std::string_view, kFixKindCount> kWords = {"layer", "linetype", "text style",
                                                                "dimension style"};

constexpr PlaceMeaning Ref(FixKind kind) { return {PlaceRole::Reference, kind, {}}; }
constexpr PlaceMeaning Other(std::string_view reason) { return {PlaceRole::Other, FixKind::Layers, reason}; }
constexpr PlaceMeaning Unknown(std::string_view reason) { return {PlaceRole::Unknown, FixKind::Layers, reason}; }
constexpr PlaceMeaning kNoName{};

// Groups whose value may be a name; every other group holds numbers, handles or structure.
bool MayBeName(int code) noexcept {
    return (code >= 1 && code <= 9 && code != 5) || (code >= 300 && code <= 309) || (code >= 410 && code <= 419) ||
           (code >= 430 && code <= 439) || (code >= 470 && code <= 479) || code == 1000 || code == 1003;
}

struct HeaderVariable {
    std::string_view name;
    FixKind kind;
};
constexpr HeaderVariable kHeaderNames[] = {
    {"$CLAYER", FixKind::Layers},        {"$CELTYPE", FixKind::Linetypes}, {"$DIMLTYPE", FixKind::Linetypes},
    {"$DIMLTEX1", FixKind::Linetypes},   {"$DIMLTEX2", FixKind::Linetypes}, {"$TEXTSTYLE", FixKind::TextStyles},
    {"$DIMTXSTY", FixKind::TextStyles},  {"$DIMSTYLE", FixKind::DimStyles},
};

PlaceMeaning InHeader(std::string_view variable, int code) {
    if (code == 9 || variable.empty()) return kNoName;  // the section's name comes before any variable
    for (const auto& [name, kind] : kHeaderNames)
        if (variable == name) return Ref(kind);
    return Other("a header variable that names no layer, linetype, text style or dimension style");
}

template <std::size_t N>
bool OneOf(std::string_view type, const std::array<std::string_view, N>& types) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

constexpr std::array<std::string_view, 4> kTexts = {"TEXT", "ATTRIB", "ATTDEF", "MTEXT"};
constexpr std::array<std::string_view, 4> kDimensioned = {"DIMENSION", "ARC_DIMENSION", "LEADER", "TOLERANCE"};
constexpr std::array<std::string_view, 2> kTables2 = {"ACAD_TABLE", "TABLE"};

PlaceMeaning InTableEntry(std::string_view table, int code) {
    const auto kind = KindOfTable(table);
    if (code == 2) return kind ? PlaceMeaning{PlaceRole::EntryName, *kind, {}} : Other("the name of another table's entry");
    if (!kind) return Other("a value of another table's entry");
    if (*kind == FixKind::Layers && code == 6) return Ref(FixKind::Linetypes);
    if (*kind == FixKind::Linetypes && code == 3) return kNoName;  // description
    if (*kind == FixKind::TextStyles && (code == 3 || code == 4)) return kNoName;  // font files
    if (*kind == FixKind::DimStyles && (code == 3 || code == 4)) return kNoName;  // text around the measurement
    if (*kind == FixKind::DimStyles && code >= 5 && code <= 7) return Other("an arrow block's name");
    return Unknown("a value of a table entry");
}

PlaceMeaning InEntity(std::string_view type, int code) {
    if (code == 8) return Ref(FixKind::Layers);
    if (code == 6) return Ref(FixKind::Linetypes);
    const bool text = OneOf(type, kTexts);
    if (code == 7 && (text || OneOf(type, kTables2))) return Ref(FixKind::TextStyles);
    if (code == 3 && OneOf(type, kDimensioned)) return Ref(FixKind::DimStyles);
    if (text && (code == 1 || code == 3)) return kNoName;  // the text itself, a prompt
    if (text && code == 2) return Other("an attribute's tag");
    if (code == 1 && OneOf(type, kDimensioned)) return kNoName;  // text that replaces the measurement
    if (type == "BLOCK" && code == 1) return kNoName;  // an external reference's file
    if (code == 2 || (type == "BLOCK" && code == 3)) return Other("the name of a block, pattern, shape or style");
    return Unknown("a value of an entity");
}

PlaceMeaning InObject(std::string_view type, int code) {
    if ((type == "LAYER_INDEX" || type == "LAYER_FILTER") && code == 8) return Ref(FixKind::Layers);
    if (type == "XRECORD" && code == 8) return Ref(FixKind::Layers);  // layer states
    if (type == "XRECORD" && code == 1) return Other("a record's text, such as a layer filter's expression");
    if (type == "MLINESTYLE" && code == 6) return Ref(FixKind::Linetypes);
    if (type == "TABLESTYLE" && code == 7) return Ref(FixKind::TextStyles);
    if (type == "DICTIONARY" && code == 3) return Other("a dictionary's key");
    return Unknown("a value of an object");
}

}  // namespace

PlaceMeaning MeaningOf(const PairContext& context, int code) {
    if (!MayBeName(code)) return kNoName;
    if (context.extendedData) {
        if (code == 1003) return Ref(FixKind::Layers);
        return code == 1000 ? Unknown("a string of extended data") : kNoName;
    }
    const UnitPlace& place = *context.place;
    if (place.type == "SECTION" && context.variable.empty()) return kNoName;
    if (place.section == "HEADER") return InHeader(context.variable, code);
    if (place.section == "TABLES") {
        if (!place.tableEntry()) return kNoName;
        return InTableEntry(place.table, code);
    }
    if (place.section == "ENTITIES" || place.section == "BLOCKS") return InEntity(place.type, code);
    if (place.section == "OBJECTS") return InObject(place.type, code);
    return kNoName;  // CLASSES, pictures, data of other programs
}

bool IsHandleCode(int code) noexcept {
    return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 || code == 1005;
}

std::string_view TableOf(FixKind kind) noexcept { return kTables[static_cast<std::size_t>(kind)]; }

std::optional<FixKind> KindOfTable(std::string_view table) noexcept {
    for (std::size_t i = 0; i < kTables.size(); ++i)
        if (kTables[i] == table) return static_cast<FixKind>(i);
    return std::nullopt;
}

std::string_view KindWord(FixKind kind) noexcept { return kWords[static_cast<std::size_t>(kind)]; }

bool IsReservedName(std::wstring_view folded) noexcept {
    // Folded as Unicode's simple case folding folds them: to small letters.
    static constexpr std::wstring_view kReserved[] = {L"0", L"defpoints", L"bylayer", L"byblock", L"continuous",
                                                      L"standard"};
    return std::find(std::begin(kReserved), std::end(kReserved), folded) != std::end(kReserved);
}

bool FitsR12(std::wstring_view name) noexcept {
    constexpr std::size_t kLongest = 31;
    if (name.empty() || name.size() > kLongest) return false;
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'$' ||
               c == L'-' || c == L'_';
    });
}

}  // namespace kvstcheck::fix
