#pragma once
// The standard file loader's way through a parsed INI image, and each line where it reads something
// other than what the file's author most likely meant. Portable, with no platform calls: the
// conversions of the system's code page come from the caller, so that the walk can be fuzzed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/Kinds.h"
#include "kvstcheck/standardtools/LintEdit.h"
#include "kvstcheck/standardtools/LintRules.h"
#include "standards/ProfileImage.h"
#include "standards/StandardLoad.h"

namespace kvstcheck {

struct LintWarning {
    std::uint32_t line = 0;  // 1-based; 0 for the file as a whole
    std::string problem;     // UTF-8
    std::string fix;         // UTF-8
    LintRule rule = LintRule::LoadsNothing;
    Severity severity = Severity::Warning;
    // The fix in machine form, where one is safe: what loads keeps every name unless the problem says otherwise.
    std::optional<LintEdit> edit{};

    std::string_view Id() const { return InfoOf(rule).id; }
    bool operator==(const LintWarning&) const = default;
};

// A warning of a rule, weighed as the catalogue weighs it.
LintWarning MakeLintWarning(std::uint32_t line, LintRule rule, std::string problem, std::string fix,
                            std::optional<LintEdit> edit = std::nullopt);

// Text in the code page the plug-in reads the file with.
class CodePageText {
public:
    virtual ~CodePageText() = default;
    virtual unsigned CodePage() const = 0;
    // The bytes as the platform converts them, and UTF-16 text as UTF-8 for messages.
    virtual std::wstring Widen(std::string_view bytes) const = 0;
    virtual std::string Utf8(std::wstring_view text) const = 0;
    // Whether every byte sequence is a character of the code page, and whether the bytes are UTF-8.
    virtual bool Readable(std::string_view bytes) const = 0;
    virtual bool IsUtf8(std::string_view bytes) const = 0;
    // The count that the plug-in's INI class reads from the text; nothing where it reads none.
    virtual std::optional<short> Count(const std::wstring& text) const = 0;
    virtual std::wstring FoldLetterCase(std::wstring_view name) const = 0;
};

// Where the loader stops reading a file, and the warning that says why; line 0 when it reads to the end.
// With it, for each kind the file means to list but the plug-in loads no list of, what happened
// (UTF-8, empty where no section means the kind).
struct LoadingStop {
    std::uint32_t line = 0;
    std::string problem;  // UTF-8
    audit::PerKind<std::string> unloaded{};
};

// The warnings for an image of a file in text's code page. checkBytes: the bytes are the file's
// own (not a conversion of UTF-16 or UTF-8 text), so their characters are checked too.
// stop, when given, receives where the loader stops reading.
std::vector<LintWarning> WalkStandard(const standards::ProfileImage& image, const CodePageText& text, bool checkBytes,
                                      LoadingStop* stop = nullptr);

// The same warnings without their edits: quicker, as no edit is proven (a proof's own walk).
std::vector<LintWarning> WalkStandardWithoutEdits(const standards::ProfileImage& image, const CodePageText& text, bool checkBytes);

// The plug-in's loader over an image, its reads answered as its INI class answers them.
standards::StandardLoad LoadFromImage(const standards::ProfileImage& image, const CodePageText& text, bool withAccount);

// How many different names, none empty, each kind's list loads; all 0 when the load fails.
audit::PerKind<std::size_t> LoadedNameCounts(const standards::ProfileImage& image, const CodePageText& text);

}  // namespace kvstcheck
