#include "kvstcheck/selection/FileList.h"

#include "kvstcheck/CodePoints.h"

namespace kvstcheck {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The length of the UTF-8 sequence at text[at], or 0 when none starts there (overlong forms,
// surrogates and values above U+10FFFF are none).
std::size_t Utf8Sequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    const unsigned second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

std::string NotText(std::size_t line, bool utf8) {
    return "line " + std::to_string(line) + (utf8 ? " is not UTF-8 text (a list in UTF-16 needs its byte order mark)"
                                                  : " is not UTF-16 text");
}

void CheckUtf8(std::string_view text) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8Sequence(text, at);
        if (length == 0) throw FileListError(NotText(line, true));
        line += text[at] == '\n';
        at += length;
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) throw FileListError("the UTF-16 text ends in half a character");
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto high = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto low = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        return static_cast<char32_t>(high << 8 | low);
    };
    std::string text;
    std::size_t line = 1;
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            throw FileListError(NotText(line, false));
        line += c == U'\n';
        AppendUtf8(text, c);
    }
    return text;
}

std::string AsUtf8(std::string_view bytes) {
    if (bytes.starts_with(kUtf16LeMark)) return Utf16ToUtf8(bytes.substr(kUtf16LeMark.size()), false);
    if (bytes.starts_with(kUtf16BeMark)) return Utf16ToUtf8(bytes.substr(kUtf16BeMark.size()), true);
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    CheckUtf8(bytes);
    return std::string(bytes);
}

}  // namespace

std::vector<std::string> ParseFileList(std::string_view bytes) {
    const std::string text = AsUtf8(bytes);
    std::vector<std::string> paths;
    std::size_t line = 0;
    for (std::size_t start = 0; start < text.size();) {
        ++line;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view path(text.data() + start, end - start);
        // CR CR LF too, as an editor that adds a CR to every LF writes CR LF lines.
        while (path.ends_with('\r')) path.remove_suffix(1);
        if (path.find('\0') != std::string_view::npos)
            throw FileListError("line " + std::to_string(line) + " holds a NUL character");
        if (!path.empty()) paths.emplace_back(path);
        start = end + 1;
    }
    return paths;
}

}  // namespace kvstcheck
