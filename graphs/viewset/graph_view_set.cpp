// The view set's operations. A view pointer is null before InitViewSet, so each operation tests
// the view it touches; the document may be null too (nothing is redrawn then). Every operation
// that changes views or graphs first abandons a suspended Compute (compute_worker.h); drawing
// abandons one too, but not a 2D view's pointer work, which only reads the graphs.
#include "graphs/viewset/graph_view_set.h"

#include <cmath>
#include <initializer_list>

#include "graphics/gl/graphics_context.h"
#include "graphics/gl/pixel_readback.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/document_services.h"
#include "graphs/core/graphs_state.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kMaxMovieFrames = 200;
constexpr int32_t kLeftGap = 6;   // the divider: 6 pixels left of the middle, 5 right of it
constexpr int32_t kRightGap = 5;

// The five views in view order (absent ones null), for range-for loops.
struct FiveViews {
  GraphView* view[5];
  GraphView* const* begin() const { return view; }
  GraphView* const* end() const { return view + 5; }
};
FiveViews AllViews(const GraphViewSet* set) {
  return {{set->first2D, set->second2D, set->first3D, set->second3D, set->view4D}};
}

bool Contains(const GraphView* view, QDPoint point) { return view != nullptr && PtInRect(point, view->rect); }

bool IsPrimary(const GraphViewSet* set, const GraphView* view) { return view != nullptr && set->primary == view; }
bool IsSecondary(const GraphViewSet* set, const GraphView* view) {
  return view != nullptr && set->secondary == view;
}

void SetOptionIfPresent(GraphView* view, int32_t code) {
  if (view != nullptr) view->SetOption(code, 0.0);
}

// One step of the movie-frame reckoning on a stored speed; see ViewSetApplyToGLViews.
int32_t ReckonFrames(double* speed, int32_t frames) {
  *speed /= 15.0;
  if (std::isnan(*speed)) *speed = 0.0;
  if (*speed == 0.0) return frames;
  if (frames != 0) {
    *speed = std::copysign(kTwoPi / std::fabs(static_cast<double>(frames)), *speed);
    return frames;
  }
  // The cap is tested on the whole number of frames: a speed that rounds to exactly 200 keeps
  // its own value.
  const double wanted = std::trunc(0.5 + kTwoPi / std::fabs(*speed));
  if (wanted > kMaxMovieFrames) {
    *speed = std::copysign(0.01 * kPi, *speed);
    return kMaxMovieFrames;
  }
  return static_cast<int32_t>(wanted);
}

// The caller's region gets the primary's answer; the secondary answers into a region of its own
// that is added. When no region can be had for it, the whole pane is asked for instead.
template <typename Ask>
RgnHandle UnionOfViews(GraphViewSet* set, RgnHandle region, Ask ask) {
  if (set->primary != nullptr) ask(set->primary, region);
  if (set->secondary == nullptr) return region;
  RgnHandle part = NewRgn();
  if (part == nullptr) {
    RectRgn(region, set->paneRect);
    return region;
  }
  ask(set->secondary, part);
  if (!UnionRgn(region, part, region)) RectRgn(region, set->paneRect);
  DisposeRgn(part);
  return region;
}

bool PointerWorkSuspended(const GraphViewSet* set) {
  return (set->first2D != nullptr && set->first2D->PointerWorkSuspended()) ||
         (set->second2D != nullptr && set->second2D->PointerWorkSuspended());
}

void ReadFrameIfWindow(GraphicsContext* context, bool hasWindowContext) {
  if (hasWindowContext && context != nullptr) ReadGLPixelsToGWorld(context);
}

// Points the slot at the set's own view, built in place, unless a view was put there before.
template <typename View>
View* BuildHeld(std::optional<View>& held, View* given) {
  if (given != nullptr) return given;
  return &held.emplace();
}

}  // namespace

