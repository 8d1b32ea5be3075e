// The standard file images kept per thread, started as the plug-in module starts them: reused only
// for the same bytes at the same path, and kept apart between threads. Their release at thread end
// and unload is tested through the module (tests/audit/KeptImageTests.cpp).
#include <gtest/gtest.h>

#include <future>
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

// A standard of several hundred kilobytes, read again in pieces: a change anywhere, in any piece,
// and a change of length at the end, are seen.
TEST_F(ThreadImageCacheTest, ALargeFileIsReusedOnlyWhenEveryByteIsTheSame) {
    std::string large = kWalls;
    for (int line = 0; line < 10'000; ++line) large += "; a comment line of thirty bytes\r\n";
    const auto changedAt = [&](std::size_t at) {
        std::string changed = large;
        changed[at] = '#';
        return changed;
    };
    const struct Step {
        const char* what;
        std::string bytes;
        bool reused;
    } steps[] = {
        {"the same bytes again", large, true},
        {"a byte changed in the first piece", changedAt(kWalls.size()), false},
        {"the first bytes back", large, false},
        {"a byte changed well past the first piece", changedAt(200'002), false},
        {"the same again", changedAt(200'002), true},
        {"a byte changed just before the end", changedAt(large.size() - 3), false},
        {"one byte more at the end", changedAt(large.size() - 3) + ";", false},
        {"that byte gone again", changedAt(large.size() - 3), false},
    };
    kvtest::WriteFileBytes(file, large);
    Image kept = standards::FileImage::Read(file);
    ASSERT_NE(kept, nullptr);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        kvtest::WriteFileBytes(file, step.bytes);
        Image image = standards::FileImage::Read(file);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image == kept, step.reused);
        EXPECT_TRUE(image->Bytes() == step.bytes);
        EXPECT_EQ(SecondLayer(image), "Walls");
        kept = std::move(image);
    }
}

// What the loader made of the kept image is given again, its lists sharing their names and lookup
// index; other bytes are loaded afresh, and a failing file fails every time.
TEST_F(ThreadImageCacheTest, ALoadOfTheKeptImageIsTheKeptLoad) {
    standardstest::LoadedMembers members;
    const auto load = [&] { return standards::LoadStandardFile(file, members.IniFuncs); };
    kvtest::WriteFileBytes(file, kWalls);
    const standards::StandardLoad first = load();
    const standards::StandardLoad again = load();
    ASSERT_TRUE(again.loaded);
    const standards::NameView& layers = again.kinds[0].names;
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[1], L"Walls");
    ASSERT_NE(layers.Index(), nullptr);
    EXPECT_EQ(layers.Index(), first.kinds[0].names.Index());
    EXPECT_EQ(layers[1].data(), first.kinds[0].names[1].data());

    kvtest::WriteFileBytes(file, kDoors);
    const standards::StandardLoad doors = load();
    ASSERT_TRUE(doors.loaded);
    EXPECT_EQ(doors.kinds[0].names[1], L"Doors");
    EXPECT_NE(doors.kinds[0].names.Index(), layers.Index());
    EXPECT_EQ(layers[1], L"Walls") << "a list kept by an object outlives the thread's kept load";

    const std::string failing = IniLines({"[Common]", "TypeCount=1", "[Type1]", "Type=AcadLayer", "NameCount=0"});
    kvtest::WriteFileBytes(file, failing);
    EXPECT_FALSE(load().loaded);
    EXPECT_FALSE(load().loaded);
}

TEST(ThreadImageCacheOffTest, LoadsOutsideTheModuleAreNotIndexed) {
    kvtest::TempFolder folder;
    const std::wstring file = folder / L"KVStPluginDefault.ini";
    kvtest::WriteFileBytes(file, kWalls);
    standardstest::LoadedMembers members;
    const standards::StandardLoad load = standards::LoadStandardFile(file, members.IniFuncs);
    ASSERT_TRUE(load.loaded);
    EXPECT_EQ(load.kinds[0].names.Index(), nullptr);
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
    // In turn: the first thread loads, the second loads, then both load again at once. (Promises, not
    // std::barrier: this compiler's library can lose a barrier's wake-up on Windows and hang.)
    std::promise<void> firstLoaded, secondLoaded;
    std::future<void> firstDone = firstLoaded.get_future(), secondDone = secondLoaded.get_future();
    std::thread first([&] {
        walls = standards::FileImage::Read(file);
        firstLoaded.set_value();
        secondDone.wait();
        wallsAgain = standards::FileImage::Read(file);
    });
    std::thread second([&] {
        firstDone.wait();
        doors = standards::FileImage::Read(other);
        secondLoaded.set_value();
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
