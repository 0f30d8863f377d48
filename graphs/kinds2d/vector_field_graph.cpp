// GraphVectorField2D: the sample grid (spacing, axis-anchored offsets, a size bounded whatever the
// frame), the row loop, arrows and heads, status, hit test, probe, and scrolls that keep samples.
#include "graphs/kinds2d/vector_field_graph.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/arrow_head_2d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_helpers.h"
#include "kernel/threads/timers.h"

namespace {

// Sample columns lie this many pixels left of the y axis's column in any frame, on purpose (the
// rows lie on the x axis's row). The offset is taken from the axis's distance to the frame's left
// edge, not from its window column, so the grid keeps its place against the axis wherever the
// view sits in the window, as the arrows have always been laid.
constexpr int32_t kAxisColumnOffset = 6;
// Samples beyond width / Spacing: one spacing before the first edge and past the last one.
constexpr int32_t kGridMargin = 3;

// The grid's largest size over a frame: the one of the smallest offsets, -kAxisColumnOffset for
// the columns and 0 for the rows.
int64_t GridColumnsAtMost(int64_t width, int64_t spacing) {
  return (width + kAxisColumnOffset) / spacing + kGridMargin;
}
int64_t GridRowsAtMost(int64_t height, int64_t spacing) { return height / spacing + kGridMargin; }

// A singular sample (a part of the field not finite) has no vector: it draws as a dot, and its
// arrow for the status and the hit test is its point alone.
bool HasVector(const FieldSample& s) { return std::isfinite(s.fx) && std::isfinite(s.fy); }
struct SegmentEnd {
  double x, y;
};
// The end of a sample's arrow before the head room: its point moved by the scaled vector.
SegmentEnd VectorEnd(const FieldSample& s, ArrowWorld scaled) {
  return HasVector(s) ? SegmentEnd{s.x + scaled.ax, s.y + scaled.ay} : SegmentEnd{s.x, s.y};
}

// FactorH x round(100 - 90 q) pixels, doubled while the grid over the frame could pass
// kMaxFieldSamples samples.
int32_t SpacingOfGrain(double grain, int32_t factor, int32_t width, int32_t height) {
  const int32_t n = static_cast<int32_t>(100.0 - 90.0 * ClampGrain(grain) + 0.5);  // 10..100
  int64_t spacing = static_cast<int64_t>(std::max(factor, 1)) * n;
  while (GridColumnsAtMost(width, spacing) * GridRowsAtMost(height, spacing) > kMaxFieldSamples) spacing *= 2;
  return static_cast<int32_t>(spacing);
}

// v brought into [lo, lo + spacing) by whole spacings; *count is how many were taken off.
int32_t ReduceOffset(int64_t v, int32_t lo, int32_t spacing, int64_t* count) {
  const int64_t d = v - lo;
  *count = d >= 0 ? d / spacing : -((-d + spacing - 1) / spacing);
  return static_cast<int32_t>(v - *count * spacing);
}

}  // namespace

GraphVectorField2D::GraphVectorField2D(CompiledFunction* fieldX, CompiledFunction* fieldY, GraphColor* color,
                                       uint8_t equalLength, const ViewMap* map, double grain)
    : map_(map),
      samplesMap_(*map),
      fieldX_(fieldX),
      fieldY_(fieldY),
      color_(color),
      equalLength_(equalLength),
      grain_(ClampGrain(grain)) {
  if (fieldX_ != nullptr) CompileFunction(fieldX_);
  if (fieldY_ != nullptr) CompileFunction(fieldY_);
  AllocateSamples();
}

GraphVectorField2D::~GraphVectorField2D() {
  FreeMemory(samples_);
  DeleteCompiledFunction(fieldX_);
  DeleteCompiledFunction(fieldY_);
  delete color_;
}

GraphKind2D* NewVectorFieldGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, GraphColor* color,
                                 uint8_t equalLength, const ViewMap* map, double grain) {
  return new (std::nothrow) GraphVectorField2D(fieldX, fieldY, color, equalLength, map, grain);
}

// ---- The grid ----

void GraphVectorField2D::AllocateSamples() {
  FreeMemory(samples_);
  samples_ = nullptr;
  samplesMap_ = *map_;
  const QDRect& frame = map_->frame;
  const int32_t width = std::max(RectWidth(frame), 0), height = std::max(RectHeight(frame), 0);
  spacing_ = SpacingOfGrain(grain_, map_->factorH, width, height);
  // The pixel of world (0, 0); the axes inside the frame anchor the grid.
  const int32_t hz = SaturatedPixel(map_->originH), vz = SaturatedPixel(map_->originV);
  offsetH_ = frame.left < hz && hz < frame.right ? (hz - frame.left) % spacing_ - kAxisColumnOffset : spacing_ / 2;
  offsetV_ = frame.top < vz && vz < frame.bottom ? (frame.bottom - vz) % spacing_ : spacing_ / 2;
  // Room for the largest grid any offset gives, so a scroll keeps its samples in place.
  stride_ = static_cast<int32_t>(GridColumnsAtMost(width, spacing_));
  capacityRows_ = static_cast<int32_t>(GridRowsAtMost(height, spacing_));
  samples_ = static_cast<FieldSample*>(
      AllocMemory(sizeof(FieldSample) * size_t(stride_) * size_t(capacityRows_), true));
  if (samples_ == nullptr) {
    PostError(kErrorOutOfMemory);
    stride_ = capacityRows_ = 0;
  }
  SizeGrid();
  maxMagnitude_ = 0;
  nextColumn_ = nextRow_ = 0;
}

