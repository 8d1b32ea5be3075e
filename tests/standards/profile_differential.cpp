// The long run of the differential test: profile_differential --first N --count M runs generated
// cases N to N + M - 1 and prints every disagreement; exit status 1 when there is one.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/TempFolder.h"
#include "tests/standards/ProfileDifferential.h"

int main(int argc, char** argv) {
    unsigned long first = 1, count = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(argv[i + 1], &end, 10);
        if (*end != '\0') {
            std::fprintf(stderr, "not a number: %s\n", argv[i + 1]);
            return 2;
        }
        if (std::strcmp(argv[i], "--first") == 0) first = value;
        else if (std::strcmp(argv[i], "--count") == 0) count = value;
        else {
            std::fprintf(stderr, "usage: profile_differential [--first N] [--count M]\n");
            return 2;
        }
    }
    kvtest::TempFolder folder;
    constexpr unsigned long kBlock = 100;
    std::size_t found = 0;
    for (unsigned long done = 0; done < count; done += kBlock) {
        const unsigned long block = count - done < kBlock ? count - done : kBlock;
        for (const std::string& line : standardstest::RunDifferential(static_cast<std::uint32_t>(first + done),
                                                                      static_cast<std::uint32_t>(block), folder.path())) {
            std::printf("%s\n", line.c_str());
            ++found;
        }
        std::printf("cases %lu to %lu done, %zu disagreements so far\n", first, first + done + block - 1, found);
        std::fflush(stdout);
    }
    return found == 0 ? 0 : 1;
}
