// GraphArrow2D: four constants, a shaft and the head at the tip.
#include "graphs/kinds2d/arrow_2d.h"

#include <cmath>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/arrow_head_2d.h"
#include "graphs/view2d/view_map.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"

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
  DrawAntialiasedLine(WorldToPixelX(map_, a), WorldToPixelY(map_, b), WorldToPixelX(map_, c), WorldToPixelY(map_, d),
                      rgb);
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
