// GraphView2D probe: tracking the probe along the graph under the mouse, reading it out through
// the saved-background overlay, dragging draggable points, and snapping to the intersection with
// another graph. The intersection search refines the crossing of the two graphs' local chords
// until the nearest points agree to the zero threshold (or stop moving), then refuses tangent or
// overlapping graphs; every loop in it has a fixed cap.
#include <algorithm>
#include <cmath>
#include <limits>

#include "graphics/feedback/sound_feedback.h"
#include "graphics/qd_layer.h"
#include "graphs/core/document_services.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/core/graphs_state.h"
#include "kernel/interaction/cursors.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

namespace {

constexpr int32_t kMaxSnapRounds = 100;
constexpr int32_t kSnapDigits = 13;
constexpr double kBendCosine = -0.8;  // a nearest point whose neighbours turn sharper is a bend

double Lowest(const NearestPointRecord& r) { return std::min(r.before[0], r.after[0]); }
double Highest(const NearestPointRecord& r) { return std::max(r.before[0], r.after[0]); }

// The two chords around each nearest point, as (from, to) point pairs.
struct Chord {
  const double* p;
  const double* q;
};
void Chords(const NearestPointRecord& r, Chord out[2]) {
  out[0] = {r.before, r.at};
  out[1] = {r.at, r.after};
}

// The crossing of the two local polylines: a's first chord with b's first and second, then a's
// second with both. Points are (argument, x, y).
bool CrossLocalPolylines(const NearestPointRecord& a, const NearestPointRecord& b, double out[3]) {
  Chord ca[2], cb[2];
  Chords(a, ca);
  Chords(b, cb);
  for (const Chord& s : ca) {
    for (const Chord& t : cb) {
      if (InterpolateCrossing2(s.p[1], s.p[2], s.q[1], s.q[2], t.p[1], t.p[2], t.q[1], t.q[2], out)) return true;
    }
  }
  return false;
}

// Some chord pair runs parallel with one on the other: the graphs touch or overlap there.
bool AnyChordsAlong(const NearestPointRecord& a, const NearestPointRecord& b) {
  Chord ca[2], cb[2];
  Chords(a, ca);
  Chords(b, cb);
  for (const Chord& s : ca) {
    for (const Chord& t : cb) {
      if (InterpolateCrossing(s.p[1], s.p[2], s.q[1], s.q[2], t.p[1], t.p[2], t.q[1], t.q[2])) return true;
    }
  }
  return false;
}

// The graph turns sharply at its nearest point (the cosine between the two neighbours, seen
// from the point, is above -0.8).
bool SharpBend(const NearestPointRecord& r) {
  const double ux = r.before[1] - r.at[1], uy = r.before[2] - r.at[2];
  const double wx = r.after[1] - r.at[1], wy = r.after[2] - r.at[2];
  const double cosine = (ux * wx + uy * wy) / (std::hypot(ux, uy) * std::hypot(wx, wy));
  return cosine > kBendCosine;
}

double Snapped(double value, double zero) {
  return RoundToSignificantDigits(std::fabs(value) < zero ? 0.0 : value, kSnapDigits);
}

}  // namespace

void GraphView2D::AdoptProbeRecord(ProbeRecord record) {
  if (record.mode == 10) {
    FreeProbeLists();
    GraphsGlobals().probeListA = record.listA;
    GraphsGlobals().probeListB = record.listB;
    adoptedListA_ = record.listA;
    adoptedListB_ = record.listB;
  } else {
    DisposeProbeList(record.listA);
    DisposeProbeList(record.listB);
  }
  record.listA = record.listB = nullptr;
  probeReadout = record;
}

void GraphView2D::SaveBackground() {
  DisposeBackground();
  GWorldPtr window = document != nullptr ? document->OffscreenBuffer() : nullptr;
  if (window == nullptr) return;
  savedBackground = NewGWorld32(rect);
  if (savedBackground != nullptr) CopyGWorldRect(window, savedBackground, rect, rect);
}

void GraphView2D::DisposeBackground() {
  SafeDisposeGWorld(savedBackground);
  savedBackground = nullptr;
}

