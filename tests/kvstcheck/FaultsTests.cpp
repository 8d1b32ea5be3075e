#include "kvstcheck/runs/Faults.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace {

void AFunctionOfThisModule() {}

TEST(Faults, TheModuleIsNamedByItsFileAndTheFaultByItsOffsetInIt) {
    const void* address = reinterpret_cast<const void*>(&AFunctionOfThisModule);
    const auto offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "a fault in kvstcheck_unit_tests.exe (exception 0xC0000005 at offset 0x%llX)",
                  static_cast<unsigned long long>(offset));
    EXPECT_EQ(kvstcheck::DescribeFault(EXCEPTION_ACCESS_VIOLATION, address), expected);
}

TEST(Faults, AnAddressOutsideEveryModuleIsGivenWhole) {
    const void* unmapped = reinterpret_cast<const void*>(std::uintptr_t{0x10});
    const std::string expected = sizeof(void*) == 8 ? "0x0000000000000010" : "0x00000010";
    EXPECT_EQ(kvstcheck::DescribeFault(EXCEPTION_STACK_OVERFLOW, unmapped),
              "a fault outside any module (exception 0xC00000FD at " + expected + ")");
}

}  // namespace
