#include "kvstcheck/standardtools/Lint.h"

#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "com/Handle.h"
#include "kvstcheck/Files.h"
#include "kvstcheck/SystemError.h"
#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/DisplayName.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/standardtools/InstalledStandards.h"
#include "kvstcheck/standardtools/LetterCase.h"
#include "standards/AnsiText.h"

namespace kvstcheck {
namespace {

constexpr audit::PerKind<const char*> kKindPlurals = {"layers", "linetypes", "text styles", "dimension styles"};
constexpr audit::PerKind<const char*> kKindWords = {"layer", "linetype", "text style", "dimension style"};
// How many names of a kind the text output shows.
constexpr std::size_t kNamesShown = 12;

std::string Quoted(const std::string& utf8) { return "\"" + utf8 + "\""; }

// The bytes as the platform converts them from the code page.
std::wstring Widened(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return DecodeUtf8(ValidUtf8(bytes)).value_or(std::wstring());
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::string Shown(std::string_view bytes, UINT codePage) { return DisplayNameUtf8(Widened(bytes, codePage)); }

enum class Decoding { Ansi, Utf8ByteOrderMark, Utf16Le, Utf16Be };

Decoding DecodingOf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return Decoding::Utf8ByteOrderMark;
    if (bytes.starts_with("\xFF\xFE")) return Decoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return Decoding::Utf16Be;
    return Decoding::Ansi;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first)));
    }
    return text;
}

// The text in the code page the way the platform hands Unicode text to an ANSI caller: best fit,
// then '?'.
std::string ToCodePageAsThePlatformDoes(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The lines of text, split as the platform splits them: CR LF, LF and a lone CR each end one line.
std::vector<std::wstring_view> Lines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Lines of a decoded file whose characters the code page cannot hold: the plug-in gets look-alikes.
void WarnOfLostCharacters(std::wstring_view text, UINT codePage, std::vector<LintWarning>& warnings) {
    const auto lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (standards::ToCodePage(lines[i], codePage)) continue;
        warnings.push_back(MakeLintWarning(static_cast<std::uint32_t>(i + 1), LintRule::LostCharacters,
                            Quoted(DisplayNameUtf8(lines[i])) + " holds characters that code page " + std::to_string(codePage) +
                                " cannot hold: the plug-in reads " +
                                Quoted(Shown(ToCodePageAsThePlatformDoes(lines[i], codePage), codePage)),
                            "use only characters of code page " + std::to_string(codePage) +
                                ", and save the file in that code page (ANSI)"));
    }
}

// A control character that no text file holds, as its code; nothing when there is none. NULs after
// the text are what some editors leave behind; a file of nothing but NULs is no text.
template <class Character>
std::optional<unsigned> BinaryContent(std::basic_string_view<Character> text) {
    const std::size_t end = text.find_last_not_of(Character(0));
    if (end == text.npos) return text.empty() ? std::nullopt : std::optional<unsigned>(0);
    for (const Character c : text.substr(0, end + 1)) {
        const auto code = static_cast<unsigned>(c);
        if (code < 0x20 && !(code >= '\t' && code <= '\r') && code != 0x1A) return code;
    }
    return std::nullopt;
}

std::string EncodingWords(Decoding decoding, UINT codePage) {
    const std::string page = "code page " + std::to_string(codePage);
    switch (decoding) {
        case Decoding::Utf8ByteOrderMark: return "UTF-8 with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Utf16Le: return "UTF-16 LE with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Utf16Be: return "UTF-16 BE with a byte order mark, handed to the plug-in in " + page;
        case Decoding::Ansi: break;
    }
    return "ANSI, " + page;
}

std::string NamesText(const standards::NameList& names, bool allNames) {
    const std::size_t shown = allNames ? names.size() : std::min(names.size(), kNamesShown);
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) text += (i > 0 ? ", " : "") + Quoted(DisplayNameUtf8(names[i]));
    if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more (--all-names lists them)";
    return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string StopText(const LoadingStop& stop) {
    return stop.line == 0 ? std::string() : "  loading stops at line " + std::to_string(stop.line) + ": " + stop.problem + "\n";
}