void GraphView2D::TrackProbe(QDPoint point) {
  if (CheckFreeMemory()) return;
  if (document != nullptr) document->ClearDemoHighlight();
  SaveBackground();
  SetColorCursor128();
  LoadViewSound();
  lastProbeH = lastProbeV = kNoProbePixel;
  bool dragged = false;  // a draggable point moved: the graphs change under it
  StartProbe(point);
  QDPoint last = point, p = point;
  for (bool down = true; down;) {
    if (PointerWorkDue()) {
      down = PursuePointerWork(&p, true);  // until the probe ends or the pointer moves
      if (pointerWork.done) FinishProbe(&dragged, true);
      if (EqualPt(p, last)) continue;
    } else {
      down = FollowPointer(&p, -1);
      // A dragged point is probed again while the graphs it moves still compute.
      if (EqualPt(p, last) && !(down && dragged && !IsReady())) continue;
    }
    // A release away from the last motion is probed where it happened: a slice of it now, which
    // with the worker off is all of it, as at one go.
    last = p;
    StartProbe(p);
  }
  if (PointerWorkDue() && !pointerWork.started) {
    RunPointerSlice();
    if (pointerWork.done) FinishProbe(&dragged, true);
  }
  if (!PointerWorkRuns()) ProbeStillVisible();  // else the probe at the release ends in the ticks
  if (document != nullptr) document->AdjustCursor();
  DisposeBackground();
  DisposeViewSound();
  if (dragged) {
    probeReadout.mode = 0;
    if (document != nullptr) document->RedrawGraphPaneNow();
  }
}

void GraphView2D::ProbeAt(QDPoint point) {
  StartProbe(point);
  while (PointerWorkDue()) RunPointerWork(1 << 30);
  bool dragged = false;
  if (pointerWork.done) FinishProbe(&dragged, true);
}

void GraphView2D::FinishProbe(bool* dragged, bool tracking) {
  const PointerWork work = pointerWork;
  pointerWork = PointerWork{};  // the record's lists go with it
  FreeProbeLists();
  const int32_t index = work.graph;
  GraphKind2D* graph = GraphAt(index);
  AdoptProbeRecord(work.record);
  if (probeReadout.mode == 0) {
    RedrawProbeOverlay();
    lastProbeH = lastProbeV = kNoProbePixel;
    return;
  }
  const bool dragging = probeReadout.mode == 11;
  if (dragging && !*dragged) {
    *dragged = true;  // the graphs change under a dragged point: the saved picture is stale
    DisposeBackground();
  }
  const int32_t h = WorldToPixelX(&windowMap, probeReadout.x), v = WorldToPixelY(&windowMap, probeReadout.y);
  const bool moved = h != lastProbeH || v != lastProbeV;
  if (moved || (dragging && !IsReady())) {
    if (dragging && moved && graph != nullptr) {
      graph->SetOption(9, probeReadout.x);
      graph->SetOption(10, probeReadout.y);
      if (document != nullptr) document->RewritePointParameters(this, index, probeReadout.x, probeReadout.y);
    }
    lastProbeH = static_cast<int16_t>(h);
    lastProbeV = static_cast<int16_t>(v);
    RedrawProbeOverlay();
    if (probeReadout.snapped) PlayViewSound();
  }
  if (tracking) return;
  // Ended after the release: the drag's end too.
  if (dragging) {
    probeReadout.mode = 0;
    if (document != nullptr) document->RedrawGraphPaneNow();
  } else {
    ProbeStillVisible();
  }
}

void GraphView2D::RedrawProbeOverlay() {
  GWorldPtr window = document != nullptr ? document->OffscreenBuffer() : nullptr;
  if (savedBackground != nullptr && window != nullptr && probeReadout.mode != 11) {
    CopyGWorldRect(savedBackground, window, rect, rect);
    GWorldSave port;
    SaveAndSetGWorld(&port, window);
    ClipSave clip;
    SaveClipRect(&clip, rect);
    DrawProbeOverlay();
    RestoreClip(&clip);
    RestoreGWorld(&port);
    document->CopyOffscreenToWindow(rect);
    document->RedrawGraphPaneIfBoth2D(this);  // a second view mapping this one follows the probe
  } else if (document != nullptr) {
    document->SetViewSetTickRate();
    document->RedrawGraphPaneNow();  // the pane's drawing ends with the overlay
  }
}

