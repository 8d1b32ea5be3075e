#include "support/TypeLibraryImage.h"

#include <cstring>
#include <stdexcept>

namespace kvtest {
namespace {

// Layout of the image: a fixed header, an optional help-DLL word, one offset per type, then the
// directory of 15 segments (offset, length, two reserved words each).
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::uint32_t kHelpDllFlag = 0x100;
constexpr std::size_t kSegmentCount = 15;
constexpr std::size_t kTypeInfoSegment = 0;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kNameSegment = 7;
constexpr std::size_t kTypeEntrySize = 0x64;

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    std::uint32_t Word(std::size_t offset) const {
        std::uint32_t value = 0;
        std::memcpy(&value, Bytes(offset, 4).data(), 4);
        return value;
    }
    std::string_view Bytes(std::size_t offset, std::size_t length) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            throw std::runtime_error("type library image: field at " + std::to_string(offset) + " lies past the end");
        return bytes_.substr(offset, length);
    }

private:
    std::string_view bytes_;
};

}  // namespace

StoredTypeLibrary ReadStoredTypeLibrary(std::string_view image) {
    const Reader read(image);
    if (read.Bytes(0, 4) != "MSFT") throw std::runtime_error("type library image: no MSFT signature");
    StoredTypeLibrary library;
    const std::uint32_t headerFlags = read.Word(0x14);
    library.sysKind = headerFlags & 0xF;
    library.lcid = read.Word(0x0C);
    library.registeredLcid = read.Word(0x10);
    library.libFlags = read.Word(0x1C);
    const std::uint32_t typeCount = read.Word(0x20);

    const std::size_t typeOffsets = kHeaderSize + ((headerFlags & kHelpDllFlag) ? 4 : 0);
    const std::size_t segments = typeOffsets + std::size_t{4} * typeCount;
    auto segmentStart = [&](std::size_t index) { return std::size_t{read.Word(segments + index * 16)}; };
    read.Bytes(segments, kSegmentCount * 16);

    for (std::uint32_t i = 0; i < typeCount; ++i) {
        const std::size_t entry = segmentStart(kTypeInfoSegment) + read.Word(typeOffsets + std::size_t{4} * i);
        read.Bytes(entry, kTypeEntrySize);
        StoredType type;
        type.kind = read.Word(entry) & 0xF;
        type.guid = std::string(read.Bytes(segmentStart(kGuidSegment) + read.Word(entry + 0x2C), 16));
        type.flags = read.Word(entry + 0x30);
        // A name entry: its hash link words, then its length in the low byte, then the characters.
        const std::size_t name = segmentStart(kNameSegment) + read.Word(entry + 0x34);
        type.name = std::string(read.Bytes(name + 12, read.Word(name + 8) & 0xFF));
        library.types.push_back(std::move(type));
    }
    return library;
}

}  // namespace kvtest
