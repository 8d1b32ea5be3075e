#include "kvstcheck/runs/ModuleMachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using kvstcheck::MachineName;
using kvstcheck::PeMachine;

// The start of a module file: "MZ", the PE header's offset at 0x3C, "PE\0\0" there, then the machine.
std::string ModuleStart(std::uint16_t machine, std::uint32_t peOffset = 0x80) {
    std::string bytes(peOffset + 24, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    std::memcpy(bytes.data() + 0x3C, &peOffset, 4);
    std::memcpy(bytes.data() + peOffset, "PE\0\0", 4);
    std::memcpy(bytes.data() + peOffset + 4, &machine, 2);
    return bytes;
}

TEST(ModuleMachine, ReadsTheMachineOfEachArchitecture) {
    for (std::uint16_t machine : {kvstcheck::kMachineX86, kvstcheck::kMachineX64, std::uint16_t{0xAA64}}) {
        EXPECT_EQ(PeMachine(ModuleStart(machine)), machine) << machine;
        EXPECT_EQ(PeMachine(ModuleStart(machine, 0x40)), machine) << machine;
    }
}

TEST(ModuleMachine, BytesThatAreNoPeImageHaveNoMachine) {
    const std::string good = ModuleStart(kvstcheck::kMachineX64);
    std::string noMz = good, noPe = good, farPeOffset = good;
    noMz[0] = 'X';
    noPe[0x81] = 'X';
    const std::uint32_t beyond = 0x7FFFFFFF;
    std::memcpy(farPeOffset.data() + 0x3C, &beyond, 4);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"no MZ", noMz},
        {"no PE signature", noPe},
        {"PE offset past the bytes", farPeOffset},
        {"cut before the PE offset", good.substr(0, 0x3E)},
        {"cut inside the signature", good.substr(0, 0x82)},
        {"cut before the machine", good.substr(0, 0x85)},
        {"text", "plain text, no module"},
    };
    for (const auto& c : cases) EXPECT_EQ(PeMachine(c.bytes), std::nullopt) << c.what;
}

TEST(ModuleMachine, NamesSayTheArchitecture) {
    EXPECT_EQ(MachineName(kvstcheck::kMachineX86), "32-bit (x86)");
    EXPECT_EQ(MachineName(kvstcheck::kMachineX64), "64-bit (x64)");
    EXPECT_EQ(MachineName(0xAA64), "ARM64");
    EXPECT_EQ(MachineName(0x01C4), "machine 0x01C4");
#ifdef _WIN64
    EXPECT_EQ(kvstcheck::kOwnMachine, kvstcheck::kMachineX64);
#else
    EXPECT_EQ(kvstcheck::kOwnMachine, kvstcheck::kMachineX86);
#endif
}

}  // namespace
