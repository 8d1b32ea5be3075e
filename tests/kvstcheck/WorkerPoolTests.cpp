// The run's workers: every drawing audited once, on threads of their own apartments, the results
// taken in the drawings' order, a bounded number waiting for a slow one, a failure stopping the run.
#include "kvstcheck/runs/WorkerPool.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kvstcheck/runs/SetupError.h"

namespace {

using kvstcheck::DrawingResult;
using kvstcheck::PluginSource;
using kvstcheck::WalkEntry;

// What the workers did, seen from the test.
struct Log {
    std::mutex mutex;
    std::vector<std::thread::id> sourceThreads;  // one per ForThisThread call
    bool everySourceInItsOwnApartment = true;
    std::multiset<std::wstring> audited;
    std::atomic<int> running{0};
    std::atomic<int> started{0};
};

// A source that makes no objects: the audits of these tests do not need any.
class FakeSource final : public PluginSource {
public:
    explicit FakeSource(Log& log) : log_(log) {}
    Microsoft::WRL::ComPtr<IKVStPlugin> Create() override { return nullptr; }
    std::unique_ptr<PluginSource> ForThisThread() override {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        const bool sta = SUCCEEDED(::CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_STA;
        const std::lock_guard lock(log_.mutex);
        log_.sourceThreads.push_back(std::this_thread::get_id());
        log_.everySourceInItsOwnApartment = log_.everySourceInItsOwnApartment && sta;
        return std::make_unique<FakeSource>(log_);
    }

private:
    Log& log_;
};

std::vector<WalkEntry> Entries(std::size_t count) {
    std::vector<WalkEntry> entries;
    for (std::size_t i = 0; i < count; ++i) entries.push_back({L"drawing-" + std::to_wstring(i), {}});
    return entries;
}

// An audit that names its drawing in its result; it yields, so that the workers interleave.
kvstcheck::AuditFunction Audit(Log& log) {
    return [&log](PluginSource&, const WalkEntry& entry) {
        ++log.running;
        ++log.started;
        for (std::size_t i = 0; i < entry.path.size() % 3; ++i) std::this_thread::yield();
        {
            const std::lock_guard lock(log.mutex);
            log.audited.insert(entry.path);
        }
        --log.running;
        return DrawingResult{entry.path, entry.path.size(), {}, {}, {}};
    };
}

TEST(WorkerPool, EveryDrawingOnceInOrderOnWorkersInTheirOwnApartments) {
    struct Case {
        std::size_t jobs;
        std::size_t drawings;
    };
    for (const Case c : {Case{1, 0}, Case{1, 5}, Case{2, 1}, Case{2, 100}, Case{4, 100}, Case{8, 3}}) {
        Log log;
        FakeSource source(log);
        const auto entries = Entries(c.drawings);
        std::vector<std::wstring> taken;
        kvstcheck::AuditInOrder(entries, c.jobs, source, Audit(log),
                                [&taken](std::size_t index, DrawingResult result) {
                                    EXPECT_EQ(result.path, L"drawing-" + std::to_wstring(index));
                                    taken.push_back(result.path);
                                });
        const std::string label = std::to_string(c.jobs) + " jobs, " + std::to_string(c.drawings) + " drawings";
        ASSERT_EQ(taken.size(), c.drawings) << label;
        for (std::size_t i = 0; i < c.drawings; ++i) EXPECT_EQ(taken[i], entries[i].path) << label;
        EXPECT_EQ(log.audited.size(), c.drawings) << label;
        for (const WalkEntry& entry : entries) EXPECT_EQ(log.audited.count(entry.path), 1u) << label;
        // One source per worker, each made on its own thread, never the caller's.
        const std::set<std::thread::id> threads(log.sourceThreads.begin(), log.sourceThreads.end());
        EXPECT_EQ(threads.size(), log.sourceThreads.size()) << label;
        EXPECT_LE(threads.size(), std::min(c.jobs, c.drawings)) << label;
        EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u) << label;
        EXPECT_TRUE(log.everySourceInItsOwnApartment) << label;
    }
}

// The first drawing is held at a gate that opens only when a worker finds the window of results full:
// the others went ahead meanwhile, as far as the window and no further, and the run then ends whole.
TEST(WorkerPool, OnlyABoundedNumberOfResultsWaitsForASlowDrawing) {
    for (const std::size_t jobs : {std::size_t{2}, std::size_t{3}, std::size_t{4}}) {
        Log log;
        FakeSource source(log);
        std::atomic<std::size_t> highestBegun{0};
        std::promise<std::size_t> windowFull;  // the highest drawing begun when a worker first had to wait
        std::future<std::size_t> whenFull = windowFull.get_future();
        std::once_flag once;
        const auto audit = Audit(log);
        std::size_t taken = 0;
        kvstcheck::AuditInOrder(
            Entries(200), jobs, source,
            [&](PluginSource& worker, const WalkEntry& entry) {
                const std::size_t index = std::stoul(entry.path.substr(entry.path.find(L'-') + 1));
                for (std::size_t seen = highestBegun; seen < index && !highestBegun.compare_exchange_weak(seen, index);) {
                }
                // A generous limit, so that a pool that never waits fails below instead of hanging.
                if (index == 0) whenFull.wait_for(std::chrono::seconds(60));
                return audit(worker, entry);
            },
            [&](std::size_t, DrawingResult) { ++taken; },
            [&] { std::call_once(once, [&] { windowFull.set_value(highestBegun.load()); }); });
        const std::string label = std::to_string(jobs) + " jobs";
        ASSERT_EQ(whenFull.wait_for(std::chrono::seconds(0)), std::future_status::ready) << label << ": no worker waited";
        // Drawings 0 to window - 1 were handed out; a worker between taking one and beginning it is not seen.
        const std::size_t window = jobs * kvstcheck::kWaitingPerWorker;
        const std::size_t highest = whenFull.get();
        EXPECT_LE(highest, window - 1) << label;
        EXPECT_GE(highest, window - 1 - (jobs - 2)) << label;
        EXPECT_EQ(taken, 200u) << label;
        EXPECT_EQ(log.audited.size(), 200u) << label;
    }
}

TEST(WorkerPool, AFailureStopsTheRunAfterTheResultsBeforeIt) {
    struct Case {
        const char* label;
        std::size_t jobs;
        bool inTake;  // take throws, not the audit
    };
    const Case cases[] = {{"AuditOneJob", 1, false}, {"AuditThreeJobs", 3, false}, {"TakeThreeJobs", 3, true}};
    for (const Case& c : cases) {
        Log log;
        FakeSource source(log);
        const auto audit = Audit(log);
        std::vector<std::size_t> taken;
        bool thrown = false;
        try {
            kvstcheck::AuditInOrder(
                Entries(60), c.jobs, source,
                [&](PluginSource& worker, const WalkEntry& entry) {
                    if (!c.inTake && entry.path == L"drawing-5") throw kvstcheck::SetupError("the plug-in failed");
                    return audit(worker, entry);
                },
                [&](std::size_t index, DrawingResult) {
                    if (c.inTake && index == 5) throw kvstcheck::SetupError("the plug-in failed");
                    taken.push_back(index);
                });
        } catch (const kvstcheck::SetupError& error) {
            thrown = std::string(error.what()) == "the plug-in failed";
        }
        EXPECT_TRUE(thrown) << c.label;
        EXPECT_EQ(taken, (std::vector<std::size_t>{0, 1, 2, 3, 4})) << c.label;
        // The workers stopped before the call returned, and far before the last drawing.
        EXPECT_EQ(log.running.load(), 0) << c.label;
        EXPECT_LT(log.audited.size(), 60u) << c.label;
    }
}

}  // namespace