// "2 errors, 1 warning, 3 notes"; notes alone leave nothing to fix.
std::string Tally(const std::vector<LintWarning>& warnings) {
    std::array<std::size_t, 3> counts{};
    for (const LintWarning& warning : warnings) ++counts[static_cast<std::size_t>(warning.severity)];
    const std::array<std::string, 3> words = {Plural(counts[0], "error", "errors"), Plural(counts[1], "warning", "warnings"),
                                              Plural(counts[2], "note", "notes")};
    std::string tally;
    for (std::size_t i = 0; i < counts.size(); ++i)
        if (counts[i] > 0) tally += (tally.empty() ? "" : ", ") + words[i];
    if (counts[0] + counts[1] > 0) return tally;
    return "nothing to fix" + (tally.empty() ? std::string() : " (" + tally + ")");
}

// Text in the system's code pages, converted as the platform converts it.
class PlatformText : public CodePageText {
public:
    explicit PlatformText(UINT codePage) : codePage_(codePage) {}
    unsigned CodePage() const override { return codePage_; }
    std::wstring Widen(std::string_view bytes) const override { return Widened(bytes, codePage_); }
    // Names and lines of the file in their display form: a message never carries a control character.
    std::string Utf8(std::wstring_view text) const override { return DisplayNameUtf8(text); }
    bool Readable(std::string_view bytes) const override { return DecodeCodePage(bytes, codePage_).has_value(); }
    bool IsUtf8(std::string_view bytes) const override { return DecodeUtf8(bytes).has_value(); }
    // The count conversion of the plug-in's INI class: Automation's, in the invariant locale.
    std::optional<short> Count(const std::wstring& text) const override {
        SHORT value = 0;
        if (FAILED(::VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_INVARIANT, 0, &value))) return std::nullopt;
        return value;
    }
    std::wstring FoldLetterCase(std::wstring_view name) const override { return kvstcheck::FoldLetterCase(name); }

private:
    UINT codePage_;
};

}  // namespace

std::vector<LintWarning> FindLintWarnings(std::string_view bytes, UINT codePage, const LoadedStandard& loaded,
                                          LoadingStop* stop) {
    std::vector<LintWarning> warnings;
    const Decoding decoding = DecodingOf(bytes);
    std::string ansi;
    if (decoding == Decoding::Ansi) {
        ansi = bytes;
    } else {
        const std::wstring text = decoding == Decoding::Utf8ByteOrderMark
                                      ? DecodeUtf8(ValidUtf8(bytes.substr(3))).value_or(std::wstring())
                                      : DecodeUtf16(bytes, decoding == Decoding::Utf16Be);
        if (decoding == Decoding::Utf8ByteOrderMark)
            warnings.push_back(MakeLintWarning(1, LintRule::ByteOrderMark,
                                "the file begins with a UTF-8 byte order mark: Windows reads those bytes as text, so "
                                "a section header on line 1 is lost and names beyond ASCII arrive garbled (Wine "
                                "decodes it)",
                                "save the file in code page " + std::to_string(codePage) + " (ANSI) without a byte order mark"));
        WarnOfLostCharacters(text, codePage, warnings);
        ansi = ToCodePageAsThePlatformDoes(text, codePage);
    }
    const standards::ProfileImage image(ansi);
    const auto walked = WalkStandard(image, PlatformText(codePage), decoding == Decoding::Ansi, stop);
    warnings.insert(warnings.end(), walked.begin(), walked.end());
    if (ChecksNothing(loaded) && warnings.empty())
        warnings.push_back(MakeLintWarning(0, LintRule::LoadsNothing, "the plug-in does not load this file",
                                           "check that the file can be read"));
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const LintWarning& a, const LintWarning& b) { return a.line < b.line; });
    return warnings;
}

std::size_t LintReport::Problems() const {
    return static_cast<std::size_t>(std::count_if(warnings.begin(), warnings.end(), [](const LintWarning& warning) {
        return warning.severity != Severity::Note;
    }));
}

int LintReport::Status() const {
    if (!unreadable.empty()) return kBroken;
    return Problems() == 0 ? kNoFindings : kFindings;
}

