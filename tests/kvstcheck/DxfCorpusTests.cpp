// The DXF reader's saved fuzzing corpus, replayed under the platform with the checks of the fuzz
// target: with the fuzz target's byte decoder and with the system's code pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/DxfReaderCheck.h"
#include "kvstcheck/readers/SystemTextDecoder.h"
#include "support/TempFolder.h"

namespace {

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kvtest::Wide(KV_DXF_CORPUS), error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(DxfCorpus, EveryInputKeepsTheReadersPromises) {
    const auto files = CorpusFiles();
    ASSERT_GE(files.size(), 10u) << "the corpus folder " << KV_DXF_CORPUS << " is missing or nearly empty";
    const fuzzcheck::ByteTextDecoder bytes;
    const kvstcheck::SystemTextDecoder system;
    for (const auto& file : files) {
        const std::string input = Bytes(file);
        EXPECT_EQ(fuzzcheck::CheckDxfReader(input, bytes), "") << kvtest::Utf8(file.wstring());
        EXPECT_EQ(fuzzcheck::CheckDxfReader(input, system), "") << kvtest::Utf8(file.wstring());
    }
}

}  // namespace
