// libFuzzer target: any bytes as an ASCII DXF drawing, through the portable reader and its checks.
#include <cstdio>
#include <cstdlib>

#include "DxfReaderCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    static const fuzzcheck::ByteTextDecoder decoder;
    const std::string broken = fuzzcheck::CheckDxfReader({reinterpret_cast<const char*>(data), size}, decoder);
    if (!broken.empty()) {
        std::fprintf(stderr, "dxf_reader: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