std::optional<std::string> ReadStandardBytes(const std::wstring& path, std::string& problem) {
    const PathKind kind = KindOfPath(path);
    if (kind == PathKind::Missing) {
        problem = "the file does not exist";
        return std::nullopt;
    }
    if (kind == PathKind::Folder) {
        problem = "this is a folder, not a standard file";
        return std::nullopt;
    }
    const kv::FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        problem = "cannot open the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        problem = "this is a device, not a standard file";
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        problem = "cannot read the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > kLargestStandardFile) {
        problem = "the file is " + std::to_string(size.QuadPart >> 20) +
                  " MiB; a standard file is a text file of at most 64 MiB";
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
        problem = "cannot read the file: " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    return bytes;
}

LintReport LintStandardFile(const std::wstring& path) {
    std::string problem;
    const auto bytes = ReadStandardBytes(path, problem);
    if (bytes) return LintStandardBytes(path, *bytes, path);
    LintReport report;
    report.path = path;
    report.codePage = ::GetACP();
    report.unreadable = problem;
    return report;
}

LintReport LintStandardBytes(const std::wstring& shownPath, const std::string& bytes, const std::wstring& loadPath) {
    LintReport report;
    report.path = shownPath;
    report.codePage = ::GetACP();
    const Decoding decoding = DecodingOf(bytes);
    const bool utf16 = decoding == Decoding::Utf16Le || decoding == Decoding::Utf16Be;
    const auto binary = utf16 ? BinaryContent(std::wstring_view(DecodeUtf16(bytes, decoding == Decoding::Utf16Be)))
                              : BinaryContent(std::string_view(bytes));
    if (binary) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", *binary);
        report.unreadable = std::string("this is not a text file: it holds the control character ") + code +
                            " (binary content)";
        return report;
    }
    report.encoding = EncodingWords(decoding, report.codePage);
    report.loaded = LoadAsThePluginDoes(FullPath(loadPath));
    report.warnings = FindLintWarnings(bytes, report.codePage, report.loaded, &report.stop);
    return report;
}

std::string FormatLintText(const LintReport& report, bool allNames) {
    const std::string path = EncodeUtf8(report.path);
    std::string text = path + ": " + report.encoding + "\n";
    const LoadedStandard& loaded = report.loaded;
    if (!loaded.loaded) {
        text += "what the plug-in loads: nothing; it refuses this file, so every audit against it fails\n" + StopText(report.stop);
    } else if (ChecksNothing(loaded)) {
        text += "what the plug-in loads: no type name in [Type1], so it checks nothing\n" + StopText(report.stop);
    } else {
        text += "what the plug-in loads:\n" + StopText(report.stop);
        for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
            const auto& names = loaded.names[kind];
            text += std::string("  ") + kKindPlurals[kind] + ": ";
            if (!names) {
                const std::string& why = report.stop.unloaded[kind];
                text += (why.empty() ? std::string("no section, so every ") : "none (" + why + "): every ") +
                        kKindWords[kind] + " of a drawing is a finding\n";
                continue;
            }
            const auto empty = static_cast<std::size_t>(std::count(names->begin(), names->end(), std::wstring()));
            text += Plural(names->size(), "name", "names");
            if (empty > 0) text += " (" + std::to_string(empty) + " empty)";
            text += ": " + NamesText(*names, allNames) + "\n";
        }
        std::string types;
        for (const auto& typeName : loaded.typeNames)
            types += (types.empty() ? "" : ", ") + (typeName ? Quoted(DisplayNameUtf8(*typeName)) : std::string("(none)"));
        text += "  type names the host is given: " + types + "\n";
    }
    for (const LintWarning& warning : report.warnings) {
        text += path + (warning.line > 0 ? ":" + std::to_string(warning.line) : std::string()) + ": " +
                SeverityWord(warning.severity) + "[" + std::string(warning.Id()) + "]: " + warning.problem + "\n";
        text += "    fix: " + warning.fix + "\n";
    }
    return text + path + ": " + Tally(report.warnings) + "\n";
}

