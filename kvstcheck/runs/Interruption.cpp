#include "kvstcheck/runs/Interruption.h"

#include <windows.h>

#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

BOOL WINAPI EndProcess(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (ErrorIsConsole()) WriteErr("\n");
    WriteError(kInterruptedMessage);
    ::ExitProcess(kBroken);
}

}  // namespace

InterruptsEndProcess::InterruptsEndProcess() { ::SetConsoleCtrlHandler(EndProcess, TRUE); }
InterruptsEndProcess::~InterruptsEndProcess() { ::SetConsoleCtrlHandler(EndProcess, FALSE); }

}  // namespace kvstcheck
