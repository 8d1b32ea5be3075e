// libFuzzer target: any bytes as a standard file, through lint's walk and its checks.
#include <cstdio>
#include <cstdlib>

#include "StandardLintCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckStandardLint({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "standard_lint: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
