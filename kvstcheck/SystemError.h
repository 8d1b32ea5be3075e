#pragma once
// Readable text for Windows error codes and HRESULTs, in UTF-8.
#include <windows.h>

#include <string>

namespace kvstcheck {

std::string SystemMessage(DWORD error);
// "0x80040154 (Class not registered)".
std::string HresultMessage(HRESULT hr);

}  // namespace kvstcheck
