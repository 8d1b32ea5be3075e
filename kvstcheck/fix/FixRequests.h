#pragma once
// One drawing's request to the rewriter, from the run's map, the plug-in's findings and the rules'
// layer properties; and the drawing's names as the rewriter's account says they will be after it.
#include <array>
#include <vector>

#include "kvstcheck/fix/FixPlan.h"
#include "kvstcheck/fix/FixSetup.h"
#include "kvstcheck/fix/Rewrite.h"
#include "kvstcheck/readers/DrawingNames.h"
#include "kvstcheck/reports/Report.h"

namespace kvstcheck::fix {

struct DrawingRequest {
    FixRequest request;
    // Why each rename of request.renames is there, in the same order.
    std::array<std::vector<RenameSource>, kFixKindCount> sources;
};

// findings: the plug-in's, which auto renames answer from the standard's names (exactly one allowed name
// equal but for letter case, or for what a reader cannot see).
DrawingRequest RequestFor(const FixSetup& setup, const DrawingNames& names, const std::vector<Finding>& findings,
                          bool force);

// A plan's renames and properties as a request, so that it is applied exactly.
DrawingRequest RequestOf(const DrawingPlan& plan, bool force);

// The drawing's names once the account's renames, merges and properties are made.
DrawingNames AfterFix(const DrawingNames& names, const RewriteAccount& account);

// The plan's entries for a drawing from the rewriter's account.
void FillPlan(const RewriteAccount& account, const DrawingRequest& request, DrawingPlan& plan);

}  // namespace kvstcheck::fix