void GraphVectorField2D::SizeGrid() {
  if (samples_ == nullptr) {
    columns_ = rows_ = 0;
    return;
  }
  const int32_t width = std::max(RectWidth(map_->frame), 0), height = std::max(RectHeight(map_->frame), 0);
  columns_ = std::min((width - offsetH_) / spacing_ + kGridMargin, stride_);
  rows_ = std::min((height - offsetV_) / spacing_ + kGridMargin, capacityRows_);
}

double GraphVectorField2D::Magnitude(const FieldSample& s) const {
  const double a = map_->unitsPerPixelX / map_->unitsPerPixelY;
  return std::hypot(s.fx, a * s.fy);  // a huge finite vector keeps a finite length
}

// ---- Compute ----

void GraphVectorField2D::Compute(int32_t budget) {
  if (samples_ == nullptr) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const QDRect& frame = map_->frame;
  while (nextRow_ < rows_ && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    if (nextColumn_ == columns_) nextColumn_ = 0;
    const double v = frame.bottom - (offsetV_ + (nextRow_ - 1) * static_cast<double>(spacing_));
    for (; nextColumn_ < columns_; ++nextColumn_) {
      FieldSample& s = At(nextColumn_, nextRow_);
      if (s.done) continue;
      const double h = frame.left + offsetH_ + (nextColumn_ - 1) * static_cast<double>(spacing_);
      s.x = PixelToWorldX(map_, h), s.y = PixelToWorldY(map_, v);
      s.fx = EvaluateFunction2(fieldX_, s.x, s.y);
      s.fy = EvaluateFunction2(fieldY_, s.x, s.y);
      s.done = 1;
      ++evaluations_;
      const double m = Magnitude(s);
      if (std::isfinite(m) && m > maxMagnitude_) maxMagnitude_ = m;
    }
    ++nextRow_;
  }
}

bool GraphVectorField2D::IsComplete() { return samples_ == nullptr || (nextColumn_ == columns_ && nextRow_ == rows_); }

// ---- Arrows ----

// The share of the longest first: the factor Spacing / MaxMagnitude overflows for a subnormal
// longest length, while a share is at most 1 on the grid.
ArrowWorld GraphVectorField2D::ScaledVector(double fx, double fy) const {
  const double length = map_->unitsPerPixelX * spacing_;
  return ArrowWorld{fx / maxMagnitude_ * length, fy / maxMagnitude_ * length};
}

ArrowWorld GraphVectorField2D::ArrowVector(double fx, double fy) const {
  ArrowWorld arrow{0, 0};
  if (HasScale()) arrow = ScaledVector(fx, fy);
  if (!std::isfinite(arrow.ax) || !std::isfinite(arrow.ay)) arrow = ArrowWorld{0, 0};  // far past the grid's longest
  // One pixel step along the arrow as drawn: its unit vector in pixels, which the axes' scales
  // turn away from the world direction when they differ, taken back to world units.
  const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
  const double k = 1 / std::hypot(arrow.ax / ux, arrow.ay / uy);
  if (!std::isfinite(k)) return arrow;
  const double px = arrow.ax * k, py = arrow.ay * k;
  // Room for the head: up to 6 steps, the world length against pixel steps, as arrows have always
  // been drawn (a fraction of a pixel at usual scales).
  const double back = std::min(std::hypot(arrow.ax, arrow.ay), 6.0);
  arrow.ax -= back * px, arrow.ay -= back * py;
  if (equalLength_) arrow = ArrowWorld{(spacing_ - 8) * px, (spacing_ - 8) * py};
  return arrow;
}

bool GraphVectorField2D::Draw() {
  if (samples_ == nullptr || IsNoFillColor(color_)) return true;
  const PackedRGB rgb = GraphColorRGB(color_);
  auto pixel = [this](double x, double y) {
    return MakePoint(SaturatedPixel(x * map_->pixelsPerUnitX + map_->originH),
                     SaturatedPixel(y * map_->pixelsPerUnitY + map_->originV));
  };
  AnySample([&](const FieldSample& s) {
    const QDPoint tail = pixel(s.x, s.y);
    if (!HasVector(s)) {
      PlotSmallDot(map_->frame, tail, rgb);  // a singular point
      return false;
    }
    const ArrowWorld arrow = ArrowVector(s.fx, s.fy);
    if (arrow.ax == 0 && arrow.ay == 0) return false;  // a zero field shows no arrow
    const QDPoint head = pixel(s.x + arrow.ax, s.y + arrow.ay);
    DrawAntialiasedLine(tail.h, tail.v, head.h, head.v, rgb);
    DrawArrowHead(s.x, s.y, arrow.ax, arrow.ay, map_, rgb);
    return false;
  });
  return true;
}

