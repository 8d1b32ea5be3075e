#pragma once
// What one run found, and how it is shown: lines for people, one JSON document for programs.
#include <cstddef>
#include <string>
#include <vector>

namespace kvstcheck {

struct Finding {
    std::wstring kind;  // the kind label as the plug-in gives it
    std::wstring name;
};

struct DrawingResult {
    std::wstring path;  // as the user gave it
    std::size_t names = 0;
    std::vector<Finding> findings;
    std::string error;  // UTF-8; empty when the drawing was audited
};

enum ExitStatus : int { kNoFindings = 0, kFindings = 1, kBroken = 2 };

struct RunReport {
    std::vector<DrawingResult> drawings;
    std::string setupError;  // UTF-8; empty when the plug-in and its standard file were ready

    ExitStatus Status() const;
};

// One line per finding, then the drawing's summary; nothing for a drawing that was not audited.
std::string FormatDrawing(const DrawingResult& drawing);
// The closing line of a run over several drawings.
std::string FormatTotals(const RunReport& report);
std::string FormatJson(const RunReport& report);

}  // namespace kvstcheck
