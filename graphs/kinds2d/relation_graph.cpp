// GraphRelation2D: construction, the budgeted rectangle loop with its pixel decisions, the cache
// of bitmaps per parameter value, and the bitmap across scrolls, geometry changes and options.
#include "graphs/kinds2d/relation_graph.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "graphs/core/graph_color.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kTilePixels = kRelationTile * kRelationTile;

bool IsTrue(const Interval& v) { return IntervalIsExactly(v, 1.0, 1.0); }
bool IsFalse(const Interval& v) { return IntervalIsExactly(v, 0.0, 0.0); }
// Not proven false nor undefined throughout: a wrapped or undecided value may hold somewhere.
bool MayHold(const Interval& v) { return !IntervalIsUndefined(v) && !IsFalse(v); }

// The 5 x 5 parts of a pixel box (column, row): the main diagonal, the other diagonal without the
// centre, then the rest row by row. The diagonals meet most curves through the box.
struct SubBoxOrder {
  uint8_t part[25][2];
  constexpr SubBoxOrder() : part{} {
    int32_t n = 0;
    for (uint8_t i = 0; i < 5; ++i) part[n][0] = i, part[n][1] = i, ++n;
    for (uint8_t i = 0; i < 5; ++i) {
      if (i != 2) part[n][0] = i, part[n][1] = static_cast<uint8_t>(4 - i), ++n;
    }
    for (uint8_t j = 0; j < 5; ++j) {
      for (uint8_t i = 0; i < 5; ++i) {
        if (i != j && i != 4 - j) part[n][0] = i, part[n][1] = j, ++n;
      }
    }
  }
};
constexpr SubBoxOrder kSubBoxOrder;
constexpr int32_t kDiagonalParts = 9;

// a moved by (dh, dv), intersected with b, in 32 bits so no coordinate is pinned on the way.
bool ShiftedOverlap(const QDRect& a, int32_t dh, int32_t dv, const QDRect& b, QDRect* out) {
  const int32_t top = std::max(a.top + dv, int32_t(b.top)), bottom = std::min(a.bottom + dv, int32_t(b.bottom));
  const int32_t left = std::max(a.left + dh, int32_t(b.left)), right = std::min(a.right + dh, int32_t(b.right));
  if (top >= bottom || left >= right) return false;
  *out = MakeRect(left, top, right, bottom);
  return true;
}

}  // namespace

GraphRelation2D::GraphRelation2D(CompiledFunction* relation, CompiledFunction* boundary, GraphColor* color,
                                 int32_t plotMode, uint8_t isEquation, const ViewMap* map)
    : map_(map),
      bitsMap_(*map),
      relation_(relation),
      boundary_(boundary),
      plotMode_(plotMode == 0 || plotMode == 1 ? plotMode : 2),
      isEquation_(isEquation),
      color_(color),
      frame_(map->frame) {
  cache_.off = IsBenchmarkRunning() ? 1 : 0;  // the benchmark always computes
  AllocateBitmap();
  if (relation_ != nullptr) CompileFunction(relation_);
  if (boundary_ != nullptr) CompileFunction(boundary_);
  Reset();
}

GraphRelation2D::~GraphRelation2D() {
  DeleteCompiledFunction(relation_);
  DeleteCompiledFunction(boundary_);
  delete color_;
  FreeMemory(bits_);
  ValueCacheClear(cache_.rows);
  GrowArrayFree(pending_);
}

GraphKind2D* NewRelationGraph(CompiledFunction* relation, CompiledFunction* boundary, GraphColor* color,
                              int32_t plotMode, uint8_t isEquation, const ViewMap* map) {
  return new (std::nothrow) GraphRelation2D(relation, boundary, color, plotMode, isEquation, map);
}

double GraphRelation2D::EdgeX(int32_t h) const {
  return map_->unitsPerPixelX * (h - map_->originH) - map_->unitsPerPixelX / 2;
}

double GraphRelation2D::EdgeY(int32_t v) const {
  return map_->unitsPerPixelY * -(v - map_->originV) + map_->unitsPerPixelY / 2;
}

