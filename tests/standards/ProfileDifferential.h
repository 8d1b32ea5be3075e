#pragma once
// The platform's profile function against the standard file image, on generated adversarial files:
// every read that a load makes and random further reads, byte for byte, and the results of a load
// (and of an audit walk over them) through both readers.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standardstest {

// One GetPrivateProfileStringA call.
struct ProfileRead {
    std::string section, key, fallback;
    DWORD bufferSize = 255;
};

// A generated file and the reads to compare on it; the same case number always gives the same case.
struct DifferentialCase {
    std::string bytes;
    std::vector<ProfileRead> reads;
    std::vector<std::wstring> drawingNames;  // names an audit looks up, of every kind
};

DifferentialCase GenerateCase(std::uint32_t caseNumber);

// Each disagreement in one readable line; empty when both readers agree. The file is written into
// folder under a name of its own (the platform caches files by name).
std::vector<std::string> CompareReads(const std::string& bytes, const std::vector<ProfileRead>& reads,
                                      const std::wstring& path);
std::vector<std::string> CompareLoads(const std::string& bytes, const std::vector<std::wstring>& drawingNames,
                                      const std::wstring& path);

// Runs cases first to first + count - 1 in folder; returns every disagreement, each prefixed with
// its case number.
std::vector<std::string> RunDifferential(std::uint32_t first, std::uint32_t count, const std::wstring& folder);

// Printable form of bytes: C escapes for anything outside printable ASCII.
std::string Escaped(std::string_view bytes);

}  // namespace standardstest
