#include "kvstcheck/standardtools/MakeStandard.h"

#include <memory>
#include <unordered_set>

#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/OutputFile.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/LoadedStandard.h"
#include "standards/AnsiText.h"

namespace kvstcheck {
namespace {

// What the loader can take: counts are 16-bit values, names 254 bytes of read buffer.
constexpr std::size_t kMostNames = 32767;
constexpr std::size_t kLongestName = 254;
// A quoted value that fills the read buffer loses one byte more on some platforms.
constexpr std::size_t kLongestQuotedName = kLongestName - 1;
constexpr audit::PerKind<const char*> kKindWords = {"layer", "linetype", "text style", "dimension style"};
constexpr audit::PerKind<const char*> kKindPlurals = {"layers", "linetypes", "text styles", "dimension styles"};

const std::vector<std::wstring>& NamesOf(const DrawingNames& names, std::size_t kind) {
    switch (kind) {
        case 0: return names.layers;
        case 1: return names.linetypes;
        case 2: return names.textStyles;
        default: return names.dimStyles;
    }
}

bool IsQuote(wchar_t c) noexcept { return c == L'"' || c == L'\''; }

// The platform removes one pair of equal quotes around a value: such a name goes in another pair. So
// does one that lint would take for a comment or stray blanks, and a lone quote.
bool NeedsQuotes(std::wstring_view name) noexcept {
    if (name.size() == 1 && IsQuote(name.front())) return true;
    if (name.find_first_of(L";\t") != std::wstring_view::npos || name.find(L"  ") != std::wstring_view::npos ||
        name.find(L" #") != std::wstring_view::npos)
        return true;
    return name.size() >= 2 && IsQuote(name.front()) && name.back() == name.front();
}

// Why the plug-in would read the name back otherwise than it is; empty when it would not.
std::string ProblemOf(std::wstring_view name, UINT codePage, std::string& encoded) {
    for (const wchar_t c : name)
        if (c < 0x20 && c != L'\t')
            return "holds a control character (a line break or other), which a standard file cannot keep in a name";
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    if (!name.empty() && (blank(name.front()) || blank(name.back())))
        return "begins or ends with a space or tab, which the plug-in does not keep";
    if (name == L"Return Err") return "reads as a missing name: \"Return Err\" is what the plug-in gets for a missing key";
    const auto bytes = standards::ToCodePage(name, codePage);
    if (!bytes) return "cannot be written in the system code page " + std::to_string(codePage);
    const std::size_t longest = NeedsQuotes(name) ? kLongestQuotedName : kLongestName;
    if (bytes->size() > longest)
        return "is " + std::to_string(bytes->size()) + " bytes long in code page " + std::to_string(codePage) +
               "; the plug-in reads at most " + std::to_string(longest);
    encoded = *bytes;
    return {};
}

void AddLine(std::string& text, const std::string& line) { text += line + "\r\n"; }

// Reads every drawing, telling each that cannot be read; false when one could not.
bool ReadReferences(const std::vector<WalkEntry>& entries, std::vector<ReferenceDrawing>& drawings) {
    bool readable = true;
    for (const WalkEntry& entry : entries) {
        try {
            if (!entry.error.empty()) throw InputError(0, entry.error);
            DrawingContent content = ReadDrawingFile(entry.path);
            for (const std::string& warning : content.warnings) WriteError(EncodeUtf8(entry.path) + ": warning: " + warning);
            drawings.push_back({entry.path, std::move(content.names)});
        } catch (const InputError& error) {
            WriteError(EncodeUtf8(entry.path) + ": " + error.what());
            readable = false;
        }
    }
    return readable;
}

// "19 names (layers 8, linetypes 5, text styles 3, dimension styles 3) in code page 1252".
std::string Summary(const StandardDraft& draft, UINT codePage) {
    std::string kinds;
    std::size_t total = 0;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        total += draft.nameCounts[kind];
        kinds += std::string(kind > 0 ? ", " : "") + kKindPlurals[kind] + " " + std::to_string(draft.nameCounts[kind]);
    }
    return std::to_string(total) + (total == 1 ? " name (" : " names (") + kinds + ") in code page " +
           std::to_string(codePage);
}

}  // namespace

