#pragma once
// Drives one audit on a plug-in object as the host does: SetupForAudit, CheckNext and GetError
// until False, then Clear.
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "KVStMgr.h"
#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/rules/Rules.h"

namespace kvstcheck {

// drawing: an automation drawing object; drawingPath: the path handed to the plug-in; nameCount:
// how many names the drawing holds, the most findings an audit can give.
// Throws SetupError when a call fails or when the plug-in's standard file did not load; its message
// names standardFile (as the user knows it), else the file beside the plug-in's module.
std::vector<Finding> AuditDrawing(IKVStPlugin& plugin, IDispatch* drawing, const std::wstring& drawingPath,
                                  std::size_t nameCount, const std::wstring& standardFile = {});

// The rules files' findings of a drawing, beside the plug-in's; none without rules.
std::vector<Finding> RuleFindings(const std::optional<rules::RuleSet>& ruleSet, const DrawingNames& names);

// Where a DXF drawing gives each name, so that findings can point there: the plug-in and the rules
// report a name, and its line is that of the first entry of that name of the finding's kind. Made
// before the names go to the drawing object; holds nothing for a drawing without lines.
class NameLineIndex {
public:
    NameLineIndex(const DrawingNames& names, const NameLines& lines);
    // Sets the line of each finding whose name the drawing holds.
    void Place(std::vector<Finding>& findings) const;

private:
    std::array<std::unordered_map<std::wstring, int>, vocabulary::kKindCount> lines_;
};

}  // namespace kvstcheck
