// GraphArrow2D: four constants, a shaft and the head at the tip.
#include "graphs/kinds2d/arrow_2d.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/arrow_head_2d.h"
#include "graphs/view2d/view_map.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

namespace {

// Pixels beyond the frame the shaft is drawn to: its ends there are rounded out of sight.
constexpr int32_t kShaftMargin = 4;

}  // namespace

GraphArrow2D::GraphArrow2D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, CompiledFunction* d,
                           GraphColor* color, const ViewMap* map)
    : map_(map), function_{a, b, c, d}, color_(color) {
  for (CompiledFunction* f : function_) {
    if (f != nullptr) CompileFunction(f);
  }
}

GraphArrow2D::~GraphArrow2D() {
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  delete color_;
}

void GraphArrow2D::Compute(int32_t budget) {
  if (computed_ || budget <= 0) return;
  for (int i = 0; i < 4; ++i) value_[i] = function_[i] != nullptr ? EvaluateFunction1(function_[i], 0) : kUndefinedReal;
  computed_ = 1;
}

bool GraphArrow2D::Draw() {
  if (!computed_ || IsNoFillColor(color_)) return true;
  const double a = value_[0], b = value_[1], c = value_[2], d = value_[3];
  if (!(std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d))) return true;
  if (a == c && b == d) return true;  // no direction: neither a shaft nor a head
  const PackedRGB rgb = GraphColorRGB(color_);
  // The shaft clipped in world units to the frame and a margin, before any rounding to pixels, so
  // that ends far outside the view (zoomed in) keep the shaft's direction.
  const QDRect& f = map_->frame;
  const double x0 = PixelToWorldX(map_, f.left - kShaftMargin), x1 = PixelToWorldX(map_, f.right + kShaftMargin);
  const double y0 = PixelToWorldY(map_, f.bottom + kShaftMargin), y1 = PixelToWorldY(map_, f.top - kShaftMargin);
  double h0 = a, v0 = b, h1 = c, v1 = d;
  if (ClipSegmentToRect(std::min(x0, x1), std::max(x0, x1), std::max(y0, y1), std::min(y0, y1), &h0, &v0, &h1, &v1)) {
    DrawAntialiasedLine(WorldToPixelX(map_, h0), WorldToPixelY(map_, v0), WorldToPixelX(map_, h1),
                        WorldToPixelY(map_, v1), rgb);
  }
  DrawArrowHead(a, b, c - a, d - b, map_, rgb);  // the tail and the vector: the head lands on (c, d)
  return true;
}

void GraphArrow2D::VariableChanged(int32_t, double) {
  ForgetCachedConstants(function_, 4);
  computed_ = 0;
}

void GraphArrow2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) SetGraphColorIndex(color_, value);
}

ProbeRecord GraphArrow2D::Probe(double, double) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  return record;
}

GraphKind2D* NewArrow2DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, CompiledFunction* d,
                             GraphColor* color, const ViewMap* map) {
  return new (std::nothrow) GraphArrow2D(a, b, c, d, color, map);
}
