#pragma once
// make-standard: a standard file that allows every name of reference drawings.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "audit/Kinds.h"
#include "kvstcheck/CommandLine.h"
#include "kvstcheck/readers/DrawingNames.h"

namespace kvstcheck {

struct ReferenceDrawing {
    std::wstring path;  // as the user gave it
    DrawingNames names;
};

struct StandardDraft {
    std::string bytes;  // the file, in the code page; empty when something was refused or there are no names
    audit::PerKind<std::size_t> nameCounts{};
    // UTF-8: one per name that cannot be written faithfully, one per kind with more names than a section
    // can declare.
    std::vector<std::string> refusals;
    std::size_t unfaithfulNames = 0;
};

// Every name of each kind in first-seen order, each once, in the standard file's format and the
// code page. A name the plug-in would read back otherwise is refused, never written altered.
StandardDraft DraftStandard(const std::vector<ReferenceDrawing>& drawings, UINT codePage);

// Reads the drawings and writes options.output through a temporary file, so that no file appears
// (and none is replaced) unless everything was written. Returns the exit status.
int MakeStandard(const Options& options);

}  // namespace kvstcheck
