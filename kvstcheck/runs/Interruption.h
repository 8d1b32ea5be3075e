#pragma once
// Ctrl+C and Ctrl+Break. During the audits the run stops after the drawings under way, cleans up (its
// temporary copies of the plug-in and standard file go with it), writes no report and ends with status
// 2. A second press, or one at any other time, ends the process at once, with the same status.
#include "kvstcheck/Interrupts.h"

namespace kvstcheck {

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

}  // namespace kvstcheck
