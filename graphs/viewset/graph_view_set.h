// GraphViewSet: the five views of a document's graph pane (first and second 2D, first and second
// 3D, the 4D view), the primary view and the optional secondary view shown beside it, and the
// table that locates each graph in the views; with the operations the document drives the pane
// by: the idle tick, broadcasts, invalidation, mouse routing, layout and GL housekeeping.
// Invariants: the primary is a side-0 view (first 2D, first 3D or 4D), the secondary a side-1
// view (second 2D or 3D) or null; the set holds its five views by value from InitViewSet to
// DestroyViewSet; a view pointer that is null (before InitViewSet) is skipped everywhere.
#pragma once

#include <cstdint>
#include <optional>

#include "graphs/core/graph_view.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/memory/growable_array.h"

// Views by position, as the graph table names them (0: no view).
enum ViewSlot : int32_t {
  kNoView = 0,
  kViewFirst2D = 1,
  kViewSecond2D = 2,
  kViewFirst3D = 3,
  kViewSecond3D = 4,
  kView4D = 5,
};

// Where one graph lives: up to four (view, index in that view's list) pairs; an implicit surface
// and its companion use two. Unused pairs are zero.
struct GraphSlot {
  int32_t view;  // a ViewSlot
  int32_t index;
};
struct GraphTableRow {
  GraphSlot pair[4];
};
static_assert(sizeof(GraphTableRow) == 32, "32-byte rows of the graph table");

struct GraphViewSet {
  GraphViewSet() = default;
  GraphViewSet(const GraphViewSet&) = delete;  // the view pointers point into the set itself
  GraphViewSet& operator=(const GraphViewSet&) = delete;

  // The five views, held by value: InitViewSet builds them in place (first 2D, second 2D, first
  // 3D, second 3D, 4D) and DestroyViewSet destroys them in the reverse order.
  std::optional<GraphView2D> held2D[2];
  std::optional<GraphView3D> held3D[2];
  std::optional<GraphView4D> held4D;
  // The views every operation reaches them through: the set's own after InitViewSet. A test may
  // point one at a recording view of its own before InitViewSet, which then builds no view for
  // that slot; such a view stays the test's to delete.
  GraphView2D* first2D = nullptr;
  GraphView2D* second2D = nullptr;
  GraphView3D* first3D = nullptr;
  GraphView3D* second3D = nullptr;
  GraphView4D* view4D = nullptr;
  GraphView* primary = nullptr;    // the view shown (the factory's currentView)
  GraphView* secondary = nullptr;  // shown beside it (the factory's secondaryView); null for one view
  GraphView* clicked = nullptr;    // the view that took the last mouse-down
  QDRect paneRect{0, 0, 0, 0};
  GrowArray<GraphTableRow> graphTable;
  GrowArray<int32_t> graphIndexList;  // graphs recorded under a coordinate transformation
  uint8_t rangeInUse[13] = {};
  DocumentServices* document = nullptr;
};

// Builds the set: the five views in place, empty tables, all range flags clear, the first 2D view
// primary, no secondary, no clicked view; the document is the owner of the set, of every view and
// of the three views' graphics contexts; the views are laid out in the pane, each 2D view showing
// its default range.
void InitViewSet(GraphViewSet* set, const QDRect& paneRect, DocumentServices* document);
// Frees both tables, then destroys the 4D view, the 3D views and the 2D views, second before
// first (graphs still listed go with their views). The set is left as a new one.
void DestroyViewSet(GraphViewSet* set);
// The view at a slot, or null (kNoView, out of range, or not present).
GraphView* ViewSetView(const GraphViewSet* set, int32_t slot);
// Verifies the invariants: primary and secondary on their sides, the clicked view one of the five,
// the tables and graph lists valid arrays, every table pair naming a slot (index 0 when unused).
bool CheckViewSet(const GraphViewSet* set);

// ---- Idle and completion ----
// Ticks the primary with the whole budget and the secondary with what is left of it (0 when
// nothing is); a side whose view answers IsReady gets SetOptionAll(5, side).
void ViewSetIdleTick(GraphViewSet* set, int32_t budget);
// The shown views (the primary, and the secondary when there is one) answer IsReady. Hidden views
// are computed once they are shown.
bool ViewSetAllViewsReady(GraphViewSet* set);
// Not all views ready, or the primary or the secondary answers NeedsRedraw.
bool ViewSetNeedsRedraw(GraphViewSet* set);
// Clears the drawn word (the probe mode) of both 2D views, with the probe still running that
// would have set it.
void ViewSetClearFlags(GraphViewSet* set);

// ---- Broadcasts ----
// VariableChanged on every graph of every view, in view and list order; then ViewSetClearFlags.
void ViewSetSetVariableAll(GraphViewSet* set, int32_t symbol, double value);
// Deletes every graph of every view, frees the graph table, clears the drawn words, and resets
// the document's text-field state.
void ViewSetDeleteAllGraphs(GraphViewSet* set);
// SetOption(code) on the 2D and 3D views of a side (0, 1, or 2 for both), never the 4D view;
// then the toolbar help tags, and a redraw of the pane unless the code is 5.
void ViewSetSetOptionAll(GraphViewSet* set, int32_t code, int32_t side);
// SetOption(code, value) of the 4D view alone.
void ViewSetThirdViewCommand(GraphViewSet* set, int32_t code, double value);
// Command(code): codes 6 and 7 with side 2 to all five views; other codes with side 2 to the
// primary and the secondary; side 0 the primary, side 1 the secondary. Then the document is
// marked changed and (unless the code is 7) modified, and the cursor regions rebuilt.
void ViewSetBroadcastCommand(GraphViewSet* set, int32_t code, int32_t side);
// SetGraphOption(code, value, index) to the view of each present pair of the table row; the third
// and fourth pairs get 8 in place of a colour value other than 17 (code 6). Nothing for a row
// outside the table.
void ViewSetSelectSlotEntry(GraphViewSet* set, int32_t code, double value, int32_t row);
// The graph result message of the row's first graph; 0 when the row, its view or the index is
// not there.
int32_t ViewSetGetSlotEntry(GraphViewSet* set, int32_t row);
// `rows` holds exactly one valid table row, whose first view is the first 2D view, and `graph` is
// the entry at that row's index there.
bool ViewSetMatchSingleEquation(const GraphViewSet* set, const GrowArray<int32_t>& rows, const GraphKind* graph);

