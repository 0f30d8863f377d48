// GraphView: the abstract drawing surface of a graph pane, owning a list of graphs, with the
// routines every view shares over its list (the timed tick, readiness, status, deletion).
// Invariants: a view owns the graphs in its list (null entries are allowed and skipped); the
// tick never passes its deadline by more than one graph's Compute, and deadlines are compared
// across the timer's wrap.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "kernel/memory/growable_array.h"
#include "platform/draw/qd_geometry.h"
#include "platform/draw/region.h"

class DocumentServices;

using GraphList = GrowArray<GraphKind*>;

// The one answer of a click at the view boundary.
enum class ClickResult : int32_t { Handled = 0, Declined = 1 };

// The five flag bytes of a mouse-down, from the event's modifiers and click count. The 2D view
// reads them as ignore, pan, probe, zoom box and zoom click; the 3D and 4D views as their keys.
struct ClickFlags {
  uint8_t byte[5];
};

class GraphView {
 public:
  virtual ~GraphView() = default;
  // Computes the view's graphs for at most `budget` timer units (TickGraphList).
  virtual void Tick(int32_t budget) = 0;
  virtual void Draw() = 0;
  // The Status of the graph at `index` of the list (0 when there is none).
  virtual int32_t GraphStatus(int32_t index) = 0;
  // Lays the view out again after its rectangle changed.
  virtual void UpdateGeometry() = 0;
  virtual void Command(int32_t code) = 0;
  virtual int32_t ScrollWheel(int32_t dh, int32_t dv) = 0;
  // Passes a graph option (code, value) to the graph at `index` of the list.
  virtual void SetGraphOption(int32_t code, double value, int32_t index) = 0;
  // Each puts into `region` the part of the window the view must redraw, and returns it.
  virtual RgnHandle InvalRect(RgnHandle region, bool all) = 0;
  virtual RgnHandle InvalRectMode(RgnHandle region, bool all, QDPoint point) = 0;
  virtual RgnHandle InvalRegion(RgnHandle region) = 0;
  virtual QDPoint Origin() = 0;
  virtual ClickResult Click(QDPoint point, uint32_t when, const ClickFlags& flags) = 0;
  virtual void ReservedHook1() = 0;
  virtual void ReservedHook2() = 0;
  // The picture is stale and may be redrawn during live interaction.
  virtual bool NeedsRedraw() = 0;
  virtual bool CanRedrawLive() = 0;
  // Every graph of the list is complete; a ready view gets no more computing time.
  virtual bool IsReady() = 0;
  // A view option; the 2D and 3D views ignore the value.
  virtual void SetOption(int32_t code, double value) = 0;

  QDRect rect{0, 0, 0, 0};                 // in window pixels
  DocumentServices* document = nullptr;  // the document the view belongs to; may be null
  GraphList graphs;
};

// The tick every view runs: with a positive budget, deadline = now + budget; before each graph
// (list order, null skipped) reads the clock, stops once the deadline is reached, else calls
// Compute with the time left (ComputeInTurns: it stops, suspended, where the budget runs out in
// the middle of a value), noting in the graph's gaveUp record whether an evaluation gave up on its
// sums meanwhile (a run ends when the graph turns complete). A budget of 0 or less computes
// nothing.
void TickGraphList(GraphList& graphs, int32_t budget);
// IsComplete of every graph (true for an empty list).
bool AllGraphsComplete(const GraphList& graphs);
// Status of the graph at index: kMessageTooManyTerms while its gaveUp record holds either run,
// else the graph's own Status; 0 for an index outside the list or a null entry.
int32_t GraphListStatus(const GraphList& graphs, int32_t index);
// Invalidate of every graph, any suspended job abandoned first.
void InvalidateGraphList(GraphList& graphs);
// Deletes every graph through its virtual destructor, frees the list and zeroes it.
void DeleteGraphList(GraphList& graphs);

// What tells one state of a graph list from another: its count and the highest serial in it (0 for
// none). A list changes by appending new graphs and by deleting them all, and each new graph's serial
// is higher than any before it, so two states with one stamp hold the same graphs at the same places.
struct GraphListStamp {
  int32_t count = 0;
  uint64_t newest = 0;
  bool operator==(const GraphListStamp&) const = default;
};
GraphListStamp StampOfGraphList(const GraphList& graphs);

// The parameter ranges of a new 3D or 4D view: each of the `pairs` (low, high) pairs (0, 1).
void SetUnitRanges(double* ranges, int pairs);
// Whether [low, high] can be a coordinate range of a 3D box or a 4D axis: the graphs keep their
// vertices as floats, so both bounds lie within +-1e30, the width is at least 1e-30 and spans at
// least 2^-16 of the larger bound (the floats then resolve the range in 256 steps or more).
bool IsUsableSpaceRange(double low, double high);
// The zoom commands of the 3D and 4D views over their `pairs` (at most 4) axis ranges, each scaled
// about its centre: two animation steps, each scaling the ranges as they stand by `step` and
// calling redraw(), then the ranges as they were scaled by `factor` and redraw() once more.
// Nothing happens when a range scaled by `factor` would not be usable (IsUsableSpaceRange): the
// zoom stops there.
template <typename Redraw>
void ZoomRangePairs(double* ranges, int pairs, double step, double factor, Redraw redraw) {
  double kept[8];
  for (int i = 0; i < 2 * pairs; ++i) kept[i] = ranges[i];
  auto scale = [&](const double* from, double by) {
    for (int k = 0; k < pairs; ++k) {
      const double c = (kept[2 * k] + kept[2 * k + 1]) / 2;
      for (int end = 0; end < 2; ++end) ranges[2 * k + end] = c + by * (from[2 * k + end] - c);
    }
  };
  for (int k = 0; k < pairs; ++k) {
    const double c = (kept[2 * k] + kept[2 * k + 1]) / 2;
    if (!IsUsableSpaceRange(c + factor * (kept[2 * k] - c), c + factor * (kept[2 * k + 1] - c))) return;
  }
  for (int animation = 0; animation < 2; ++animation) {
    scale(ranges, step);
    redraw();
  }
  scale(kept, factor);
  redraw();
}
