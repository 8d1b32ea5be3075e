#pragma once
// The machine a Windows module is built for, from its PE header: an in-process plug-in loads only
// into a process of its own machine, and a clear message beats the loader's error. Portable C++.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvstcheck {

inline constexpr std::uint16_t kMachineX86 = 0x014C;
inline constexpr std::uint16_t kMachineX64 = 0x8664;

// The machine this program is built for.
#if defined(__x86_64__) || defined(_M_X64)
inline constexpr std::uint16_t kOwnMachine = kMachineX64;
#else
inline constexpr std::uint16_t kOwnMachine = kMachineX86;
#endif

// The Machine field of the PE file header found in the first bytes of a module file, or nothing
// when those bytes are no PE image or end before the field.
std::optional<std::uint16_t> PeMachine(std::string_view firstBytes);

// "32-bit (x86)", "64-bit (x64)", "ARM64", or "machine 0x01C4" for the rest.
std::string MachineName(std::uint16_t machine);

}  // namespace kvstcheck
