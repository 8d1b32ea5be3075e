#pragma once
// A fault that nothing catches, most likely inside the plug-in, which runs in this process. Left to
// the platform, the status would be the exception's code, which as a negative number passes a batch
// file's "if errorlevel 1", and an error dialog could keep an unattended run waiting. Instead the
// process ends at once with status 2 and says where the fault was.
#include <windows.h>

#include <string>

namespace kvstcheck {

// "a fault in KVStVB7Default.dll (exception 0xC0000005 at offset 0x1A2B)": the module by its file
// name only, since the plug-in may be a temporary copy the user never named.
std::string DescribeFault(DWORD code, const void* address);

// While it lives, the process's unhandled faults end it as above.
class FaultsEndProcess {
public:
    FaultsEndProcess();
    FaultsEndProcess(const FaultsEndProcess&) = delete;
    FaultsEndProcess& operator=(const FaultsEndProcess&) = delete;
    ~FaultsEndProcess();

private:
    LPTOP_LEVEL_EXCEPTION_FILTER previous_;
};

}  // namespace kvstcheck