void InitViewSet(GraphViewSet* set, const QDRect& paneRect, DocumentServices* document) {
  set->first2D = BuildHeld(set->held2D[0], set->first2D);
  set->second2D = BuildHeld(set->held2D[1], set->second2D);
  set->first3D = BuildHeld(set->held3D[0], set->first3D);
  set->second3D = BuildHeld(set->held3D[1], set->second3D);
  set->view4D = BuildHeld(set->held4D, set->view4D);
  GrowArrayFree(set->graphTable);
  GrowArrayFree(set->graphIndexList);
  for (uint8_t& used : set->rangeInUse) used = 0;
  set->clicked = nullptr;
  set->secondary = nullptr;
  set->primary = set->first2D;
  set->document = document;
  for (GraphView* view : {static_cast<GraphView*>(set->view4D), static_cast<GraphView*>(set->second3D),
                          static_cast<GraphView*>(set->first3D), static_cast<GraphView*>(set->second2D),
                          static_cast<GraphView*>(set->first2D)}) {
    view->document = document;
  }
  ViewSetSetPaneRect(set, paneRect);
  for (GraphViewGL* view : {static_cast<GraphViewGL*>(set->first3D), static_cast<GraphViewGL*>(set->second3D),
                            static_cast<GraphViewGL*>(set->view4D)}) {
    view->SetOwner(document);
  }
  for (int k = 0; k < 2; ++k) {
    if (!set->held2D[k]) continue;
    set->held2D[k]->SetViewDefaults();  // a new view shows its default range centred in its rectangle
    set->held2D[k]->UpdateGeometry();
  }
}

void DestroyViewSet(GraphViewSet* set) {
  AbandonSuspendedCompute();
  GrowArrayFree(set->graphIndexList);
  GrowArrayFree(set->graphTable);
  set->held4D.reset();
  set->held3D[1].reset();
  set->held3D[0].reset();
  set->held2D[1].reset();
  set->held2D[0].reset();
  set->first2D = set->second2D = nullptr;
  set->first3D = set->second3D = nullptr;
  set->view4D = nullptr;
  set->primary = set->secondary = set->clicked = nullptr;
  set->paneRect = QDRect{0, 0, 0, 0};
  for (uint8_t& used : set->rangeInUse) used = 0;
  set->document = nullptr;
}

GraphView* ViewSetView(const GraphViewSet* set, int32_t slot) {
  if (slot < kViewFirst2D || slot > kView4D) return nullptr;
  return AllViews(set).view[slot - 1];
}

bool CheckViewSet(const GraphViewSet* set) {
  const GraphView* primary = set->primary;
  const GraphView* secondary = set->secondary;
  if (primary != nullptr && primary != set->first2D && primary != set->first3D && primary != set->view4D) return false;
  if (secondary != nullptr && secondary != set->second2D && secondary != set->second3D) return false;
  bool clickedKnown = set->clicked == nullptr;
  for (GraphView* view : AllViews(set)) {
    if (view == nullptr) continue;
    clickedKnown = clickedKnown || view == set->clicked;
    if (!CheckGrowArray(view->graphs)) return false;
  }
  if (!clickedKnown || !CheckGrowArray(set->graphTable) || !CheckGrowArray(set->graphIndexList)) return false;
  for (int32_t row = 0; row < set->graphTable.count; ++row) {
    for (const GraphSlot& pair : set->graphTable.data[row].pair) {
      if (pair.view < kNoView || pair.view > kView4D || pair.index < 0 || (pair.view == kNoView && pair.index != 0)) {
        return false;
      }
    }
  }
  return true;
}

// ---- Idle and completion ----

void ViewSetIdleTick(GraphViewSet* set, int32_t budget) {
  const uint32_t start = ElapsedTimerUnits();
  if (set->primary != nullptr) {
    set->primary->Tick(budget);
    if (set->primary->IsReady()) ViewSetSetOptionAll(set, 5, 0);
  }
  if (set->secondary == nullptr) return;
  const uint32_t deadline = start + static_cast<uint32_t>(budget > 0 ? budget : 0);
  const uint32_t now = ElapsedTimerUnits();
  set->secondary->Tick(DeadlineReached(now, deadline) ? 0 : static_cast<int32_t>(deadline - now));
  if (set->secondary->IsReady()) ViewSetSetOptionAll(set, 5, 1);
}

