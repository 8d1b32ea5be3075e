// libFuzzer target: a pattern and a name, through the rules' matcher and its checks.
#include <cstdio>
#include <cstdlib>

#include "NamePatternCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckNamePattern({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "name_pattern: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
