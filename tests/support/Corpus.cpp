#include "support/Corpus.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/TempFolder.h"

namespace kvtest {

std::vector<CorpusInput> ReadCorpus(const std::string& folder) {
    std::vector<CorpusInput> inputs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Wide(folder), error)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        inputs.push_back({Utf8(entry.path().filename().wstring()),
                          std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())});
    }
    return inputs;
}

}  // namespace kvtest
