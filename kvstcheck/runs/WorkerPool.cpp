#include "kvstcheck/runs/WorkerPool.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "com/Apartment.h"
#include "com/ExclusiveLock.h"
#include "kvstcheck/runs/SetupError.h"

namespace kvstcheck {
namespace {


// A drawing's outcome on a worker: its result, or what stopped its audit.
struct Outcome {
    DrawingResult result;
    std::exception_ptr failure;
};

// What the workers and the reporting thread share; every member is guarded by lock_, which waits in
// the process (the thread library's mutex would wait on a kernel object, a round trip per drawing).
class OrderedOutcomes {
public:
    OrderedOutcomes(std::size_t count, std::size_t window, const WindowFullFunction& windowFull)
        : count_(count), window_(window), windowFull_(windowFull) {}

    // The next drawing for a worker, once the window has room for its result; false when none is left
    // or the run stopped.
    bool NextToAudit(std::size_t& index) {
        kv::ExclusiveLock lock(lock_);
        const auto ready = [this] { return stopped_ || nextToAudit_ >= count_ || nextToAudit_ < nextToTake_ + window_; };
        if (!ready() && windowFull_) windowFull_();
        lock.WaitFor(changed_, ready);
        if (stopped_ || nextToAudit_ >= count_) return false;
        index = nextToAudit_++;
        return true;
    }

    void Finish(std::size_t index, Outcome outcome) {
        {
            const kv::ExclusiveLock lock(lock_);
            finished_.emplace(index, std::move(outcome));
        }
        ::WakeAllConditionVariable(&changed_);
    }

    // Waits for the outcome of the drawing that comes next in the run's order.
    Outcome TakeNext() {
        Outcome outcome;
        {
            kv::ExclusiveLock lock(lock_);
            lock.WaitFor(changed_, [this] { return finished_.contains(nextToTake_); });
            const auto found = finished_.find(nextToTake_);
            outcome = std::move(found->second);
            finished_.erase(found);
            ++nextToTake_;
        }
        ::WakeAllConditionVariable(&changed_);
        return outcome;
    }

    void Stop() {
        {
            const kv::ExclusiveLock lock(lock_);
            stopped_ = true;
        }
        ::WakeAllConditionVariable(&changed_);
    }

private:
    const std::size_t count_;
    const std::size_t window_;
    const WindowFullFunction& windowFull_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::size_t nextToAudit_ = 0;
    std::size_t nextToTake_ = 0;
    std::map<std::size_t, Outcome> finished_;
    bool stopped_ = false;
};

// One worker: its own apartment and source, drawing after drawing until none is left. A worker that
// cannot start reports that as the outcome of the drawing it took.
void Work(const std::vector<WalkEntry>& entries, PluginSource& shared, const AuditFunction& audit,
          OrderedOutcomes& outcomes) {
    const kv::Apartment apartment;
    std::unique_ptr<PluginSource> source;
    std::size_t index = 0;
    while (outcomes.NextToAudit(index)) {
        Outcome outcome;
        try {
            if (FAILED(apartment.result())) throw SetupError("COM cannot be started on a worker thread");
            if (!source) source = shared.ForThisThread();
            outcome.result = audit(*source, entries[index]);
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        outcomes.Finish(index, std::move(outcome));
    }
}

// The workers, stopped and joined however the run ends.
class Workers {
public:
    explicit Workers(OrderedOutcomes& outcomes) : outcomes_(outcomes) {}
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    ~Workers() {
        outcomes_.Stop();
        for (std::thread& thread : threads_) thread.join();
    }

    template <typename Function>
    void Start(Function function) {
        threads_.emplace_back(std::move(function));
    }

private:
    OrderedOutcomes& outcomes_;
    std::vector<std::thread> threads_;
};

}  // namespace

std::size_t ProcessorCount() {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return std::max<std::size_t>(system.dwNumberOfProcessors, 1);
}

void AuditInOrder(const std::vector<WalkEntry>& entries, std::size_t jobs, PluginSource& source,
                  const AuditFunction& audit, const TakeFunction& take, const WindowFullFunction& windowFull) {
    const std::size_t workers = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(entries.size(), 1));
    OrderedOutcomes outcomes(entries.size(), workers * kWaitingPerWorker, windowFull);
    Workers threads(outcomes);
    for (std::size_t i = 0; i < workers && i < entries.size(); ++i)
        threads.Start([&entries, &source, &audit, &outcomes] { Work(entries, source, audit, outcomes); });
    for (std::size_t index = 0; index < entries.size(); ++index) {
        Outcome outcome = outcomes.TakeNext();
        if (outcome.failure) std::rethrow_exception(outcome.failure);
        take(index, std::move(outcome.result));
    }
}

}  // namespace kvstcheck
