#include "kvstcheck/runs/ModuleMachine.h"

#include <cstdio>
#include <cstring>

namespace kvstcheck {
namespace {

// The DOS header's "MZ", and at 0x3C the offset of "PE\0\0", which the machine word follows.
constexpr std::size_t kPeOffsetField = 0x3C;

template <class Word>
std::optional<Word> Read(std::string_view bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(Word)) return std::nullopt;
    Word value{};
    std::memcpy(&value, bytes.data() + offset, sizeof(Word));
    return value;
}

}  // namespace

std::optional<std::uint16_t> PeMachine(std::string_view firstBytes) {
    if (firstBytes.substr(0, 2) != "MZ") return std::nullopt;
    const auto peHeader = Read<std::uint32_t>(firstBytes, kPeOffsetField);
    if (!peHeader || *peHeader > firstBytes.size() || firstBytes.substr(*peHeader, 4) != std::string_view("PE\0\0", 4))
        return std::nullopt;
    return Read<std::uint16_t>(firstBytes, std::size_t{*peHeader} + 4);
}

std::string MachineName(std::uint16_t machine) {
    switch (machine) {
    case kMachineX86:
        return "32-bit (x86)";
    case kMachineX64:
        return "64-bit (x64)";
    case 0xAA64:
        return "ARM64";
    default:
        char text[16];
        std::snprintf(text, sizeof text, "machine 0x%04X", machine);
        return text;
    }
}

}  // namespace kvstcheck
