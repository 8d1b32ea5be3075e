#pragma once
// One drawing through the fix: planned (its findings, the request, the rewriter's account, what the fixed
// drawing would still have), and when the run writes, rewritten beside its destination, proven and kept.
#include <string>

#include "kvstcheck/Interrupts.h"
#include "kvstcheck/fix/FixAudit.h"
#include "kvstcheck/fix/FixOptions.h"
#include "kvstcheck/fix/FixPlan.h"
#include "kvstcheck/fix/FixSetup.h"
#include "kvstcheck/fix/Rewrite.h"

namespace kvstcheck::fix {

struct FixContext {
    const FixOptions& options;
    const FixSetup& setup;
    const FixAuditor& auditor;
    const TextCodec& codec;
    const InterruptsStopRun& interrupts;  // asked between the steps of a drawing and as its bytes go out
};

struct DrawingTarget {
    std::wstring path;   // as the run names it
    std::wstring below;  // its path below the folder argument (a file argument: its name)
    const DrawingPlan* planned = nullptr;  // from --plan: applied exactly, or refused
};

// Throws SetupError when the plug-in fails, RunInterrupted once an interrupt asked the run to stop (the
// drawing then as it was, no file of its fix left); everything about the drawing itself is in the plan.
DrawingPlan FixDrawing(const FixContext& context, const DrawingTarget& target);

}  // namespace kvstcheck::fix