bool ViewSetAllViewsReady(GraphViewSet* set) {
  // Only the shown views are ticked: a graph in a hidden view (a space field built while the
  // plane is shown) waits until its view is shown, and must not keep the idle loop busy meanwhile.
  return (set->primary == nullptr || set->primary->IsReady()) &&
         (set->secondary == nullptr || set->secondary->IsReady());
}

bool ViewSetNeedsRedraw(GraphViewSet* set) {
  if (!ViewSetAllViewsReady(set)) return true;
  if (set->primary != nullptr && set->primary->NeedsRedraw()) return true;
  return set->secondary != nullptr && set->secondary->NeedsRedraw();
}

void ViewSetClearFlags(GraphViewSet* set) {
  if (set->first2D != nullptr) set->first2D->ClearProbe();
  if (set->second2D != nullptr) set->second2D->ClearProbe();
}

// ---- Broadcasts ----

void ViewSetSetVariableAll(GraphViewSet* set, int32_t symbol, double value) {
  AbandonSuspendedCompute();
  for (GraphView* view : AllViews(set)) {
    if (view == nullptr) continue;
    for (int32_t i = 0; i < view->graphs.count; ++i) {
      if (view->graphs.data[i] != nullptr) view->graphs.data[i]->VariableChanged(symbol, value);
    }
  }
  ViewSetClearFlags(set);
}

void ViewSetDeleteAllGraphs(GraphViewSet* set) {
  AbandonSuspendedCompute();
  for (GraphView* view : AllViews(set)) {
    if (view != nullptr) DeleteGraphList(view->graphs);
  }
  GrowArrayFree(set->graphTable);
  ViewSetClearFlags(set);
  if (set->document != nullptr) set->document->ResetTextFieldState();
}

void ViewSetSetOptionAll(GraphViewSet* set, int32_t code, int32_t side) {
  if (code != 5) AbandonSuspendedCompute();  // handing finished samples on changes no computing
  if (side == 0 || side == 2) SetOptionIfPresent(set->first2D, code);
  if (side == 1 || side == 2) SetOptionIfPresent(set->second2D, code);
  if (side == 0 || side == 2) SetOptionIfPresent(set->first3D, code);
  if (side == 1 || side == 2) SetOptionIfPresent(set->second3D, code);
  if (set->document == nullptr) return;
  set->document->SetToolbarHelpTags(code, ViewSetGetOption15State(set, 0), ViewSetGetOption15State(set, 1),
                                    ViewSetGetOption16State(set, 0), ViewSetGetOption16State(set, 1));
  if (code != 5) set->document->RedrawGraphPaneNow();
}

void ViewSetThirdViewCommand(GraphViewSet* set, int32_t code, double value) {
  AbandonSuspendedCompute();
  if (set->view4D != nullptr) set->view4D->SetOption(code, value);
}

void ViewSetBroadcastCommand(GraphViewSet* set, int32_t code, int32_t side) {
  AbandonSuspendedCompute();
  if (side == 2 && (code == 6 || code == 7)) {
    for (GraphView* view : AllViews(set)) {
      if (view != nullptr) view->Command(code);
    }
  } else {
    if ((side == 0 || side == 2) && set->primary != nullptr) set->primary->Command(code);
    if ((side == 1 || side == 2) && set->secondary != nullptr) set->secondary->Command(code);
  }
  if (set->document == nullptr) return;
  set->document->MarkDocumentDirty();
  if (code != 7) set->document->SetDocumentModified(true);
  set->document->AdjustCursor();
}

void ViewSetSelectSlotEntry(GraphViewSet* set, int32_t code, double value, int32_t row) {
  AbandonSuspendedCompute();
  if (row < 0 || row >= set->graphTable.count) return;
  const GraphTableRow entry = set->graphTable.data[row];
  for (int p = 0; p < 4; ++p) {
    GraphView* view = ViewSetView(set, entry.pair[p].view);
    if (view == nullptr) continue;
    const double sent = (p >= 2 && code == 6 && value != 17.0) ? 8.0 : value;
    view->SetGraphOption(code, sent, entry.pair[p].index);
  }
}

