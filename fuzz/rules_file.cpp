// libFuzzer target: any bytes as a rules file, through the loader, lint and the checks of a drawing.
#include <cstdio>
#include <cstdlib>

#include "RulesFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, unsigned long size) {
    const std::string broken = fuzzcheck::CheckRulesFile({reinterpret_cast<const char*>(data), size});
    if (!broken.empty()) {
        std::fprintf(stderr, "rules_file: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