// ---- Geometry and drawing ----
// Stores the pane rectangle, lays the views out (ViewSetLayoutViews) and resets them.
void ViewSetSetPaneRect(GraphViewSet* set, const QDRect& paneRect);
// Every view gets the pane; with a secondary, the primary keeps the left part up to 6 pixels
// before the middle and the secondary starts 5 pixels after it. No rectangle comes out with its
// bottom above its top or its right before its left.
void ViewSetLayoutViews(GraphViewSet* set);
// UpdateGeometry of the two 2D and the two 3D views.
void ViewSetResetAllViews(GraphViewSet* set);
// Draws: mode 2 both views, 0 the primary, 1 the secondary (with no secondary every mode but 3
// draws the primary); mode 3 is the live redraw of GL views that ask for it. A suspended Compute is
// abandoned first; a 2D view's suspended pointer work is left to be taken up.
void ViewSetActivate(GraphViewSet* set, int32_t mode);
// The primary's InvalRect / InvalRectMode / InvalRegion into `region`, with the secondary's
// part added. Returns the region.
RgnHandle ViewSetInvalRect(GraphViewSet* set, RgnHandle region, bool all);
RgnHandle ViewSetInvalRectMode(GraphViewSet* set, RgnHandle region, bool all, QDPoint point);
RgnHandle ViewSetInvalidateRegion(GraphViewSet* set, RgnHandle region);
// The part of the pane that OpenGL draws. Returns the region.
RgnHandle ViewSetGLViewRegion(GraphViewSet* set, RgnHandle region);
// The primary's rectangle (side 0), the secondary's (1), else the pane.
QDRect ViewSetGetViewRect(const GraphViewSet* set, int32_t side);
// Copies into the view of `side` the settings of the other side's view: the 3D camera and ranges
// unless the primary is the first 2D view, else the 2D scale and ranges (then the views are reset
// and the destination's maps rebuilt).
void ViewSetCopyViewSettings(GraphViewSet* set, int32_t side);

// ---- Mouse ----
// The view a mouse-down at the point goes to: the primary alone, or the view containing the
// point, primary first; null when none does.
GraphView* ViewSetViewAt(const GraphViewSet* set, QDPoint point);
// Routes a mouse-down to the view that takes it (the primary alone, or the view containing the
// point, primary first) and returns its answer; Declined when no view contains the point.
ClickResult ViewSetTrackMouse(GraphViewSet* set, QDPoint point, uint32_t when, const ClickFlags& flags);
// ScrollWheel of the view containing the point (primary first); 0 when none does.
int32_t ViewSetScrollWheel(GraphViewSet* set, QDPoint point, int32_t dh, int32_t dv);
bool ViewSetPointInCurrent2D(const GraphViewSet* set, QDPoint point);
// A dropped picture goes to the first 2D view when it is the primary. False otherwise.
bool ViewSetDropOn2DView(GraphViewSet* set, const Picture* picture, const QDPoint* point);

// ---- Queries ----
bool ViewSetIsThirdViewCurrent(const GraphViewSet* set);
bool ViewSetHas3DView(const GraphViewSet* set);
bool ViewSetIsPrimary2DActive(const GraphViewSet* set);
// A shown GL view draws through a window context.
bool ViewSetAnyViewBusy(const GraphViewSet* set);
// Axes switch of the shown view of a side; 0 when that side shows nothing that has one.
int32_t ViewSetGetOption15State(const GraphViewSet* set, int32_t side);
// Graph-paper switch of the 2D view shown on a side; 0 otherwise.
int32_t ViewSetGetOption16State(const GraphViewSet* set, int32_t side);
// Redraws the pane at once when `view` is the first 2D view and the second 2D view is beside it.
void ViewSetRedrawWhenBoth2D(GraphViewSet* set, const GraphView* view);

// ---- OpenGL housekeeping ----
// Reads the frames of the shown GL views with window contexts back into their pictures: side 0
// or 2 the first 3D view, 1 or 2 the second; the 4D view whenever it is the primary.
void ViewSetReadGLFrames(GraphViewSet* set, int32_t side);
// Releases what the contexts of the two 3D views and the 4D view built.
void ViewSetDisposeGLContexts(GraphViewSet* set);
// Requested context kind of the shown GL views.
void ViewSetSetRequestedContextKind(GraphViewSet* set, int32_t kind);
// Spin speeds and movie frames of the shown GL views, each taking the previous one's frames:
// the stored speed is divided by 15 (callers that must keep it save and restore it); a non-zero
// `frames` sets the speed to 2 pi / frames, else frames = round(2 pi / |speed|) capped at 200
// (speed then 0.01 pi); the speed keeps its sign. The 4D view reckons from its first speed and
// stores the result in both. Returns the frames.
int32_t ViewSetApplyToGLViews(GraphViewSet* set, int32_t frames);
// Plotting bounds of the first 2D view (side 0), the second (1) or both (2); marks the document
// modified.
void ViewSetSetBounds(GraphViewSet* set, double x1, double x2, double y1, double y2, int32_t side);
