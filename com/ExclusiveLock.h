#pragma once
// The system's slim lock, held for a scope. It and its condition variable wait in the process itself,
// without a kernel object: no round trip to the system when threads hand work over.
#include <windows.h>

namespace kv {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    // Waits, the lock released meanwhile, until ready() holds.
    template <typename Ready>
    void WaitFor(CONDITION_VARIABLE& changed, Ready ready) noexcept {
        while (!ready()) ::SleepConditionVariableSRW(&changed, &lock_, INFINITE, 0);
    }

private:
    SRWLOCK& lock_;
};

}  // namespace kv