// ---- Status and queries ----

int32_t GraphVectorField2D::Status() {
  if (samples_ == nullptr) return 0;  // error 7 said it already
  const QDRect& r = map_->frame;
  const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
  const double left = ux * (r.left - map_->originH) - ux / 2, right = ux * (r.right - map_->originH) - ux / 2;
  const double bottom = uy * -(r.bottom - map_->originV) + uy / 2, top = uy * -(r.top - map_->originV) + uy / 2;
  const bool meets = AnySample([&](const FieldSample& sample) {
    if (!HasScale()) return true;
    const SegmentEnd e = VectorEnd(sample, ScaledVector(sample.fx, sample.fy));
    return SegmentMeetsRect(sample.x, sample.y, e.x, e.y, left, right, top, bottom);
  });
  return meets ? 0 : 1;  // 1: "Undefined in the region shown"
}

bool GraphVectorField2D::HitTest(double x, double y) {
  if (samples_ == nullptr || IsNoFillColor(color_)) return false;
  const double a = map_->unitsPerPixelX / map_->unitsPerPixelY;
  const double reach = 16 * map_->unitsPerPixelX * map_->unitsPerPixelX;
  return AnySample([&](const FieldSample& sample) {
    const ArrowWorld d = HasScale() ? ScaledVector(sample.fx, sample.fy) : ArrowWorld{sample.fx, sample.fy};
    const SegmentEnd e = VectorEnd(sample, d);
    return PointSegmentDistanceSquared(x, a * y, sample.x, a * sample.y, e.x, a * e.y) < reach;
  });
}

ProbeRecord GraphVectorField2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  if (samples_ == nullptr) return record;  // a hidden (no fill) field still reads out
  const double fx = EvaluateFunction2(fieldX_, x, y), fy = EvaluateFunction2(fieldY_, x, y);
  const ArrowWorld arrow = ArrowVector(fx, fy);
  record.mode = 9;
  record.x = x, record.y = y;
  record.aux[6] = fx, record.aux[7] = fy, record.aux[8] = arrow.ax, record.aux[9] = arrow.ay;
  record.rgb = GraphColorRGB(color_);
  return record;
}

// ---- Lifecycle ----

void GraphVectorField2D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const fields[2] = {fieldX_, fieldY_};
  if (ForgetBindingsOf(fields, 2, symbol)) Invalidate();
}

void GraphVectorField2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    grain_ = ClampGrain(value);
    Invalidate();
  } else if (code == 11) {
    equalLength_ = value != 0;
    Invalidate();
  }
}

// The grid is laid again on the present map: a zoom or a new frame moves the axes and may change
// the factor, and the spacing and offsets follow.
void GraphVectorField2D::Invalidate() { AllocateSamples(); }

void GraphVectorField2D::GeometryChanged() { AllocateSamples(); }

void GraphVectorField2D::Scroll(int32_t dh, int32_t dv) {
  if (samples_ == nullptr) return;
  if (!IsScrollOf(&samplesMap_, map_, dh, dv)) {
    AllocateSamples();
    return;
  }
  // The offsets come back into the ranges a fresh grid has, so the scrolled grid covers the view
  // as a fresh one on the same map does (the same samples, once the new ones are computed).
  int64_t n, m;  // whole spacings the samples move by
  offsetH_ = ReduceOffset(int64_t(offsetH_) + dh, -kAxisColumnOffset, spacing_, &n);
  offsetV_ = ReduceOffset(int64_t(offsetV_) - dv, 0, spacing_, &m);
  const int32_t oldColumns = columns_, oldRows = rows_;
  SizeGrid();
  // Sample (i, j) takes (i - n, j - m); walking away from the sources, none is overwritten unread.
  for (int32_t jj = 0; jj < capacityRows_; ++jj) {
    const int32_t j = m > 0 ? capacityRows_ - 1 - jj : jj;
    for (int32_t ii = 0; ii < stride_; ++ii) {
      const int32_t i = n > 0 ? stride_ - 1 - ii : ii;
      const int64_t si = i - n, sj = j - m;
      if (i < columns_ && j < rows_ && si >= 0 && si < oldColumns && sj >= 0 && sj < oldRows) {
        At(i, j) = At(static_cast<int32_t>(si), static_cast<int32_t>(sj));
      } else {
        At(i, j).done = 0;
      }
    }
  }
  // The scale is that of the samples kept, as a fresh grid's would be once it reaches them.
  maxMagnitude_ = 0;
  AnySample([&](const FieldSample& s) {
    const double magnitude = Magnitude(s);
    if (std::isfinite(magnitude) && magnitude > maxMagnitude_) maxMagnitude_ = magnitude;
    return false;
  });
  nextColumn_ = nextRow_ = 0;
  samplesMap_ = *map_;
}
