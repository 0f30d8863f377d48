// GraphRelation2D: where a relation in x and y holds, as a bitmap of two bits a pixel filled by
// subdividing rectangles with interval evaluation down to pixels (relation_graph.cpp), read by
// the drawing, status, hit test and probe (relation_graph_queries.cpp). Invariants: a pixel is
// blank only when its box is proven false or undefined throughout (draft mode 0 aside); kept
// pixels stay world-aligned; any slicing of Compute gives the same bitmap; purged caches unread.
#pragma once

#include <cstdint>

#include "graphics/packed_bitmap.h"
#include "graphs/core/graph_kind.h"
#include "graphs/core/value_cache.h"
#include "graphs/view2d/view_map.h"
#include "kernel/numeric/interval.h"

class GraphColor;
struct CompiledFunction;

// Pixel values of the bitmap.
enum RelationPixel : uint32_t { kRelationBlank = 0, kRelationUndecided = 1, kRelationHolds = 3 };
// Rectangles of at most this many pixels a side are decided pixel by pixel.
inline constexpr int32_t kRelationTile = 10;

class GraphRelation2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled here; the boundary may be null) and the colour. Plotting
  // mode 0 settles undecided pixels by a corner sample, 1 marks them, 2 marks those where the
  // relation may hold; other values act as 2. A bitmap that cannot be had posts error 7 and leaves
  // the graph empty (complete, drawing nothing). Made while the benchmark plays, it caches nothing.
  GraphRelation2D(CompiledFunction* relation, CompiledFunction* boundary, GraphColor* color, int32_t plotMode,
                  uint8_t isEquation, const ViewMap* map);
  ~GraphRelation2D() override;
  GraphRelation2D(const GraphRelation2D&) = delete;
  GraphRelation2D& operator=(const GraphRelation2D&) = delete;

  // ---- GraphKind2D (relation_graph.cpp) ----
  // Decides pending rectangles, the last first, reading the clock before each; complete, a bitmap
  // of a parameter value that was asked for is cached.
  void Compute(int32_t budget) override;
  // The parameter variable restores a cached bitmap or computes one to cache; any other variable
  // the relation depends on invalidates.
  void VariableChanged(int32_t symbol, double value) override;
  // 0: plotting mode (exactly 0.0, 1.0 or 2.0; any value restarts); 6: colour index.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override;
  // The bitmap is resized to the map's frame; pixels still world-aligned are kept, the rest queued.
  void GeometryChanged() override;
  // The shift is taken from the map (which the view moves first); kept pixels stay world-aligned.
  void Scroll(int32_t dh, int32_t dv) override;

  // ---- Queries (relation_graph_queries.cpp) ----
  bool Draw() override;
  // 6 / 8 when false everywhere, 7 / 9 when nothing is set in the view (equation / inequality).
  int32_t Status() override;
  // The boundary changes sign within 4 pixels.
  bool HitTest(double x, double y) override;
  // The set pixel nearest the point (rings of pixels), refined onto the boundary: mode 1.
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) override;

  // Read access for the tests and the benchmarks.
  PackedBitmap Bitmap() const { return PackedBitmap{bits_, rowBytes_, frame_}; }
  const GrowArray<QDRect>& Pending() const { return pending_; }
  const ValueCache& Cache() const { return cache_.rows; }
  bool CacheOff() const { return cache_.off != 0; }
  int32_t PlotMode() const { return plotMode_; }
  uint8_t IsEquation() const { return isEquation_; }
  CompiledFunction* Relation() const { return relation_; }
  CompiledFunction* Boundary() const { return boundary_; }
  GraphColor* Color() const { return color_; }
  // Boxes evaluated over intervals since construction.
  uint64_t Evaluations() const { return evaluations_; }

 private:
  // Zeroes the bitmap and queues its whole frame.
  void Reset();
  // World edges of pixel columns and rows: x of the left edge of column h, y of the top edge of
  // row v (a pixel's centre lies on a whole pixel).
  double EdgeX(int32_t h) const;
  double EdgeY(int32_t v) const;
  // The relation over the whole plane, once in the computing's time (a long value must not be
  // worked out where the window asks for the status): false throughout, or maybe not.
  void DecidePlane();
  // Decides the rectangle on top of the queue: filled, left blank, decided pixel by pixel, or
  // replaced by its two halves. It leaves the queue only once decided.
  void DecideTopRect();
  // Pixel by pixel, for a rectangle of at most kRelationTile a side.
  void DecidePixels(const QDRect& r);
  // Settles one pixel whose box gave `value`.
  uint32_t SettlePixel(const Interval& value, const Interval& x, const Interval& y);
  // Some part of the box's 5 x 5 cut may satisfy the relation.
  bool SubBoxMayHold(const Interval& x, const Interval& y);
  // A fresh zeroed bitmap for frame_ (null for an empty frame; error 7 posted when refused); the
  // old one is the caller's to free.
  void AllocateBitmap();
  // The bytes of the bitmap: rowBytes_ x the frame's height.
  size_t BitmapBytes() const;
  // Moves the bitmap and the pending rectangles onto the map's present frame and origin: by the
  // scroll's (dh, dv) when given, else by the move the maps show (a geometry change).
  void FollowMap(const int32_t* scrolled);
  void OffsetPendingRects(int32_t dh, int32_t dv);
  // Queues the parts of the frame outside `covered`: left and right strips (full height), then
  // above and below (covered's columns), ahead of the older rectangles.
  void AddExposedStrips(const QDRect& covered);
  bool Queue(const QDRect& r, bool atFront);

  const ViewMap* map_;
  ViewMap bitsMap_;  // the map the bitmap's pixels were decided on
  CompiledFunction* relation_;
  CompiledFunction* boundary_;
  GrowArray<QDRect> pending_;  // decided from the end
  int32_t plotMode_;
  uint8_t isEquation_;
  enum class PlaneVerdict : uint8_t { kUnknown, kMaybe, kNowhere };
  PlaneVerdict plane_ = PlaneVerdict::kUnknown;  // DecidePlane's, until the relation's values change
  GraphColor* color_;
  uint8_t* bits_ = nullptr;  // counted memory, rowBytes_ x height of frame_
  int32_t rowBytes_ = 0;
  QDRect frame_;
  FrameCache cache_;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewRelationGraph(CompiledFunction* relation, CompiledFunction* boundary, GraphColor* color,
                              int32_t plotMode, uint8_t isEquation, const ViewMap* map);
