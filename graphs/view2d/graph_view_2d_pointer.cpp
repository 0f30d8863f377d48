// GraphView2D pointer work: the evaluating half of a click (the pick's hit tests, the probe with its
// snap to an intersection) as a job of the compute worker, run in slices while the button is down
// and, once it is up, in the view's ticks, so that a graph of any cost never holds the window. The
// answers are applied on the main thread. Invariants: at most one pointer work a view; it is begun
// only on the main thread, never while another job of the worker lies suspended (a click abandons
// that first); a work neither done nor suspended once begun was abandoned, and is dropped.
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
  pointerWork.press = pointerWork.point = point;
  pointerWork.graph = probeGraph;
  pointerWork.x = WindowX(point.h);
  pointerWork.y = WindowY(point.v);
}

void GraphView2D::StartReprobe() {
  DropPointerWork();
  pointerWork.stage = PointerStage::kReprobe;
  pointerWork.graph = probeGraph;
  pointerWork.x = probeReadout.x;
  pointerWork.y = probeReadout.y;
}

bool GraphView2D::PointerWorkRuns() {
  PointerWork& work = pointerWork;
  if (work.stage == PointerStage::kNone || work.done) return false;
  if (work.started && !JobSuspended(PointerJob, this)) {
    DropPointerWork();  // abandoned: the graphs changed, or another evaluation needed the worker
    return false;
  }
  return true;
}

void GraphView2D::RunPointerWork(int32_t budget) {
  if (!PointerWorkRuns()) return;
  pointerWork.started = true;
  RunInTurns(PointerJob, this, budget);
}

void GraphView2D::RunPointerSlice() { RunPointerWork(static_cast<int32_t>(TicksToTimerUnits(kPointerSliceTicks))); }

void GraphView2D::FinishReprobe(bool redraw) {
  AdoptProbeRecord(pointerWork.record);
  pointerWork = PointerWork{};
  if (redraw && document != nullptr) document->RedrawGraphPaneNow();
}

void GraphView2D::DropPointerWork() {
  if (JobSuspended(PointerJob, this)) AbandonSuspendedCompute();
  DisposeProbeList(pointerWork.record.listA);
  DisposeProbeList(pointerWork.record.listB);
  pointerWork = PointerWork{};
}

bool GraphView2D::FollowPointer(QDPoint* where, int32_t ticks) {
  if (GetPointerSource() == nullptr) return false;  // headless: the press was all
  return TrackMouseTicks(where, ticks);
}

bool GraphView2D::PursuePointerWork(QDPoint* pointer, bool untilMoved) {
  while (PointerWorkRuns()) {
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
  const bool pending = pointerWork.stage != PointerStage::kNone;
  if ((budget > 0 || pending) && document != nullptr) document->ApplyNumberFormat();
  // A click whose button went up before its work ended ends here, before any computing. Its job
  // may also have ended in another view's tick (a Compute takes up whatever job lies suspended
  // first), so an ended one is applied even without time to compute.
  if (budget > 0 && PointerWorkRuns()) RunPointerWork(budget);
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
  if (budget <= 0 || PointerWorkRuns() || DeadlineReached(now, deadline)) return;
  TickGraphList(graphs, static_cast<int32_t>(deadline - now));
}
