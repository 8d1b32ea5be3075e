#pragma once
// Readable text for Windows error codes and HRESULTs, in UTF-8.
#include <windows.h>

#include <string>

namespace kvstcheck {

enum class FileUse { Reading, Writing };

// What went wrong with a file or folder, in plain words that a message puts after its path: the
// common errors in words of this tool ("another program has it open ..."), others in the system's.
std::string SystemMessage(DWORD error, FileUse use = FileUse::Reading);
// "0x80040154 (Class not registered)".
std::string HresultMessage(HRESULT hr);

}  // namespace kvstcheck
