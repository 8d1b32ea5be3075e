// libFuzzer target: any bytes as a standard file, through the image and its checks.
#include <cstdio>
#include <cstdlib>

#include "StandardFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckStandardFile({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "standard_file: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