namespace {

using Json = nlohmann::ordered_json;

// An edit in JSON: its line, and the new text in UTF-8.
Json EditDocument(const LintEdit& edit, UINT codePage) {
    const std::string text = EncodeUtf8(Widened(edit.text, codePage));
    switch (edit.action) {
        case LintEdit::Action::Replace: return {{"line", edit.line}, {"replace", text}};
        case LintEdit::Action::Delete: return {{"line", edit.line}, {"delete", true}};
        case LintEdit::Action::InsertAfter: break;
    }
    return {{"line", edit.line}, {"insertAfter", text}};
}

Json LintDocument(const LintReport& report) {
    Json document = {{"schemaVersion", kLintSchemaVersion}, {"path", EncodeUtf8(report.path)}, {"status", report.Status()}};
    if (!report.unreadable.empty()) {
        document["error"] = report.unreadable;
        return document;
    }
    const LoadedStandard& loaded = report.loaded;
    document["codePage"] = report.codePage;
    document["encoding"] = report.encoding;
    document["loads"] = loaded.loaded;
    document["checksNothing"] = ChecksNothing(loaded);
    if (report.stop.line != 0) document["loadingStops"] = {{"line", report.stop.line}, {"why", report.stop.problem}};
    Json typeNames = Json::array();
    for (const auto& typeName : loaded.typeNames) typeNames.push_back(typeName ? Json(EncodeUtf8(*typeName)) : Json());
    document["typeNames"] = std::move(typeNames);
    Json kinds = Json::array();
    for (std::size_t kind = 0; kind < audit::kKindCount; ++kind) {
        Json entry = {{"kind", kKindPlurals[kind]},
                      {"label", EncodeUtf8(audit::kKinds[kind].label)},
                      {"typeName", EncodeUtf8(kTypeNames[kind])},
                      {"declared", loaded.names[kind].has_value()}};
        if (!loaded.names[kind] && !report.stop.unloaded[kind].empty()) entry["notLoaded"] = report.stop.unloaded[kind];
        Json names = Json::array();
        if (loaded.names[kind])
            for (const std::wstring& name : *loaded.names[kind]) names.push_back(EncodeUtf8(name));
        entry["names"] = std::move(names);
        kinds.push_back(std::move(entry));
    }
    document["kinds"] = std::move(kinds);
    Json warnings = Json::array();
    for (const LintWarning& warning : report.warnings) {
        Json entry = {{"rule", std::string(warning.Id())},
                      {"severity", SeverityWord(warning.severity)},
                      {"line", warning.line},
                      {"problem", warning.problem},
                      {"fix", warning.fix}};
        if (warning.edit) entry["edit"] = EditDocument(*warning.edit, report.codePage);
        warnings.push_back(std::move(entry));
    }
    document["warnings"] = std::move(warnings);
    return document;
}

std::string Dumped(const Json& document) { return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"; }

// One standard file's report as the run prints it; returns its status.
int PrintLint(const LintReport& report, const Options& options) {
    if (options.json) {
        WriteOut(Dumped(LintDocument(report)));
    } else if (!report.unreadable.empty()) {
        WriteError(EncodeUtf8(report.path) + ": " + report.unreadable);
    } else {
        WriteOut(FormatLintText(report, options.allNames));
    }
    return report.Status();
}

// Several standard files: each in turn; in JSON one document of them all.
int LintSeveral(const Options& options) {
    int status = kNoFindings;
    Json files = Json::array();
    for (const std::wstring& path : options.standards) {
        const LintReport report = LintStandardFile(path);
        status = std::max(status, report.Status());
        if (options.json) {
            files.push_back(LintDocument(report));
        } else {
            PrintLint(report, options);
        }
    }
    if (options.json) WriteOut(Dumped(Json{{"schemaVersion", kLintSchemaVersion}, {"files", std::move(files)}}));
    return status;
}

}  // namespace

std::string FormatLintJson(const LintReport& report) { return Dumped(LintDocument(report)); }

int Lint(const Options& options) {
    if (options.installed) return LintInstalled(options);
    if (options.standards.size() > 1) return LintSeveral(options);
    return PrintLint(LintStandardFile(options.standard), options);
}

}  // namespace kvstcheck
