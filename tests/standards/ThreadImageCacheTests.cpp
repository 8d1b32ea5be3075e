// The standard file images kept per thread, started as the plug-in module starts them: reused only
// for the same bytes at the same path, and kept apart between threads. Their release at thread end
// and unload is tested through the module (tests/audit/KeptImageTests.cpp).
#include <gtest/gtest.h>

#include <barrier>
#include <memory>
#include <thread>

#include "standards/FileImage.h"
#include "standards/ThreadImageCache.h"
#include "support/TempFolder.h"
#include "tests/standards/LoadedMembers.h"

namespace {

namespace cache = standards::thread_image_cache;
using Image = std::shared_ptr<const standards::FileImage>;
using standardstest::IniLines;

std::string Standard(std::string_view secondLayer) {
    return IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=2", "Name1=0",
                     "Name2=" + std::string(secondLayer)});
}

// Bytes of the same size that differ in one name.
const std::string kWalls = Standard("Walls");
const std::string kDoors = Standard("Doors");

std::string SecondLayer(const Image& image) { return std::string(image->Answer("Type1", "Name2", "")); }

class ThreadImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(cache::Start()); }
    void TearDown() override { cache::Stop(false); }

    kvtest::TempFolder folder;
    std::wstring file = folder / L"KVStPluginDefault.ini";
};

TEST_F(ThreadImageCacheTest, TheImageIsReusedOnlyForTheSameBytesAtTheSamePath) {
    const std::wstring other = folder / L"other.ini";
    const struct Step {
        const char* what;
        std::wstring path;
        std::string bytes;
        bool reused;
    } steps[] = {
        {"the same bytes again", file, kWalls, true},
        {"an edit of the same size", file, kDoors, false},
        {"the edit again", file, kDoors, true},
        {"the first bytes back", file, kWalls, false},
        {"the same bytes at another path", other, kWalls, false},
        {"one byte more at the end", other, kWalls + ";", false},
        {"one byte less", other, kWalls, false},
    };
    kvtest::WriteFileBytes(file, kWalls);
    Image kept = standards::FileImage::Read(file);
    ASSERT_NE(kept, nullptr);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        kvtest::WriteFileBytes(step.path, step.bytes);
        Image image = standards::FileImage::Read(step.path);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image == kept, step.reused);
        EXPECT_EQ(image->Bytes(), step.bytes);
        EXPECT_EQ(SecondLayer(image), step.bytes == kDoors ? "Doors" : "Walls");
        // The thread holds one image: the one it replaced is gone.
        const std::weak_ptr<const standards::FileImage> replaced = std::exchange(kept, std::move(image));
        EXPECT_EQ(replaced.expired(), !step.reused);
    }
}

TEST_F(ThreadImageCacheTest, AFileWhoseAnswersAreUncertainGetsNoImageUntilItsBytesAreCertainAgain) {
    kvtest::WriteFileBytes(file, kWalls);
    ASSERT_NE(standards::FileImage::Read(file), nullptr);
    // A UTF-8 byte order mark is read differently by the platforms: the platform answers.
    kvtest::WriteFileBytes(file, "\xEF\xBB\xBF" + kWalls);
    EXPECT_EQ(standards::FileImage::Read(file), nullptr);
    EXPECT_EQ(standards::FileImage::Read(file), nullptr) << "no image was kept for it";
    kvtest::WriteFileBytes(file, kDoors);
    const Image doors = standards::FileImage::Read(file);
    ASSERT_NE(doors, nullptr);
    EXPECT_EQ(SecondLayer(doors), "Doors");
    EXPECT_EQ(standards::FileImage::Read(file), doors);
}

TEST_F(ThreadImageCacheTest, EachThreadKeepsItsOwnImageWhileAnotherLoadsOtherBytes) {
    const std::wstring other = folder / L"other.ini";
    kvtest::WriteFileBytes(file, kWalls);
    kvtest::WriteFileBytes(other, kDoors);
    Image walls, wallsAgain, doors, doorsAgain;
    // In turn: the first thread loads, the second loads, then both load again at once.
    std::barrier turn(2);
    std::thread first([&] {
        walls = standards::FileImage::Read(file);
        turn.arrive_and_wait();
        turn.arrive_and_wait();
        wallsAgain = standards::FileImage::Read(file);
    });
    std::thread second([&] {
        turn.arrive_and_wait();
        doors = standards::FileImage::Read(other);
        turn.arrive_and_wait();
        doorsAgain = standards::FileImage::Read(other);
    });
    first.join();
    second.join();
    ASSERT_NE(walls, nullptr);
    ASSERT_NE(doors, nullptr);
    EXPECT_EQ(wallsAgain, walls);
    EXPECT_EQ(doorsAgain, doors);
    EXPECT_EQ(SecondLayer(walls), "Walls");
    EXPECT_EQ(SecondLayer(doors), "Doors");
}

}  // namespace
