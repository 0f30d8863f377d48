// GraphView2D pointer work: the evaluating half of a click (the pick's hit tests, the probe with its
// snap to an intersection) as a job of the compute worker, run in slices while the button is down
// and, once it is up, in the view's ticks, so that a graph of any cost never holds the window. The
// answers are applied on the main thread. Invariants: at most one pointer work a view; it is begun
// only on the main thread, on the graph list it names; it ends as it would at one go or is dropped
// on purpose: its list replaced, a new click, its readout cleared. Abandoned on the worker (another
// evaluation needed it, or the graphs changed under it) it begins again from the start, once the
// graphs it reads are complete; the view's own drawing never abandons it.
#include <algorithm>

#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "graphs/view2d/graph_view_2d.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/threads/timers.h"

namespace {

// A slice of the pointer work between two looks at the pointer: as long as an idle tick's.
constexpr int32_t kPointerSliceTicks = 4;

void PointerJob(void* view, int32_t) { static_cast<GraphView2D*>(view)->DoPointerWork(); }

}  // namespace

void GraphView2D::DoPointerWork() {
  PointerWork& work = pointerWork;
  if (work.stage == PointerStage::kPick) {
    const GraphHit hit = HitGraph(work.press, 3);
    work.hit = hit.index;
    work.hitPass = hit.pass;
  } else {
    ProbeRecord record{};
    if (GraphKind2D* graph = GraphAt(work.graph)) record = graph->Probe(work.x, work.y);
    work.record = record;  // its point lists are the work's from here on
    const bool snaps = work.stage == PointerStage::kProbe && graphs.count > 1;
    if (snaps && record.mode != 0 && !record.snapped) SnapProbeToIntersection(&work.record, work.graph);
  }
  work.done = true;
}

void GraphView2D::StartPick(QDPoint press, const ClickFlags& flags) {
  DropPointerWork();
  pointerWork.stage = PointerStage::kPick;
  pointerWork.graphList = StampOfGraphList(graphs);
  pointerWork.press = pointerWork.point = press;
  pointerWork.flags = flags;
}

void GraphView2D::StartProbe(QDPoint point) {
  DropPointerWork();
  if (!PtInRect(point, rect)) {
    probeReadout.mode = 0;
    RedrawProbeOverlay();
    lastProbeH = lastProbeV = kNoProbePixel;
    return;
  }
  pointerWork.stage = PointerStage::kProbe;
  pointerWork.graphList = StampOfGraphList(graphs);
  pointerWork.press = pointerWork.point = point;
  pointerWork.graph = probeGraph;
  pointerWork.x = WindowX(point.h);
  pointerWork.y = WindowY(point.v);
}

void GraphView2D::StartReprobe() {
  DropPointerWork();
  pointerWork.stage = PointerStage::kReprobe;
  pointerWork.afterGraphs = true;  // the arrow's scale and the extents are what the new scale computes
  pointerWork.graphList = StampOfGraphList(graphs);
  pointerWork.graph = probeGraph;
  pointerWork.x = probeReadout.x;
  pointerWork.y = probeReadout.y;
}

bool GraphView2D::PointerWorkRuns() {
  PointerWork& work = pointerWork;
  if (work.stage == PointerStage::kNone) return false;
  if (!(work.graphList == StampOfGraphList(graphs))) {
    DropPointerWork();  // its answers are indices into graphs that are gone
    return false;
  }
  if (work.done) return false;
  if (work.started && !PointerWorkSuspended()) {
    // Abandoned: another evaluation needed the worker, or the graphs changed under it. It reads what
    // they computed, so it begins again once they are complete.
    DisposeProbeList(work.record.listA);
    DisposeProbeList(work.record.listB);
    work.record = ProbeRecord{};
    work.started = false;
    work.afterGraphs = true;
  }
  return true;
}

bool GraphView2D::PointerWorkDue() {
  return PointerWorkRuns() && (!pointerWork.afterGraphs || AllGraphsComplete(graphs));
}

bool GraphView2D::PointerWorkSuspended() const { return JobSuspended(PointerJob, this); }

void GraphView2D::RunPointerWork(int32_t budget) {
  if (!PointerWorkDue()) return;
  // A job suspended before, taken up first, may use the whole budget: this one has then not begun.
  if (RunInTurns(PointerJob, this, budget) != ComputeOutcome::kNotRun) pointerWork.started = true;
}

void GraphView2D::RunPointerSlice() { RunPointerWork(static_cast<int32_t>(TicksToTimerUnits(kPointerSliceTicks))); }

void GraphView2D::FinishReprobe(bool redraw) {
  AdoptProbeRecord(pointerWork.record);
  pointerWork = PointerWork{};
  if (redraw && document != nullptr) document->RedrawGraphPaneNow();
}

void GraphView2D::DropPointerWork() {
  if (PointerWorkSuspended()) AbandonSuspendedCompute();
  DisposeProbeList(pointerWork.record.listA);
  DisposeProbeList(pointerWork.record.listB);
  pointerWork = PointerWork{};
}

void GraphView2D::ClearProbe() {
  probeReadout.mode = 0;
  if (pointerWork.stage == PointerStage::kProbe || pointerWork.stage == PointerStage::kReprobe) DropPointerWork();
}

bool GraphView2D::FollowPointer(QDPoint* where, int32_t ticks) {
  if (GetPointerSource() == nullptr) return false;  // headless: the press was all
  return TrackMouseTicks(where, ticks);
}

bool GraphView2D::PursuePointerWork(QDPoint* pointer, bool untilMoved) {
  while (PointerWorkDue()) {
    RunPointerSlice();
    if (pointerWork.done) return true;
    const QDPoint before = *pointer;
    // The motions queued during the slice are taken at once: work started again for each would
    // fall ever further behind a drag.
    if (!FollowPointer(pointer, 0) || !TrackMouseQueued(pointer)) return false;
    if (untilMoved && !EqualPt(*pointer, before)) return true;
  }
  return true;
}

void GraphView2D::Tick(int32_t budget) {
  const uint32_t deadline = ElapsedTimerUnits() + static_cast<uint32_t>(std::max(budget, 0));
  const bool pending = PointerWorkRuns() || pointerWork.done;  // work of graphs since replaced goes here
  if ((budget > 0 || pending) && document != nullptr) document->ApplyNumberFormat();
  // A click whose button went up before its work ended ends here, before any computing (work begun
  // again after an abandon waits for the graphs). Its job may also have ended in another view's tick
  // (a Compute takes up whatever job lies suspended first), so an ended one is applied even without
  // time to compute.
  if (budget > 0) RunPointerWork(budget);
  if (pointerWork.done) {
    bool dragged = false;
    switch (pointerWork.stage) {
      case PointerStage::kPick:
        ChooseAfterPick(false);
        break;
      case PointerStage::kProbe:
        FinishProbe(&dragged, false);
        break;
      default:
        FinishReprobe(true);
        break;
    }
  }
  const uint32_t now = ElapsedTimerUnits();
  if (budget <= 0 || PointerWorkDue() || DeadlineReached(now, deadline)) return;
  TickGraphList(graphs, static_cast<int32_t>(deadline - now));
}
