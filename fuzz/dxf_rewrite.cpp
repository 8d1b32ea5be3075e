// libFuzzer target: any bytes as an ASCII DXF drawing, fixed with renames its first byte picks.
#include <cstdio>
#include <cstdlib>

#include "DxfRewriteCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    static const fuzzcheck::ByteTextCodec codec;
    const std::string broken = fuzzcheck::CheckDxfRewrite({reinterpret_cast<const char*>(data), size}, codec);
    if (!broken.empty()) {
        std::fprintf(stderr, "dxf_rewrite: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
