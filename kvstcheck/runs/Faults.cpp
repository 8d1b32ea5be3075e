#include "kvstcheck/runs/Faults.h"

#include <cstdint>
#include <cstdio>

#include "kvstcheck/Text.h"
#include "kvstcheck/reports/Console.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck {
namespace {

std::string Hex(unsigned long long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, value);
    return text;
}

// Runs on the faulting thread, whose state may be damaged: it says what it can and ends the process
// without the usual clean-up, which could fault again or wait for a lock the fault left held.
LONG WINAPI EndFaultedProcess(EXCEPTION_POINTERS* fault) {
    const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
    WriteError("the run stopped: " + DescribeFault(record.ExceptionCode, record.ExceptionAddress) +
               "; files it had yet to write were not written");
    ::TerminateProcess(::GetCurrentProcess(), kBroken);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::string DescribeFault(DWORD code, const void* address) {
    const std::string exception = "exception " + Hex(code, 8);
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH * 4];
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<const wchar_t*>(address), &module) ||
        ::GetModuleFileNameW(module, path, MAX_PATH * 4) == 0)
        return "a fault outside any module (" + exception + " at " +
               Hex(reinterpret_cast<std::uintptr_t>(address), 2 * sizeof(void*)) + ")";
    const std::wstring full = path;
    const std::wstring name = full.substr(full.find_last_of(L"\\/") + 1);
    const auto offset = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
    return "a fault in " + EncodeUtf8(name) + " (" + exception + " at offset " + Hex(offset, 1) + ")";
}

FaultsEndProcess::FaultsEndProcess() : previous_(::SetUnhandledExceptionFilter(EndFaultedProcess)) {}
FaultsEndProcess::~FaultsEndProcess() { ::SetUnhandledExceptionFilter(previous_); }

}  // namespace kvstcheck
