// GraphPoint2D: one evaluation a parameter change, the shaded disc (or the colour's picture), and
// the drag's hit test, probe and options.
#include "graphs/kinds2d/point_graph.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"

GraphPoint2D::GraphPoint2D(CompiledFunction* x, CompiledFunction* y, GraphColor* color, uint8_t draggable,
                           const ViewMap* map)
    : map_(map), xFunction_(x), yFunction_(y), color_(color), draggable_(draggable) {
  for (CompiledFunction* f : {xFunction_, yFunction_}) {
    if (f != nullptr) CompileFunction(f);
  }
}

GraphPoint2D::~GraphPoint2D() {
  DeleteCompiledFunction(xFunction_);
  DeleteCompiledFunction(yFunction_);
  delete color_;
}

GraphKind2D* NewPointGraph(CompiledFunction* x, CompiledFunction* y, GraphColor* color, uint8_t draggable,
                           const ViewMap* map) {
  return new (std::nothrow) GraphPoint2D(x, y, color, draggable, map);
}

void GraphPoint2D::Compute(int32_t budget) {
  if (computed_ || budget <= 0) return;
  // Both coordinates before either is stored: a Compute abandoned in the second evaluation leaves
  // the point the hit test and the drag read as it was, not half moved.
  const double x = xFunction_ != nullptr ? EvaluateFunction1(xFunction_, 0.0) : std::nan("");
  const double y = yFunction_ != nullptr ? EvaluateFunction1(yFunction_, 0.0) : std::nan("");
  x_ = x, y_ = y;
  ++evaluations_;
  computed_ = 1;
}

bool GraphPoint2D::Draw() {
  if (!computed_ || IsNoFillColor(color_) || !std::isfinite(x_) || !std::isfinite(y_)) return true;
  const int32_t h = WorldToPixelX(map_, x_), v = WorldToPixelY(map_, y_);
  const int32_t fh = std::max(map_->factorH, 1), fv = std::max(map_->factorV, 1);
  if (color_ != nullptr && color_->mode == kColorTexture) {
    DrawGraphColorPicture(color_, h, v, map_->frame, fh, fv);
    return true;
  }
  const PackedRGB rgb = GraphColorRGB(color_);
  for (int32_t dv = -3 * fv; dv <= 3 * fv; ++dv) {
    for (int32_t dh = -3 * fh; dh <= 3 * fh; ++dh) {
      // The spans clip to the frame: a point clamped to +-16383 shades nothing.
      const QDPoint p = MakePoint(h + dh, v + dv);
      if (InPointDisc(dh, dv, fh, fv)) ShadeHorizontalSpan(map_->frame, p, p, rgb, 1);
    }
  }
  return true;
}

void GraphPoint2D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const functions[2] = {xFunction_, yFunction_};
  ForgetBindingsOf(functions, 2, symbol);
  computed_ = 0;  // whatever the symbol
}

void GraphPoint2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) SetGraphColorIndex(color_, value);
  if (code == 9) x_ = value;
  if (code == 10) y_ = value;
}

bool GraphPoint2D::HitTest(double x, double y) {
  if (!draggable_ || IsNoFillColor(color_)) return false;
  const int64_t dh = int64_t(WorldToPixelX(map_, x)) - WorldToPixelX(map_, x_);
  const int64_t dv = int64_t(WorldToPixelY(map_, y)) - WorldToPixelY(map_, y_);
  const int64_t f = std::max(map_->factorH, 1);
  return dh * dh + dv * dv <= 16 * f * f;
}

ProbeRecord GraphPoint2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  if (!draggable_) return record;
  record.mode = 11;
  record.x = x, record.y = y;
  return record;
}
