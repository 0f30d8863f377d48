// GraphTraced2D: construction, the budgeted column loop, the column records across scrolls and
// geometry changes, status, options and parameter changes.
#include "graphs/kinds2d/traced_graph.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphs/core/graph_color.h"
#include "graphs/view2d/view_map.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kArgumentSymbol = 'u';  // the factory renames x (or y) to u

// Zeroed records for `count` columns (counted memory); null for none, and null with error 7
// posted when refused.
TraceColumn* NewColumnStorage(int32_t count) {
  if (count <= 0) return nullptr;
  auto* columns = static_cast<TraceColumn*>(AllocMemory(sizeof(TraceColumn) * static_cast<size_t>(count), true));
  if (columns == nullptr) PostError(kErrorOutOfMemory);
  return columns;
}

}  // namespace

GraphTraced2D::GraphTraced2D(CompiledFunction* function, uint8_t orientation, GraphColor* color,
                             uint32_t traceMode, const ViewMap* frame)
    : frame_(frame), function_(function), color_(color), traceMode_(traceMode), orientation_(orientation) {
  columnCount_ = FrameColumnCount();
  columns_ = NewColumnStorage(columnCount_);
  ResetColumns();
  if (function_ == nullptr) return;
  CompileFunction(function_);
  derivative_ = NewCompiledDerivative(function_, kArgumentSymbol);
}

GraphTraced2D::~GraphTraced2D() {
  FreeMemory(columns_);
  DeleteCompiledFunction(function_);
  DeleteCompiledFunction(derivative_);
  delete color_;
}

GraphKind2D* NewTracedGraph(CompiledFunction* function, uint8_t orientation, GraphColor* color, uint32_t traceMode,
                            const ViewMap* frame) {
  return new (std::nothrow) GraphTraced2D(function, orientation, color, traceMode, frame);
}

ColumnTracer GraphTraced2D::Tracer() const { return ColumnTracer{function_, derivative_, frame_, orientation_}; }

int32_t GraphTraced2D::FrameColumnCount() const {
  const QDRect& r = frame_->frame;
  return std::max(orientation_ == 1 ? RectWidth(r) : RectHeight(r), 0);
}

double GraphTraced2D::ColumnWidth() const {
  return orientation_ == 1 ? frame_->unitsPerPixelX : frame_->unitsPerPixelY;
}

// From the index alone (not by adding widths from the column a Compute started at), so the
// centres do not depend on how the work was sliced.
double GraphTraced2D::ColumnCenter(int32_t i) const {
  const QDRect& r = frame_->frame;
  if (orientation_ == 1) return (r.left + i - frame_->originH) * frame_->unitsPerPixelX;
  return -((r.bottom - 1 - i) - frame_->originV) * frame_->unitsPerPixelY;
}

int32_t GraphTraced2D::ColumnOfArgument(double t) const {
  const QDRect& r = frame_->frame;
  if (orientation_ == 1) return SaturatedPixel(t * frame_->pixelsPerUnitX + frame_->originH) - r.left;
  return r.bottom - 1 - SaturatedPixel(t * frame_->pixelsPerUnitY + frame_->originV);
}

double GraphTraced2D::EvaluateAt(double t) const { return EvaluateFunction1(function_, t); }

void GraphTraced2D::ResetColumns() {
  for (int32_t i = 0; columns_ != nullptr && i < columnCount_; ++i) columns_[i].state = kColumnPending;
  nextColumn_ = 0;
  computedMap_ = *frame_;
}

void GraphTraced2D::DropStaleColumns() {
  // Along the value axis the records hold world values, but the hull decisions counted pixels:
  // they stand only while the scale is the same and the origin moved by whole pixels.
  const bool rows = orientation_ == 1;
  const double scaleBefore = rows ? computedMap_.pixelsPerUnitY : computedMap_.pixelsPerUnitX;
  const double scaleNow = rows ? frame_->pixelsPerUnitY : frame_->pixelsPerUnitX;
  const double shift = rows ? frame_->originV - computedMap_.originV : frame_->originH - computedMap_.originH;
  const bool valueAxisKept = scaleBefore == scaleNow && shift == std::floor(shift);
  const double h = ColumnWidth() * 0.5;
  for (int32_t i = 0; columns_ != nullptr && i < columnCount_; ++i) {
    TraceColumn& column = columns_[i];
    if (column.state == kColumnPending) continue;
    const double c = ColumnCenter(i);
    if (!valueAxisKept || column.center != ((c - h) + (c + h)) * 0.5) column.state = kColumnPending;
  }
  computedMap_ = *frame_;
}

