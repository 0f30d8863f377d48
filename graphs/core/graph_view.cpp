// The routines every view runs over its graph list: the deadline-bounded tick, the list-wide
// queries, deletion and stamp, and the rule for what a 3D box or a 4D axis range may be.
#include "graphs/core/graph_view.h"

#include <algorithm>
#include <cmath>

#include "graphs/core/compute_worker.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/threads/timers.h"

void TickGraphList(GraphList& graphs, int32_t budget) {
  if (budget <= 0) return;
  const uint32_t deadline = ElapsedTimerUnits() + static_cast<uint32_t>(budget);
  for (int32_t i = 0; i < graphs.count; ++i) {
    GraphKind* graph = graphs.data[i];
    if (graph == nullptr) continue;
    const uint32_t now = ElapsedTimerUnits();
    if (DeadlineReached(now, deadline)) return;
    const bool wasComplete = graph->IsComplete();
    const uint64_t gaveUpBefore = EvaluationsPastWorkLimit();
    const ComputeOutcome outcome = ComputeInTurns(graph, static_cast<int32_t>(deadline - now));
    GaveUpRecord& record = graph->gaveUp;
    record.thisRun = record.thisRun || EvaluationsPastWorkLimit() != gaveUpBefore;
    if (!wasComplete && graph->IsComplete()) {
      record.lastRun = record.thisRun;
      record.thisRun = false;
    }
    if (outcome != ComputeOutcome::kEnded) return;  // the window's turn, in the middle of a value
  }
}

bool AllGraphsComplete(const GraphList& graphs) {
  for (int32_t i = 0; i < graphs.count; ++i) {
    if (graphs.data[i] != nullptr && !graphs.data[i]->IsComplete()) return false;
  }
  return true;
}

int32_t GraphListStatus(const GraphList& graphs, int32_t index) {
  if (index < 0 || index >= graphs.count || graphs.data[index] == nullptr) return 0;
  GraphKind* graph = graphs.data[index];
  if (graph->gaveUp.thisRun || graph->gaveUp.lastRun) return kMessageTooManyTerms;
  return graph->Status();
}

void InvalidateGraphList(GraphList& graphs) {
  AbandonSuspendedCompute();  // a Compute suspended in an earlier frame of a zoom would write into what goes
  for (int32_t i = 0; i < graphs.count; ++i) {
    if (graphs.data[i] != nullptr) graphs.data[i]->Invalidate();
  }
}

void SetUnitRanges(double* ranges, int pairs) {
  for (int k = 0; k < pairs; ++k) {
    ranges[2 * k] = 0.0;
    ranges[2 * k + 1] = 1.0;
  }
}

void DeleteGraphList(GraphList& graphs) {
  for (int32_t i = 0; i < graphs.count; ++i) delete graphs.data[i];
  GrowArrayFree(graphs);
}

GraphListStamp StampOfGraphList(const GraphList& graphs) {
  GraphListStamp stamp{graphs.count, 0};
  for (int32_t i = 0; i < graphs.count; ++i) {
    if (graphs.data[i] != nullptr) stamp.newest = std::max(stamp.newest, graphs.data[i]->Serial());
  }
  return stamp;
}

bool IsUsableSpaceRange(double low, double high) {
  constexpr double kLargest = 1e30, kNarrowest = 1e-30, kFloatSteps = 0x1p-16;
  if (!(std::fabs(low) <= kLargest && std::fabs(high) <= kLargest && low < high)) return false;  // NaN too
  const double width = high - low;
  return width >= kNarrowest && width >= kFloatSteps * std::max(std::fabs(low), std::fabs(high));
}
