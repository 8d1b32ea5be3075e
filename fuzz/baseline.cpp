// libFuzzer target: any bytes as a baseline of accepted findings, read, written and read back.
#include <cstdio>
#include <cstdlib>

#include "RunInputsCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckBaseline({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "baseline: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
