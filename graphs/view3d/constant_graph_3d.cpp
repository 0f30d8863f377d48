// ConstantGraph3D: evaluation of the constants, and the shape's life around it.
#include "graphs/view3d/constant_graph_3d.h"

#include <algorithm>
#include <cmath>

#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"

ConstantGraph3D::ConstantGraph3D(CompiledFunction* const* functions, int32_t count, GraphColor* color,
                                 GraphicsContext* context)
    : context_(context), color_(color), count_(std::min(count, 6)) {
  for (int32_t i = 0; i < count_; ++i) {
    function_[i] = functions[i];
    if (function_[i] != nullptr) CompileFunction(function_[i]);
  }
  if (color_ != nullptr) BrightenGraphColor(color_);
}

ConstantGraph3D::~ConstantGraph3D() {
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  delete color_;
}

void ConstantGraph3D::Compute(int32_t budget) {
  if (computed_ || budget <= 0) return;
  double values[6];
  bool valid = true;
  for (int32_t i = 0; i < count_; ++i) {
    values[i] = function_[i] != nullptr ? EvaluateFunction1(function_[i], 0) : kUndefinedReal;
    valid = valid && std::isfinite(values[i]);
  }
  valid_ = valid ? 1 : 0;
  drawable_ = Place(values) && valid ? 1 : 0;
  computed_ = 1;
}

bool ConstantGraph3D::Draw() {
  if (IsNoFillColor(color_) || !drawable_ || !MeshHasData(&mesh_)) return true;
  SetMaterial(GraphColorRGB(color_));
  DrawGLMesh(&mesh_);
  return true;
}

void ConstantGraph3D::VariableChanged(int32_t, double) {
  ForgetCachedConstants(function_, count_);
  Invalidate();
}

void ConstantGraph3D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 5 && meshDirty_ && computed_) {
    if (drawable_) {
      FillMesh();
    } else {
      DestroyGLMesh(&mesh_);
    }
    meshDirty_ = 0;
  }
}

void ConstantGraph3D::Invalidate() {
  computed_ = 0;
  meshDirty_ = 1;
}
