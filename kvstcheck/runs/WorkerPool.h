#pragma once
// Audits a run's drawings on worker threads, each its own single-threaded apartment with its own
// plug-in objects, as a multi-threaded host does; the results come back in the drawings' order.
#include <cstddef>
#include <functional>
#include <vector>

#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/reports/Report.h"
#include "kvstcheck/runs/PluginSource.h"

namespace kvstcheck {

// The number of processors the system reports: the default number of jobs.
std::size_t ProcessorCount();

// Reads and audits one drawing with objects from the worker's own source; prints nothing.
using AuditFunction = std::function<DrawingResult(PluginSource& source, const WalkEntry& entry)>;
// Receives each result on the calling thread, in the entries' order.
using TakeFunction = std::function<void(std::size_t index, DrawingResult result)>;

// Finished results that may wait, per worker, for the one the run reports next.
inline constexpr std::size_t kWaitingPerWorker = 8;

// Called on a worker, under the pool's lock, as it starts waiting for room in the window of results:
// the gate by which tests see the bound hold. It must not call back into the pool.
using WindowFullFunction = std::function<void()>;

// Audits every entry on min(jobs, entries) worker threads; each takes its source from
// source.ForThisThread() on its own thread. While take handles one result, at most a few finished
// ones per worker wait for it, so memory does not grow with the run when one drawing is slow.
// An exception of an audit (such as a SetupError) or of take stops the run: no later result is
// taken, the workers stop after their current drawing, and it is thrown here.
void AuditInOrder(const std::vector<WalkEntry>& entries, std::size_t jobs, PluginSource& source,
                  const AuditFunction& audit, const TakeFunction& take, const WindowFullFunction& windowFull = {});

}  // namespace kvstcheck