bool GraphRelation2D::Queue(const QDRect& r, bool atFront) {
  return atFront ? GrowArrayInsert(pending_, r, 0) : GrowArrayAppend(pending_, r);
}

void GraphRelation2D::Reset() {
  pending_.count = 0;  // the capacity stays, so queueing the frame again cannot fail
  bitsMap_ = *map_;
  if (bits_ == nullptr) return;
  ZeroBytes(bits_, BitmapBytes());
  if (!Queue(frame_, false)) {  // the very first queueing was refused: no graph
    FreeMemory(bits_);
    bits_ = nullptr;
    PostError(kErrorOutOfMemory);
  }
}

// ---- Compute ----

void GraphRelation2D::Compute(int32_t budget) {
  if (plane_ == PlaneVerdict::kUnknown) DecidePlane();
  if (bits_ == nullptr) return;
  const uint32_t deadline = ComputeDeadline(budget);
  while (pending_.count > 0 && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    if (EmptyRect(pending_.data[pending_.count - 1])) {
      --pending_.count;  // the all-zero rectangle of a restored bitmap
      continue;
    }
    DecideTopRect();
  }
  if (IsComplete()) FrameCacheStoreIfAsked(cache_, bits_, BitmapBytes());
}

void GraphRelation2D::DecidePlane() {
  double lo = 0, hi = 0;
  if (relation_ != nullptr) {
    EvaluateIntervalXY(relation_, -kPositiveInfinity, kPositiveInfinity, -kPositiveInfinity, kPositiveInfinity, &lo,
                       &hi);
  }
  plane_ = relation_ != nullptr && lo == 0.0 && hi == 0.0 ? PlaneVerdict::kNowhere : PlaneVerdict::kMaybe;
}

void GraphRelation2D::DecideTopRect() {
  // The rectangle stays queued until it is decided: a Compute abandoned in one of its evaluations
  // finds it again, and deciding a pixel twice sets it the same.
  const int32_t at = pending_.count - 1;
  const QDRect r = pending_.data[at];
  Interval value;
  EvaluateIntervalXY(relation_, EdgeX(r.left), EdgeX(r.right), EdgeY(r.bottom), EdgeY(r.top), &value.lo, &value.hi);
  ++evaluations_;
  const int32_t width = RectWidth(r), height = RectHeight(r);
  if (IsTrue(value)) {
    FillPackedBitmapRect(Bitmap(), r, kRelationHolds);
  } else if (!IsFalse(value) && width <= kRelationTile && height <= kRelationTile) {
    // Undefined on a rectangle goes on down to the pixels, where it leaves a pixel blank: a
    // machine that marks a box undefined only where the relation is undefined throughout loses
    // nothing either way, and one that marks a partly undefined box so loses no more than single
    // pixels.
    DecidePixels(r);
  } else if (!IsFalse(value)) {
    QDRect first = r, second = r;  // left (upper) half decided first
    if (width > 1 && width > height) {
      first.right = second.left = static_cast<int16_t>(r.left + width / 2);
    } else {
      first.bottom = second.top = static_cast<int16_t>(r.top + height / 2);
    }
    pending_.data[at] = second;
    if (Queue(first, false)) return;
    // No room to queue the other half: the rectangle is decided tile by tile now.
    pending_.data[at] = r;
    for (int32_t top = r.top; top < r.bottom; top += kRelationTile) {
      for (int32_t left = r.left; left < r.right; left += kRelationTile) {
        DecidePixels(MakeRect(left, top, std::min<int32_t>(left + kRelationTile, r.right),
                              std::min<int32_t>(top + kRelationTile, r.bottom)));
      }
    }
  }
  --pending_.count;
}

