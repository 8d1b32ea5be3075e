#pragma once
// Ctrl+C and Ctrl+Break. During the audits the run stops after the drawings under way, cleans up (its
// temporary copies of the plug-in and standard file go with it), writes no report and ends with status
// 2. A second press, or one at any other time, ends the process at once, with the same status.
#include <exception>

namespace kvstcheck {

// What the user is told when an interrupt ends a run.
inline constexpr char kInterruptedMessage[] =
    "interrupted: the run stopped before it finished; files it had yet to write were not written";

class RunInterrupted : public std::exception {
public:
    const char* what() const noexcept override { return kInterruptedMessage; }
};

// For the whole process: an interrupt (or a closed console window) ends it with status 2 and says so.
// The platform's own end is not left to answer: Wine's gives status 0, "no findings" for an audit cut
// short.
class InterruptsEndProcess {
public:
    InterruptsEndProcess();
    InterruptsEndProcess(const InterruptsEndProcess&) = delete;
    InterruptsEndProcess& operator=(const InterruptsEndProcess&) = delete;
    ~InterruptsEndProcess();
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

}  // namespace kvstcheck