void GraphView2D::ProbeStillVisible() {
  const ProbeRecord& p = probeReadout;
  if (p.mode == 0) return;
  bool stays;
  if (p.mode == 2) {
    // The x extent alone decides: its right end at or right of the left edge, its left end
    // left of the right edge.
    stays = WorldToPixelX(&windowMap, p.aux[3]) >= rect.left && WorldToPixelX(&windowMap, p.aux[2]) < rect.right;
  } else {
    const int32_t h = WorldToPixelX(&windowMap, p.x), v = WorldToPixelY(&windowMap, p.y);
    stays = (h >= rect.left && h < rect.right) || (v >= rect.top && v < rect.bottom);
  }
  if (!stays) probeReadout.mode = 0;
}

void GraphView2D::SnapProbeToIntersection(ProbeRecord* record, int32_t index) {
  GraphKind2D* graph = GraphAt(index);
  if (graph == nullptr) return;
  constexpr double kAll = std::numeric_limits<double>::infinity();
  const double tolerance = 4.0 * windowMap.unitsPerPixelX;
  const double x = record->x, y = record->y;
  const NearestPointRecord r = graph->NearestPoint(x, y, tolerance, -kAll, kAll);
  if (!r.found) return;
  for (int32_t j = 0; j < graphs.count; ++j) {
    GraphKind2D* other = j == index ? nullptr : GraphAt(j);
    if (other == nullptr) continue;
    const NearestPointRecord s = other->NearestPoint(x, y, tolerance, -kAll, kAll);
    if (s.found && IntersectNearestPoints(record, r, s, index, j)) return;
  }
}

bool GraphView2D::IntersectNearestPoints(ProbeRecord* record, NearestPointRecord a, NearestPointRecord b,
                                         int32_t indexA, int32_t indexB) {
  GraphKind2D* graphA = GraphAt(indexA);
  GraphKind2D* graphB = GraphAt(indexB);
  if (graphA == nullptr || graphB == nullptr) return false;
  const double unitsPerPixel = windowMap.unitsPerPixelX;
  double h = 4.0 * unitsPerPixel;
  const double zero = 16.0 * kMachineEpsilon * std::max({std::fabs(a.at[1]), std::fabs(a.at[2]), h});
  double lastDx = HUGE_VAL, lastDy = HUGE_VAL, lastCx = NAN, lastCy = NAN;
  bool converged = false;
  // Each round: the chords' crossing, both graphs' nearest points to it over their own
  // neighbourhoods, chords half as long. The rounds go on until the nearest points agree to
  // the zero threshold or the crossing stops moving; stopping as soon as they agree within the
  // chord length would leave a curved crossing off by about a quarter of h squared.
  for (int32_t round = 1; round <= kMaxSnapRounds; ++round) {
    double crossing[3];
    if (!CrossLocalPolylines(a, b, crossing)) return false;
    a = graphA->NearestPoint(crossing[1], crossing[2], h, Lowest(a), Highest(a));
    b = graphB->NearestPoint(crossing[1], crossing[2], h, Lowest(b), Highest(b));
    if (!a.found || !b.found || SharpBend(a) || SharpBend(b)) return false;
    const double dx = std::fabs(a.at[1] - b.at[1]), dy = std::fabs(a.at[2] - b.at[2]);
    const bool still = std::fabs(crossing[1] - lastCx) < zero && std::fabs(crossing[2] - lastCy) < zero;
    if ((round >= 5 && (dx >= lastDx || dy >= lastDy) && still) || (dx <= zero && dy <= zero) || h <= zero) {
      converged = true;
      break;
    }
    h *= 0.5;
    lastDx = dx, lastDy = dy, lastCx = crossing[1], lastCy = crossing[2];
  }
  if (!converged) return false;
  // Graphs that touch or run along each other there do not snap.
  do {
    if (AnyChordsAlong(a, b)) return false;
    h *= 0.1;
    const double x = a.at[1], y = a.at[2];
    a = graphA->NearestPoint(x, y, h, Lowest(a), Highest(a));
    b = graphB->NearestPoint(x, y, h, Lowest(b), Highest(b));
    if (!a.found || !b.found) return false;
  } while (h > 1e-6 * unitsPerPixel);
  record->snapped = 1;
  record->value = Snapped(a.at[0], zero);
  record->x = Snapped(a.at[1], zero);
  record->y = Snapped(a.at[2], zero);
  return true;
}