void GraphRelation2D::DecidePixels(const QDRect& r) {
  Interval xs[kTilePixels], ys[kTilePixels], values[kTilePixels];
  int32_t n = 0;
  for (int32_t v = r.top; v < r.bottom; ++v) {
    const Interval y{EdgeY(v + 1), EdgeY(v)};
    for (int32_t h = r.left; h < r.right; ++h, ++n) xs[n] = Interval{EdgeX(h), EdgeX(h + 1)}, ys[n] = y;
  }
  EvaluateIntervalXYBlock(relation_, BoxAxis{xs, {}}, BoxAxis{ys, {}}, n, values);
  evaluations_ += static_cast<uint64_t>(n);
  const PackedBitmap bitmap = Bitmap();
  n = 0;
  for (int32_t v = r.top; v < r.bottom; ++v) {
    for (int32_t h = r.left; h < r.right; ++h, ++n) {
      const uint32_t pixel = SettlePixel(values[n], xs[n], ys[n]);
      if (pixel != kRelationBlank) SetPackedPixel(bitmap, h, v, pixel);
    }
  }
}

uint32_t GraphRelation2D::SettlePixel(const Interval& value, const Interval& x, const Interval& y) {
  if (IntervalIsUndefined(value) || IsFalse(value)) return kRelationBlank;
  if (IsTrue(value)) return kRelationHolds;
  if (isEquation_) return SubBoxMayHold(x, y) ? kRelationHolds : kRelationBlank;
  if (plotMode_ == 1) return kRelationUndecided;
  const double topLeft = EvaluateFunction2(relation_, x.lo, y.hi);
  if (plotMode_ == 0) return topLeft == 1.0 ? kRelationHolds : kRelationBlank;  // the draft mode
  const double corners[3][2] = {{x.hi, y.lo}, {x.hi, y.hi}, {x.lo, y.lo}};
  for (const auto& c : corners) {
    if (!(EvaluateFunction2(relation_, c[0], c[1]) == topLeft)) return kRelationUndecided;
  }
  if (SubBoxMayHold(x, y)) return kRelationUndecided;
  return topLeft == 1.0 ? kRelationHolds : kRelationBlank;
}

bool GraphRelation2D::SubBoxMayHold(const Interval& x, const Interval& y) {
  // Cuts shared by neighbouring parts, the last ones exactly the box's edges, so the parts cover
  // the box without gaps.
  double xc[6], yc[6];
  for (int32_t i = 0; i < 5; ++i) {
    xc[i] = x.lo + (x.hi - x.lo) * i / 5;
    yc[i] = y.lo + (y.hi - y.lo) * i / 5;
  }
  xc[5] = x.hi, yc[5] = y.hi;
  Interval bx[25], by[25], out[25];
  for (int32_t k = 0; k < 25; ++k) {
    const uint8_t i = kSubBoxOrder.part[k][0], j = kSubBoxOrder.part[k][1];
    bx[k] = Interval{xc[i], xc[i + 1]}, by[k] = Interval{yc[j], yc[j + 1]};
  }
  for (int32_t start : {0, kDiagonalParts}) {
    const int32_t n = start == 0 ? kDiagonalParts : 25 - kDiagonalParts;
    EvaluateIntervalXYBlock(relation_, BoxAxis{bx + start, {}}, BoxAxis{by + start, {}}, n, out + start);
    evaluations_ += static_cast<uint64_t>(n);
    for (int32_t k = start; k < start + n; ++k) {
      if (MayHold(out[k])) return true;
    }
  }
  return false;
}

// ---- Cache ----

void GraphRelation2D::AllocateBitmap() {
  rowBytes_ = PackedBitmapRowBytes(RectWidth(frame_));
  const size_t bytes = BitmapBytes();
  bits_ = bytes > 0 ? static_cast<uint8_t*>(AllocMemory(bytes, true)) : nullptr;
  if (bytes > 0 && bits_ == nullptr) PostError(kErrorOutOfMemory);
}

size_t GraphRelation2D::BitmapBytes() const {
  return static_cast<size_t>(rowBytes_) * static_cast<size_t>(std::max(RectHeight(frame_), 0));
}