void GraphTraced2D::Compute(int32_t budget) {
  if (columns_ == nullptr) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const ColumnTracer tracer = Tracer();
  const double h = ColumnWidth() * 0.5;
  int32_t i = nextColumn_;
  for (; i < columnCount_; ++i) {
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
    TraceColumn& column = columns_[i];
    if (column.state != kColumnPending) continue;
    const double c = ColumnCenter(i);
    TraceColumnOver(tracer, traceMode_, c - h, c + h, i > 0 ? &columns_[i - 1] : nullptr, &column);
  }
  nextColumn_ = i;
}

bool GraphTraced2D::IsComplete() { return columns_ == nullptr || nextColumn_ >= columnCount_; }

int32_t GraphTraced2D::Status() {
  if (columns_ == nullptr || columnCount_ == 0) return 3;  // "Undefined in the domain shown"
  const QDRect& r = frame_->frame;
  double lower, upper;
  if (orientation_ == 1) {
    const double uy = frame_->unitsPerPixelY;
    lower = -(r.bottom - frame_->originV) * uy + uy / 2;
    upper = -(r.top - frame_->originV) * uy + uy / 2;
  } else {
    const double ux = frame_->unitsPerPixelX;
    lower = (r.left - frame_->originH) * ux - ux / 2;
    upper = (r.right - frame_->originH) * ux - ux / 2;
  }
  bool anyDrawable = false, anyPole = false;
  for (int32_t i = 0; i < columnCount_; ++i) {
    const TraceColumn& column = columns_[i];
    // A column not computed yet reaches nowhere, whatever its record held before.
    if (column.state != kColumnPending && column.low < upper && column.high > lower) return 0;
    anyDrawable = anyDrawable || column.state <= kColumnHull;
    anyPole = anyPole || column.state == kColumnPole;
  }
  if (anyDrawable) return 5;  // "Curve is outside the region shown"
  return anyPole ? 4 : 3;     // "Infinite ..." / "Undefined in the domain shown"
}

void GraphTraced2D::VariableChanged(int32_t symbol, double) {
  ForgetCachedConstants(&derivative_, 1);
  if (ForgetBindingsOf(&function_, 1, symbol)) ResetColumns();
}

void GraphTraced2D::SetOption(int32_t code, double value) {
  if (code == 0) {
    if (value == 0.0 || value == 1.0 || value == 2.0) traceMode_ = static_cast<uint32_t>(value);
    ResetColumns();
  } else if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  }
}

void GraphTraced2D::Invalidate() { ResetColumns(); }

void GraphTraced2D::GeometryChanged() {
  const int32_t count = FrameColumnCount();
  TraceColumn* fresh = NewColumnStorage(count);
  if (fresh != nullptr && columns_ != nullptr) {
    std::copy(columns_, columns_ + std::min(count, columnCount_), fresh);
  }
  FreeMemory(columns_);
  columns_ = fresh;
  columnCount_ = count;
  nextColumn_ = 0;
  DropStaleColumns();
}

void GraphTraced2D::Scroll(int32_t dh, int32_t dv) {
  if (columns_ == nullptr) return;
  const int32_t k = orientation_ == 1 ? dh : -dv;
  const int32_t n = columnCount_;
  if (k > 0 && k < n) {
    std::copy_backward(columns_, columns_ + (n - k), columns_ + n);
    for (int32_t i = 0; i < k; ++i) columns_[i].state = kColumnPending;
  } else if (k < 0 && -k < n) {
    std::copy(columns_ - k, columns_ + n, columns_);
    for (int32_t i = n + k; i < n; ++i) columns_[i].state = kColumnPending;
  } else if (k != 0) {
    for (int32_t i = 0; i < n; ++i) columns_[i].state = kColumnPending;
  }
  nextColumn_ = 0;
  DropStaleColumns();
}