int32_t ViewSetGetSlotEntry(GraphViewSet* set, int32_t row) {
  if (row < 0 || row >= set->graphTable.count) return 0;
  const GraphSlot first = set->graphTable.data[row].pair[0];
  GraphView* view = ViewSetView(set, first.view);
  if (view == nullptr || first.index < 0 || first.index >= view->graphs.count) return 0;
  return view->GraphStatus(first.index);
}

bool ViewSetMatchSingleEquation(const GraphViewSet* set, const GrowArray<int32_t>& rows, const GraphKind* graph) {
  if (rows.count != 1) return false;
  const int32_t row = rows.data[0];
  if (row < 0 || row >= set->graphTable.count || set->first2D == nullptr) return false;
  const GraphSlot first = set->graphTable.data[row].pair[0];
  if (first.view != kViewFirst2D || first.index < 0 || first.index >= set->first2D->graphs.count) return false;
  return set->first2D->graphs.data[first.index] == graph;
}

// ---- Geometry and drawing ----

void ViewSetSetPaneRect(GraphViewSet* set, const QDRect& paneRect) {
  AbandonSuspendedCompute();
  set->paneRect = paneRect;
  ViewSetLayoutViews(set);
  ViewSetResetAllViews(set);
}

void ViewSetLayoutViews(GraphViewSet* set) {
  AbandonSuspendedCompute();
  for (GraphView* view : AllViews(set)) {
    if (view != nullptr) view->rect = set->paneRect;
  }
  if (set->secondary == nullptr) return;
  const int32_t width = RectWidth(set->paneRect);
  const int32_t half = width / 2;
  for (GraphView* view : {set->primary, set->secondary}) {
    if (view == nullptr) continue;
    QDRect r = set->paneRect;
    if (view == set->primary) {
      r.right = PinCoordinate(int32_t(r.right) - half - kLeftGap);
      if (r.right < r.left) r.right = r.left;
    } else {
      r.left = PinCoordinate(int32_t(r.left) + (width - half) + kRightGap);
      if (r.left > r.right) r.left = r.right;
    }
    if (r.bottom < r.top) r.top = r.bottom;
    view->rect = r;
  }
}

void ViewSetResetAllViews(GraphViewSet* set) {
  AbandonSuspendedCompute();
  for (GraphView* view : AllViews(set)) {
    if (view != nullptr && view != set->view4D) view->UpdateGeometry();
  }
}

void ViewSetActivate(GraphViewSet* set, int32_t mode) {
  // Drawing reads the graphs: a Compute suspended in the middle of a unit goes first. A 2D view's
  // pointer work only reads them too and stays, to be taken up (a drawing never evaluates; if one
  // did, the evaluation would abandon it, and it would begin again).
  if (!PointerWorkSuspended(set)) AbandonSuspendedCompute();
  GraphView* primary = set->primary;
  GraphView* secondary = set->secondary;
  if (mode == 3) {
    const bool glPrimary = primary != nullptr && (primary == set->first3D || primary == set->view4D);
    if (glPrimary && primary->CanRedrawLive() && primary->NeedsRedraw()) primary->Draw();
    const bool glSecondary = secondary != nullptr && secondary == set->second3D;
    if (glSecondary && secondary->CanRedrawLive() && secondary->NeedsRedraw()) secondary->Draw();
    return;
  }
  if (secondary == nullptr) {
    if (primary != nullptr) primary->Draw();
    return;
  }
  if ((mode == 2 || mode == 0) && primary != nullptr) primary->Draw();
  if (mode == 2 || mode == 1) secondary->Draw();
}

RgnHandle ViewSetInvalRect(GraphViewSet* set, RgnHandle region, bool all) {
  return UnionOfViews(set, region, [all](GraphView* view, RgnHandle r) { view->InvalRect(r, all); });
}

