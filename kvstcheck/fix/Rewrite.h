#pragma once
// Renames and layer properties written into an ASCII DXF drawing: every reference found by group code
// and place, every other pair written back byte for byte, and a check of a written drawing against its
// original. Portable: bytes come from DxfBytes, text conversions and letter case from the caller's
// TextCodec, the output goes to a ByteSink piece by piece, and memory does not grow with the entities.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/TextDecoder.h"

namespace kvstcheck::fix {

enum class FixKind { Layers, Linetypes, TextStyles, DimStyles };
inline constexpr std::size_t kFixKindCount = 4;

struct LayerChange {
    std::optional<int> color;  // 1 to 255; the layer's on/off sign is kept
    std::optional<std::wstring> linetype;  // set only when the drawing defines it
    std::optional<int> lineweight;  // from AC1015 on
    std::optional<bool> plot;       // from AC1015 on
    bool operator==(const LayerChange&) const = default;
};

// What to change in one drawing. Names match ignoring letter case.
struct FixRequest {
    std::array<std::vector<std::pair<std::wstring, std::wstring>>, kFixKindCount> renames;  // from -> to, per kind
    std::vector<std::pair<std::wstring, LayerChange>> layerProperties;  // layer name -> change
    bool force = false;  // change a drawing even with places the fix cannot account for
};

// One entry renamed: merge when another entry already bears (or takes) the target name, so this
// entry's references move there and the entry itself goes.
struct Rename {
    FixKind kind;
    std::wstring from, to;  // from: as the drawing spells it
    bool merge = false;
    std::size_t references = 0;  // places changed besides the entry itself
    std::string handle;          // the entry's handle ("" without handles): what a merge removes
    bool inTable = false;        // the drawing has the entry (else only references name it)
    bool operator==(const Rename&) const = default;
};

// A place that still names an old name after the change, left on purpose. UTF-8.
struct LeftPlace {
    std::size_t line = 0;  // of the value
    std::string what;      // e.g. "group 2 of an INSERT in ENTITIES"
    std::string reason;
};

// Why a drawing is not changed. UTF-8, plain words; line 0 when no single line is to blame.
struct Refusal {
    std::string reason;
    std::size_t line = 0;
};

// The plan for one drawing, and after RewriteDxf what was done.
struct RewriteAccount {
    std::vector<Rename> renames;
    std::vector<std::pair<std::wstring, LayerChange>> properties;  // layer as the drawing spells it
    std::vector<LeftPlace> left;
    std::optional<Refusal> refusal;  // with force, still set for what was overridden, and changed may be true
    bool changed = false;            // RewriteDxf wrote a change (the output differs from the input)
    bool forced = false;             // force overrode refusals; refusal says the first one
};

// Where the rewritten bytes go, in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

class StringSink final : public ByteSink {
public:
    void Write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// Text both ways, and letter case, the way the platform's drawing programs see names.
class TextCodec : public TextDecoder {
public:
    // Strict: nullopt when a character has no form in that code page.
    virtual std::optional<std::string> Encode(std::wstring_view text, unsigned codePage) const = 0;
    // The name in upper case, for comparisons that ignore letter case.
    virtual std::wstring FoldCase(std::wstring_view name) const = 0;
};

// Reads the drawing once and decides: the renames and merges with their reference counts, the
// property changes, the places left, or the refusal. Throws InputError for a file that is not a
// readable ASCII DXF drawing; a binary DXF is a refusal ("save it as ASCII DXF").
RewriteAccount PlanDxf(DxfBytes& in, const TextCodec& codec, const FixRequest& request);

// Writes the drawing with the plan's changes to out. The bytes must be the ones planned (a second
// reading of the same file): a drawing that differs from its plan is refused, and out then holds
// a partial copy to be thrown away. A plan with a refusal (not forced) writes nothing.
// Returns the plan with what was done (references counted again, changed set).
RewriteAccount RewriteDxf(DxfBytes& in, ByteSink& out, const TextCodec& codec, const RewriteAccount& plan);

// The proof: reads both drawings side by side; every pair equal byte for byte but the account's
// changes (a renamed value, a merged entry gone, the table's count, a layer's properties), so the
// entities are all there by handle or, without handles, by order. Empty when it holds, else what
// differs, with the rewritten drawing's line (UTF-8).
std::optional<std::string> VerifyRewrite(DxfBytes& original, DxfBytes& rewritten, const TextCodec& codec,
                                         const RewriteAccount& account);

// A JSON drawing (kvstcheck/readers/JsonDrawingReader.h) fixed as JSON: the same renames, merges,
// properties, places left and refusals, written with two-space indents and the keys in their order
// (out stays empty when refused). Throws InputError for what the JSON reader refuses.
RewriteAccount RewriteJsonDrawing(std::string_view in, std::string& out, const TextCodec& codec, const FixRequest& request);

}  // namespace kvstcheck::fix
