#include "DxfReaderCheck.h"

#include <algorithm>
#include <array>
#include <exception>
#include <variant>
#include <vector>

#include "kvstcheck/readers/DxfReader.h"
#include "kvstcheck/readers/InputError.h"

namespace fuzzcheck {
namespace {

// A reading's outcome: the drawing, or the error's line and message.
using Outcome = std::variant<kvstcheck::DrawingContent, std::pair<int, std::string>>;

bool SameOutcome(const Outcome& a, const Outcome& b) {
    if (a.index() != b.index()) return false;
    if (const auto* content = std::get_if<kvstcheck::DrawingContent>(&a)) {
        const auto& other = std::get<kvstcheck::DrawingContent>(b);
        return content->names == other.names && content->warnings == other.warnings && content->lines == other.lines;
    }
    return std::get<1>(a) == std::get<1>(b);
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

// A file read in one piece, and in pieces small enough to split every line and the binary marker.
constexpr std::size_t kWholePieces = std::size_t(1) << 30;
constexpr std::size_t kSmallPieces[] = {1, 5};

// The binary DXF marker is found by its place in the first bytes, so those stay as they are.
constexpr std::size_t kMarkerLength = 22;

std::string WithCrLf(std::string_view bytes) {
    std::string converted(bytes.substr(0, kMarkerLength));
    converted.reserve(bytes.size() + bytes.size() / 8);
    for (std::size_t i = converted.size(); i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) converted += '\r';
        converted += bytes[i];
    }
    return converted;
}

// One line per name, each a value line of the file, in file order within a kind.
std::string CheckNameLines(const kvstcheck::DrawingContent& content, int lineCount) {
    const std::array<const std::vector<std::wstring>*, 4> names = {&content.names.layers, &content.names.linetypes,
                                                                   &content.names.textStyles, &content.names.dimStyles};
    for (std::size_t kind = 0; kind < names.size(); ++kind) {
        const std::vector<int>& lines = content.lines[kind];
        if (lines.size() != names[kind]->size()) return "not one line per name";
        if (!std::is_sorted(lines.begin(), lines.end()) || std::adjacent_find(lines.begin(), lines.end()) != lines.end())
            return "names' lines out of file order";
        if (!lines.empty() && (lines.front() < 2 || lines.back() > lineCount)) return "a name's line outside the file";
    }
    return {};
}

}  // namespace

bool ByteTextDecoder::Knows(unsigned codePage) const { return codePage != 0; }

std::optional<std::wstring> ByteTextDecoder::Decode(std::string_view bytes, unsigned codePage) const {
    std::wstring text;
    if (codePage == kvstcheck::kUtf8CodePage) {
        if (!IsUtf8(bytes)) return std::nullopt;
        for (const char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        return text;
    }
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) == 0xFF) return std::nullopt;
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return text;
}

std::string CheckDxfReader(std::string_view bytes, const kvstcheck::TextDecoder& decoder) {
    const auto lines = static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    const auto read = [&decoder, lines](std::string_view input, std::string& broken,
                                        std::size_t pieceSize = kWholePieces) -> Outcome {
        try {
            kvstcheck::DxfMemoryBytes pieces(input, pieceSize);
            return kvstcheck::ReadDxf(pieces, decoder);
        } catch (const kvstcheck::InputError& error) {
            if (error.line() < 0 || error.line() > lines) broken = "an error names line " + std::to_string(error.line());
            if (!IsUtf8(error.what())) broken = "an error message is not UTF-8";
            return std::pair<int, std::string>(error.line(), error.what());
        } catch (const std::exception& error) {
            broken = std::string("an exception other than InputError: ") + error.what();
            return std::pair<int, std::string>(-1, broken);
        }
    };
    std::string broken;
    const Outcome plain = read(bytes, broken);
    if (!broken.empty()) return broken;
    if (const auto* content = std::get_if<kvstcheck::DrawingContent>(&plain)) {
        if (content->names.total() > static_cast<std::size_t>(lines / 2)) return "more names than pairs in the file";
        for (const std::string& warning : content->warnings)
            if (!IsUtf8(warning)) return "a warning is not UTF-8";
        if (const std::string wrong = CheckNameLines(*content, lines); !wrong.empty()) return wrong;
    }
    const Outcome crLf = read(WithCrLf(bytes), broken);
    if (!broken.empty()) return broken + " (with CR LF line ends)";
    if (!SameOutcome(plain, crLf)) return "CR LF line ends read differently";
    for (const std::size_t pieceSize : kSmallPieces) {
        const Outcome pieces = read(bytes, broken, pieceSize);
        if (!broken.empty()) return broken + " (in pieces of " + std::to_string(pieceSize) + " bytes)";
        if (!SameOutcome(plain, pieces)) return "pieces of " + std::to_string(pieceSize) + " bytes read differently";
    }
    return {};
}

}  // namespace fuzzcheck
