// libFuzzer target: any bytes as a list of drawings (--files-from), through the portable parse.
#include <cstdio>
#include <cstdlib>

#include "RunInputsCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckFileList({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "file_list: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
