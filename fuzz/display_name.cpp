// libFuzzer target: any bytes as a name of UTF-16 code units, through the display form and its checks.
#include <cstdio>
#include <cstdlib>

#include "DisplayNameCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken =
        fuzzcheck::CheckDisplayName(fuzzcheck::Utf16Units({reinterpret_cast<const char*>(data), size}));
    if (!broken.empty()) {
        std::fprintf(stderr, "display_name: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
