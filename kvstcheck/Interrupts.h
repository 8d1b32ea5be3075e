#pragma once
// Ctrl+C and Ctrl+Break asking a run to stop, and held while a run puts a finished file in place.
// The process-wide end of a run on an interrupt is in runs/Interruption.h.
#include <exception>

namespace kvstcheck {

// What the user is told when an interrupt ends a run.
inline constexpr char kInterruptedMessage[] =
    "interrupted: the run stopped before it finished; files it had yet to write were not written";

class RunInterrupted : public std::exception {
public:
    const char* what() const noexcept override { return kInterruptedMessage; }
};

// While it lives, the first interrupt only asks the run to stop; the run asks where it can stop.
class InterruptsStopRun {
public:
    InterruptsStopRun();
    InterruptsStopRun(const InterruptsStopRun&) = delete;
    InterruptsStopRun& operator=(const InterruptsStopRun&) = delete;
    ~InterruptsStopRun();

    // Whether an interrupt has come since this began.
    bool Asked() const noexcept;
    // Throws RunInterrupted once one has.
    void ThrowIfInterrupted() const;
};

// While it lives, every interrupt waits: a file being moved into place (or its backup kept) is never
// left halfway. An interrupt that came meanwhile still asks the run to stop, once this has gone.
class InterruptsHeld {
public:
    InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    ~InterruptsHeld();
};

}  // namespace kvstcheck
