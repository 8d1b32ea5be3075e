#include "StandardFileCheck.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "standards/ProfileImage.h"

namespace fuzzcheck {
namespace {

using standards::ProfileEntry;
using standards::ProfileImage;
using standards::ProfileSection;

bool IsBlank(char c) { return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' '; }

std::string_view CString(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = Fold(c);
    return folded;
}

bool SameName(std::string_view stored, std::string_view wantedFolded) {
    stored = CString(stored);
    if (stored.size() != wantedFolded.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i)
        if (Fold(stored[i]) != wantedFolded[i]) return false;
    return true;
}

// The platform's lookup as a plain scan: the first section of the name, in it the first kept
// entry of the name.
const ProfileEntry* ScanFor(const ProfileImage& image, std::string_view section, std::string_view key) {
    if (image.Encoding() != standards::ProfileEncoding::Ansi) return nullptr;
    const std::string wantedSection = Folded(Trimmed(CString(section)));
    const std::string wantedKey = Folded(Trimmed(CString(key)));
    for (const ProfileSection& candidate : image.Sections()) {
        if (!SameName(candidate.name, wantedSection)) continue;
        for (const ProfileEntry& entry : image.EntriesOf(candidate))
            if (!entry.dropped && SameName(image.Name(entry), wantedKey)) return &entry;
        return nullptr;
    }
    return nullptr;
}

// Wine's copy into a buffer of size characters, written out step by step.
std::string CopyLikeThePlatform(std::string_view value, std::size_t size) {
    std::string text(CString(value));
    bool quoted = false;
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
        quoted = true;
        text.erase(0, 1);
    }
    std::string copy = text.substr(0, size - 1);
    if (quoted && size >= text.size() && !copy.empty()) copy.pop_back();
    return copy;
}

std::string Expected(const ProfileImage& image, const ProfileEntry* entry, std::string_view fallback, std::size_t size) {
    if (size == 0) return {};
    if (entry && entry->hasValue) return CopyLikeThePlatform(*image.Value(*entry), size);
    std::string text(CString(fallback));
    while (text.size() > 1 && text.back() == ' ') text.pop_back();
    return CopyLikeThePlatform(text, size);
}

std::string CheckStructure(const ProfileImage& image, std::string_view bytes) {
    const auto sections = image.Sections();
    if (sections.empty() || !sections[0].name.empty() || sections[0].line != 0)
        return "the text before the first header is not section 0";
    const std::uint32_t lines = static_cast<std::uint32_t>(std::count(bytes.begin(), bytes.end(), '\n') +
                                                           std::count(bytes.begin(), bytes.end(), '\r') + 1);
    std::uint32_t nextEntry = 0, lastLine = 0;
    for (const ProfileSection& section : sections) {
        if (section.firstEntry != nextEntry) return "sections do not hold the entries in file order";
        nextEntry += section.entryCount;
        if (&section != &sections[0] && (section.line <= lastLine || section.line > lines))
            return "section lines out of order";
        lastLine = std::max(lastLine, section.line);
        if (section.name != Trimmed(section.name)) return "section name not trimmed";
        for (const ProfileEntry& entry : image.EntriesOf(section)) {
            if (entry.line <= lastLine || entry.line > lines) return "entry lines out of order";
            lastLine = entry.line;
            const std::string_view name = image.Name(entry);
            const std::optional<std::string_view> value = image.Value(entry);
            if (name.find_first_of("\r\n") != std::string_view::npos) return "a name spans lines";
            if (value && value->find_first_of("\r\n") != std::string_view::npos) return "a value spans lines";
            if (name != Trimmed(name)) return "a name not trimmed";
            if (value && !value->empty() && IsBlank(value->front())) return "value not trimmed";
            if (name.empty() && !value) return "an empty line kept";
        }
    }
    for (const standards::DoubtAt& doubt : image.Doubts())
        if (doubt.line < 1 || doubt.line > lines) return "a doubt outside the file";
    return {};
}

// found marks, in the first section of each name, the first kept entry of each name: checked
// against a plain scan of the earlier sections and entries.
std::string CheckFoundEntries(const ProfileImage& image) {
    const auto sections = image.Sections();
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const std::string sectionName = Folded(CString(sections[s].name));
        const bool searched = std::none_of(sections.begin(), sections.begin() + static_cast<std::ptrdiff_t>(s),
                                           [&](const ProfileSection& earlier) { return SameName(earlier.name, sectionName); });
        const auto entries = image.EntriesOf(sections[s]);
        for (std::size_t e = 0; e < entries.size(); ++e) {
            const std::string name = Folded(CString(image.Name(entries[e])));
            const bool first = std::none_of(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(e), [&](const ProfileEntry& earlier) {
                return !earlier.dropped && SameName(image.Name(earlier), name);
            });
            if (entries[e].found != (searched && !entries[e].dropped && first)) return "an entry marked found wrongly";
        }
    }
    return {};
}

}  // namespace

std::string CheckStandardFile(std::string_view bytes) {
    const ProfileImage image{std::string(bytes)};
    if (std::string broken = CheckStructure(image, bytes); !broken.empty()) return broken;
    if (std::string broken = CheckFoundEntries(image); !broken.empty()) return broken;

    // Requests: the standard file's own names and every name in the file, padded and in other
    // letter case, with buffers around each answer's length.
    std::vector<std::string> sections = {"Common", "Type1", "", " "};
    std::vector<std::string> keys = {"TypeCount", "Type", "NameCount", "Name1", ""};
    for (const ProfileSection& section : image.Sections()) {
        if (sections.size() < 8) sections.emplace_back(CString(section.name));
        for (const ProfileEntry& entry : image.EntriesOf(section))
            if (keys.size() < 14) keys.emplace_back(CString(image.Name(entry)));
    }
    const std::size_t count = sections.size();
    for (std::size_t i = 0; i < count; ++i) sections.push_back(" \t" + Folded(sections[i]) + "\v");
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            const ProfileEntry* found = image.Find(section, key);
            const ProfileEntry* scanned = ScanFor(image, section, key);
            if (found != scanned) return "Find differs from a scan for [" + section + "] " + key;
            const std::size_t length = found && found->hasValue ? found->valueSize : 3;
            for (std::size_t size : {std::size_t{0}, std::size_t{1}, length, length + 1, length + 2,
                                     standards::kStandardReadBufferSize}) {
                const std::string answer = image.ReadString(section, key, "d \"", size);
                if (answer != Expected(image, scanned, "d \"", size))
                    return "ReadString differs from the platform's rules for [" + section + "] " + key;
                if (size > 0 && answer.size() >= size) return "an answer does not fit its buffer";
            }
        }
    }
    return {};
}

}  // namespace fuzzcheck