RgnHandle ViewSetInvalRectMode(GraphViewSet* set, RgnHandle region, bool all, QDPoint point) {
  return UnionOfViews(set, region,
                      [all, point](GraphView* view, RgnHandle r) { view->InvalRectMode(r, all, point); });
}

RgnHandle ViewSetInvalidateRegion(GraphViewSet* set, RgnHandle region) {
  return UnionOfViews(set, region, [](GraphView* view, RgnHandle r) { view->InvalRegion(r); });
}

RgnHandle ViewSetGLViewRegion(GraphViewSet* set, RgnHandle region) {
  SetEmptyRgn(region);
  GraphView* primary = set->primary;
  if (primary != nullptr && (primary == set->first3D || primary == set->view4D)) RectRgn(region, primary->rect);
  if (IsSecondary(set, set->second3D)) {
    RgnHandle part = NewRgn();
    if (part != nullptr && RectRgn(part, set->second3D->rect)) UnionRgn(region, part, region);
    DisposeRgn(part);
  }
  return region;
}

QDRect ViewSetGetViewRect(const GraphViewSet* set, int32_t side) {
  if (side == 0 && set->primary != nullptr) return set->primary->rect;
  if (side == 1 && set->secondary != nullptr) return set->secondary->rect;
  return set->paneRect;
}

void ViewSetCopyViewSettings(GraphViewSet* set, int32_t side) {
  AbandonSuspendedCompute();
  if (set->primary != set->first2D) {
    GraphView3D* to = side == 0 ? set->first3D : set->second3D;
    const GraphView3D* from = side == 0 ? set->second3D : set->first3D;
    if (to != nullptr && from != nullptr) to->settings = from->settings;
    return;
  }
  GraphView2D* to = side == 0 ? set->first2D : set->second2D;
  const GraphView2D* from = side == 0 ? set->second2D : set->first2D;
  if (to == nullptr || from == nullptr) return;
  to->scale = from->scale;
  ViewSetResetAllViews(set);
  to->UpdateViewMaps();
}

// ---- Mouse ----

GraphView* ViewSetViewAt(const GraphViewSet* set, QDPoint point) {
  if (set->secondary == nullptr || Contains(set->primary, point)) return set->primary;
  return Contains(set->secondary, point) ? set->secondary : nullptr;
}

ClickResult ViewSetTrackMouse(GraphViewSet* set, QDPoint point, uint32_t when, const ClickFlags& flags) {
  AbandonSuspendedCompute();
  GraphView* view = ViewSetViewAt(set, point);
  if (view == nullptr) return ClickResult::Declined;
  set->clicked = view;
  return view->Click(point, when, flags);
}

int32_t ViewSetScrollWheel(GraphViewSet* set, QDPoint point, int32_t dh, int32_t dv) {
  AbandonSuspendedCompute();
  if (Contains(set->primary, point)) return set->primary->ScrollWheel(dh, dv);
  if (Contains(set->secondary, point)) return set->secondary->ScrollWheel(dh, dv);
  return 0;
}

bool ViewSetPointInCurrent2D(const GraphViewSet* set, QDPoint point) {
  return (IsPrimary(set, set->first2D) && Contains(set->first2D, point)) ||
         (IsSecondary(set, set->second2D) && Contains(set->second2D, point));
}

bool ViewSetDropOn2DView(GraphViewSet* set, const Picture* picture, const QDPoint* point) {
  AbandonSuspendedCompute();
  return IsPrimary(set, set->first2D) && set->first2D->DropPicture(picture, point);
}

// ---- Queries ----

bool ViewSetIsThirdViewCurrent(const GraphViewSet* set) { return IsPrimary(set, set->view4D); }

bool ViewSetHas3DView(const GraphViewSet* set) {
  return IsPrimary(set, set->first3D) || IsSecondary(set, set->second3D) || IsPrimary(set, set->view4D);
}

bool ViewSetIsPrimary2DActive(const GraphViewSet* set) {
  return IsPrimary(set, set->first2D) || IsSecondary(set, set->second2D);
}

