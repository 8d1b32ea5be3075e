// The standard file images kept per thread, started as the plug-in module starts them: reused only
// for the same bytes at the same path, kept apart between threads, freed when a thread ends and
// when the cache stops.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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

// A thread that runs what it is given, one call at a time, until it goes; it then ends its share of
// the cache, as the module's entry point does when a thread ends.
class Thread {
public:
    Thread() : thread_([this] { Serve(); }) {}
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() {
        Run(nullptr);
        thread_.join();
    }

    // Runs work on the thread and waits for it.
    void Run(std::function<void()> work) {
        std::unique_lock lock(mutex_);
        work_ = std::move(work);
        pending_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !pending_; });
    }

private:
    void Serve() {
        for (;;) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return pending_; });
            const bool last = !work_;
            if (work_) work_();
            pending_ = false;
            changed_.notify_all();
            if (last) break;
        }
        cache::EndThread();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> work_;
    bool pending_ = false;
    std::thread thread_;
};

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

TEST_F(ThreadImageCacheTest, EachThreadKeepsItsOwnImage) {
    Thread first, second;
    Image firstImage, secondImage, firstAgain, secondAgain;
    kvtest::WriteFileBytes(file, kWalls);
    first.Run([&] { firstImage = standards::FileImage::Read(file); });
    kvtest::WriteFileBytes(file, kDoors);
    second.Run([&] { secondImage = standards::FileImage::Read(file); });
    ASSERT_NE(firstImage, nullptr);
    ASSERT_NE(secondImage, nullptr);
    EXPECT_EQ(SecondLayer(secondImage), "Doors");

    // The second thread's load of other bytes left the first thread's image alone, and the first
    // thread's image is not handed to the second.
    kvtest::WriteFileBytes(file, kWalls);
    first.Run([&] { firstAgain = standards::FileImage::Read(file); });
    second.Run([&] { secondAgain = standards::FileImage::Read(file); });
    EXPECT_EQ(firstAgain, firstImage);
    ASSERT_NE(secondAgain, nullptr);
    EXPECT_NE(secondAgain, firstImage);
    EXPECT_EQ(SecondLayer(secondAgain), "Walls");
}

TEST_F(ThreadImageCacheTest, AThreadsImageGoesWhenTheThreadEndsAndEveryImageWhenTheCacheStops) {
    kvtest::WriteFileBytes(file, kWalls);
    std::weak_ptr<const standards::FileImage> ended, running;
    {
        Thread thread;
        thread.Run([&] { ended = standards::FileImage::Read(file); });
        EXPECT_FALSE(ended.expired());
    }
    EXPECT_TRUE(ended.expired());

    Thread thread;
    thread.Run([&] { running = standards::FileImage::Read(file); });
    EXPECT_FALSE(running.expired());
    cache::Stop(false);
    EXPECT_TRUE(running.expired());
    // Stopped, the cache keeps nothing: each load makes its own image.
    thread.Run([&] {
        std::weak_ptr<const standards::FileImage> image = standards::FileImage::Read(file);
        EXPECT_TRUE(image.expired());
    });
}

}  // namespace
