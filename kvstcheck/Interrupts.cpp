#include "kvstcheck/Interrupts.h"

#include <windows.h>

#include <atomic>

namespace kvstcheck {
namespace {

// Process-wide, as the console's interrupts are: a handler is given no context.
std::atomic<bool> g_stopAsked{false};

bool IsInterrupt(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

// A closed console window ends the process soon whatever a handler answers: it goes on to the
// handler that ends the process.
BOOL WINAPI AskRunToStop(DWORD event) {
    if (!IsInterrupt(event)) return FALSE;
    return g_stopAsked.exchange(true) ? FALSE : TRUE;
}

BOOL WINAPI HoldInterrupt(DWORD event) {
    if (!IsInterrupt(event)) return FALSE;
    g_stopAsked = true;
    return TRUE;
}

}  // namespace

// Handlers are asked latest first, so this one comes before the one that ends the process.
InterruptsStopRun::InterruptsStopRun() {
    g_stopAsked = false;
    ::SetConsoleCtrlHandler(AskRunToStop, TRUE);
}
InterruptsStopRun::~InterruptsStopRun() { ::SetConsoleCtrlHandler(AskRunToStop, FALSE); }

bool InterruptsStopRun::Asked() const noexcept { return g_stopAsked; }

void InterruptsStopRun::ThrowIfInterrupted() const {
    if (Asked()) throw RunInterrupted();
}

InterruptsHeld::InterruptsHeld() { ::SetConsoleCtrlHandler(HoldInterrupt, TRUE); }
InterruptsHeld::~InterruptsHeld() { ::SetConsoleCtrlHandler(HoldInterrupt, FALSE); }

}  // namespace kvstcheck
