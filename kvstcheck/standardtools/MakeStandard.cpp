#include "kvstcheck/standardtools/MakeStandard.h"

#include <memory>
#include <unordered_set>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/readers/DrawingFile.h"
#include "kvstcheck/readers/InputError.h"
#include "kvstcheck/reports/Console.h"
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

// The platform removes one pair of equal quotes around a value: such a name goes in another pair.
bool NeedsQuotes(std::wstring_view name) noexcept {
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

// A file in the output's folder that is removed unless it is renamed to the output.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::wstring& beside) {
        std::wstring folder = beside.substr(0, beside.find_last_of(L"\\/") + 1);
        if (folder.empty()) folder = L".";
        wchar_t name[MAX_PATH + 1] = {};
        if (::GetTempFileNameW(folder.c_str(), L"kvs", 0, name) == 0)
            throw std::runtime_error("cannot create a file in the output's folder: " + SystemMessage(::GetLastError()));
        path_ = name;
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) ::DeleteFileW(path_.c_str());
    }

    void Write(const std::string& bytes) {
        const kv::FileHandle file(
            ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            throw std::runtime_error("cannot write the file: " + SystemMessage(::GetLastError()));
        }
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file.get()))
            throw std::runtime_error("cannot write the file: " + SystemMessage(::GetLastError()));
    }

    // Renames the file to target; an existing target is replaced only when asked.
    void MoveTo(const std::wstring& target, bool replace) {
        if (!::MoveFileExW(path_.c_str(), target.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                throw std::runtime_error("the file exists; add --force to replace it");
            throw std::runtime_error("cannot write the file: " + SystemMessage(error));
        }
        path_.clear();
    }

private:
    std::wstring path_;
};

}  // namespace

StandardDraft DraftStandard(const std::vector<ReferenceDrawing>& drawings, UINT codePage) {
    StandardDraft draft;
    audit::PerKind<std::vector<std::string>> lines;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        std::unordered_set<std::wstring_view> seen;
        for (const ReferenceDrawing& drawing : drawings) {
            for (const std::wstring& name : NamesOf(drawing.names, kind)) {
                if (!seen.insert(name).second) continue;
                const std::string where = EncodeUtf8(drawing.path) + ": " + kKindWords[kind] + " \"" + EncodeUtf8(name) + "\" ";
                std::string encoded;
                const std::string problem = ProblemOf(name, codePage, encoded);
                if (!problem.empty()) {
                    draft.refusals.push_back(where + problem);
                    continue;
                }
                if (lines[kind].size() == kMostNames) {
                    draft.refusals.push_back(where + "is one " + kKindWords[kind] + " more than a section can declare (" +
                                             std::to_string(kMostNames) + ")");
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
    }
    std::size_t typeCount = 0;
    for (const auto& names : lines) typeCount += names.empty() ? 0 : 1;
    if (typeCount == 0 && draft.refusals.empty()) draft.refusals.push_back("the drawings hold no names to allow");
    if (!draft.refusals.empty()) return draft;

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
    const std::string output = EncodeUtf8(options.output);
    const PathKind existing = KindOfPath(options.output);
    if (existing == PathKind::Folder) {
        WriteError(output + ": this is a folder; give the standard file's name with -o");
        return kBroken;
    }
    if (existing == PathKind::File && !options.force) {
        WriteError(output + ": the file exists; add --force to replace it");
        return kBroken;
    }

    std::vector<ReferenceDrawing> drawings;
    bool unreadable = false;
    for (const std::wstring& path : options.drawings) {
        try {
            DrawingContent content = ReadDrawingFile(path);
            for (const std::string& warning : content.warnings) WriteError(EncodeUtf8(path) + ": warning: " + warning);
            drawings.push_back({path, std::move(content.names)});
        } catch (const InputError& error) {
            WriteError(EncodeUtf8(path) + ": " + error.what());
            unreadable = true;
        }
    }
    if (unreadable) {
        WriteError("no standard file written: a reference drawing cannot be read");
        return kBroken;
    }

    const UINT codePage = ::GetACP();
    const StandardDraft draft = DraftStandard(drawings, codePage);
    if (!draft.refusals.empty()) {
        for (const std::string& refusal : draft.refusals) WriteError(refusal);
        WriteError("no standard file written: " + std::to_string(draft.refusals.size()) +
                   (draft.refusals.size() == 1 ? " name" : " names") + " cannot be written faithfully");
        return kBroken;
    }
    try {
        TemporaryFile file(FullPath(options.output));
        file.Write(draft.bytes);
        file.MoveTo(options.output, options.force);
    } catch (const std::runtime_error& error) {
        WriteError(output + ": " + error.what());
        return kBroken;
    }
    std::string summary;
    std::size_t total = 0;
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        total += draft.nameCounts[kind];
        summary += std::string(kind > 0 ? ", " : "") + kKindPlurals[kind] + " " + std::to_string(draft.nameCounts[kind]);
    }
    WriteOut("wrote " + output + ": " + std::to_string(total) + " names (" + summary + ") in code page " +
             std::to_string(codePage) + "\n");
    return kNoFindings;
}

}  // namespace kvstcheck