void GraphRelation2D::VariableChanged(int32_t symbol, double value) {
  ForgetCachedConstants(&boundary_, 1);
  if (!ForgetBindingsOf(&relation_, 1, symbol)) return;
  plane_ = PlaneVerdict::kUnknown;
  if (bits_ == nullptr) return;
  if (!IsFrameCacheSymbol(symbol)) {
    Invalidate();
    return;
  }
  if (FrameCacheRestore(cache_, value, bits_, BitmapBytes()) == CacheRestore::kRestored) {
    pending_.count = 0;
    Queue(QDRect{0, 0, 0, 0}, false);  // one more Compute before completion (without it, none)
  } else {
    Reset();
  }
}

// ---- Options and lifecycle ----

void GraphRelation2D::SetOption(int32_t code, double value) {
  if (code == 0) {
    if (value == 0.0 || value == 1.0 || value == 2.0) plotMode_ = static_cast<int32_t>(value);
    Invalidate();  // cached bitmaps were settled in the old mode
  } else if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  }
}

void GraphRelation2D::Invalidate() {
  ValueCacheClear(cache_.rows);
  Reset();
}

bool GraphRelation2D::IsComplete() { return bits_ == nullptr || pending_.count == 0; }

void GraphRelation2D::GeometryChanged() { FollowMap(nullptr); }

void GraphRelation2D::Scroll(int32_t dh, int32_t dv) {
  const int32_t amounts[2] = {dh, dv};
  FollowMap(amounts);
}

void GraphRelation2D::FollowMap(const int32_t* scrolled) {
  ValueCacheClear(cache_.rows);
  int32_t dh = 0, dv = 0;
  bool aligned;
  if (scrolled != nullptr) {
    aligned = IsScrollOf(&bitsMap_, map_, scrolled[0], scrolled[1]);
    dh = scrolled[0], dv = scrolled[1];
  } else {
    aligned = WholePixelShift(&bitsMap_, map_, &dh, &dv);
  }
  QDRect kept;
  if (bits_ != nullptr && EqualRect(map_->frame, frame_)) {
    if (!aligned || !ShiftedOverlap(frame_, dh, dv, frame_, &kept)) {
      Reset();
      return;
    }
    ScrollPackedBitmap(Bitmap(), dh, dv);
    OffsetPendingRects(dh, dv);
    AddExposedStrips(kept);
    return;
  }
  // A new frame: a new bitmap, with what the old one holds at the same world places.
  uint8_t* old = bits_;
  const PackedBitmap before{old, rowBytes_, frame_};
  frame_ = map_->frame;
  AllocateBitmap();
  if (bits_ != nullptr && old != nullptr && aligned && ShiftedOverlap(before.bounds, dh, dv, frame_, &kept)) {
    const QDRect source = MakeRect(kept.left - dh, kept.top - dv, kept.right - dh, kept.bottom - dv);
    CopyPackedBitmapRect(Bitmap(), MakePoint(kept.left, kept.top), before, source);
    OffsetPendingRects(dh, dv);
    AddExposedStrips(kept);
  } else {
    Reset();
  }
  FreeMemory(old);
}

void GraphRelation2D::OffsetPendingRects(int32_t dh, int32_t dv) {
  int32_t kept = 0;
  for (int32_t i = 0; i < pending_.count; ++i) {
    QDRect moved;
    if (ShiftedOverlap(pending_.data[i], dh, dv, frame_, &moved)) pending_.data[kept++] = moved;
  }
  pending_.count = kept;
  bitsMap_ = *map_;
}

void GraphRelation2D::AddExposedStrips(const QDRect& covered) {
  const QDRect& f = frame_;
  const QDRect strips[4] = {MakeRect(f.left, f.top, covered.left, f.bottom),
                            MakeRect(covered.right, f.top, f.right, f.bottom),
                            MakeRect(covered.left, f.top, covered.right, covered.top),
                            MakeRect(covered.left, covered.bottom, covered.right, f.bottom)};
  for (const QDRect& strip : strips) {
    QDRect r;
    if (SectRect(strip, f, &r) && !Queue(r, true)) {
      Reset();  // a strip that cannot be queued would stay blank unproven: start over instead
      return;
    }
  }
}