bool ViewSetAnyViewBusy(const GraphViewSet* set) {
  return (IsPrimary(set, set->first3D) && set->first3D->HasWindowContext()) ||
         (IsPrimary(set, set->view4D) && set->view4D->HasWindowContext()) ||
         (IsSecondary(set, set->second3D) && set->second3D->HasWindowContext());
}

int32_t ViewSetGetOption15State(const GraphViewSet* set, int32_t side) {
  if (side == 0) {
    if (IsPrimary(set, set->first2D)) return set->first2D->showAxes;
    if (IsPrimary(set, set->first3D)) return set->first3D->showAxes;
    if (IsPrimary(set, set->view4D)) return set->view4D->showAxes;
  } else if (side == 1) {
    if (IsSecondary(set, set->second2D)) return set->second2D->showAxes;
    if (IsSecondary(set, set->second3D)) return set->second3D->showAxes;
  }
  return 0;
}

int32_t ViewSetGetOption16State(const GraphViewSet* set, int32_t side) {
  if (side == 0 && IsPrimary(set, set->first2D)) return set->first2D->showGraphPaper;
  if (side == 1 && IsSecondary(set, set->second2D)) return set->second2D->showGraphPaper;
  return 0;
}

void ViewSetRedrawWhenBoth2D(GraphViewSet* set, const GraphView* view) {
  if (view != nullptr && view == set->first2D && IsSecondary(set, set->second2D) && set->document != nullptr) {
    set->document->RedrawGraphPaneNow();
  }
}

// ---- OpenGL housekeeping ----

void ViewSetReadGLFrames(GraphViewSet* set, int32_t side) {
  if ((side == 0 || side == 2) && IsPrimary(set, set->first3D)) {
    ReadFrameIfWindow(set->first3D->context, set->first3D->HasWindowContext());
  }
  if ((side == 1 || side == 2) && IsSecondary(set, set->second3D)) {
    ReadFrameIfWindow(set->second3D->context, set->second3D->HasWindowContext());
  }
  if (IsPrimary(set, set->view4D)) ReadFrameIfWindow(set->view4D->context, set->view4D->HasWindowContext());
}

void ViewSetDisposeGLContexts(GraphViewSet* set) {
  AbandonSuspendedCompute();
  for (GraphicsContext* context :
       {set->first3D ? set->first3D->context : nullptr, set->second3D ? set->second3D->context : nullptr,
        set->view4D ? set->view4D->context : nullptr}) {
    if (context != nullptr) DetachGLContext(context);
  }
}

void ViewSetSetRequestedContextKind(GraphViewSet* set, int32_t kind) {
  AbandonSuspendedCompute();
  if (IsPrimary(set, set->first3D) && set->first3D->context) SetRequestedContextKind(set->first3D->context, kind);
  if (IsSecondary(set, set->second3D) && set->second3D->context) {
    SetRequestedContextKind(set->second3D->context, kind);
  }
  if (IsPrimary(set, set->view4D) && set->view4D->context) SetRequestedContextKind(set->view4D->context, kind);
}

int32_t ViewSetApplyToGLViews(GraphViewSet* set, int32_t frames) {
  if (IsPrimary(set, set->first3D)) frames = ReckonFrames(&set->first3D->spinSpeed, frames);
  if (IsSecondary(set, set->second3D)) frames = ReckonFrames(&set->second3D->spinSpeed, frames);
  if (IsPrimary(set, set->view4D)) {
    GraphView4D* view = set->view4D;
    view->spinSpeed2 /= 15.0;
    frames = ReckonFrames(&view->spinSpeed1, frames);
    view->spinSpeed2 = view->spinSpeed1;
  }
  return frames;
}

void ViewSetSetBounds(GraphViewSet* set, double x1, double x2, double y1, double y2, int32_t side) {
  AbandonSuspendedCompute();
  if ((side == 0 || side == 2) && set->first2D != nullptr) set->first2D->SetViewRange(x1, x2, y1, y2);
  if ((side == 1 || side == 2) && set->second2D != nullptr) set->second2D->SetViewRange(x1, x2, y1, y2);
  if (set->document != nullptr) set->document->SetDocumentModified(true);
}
