#pragma once
// A fix's plan: per drawing, what it renames (and merges), which layer properties it sets, what it leaves
// and why, and the drawing's SHA-256 when planned, so that a plan applied later acts only on the bytes it
// was made for. Kept as JSON (docs/schemas/fix-plan.schema.json). Portable.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/rules/Rules.h"

namespace kvstcheck::fix {

inline constexpr int kFixPlanSchemaVersion = 1;

// Why a name is renamed: a map entry (rules file or CSV), or a hint that names exactly one allowed name.
enum class RenameSource { Map, LetterCase, Invisible };

struct PlannedRename {
    rules::NameKind kind = rules::NameKind::Layer;
    std::string from;  // UTF-8, as the drawing spells it
    std::string to;
    RenameSource source = RenameSource::Map;
    bool merge = false;          // the drawing also has the target: references move, the old entry goes
    std::size_t references = 0;  // places that name it, the entry itself included
    bool operator==(const PlannedRename&) const = default;
};

struct PlannedProperties {
    std::string layer;  // UTF-8
    std::optional<int> color;  // 1-255; the layer's on/off sign is kept
    std::optional<std::string> linetype;
    std::optional<int> lineweight;
    std::optional<bool> plot;
    bool operator==(const PlannedProperties&) const = default;
};

// A place that still names an old name after the fix, left on purpose.
struct PlannedLeft {
    std::size_t line = 0;
    std::string what;    // UTF-8: "group 2 of an INSERT in ENTITIES"
    std::string reason;
    bool operator==(const PlannedLeft&) const = default;
};

// A finding the fixed drawing still has: nothing maps its name.
struct LeftName {
    std::string kind;     // the plug-in's kind label, or a rule's word ("layer")
    std::string name;
    std::string message;  // a rule's finding in words; empty for the plug-in's
    bool operator==(const LeftName&) const = default;
};

struct DrawingPlan {
    std::string path;    // UTF-8, as the run names the drawing
    std::string below;   // UTF-8, its path below the folder argument it came from (a file argument: its name)
    std::string sha256;  // of its bytes when planned
    std::vector<PlannedRename> renames;
    std::vector<PlannedProperties> properties;
    std::vector<PlannedLeft> left;      // places the fix leaves naming an old name
    std::vector<LeftName> unmapped;   // findings no rename covers: the fixed drawing still has them
    std::string refusal;              // why the drawing is not changed; empty when it may be
    std::string forcedOver;           // what --force overrode; empty when nothing was
    // What a run that writes did (not part of a plan to apply).
    std::string written;  // the fixed drawing or its copy
    std::string backup;   // the original's backup
    std::string error;    // why nothing was kept, after the plan: unreadable, changed since, failed its proof
    bool operator==(const DrawingPlan&) const = default;

    bool Changes() const { return refusal.empty() && (!renames.empty() || !properties.empty()); }
    bool Failed() const { return !refusal.empty() || !error.empty(); }
};

struct FixPlan {
    std::string standard;        // UTF-8 path of the standard file
    std::string standardSha256;  // empty when it could not be read
    std::vector<DrawingPlan> drawings;
    bool operator==(const FixPlan&) const = default;
};

class PlanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string PlanToJson(const FixPlan& plan);
// Throws PlanError naming what is wrong: not JSON, another schema version, a field missing or of another type.
FixPlan PlanFromJson(std::string_view text);

std::string_view KeyOf(RenameSource source);
// Text for people: per drawing its renames with their references, merges, properties, what is left.
std::string FormatPlan(const DrawingPlan& plan);
// One CSV row per rename, property and left name: drawing,action,kind,from,to,references,reason.
std::string PlanToCsv(const FixPlan& plan);

}  // namespace kvstcheck::fix
