// The facts a forwarded report carries: the standard file's fingerprint and the time it was made.
#include "kvstcheck/reports/RunFacts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kvstcheck/reports/Sha256.h"
#include "support/TempFolder.h"

namespace {

using kvstcheck::Sha256Hex;

TEST(Sha256, KnownVectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"The quick brown fox jumps over the lazy dog",
         "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"},
    };
    for (const auto& [bytes, digest] : cases) EXPECT_EQ(Sha256Hex(bytes), digest) << bytes.size() << " bytes";
    // The portable code, which a processor without SHA instructions runs, gives them too.
    for (const auto& [bytes, digest] : cases) {
        kvstcheck::Sha256 portable(kvstcheck::Sha256::Engine::Portable);
        portable.Update(bytes);
        EXPECT_EQ(portable.FinishHex(), digest) << bytes.size() << " bytes";
    }
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    std::mt19937 random(256);
    for (const std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        kvstcheck::Sha256 pieces;
        for (std::size_t at = 0; at < length;) {
            const std::size_t take = std::min<std::size_t>(random() % 70, length - at);
            pieces.Update(std::string_view(bytes).substr(at, take));
            at += take;
        }
        EXPECT_EQ(pieces.FinishHex(), Sha256Hex(bytes)) << length;
    }
}

// Many blocks at once, as a file is hashed while it is read: both engines agree on every length.
TEST(Sha256, BothEnginesAgreeOnManyBlocks) {
    std::mt19937 random(64);
    std::string bytes(300000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    for (const std::size_t length : {std::size_t{64}, std::size_t{4096}, std::size_t{65537}, bytes.size()}) {
        std::string digests[2];
        for (const auto engine : {kvstcheck::Sha256::Engine::Fastest, kvstcheck::Sha256::Engine::Portable}) {
            kvstcheck::Sha256 hash(engine);
            hash.Update(std::string_view(bytes).substr(0, length / 3));
            hash.Update(std::string_view(bytes).substr(length / 3, length - length / 3));
            digests[engine == kvstcheck::Sha256::Engine::Portable] = hash.FinishHex();
        }
        EXPECT_EQ(digests[0], digests[1]) << length;
    }
}

TEST(RunFacts, LocalTimeWithItsOffset) {
    const std::pair<kvstcheck::LocalTime, std::string> cases[] = {
        {{2026, 12, 8, 12, 30, 5, 480}, "2026-12-08 12:30:05 UTC+08:00"},
        {{2026, 1, 31, 0, 0, 0, 0}, "2026-01-31 00:00:00 UTC+00:00"},
        {{2025, 7, 4, 23, 59, 59, -570}, "2025-07-04 23:59:59 UTC-09:30"},
        {{2024, 3, 1, 6, 5, 4, 345}, "2024-03-01 06:05:04 UTC+05:45"},
    };
    for (const auto& [time, text] : cases) EXPECT_EQ(kvstcheck::FormatLocalTime(time), text);
}

TEST(RunFacts, TheStandardFilesSizeAndDigest) {
    const kvtest::TempFolder folder;
    const std::wstring path = folder.path() + L"\\standard.ini";
    const std::string content = "[Common]\r\nTypeCount=1\r\n" + std::string(70000, 'x');
    std::ofstream(std::filesystem::path(path), std::ios::binary) << content;
    const kvstcheck::RunFacts facts = kvstcheck::GatherFacts({}, &content);
    ASSERT_TRUE(facts.standardSize.has_value());
    EXPECT_EQ(*facts.standardSize, content.size());
    EXPECT_EQ(facts.standardSha256, Sha256Hex(content));
    EXPECT_EQ(facts.toolVersion, kvstcheck::ToolVersion());
    EXPECT_FALSE(facts.when.empty());

    const kvstcheck::RunFacts missing = kvstcheck::GatherFacts(path + L".missing", nullptr);
    EXPECT_FALSE(missing.standardSize.has_value());
    EXPECT_EQ(missing.standardSha256, "");
    EXPECT_EQ(missing.pluginVersion, "");
    // A file with no version resource has no file version.
    EXPECT_EQ(kvstcheck::ModuleFileVersion(path), "");
}

}  // namespace