StandardDraft DraftStandard(const std::vector<ReferenceDrawing>& drawings, UINT codePage) {
    StandardDraft draft;
    audit::PerKind<std::vector<std::string>> lines;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        std::unordered_set<std::wstring_view> seen;
        std::size_t beyond = 0;  // names that could be written but do not fit the section
        for (const ReferenceDrawing& drawing : drawings) {
            for (const std::wstring& name : NamesOf(drawing.names, kind)) {
                if (!seen.insert(name).second) continue;
                const std::string where =
                    DisplayNameUtf8(drawing.path) + ": " + kKindWords[kind] + " \"" + DisplayNameUtf8(name) + "\" ";
                std::string encoded;
                const std::string problem = ProblemOf(name, codePage, encoded);
                if (!problem.empty()) {
                    ++draft.unfaithfulNames;
                    draft.refusals.push_back(where + problem);
                    continue;
                }
                if (lines[kind].size() == kMostNames) {
                    ++beyond;
                    continue;
                }
                if (NeedsQuotes(name)) {
                    const char quote = name.front() == L'"' ? '\'' : '"';
                    encoded = quote + encoded + quote;
                }
                lines[kind].push_back(std::move(encoded));
            }
        }
        draft.nameCounts[kind] = lines[kind].size();
        // One line for the kind: a line per name would bury the other refusals under thousands.
        if (beyond > 0) {
            draft.refusals.push_back(std::string("the reference drawings hold ") + std::to_string(kMostNames + beyond) +
                                     " " + kKindPlurals[kind] + " that can be written, more than a section can declare (" +
                                     std::to_string(kMostNames) + ")");
        }
    }
    std::size_t typeCount = 0;
    for (const auto& names : lines) typeCount += names.empty() ? 0 : 1;
    if (typeCount == 0 || !draft.refusals.empty()) return draft;

    std::string& text = draft.bytes;
    AddLine(text, "; The names a drawing may use, per kind: made by kvstcheck make-standard from " +
                      std::to_string(drawings.size()) + (drawings.size() == 1 ? " reference drawing." : " reference drawings."));
    AddLine(text, "[Common]");
    AddLine(text, "TypeCount=" + std::to_string(typeCount));
    std::size_t section = 0;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        // A section must declare at least one name; a kind no drawing uses gets none.
        if (lines[kind].empty()) continue;
        AddLine(text, "");
        AddLine(text, "[Type" + std::to_string(++section) + "]");
        AddLine(text, "Type=" + EncodeUtf8(kTypeNames[kind]));
        AddLine(text, "NameCount=" + std::to_string(lines[kind].size()));
        for (std::size_t k = 0; k < lines[kind].size(); ++k) AddLine(text, "Name" + std::to_string(k + 1) + "=" + lines[kind][k]);
    }
    return draft;
}

int MakeStandard(const Options& options) {
    // The output is a standard file people edit: it is replaced only with --force, whoever wrote it.
    OutputFile output(options.output, "the standard file", NeverOurs);
    const std::vector<WalkEntry> entries = ListDrawings(options.drawings);
    RunInputs inputs;
    for (const WalkEntry& entry : entries) inputs.Add(entry.path, "a reference drawing of this run");
    if (const std::string refusal = output.Refusal(inputs, options.force); !refusal.empty()) {
        WriteError(refusal);
        return kBroken;
    }
    std::vector<ReferenceDrawing> drawings;
    if (!ReadReferences(entries, drawings)) {
        WriteError("no standard file written: a reference drawing cannot be read");
        return kBroken;
    }
    const UINT codePage = ::GetACP();
    const StandardDraft draft = DraftStandard(drawings, codePage);
    if (!draft.refusals.empty()) {
        for (const std::string& refusal : draft.refusals) WriteError(refusal);
        const std::size_t unfaithful = draft.unfaithfulNames;
        WriteError(unfaithful > 0 ? "no standard file written: " + std::to_string(unfaithful) +
                                        (unfaithful == 1 ? " name" : " names") + " cannot be written faithfully"
                                  : std::string("no standard file written: a kind holds more names than a section can declare"));
        return kBroken;
    }
    if (draft.bytes.empty()) {
        WriteError("no standard file written: the reference drawings hold no names to allow");
        return kBroken;
    }
    if (const std::string error = output.Write(draft.bytes); !error.empty()) {
        WriteError(error);
        return kBroken;
    }
    WriteOut("wrote " + EncodeUtf8(options.output) + ": " + Summary(draft, codePage) + "\n");
    return kNoFindings;
}

}  // namespace kvstcheck
