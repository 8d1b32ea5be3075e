#include "kvstcheck/runs/Interruption.h"

#include <windows.h>

#include <atomic>

#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

// Process-wide, as the console's interrupts are: a handler is given no context.
std::atomic<bool> g_stopAsked{false};

BOOL WINAPI EndProcess(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (ErrorIsConsole()) WriteErr("\n");
    WriteError(kInterruptedMessage);
    ::ExitProcess(kBroken);
}

// A closed console window ends the process soon whatever a handler answers: it goes on to EndProcess.
BOOL WINAPI AskRunToStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return g_stopAsked.exchange(true) ? FALSE : TRUE;
}

}  // namespace

InterruptsEndProcess::InterruptsEndProcess() { ::SetConsoleCtrlHandler(EndProcess, TRUE); }
InterruptsEndProcess::~InterruptsEndProcess() { ::SetConsoleCtrlHandler(EndProcess, FALSE); }

// Handlers are asked latest first, so this one comes before EndProcess.
InterruptsStopRun::InterruptsStopRun() {
    g_stopAsked = false;
    ::SetConsoleCtrlHandler(AskRunToStop, TRUE);
}
InterruptsStopRun::~InterruptsStopRun() { ::SetConsoleCtrlHandler(AskRunToStop, FALSE); }

bool InterruptsStopRun::Asked() const noexcept { return g_stopAsked; }

void InterruptsStopRun::ThrowIfInterrupted() const {
    if (Asked()) throw RunInterrupted();
}

}  // namespace kvstcheck
