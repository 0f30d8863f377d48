// GraphArrow3D: six constants, the tip and the tail, and the head cone laid in view units (each
// axis divided by its range width) so it looks the same on the screen whatever the axis scales.
#include "graphs/view3d/arrow_3d.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/arrow_head_frame.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kHeadLength = 0.1;   // of the view's box
constexpr double kHeadRadius = 0.05;  // of the view's box
constexpr int kHeadPoints = 4;

}  // namespace

GraphArrow3D::GraphArrow3D(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                           GraphicsContext* context)
    : context_(context), function_{tail[0], tail[1], tail[2], tip[0], tip[1], tip[2]}, color_(color) {
  for (CompiledFunction* f : function_) {
    if (f != nullptr) CompileFunction(f);
  }
  if (color_ != nullptr) BrightenGraphColor(color_);
}

GraphArrow3D::~GraphArrow3D() {
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  delete color_;
}

void GraphArrow3D::Compute(int32_t) {
  if (computed_) return;
  double v[6];
  bool valid = true;
  for (int i = 0; i < 6; ++i) {
    v[i] = function_[i] != nullptr ? EvaluateFunction1(function_[i], 0) : kUndefinedReal;
    valid = valid && std::isfinite(v[i]);
  }
  valid_ = valid ? 1 : 0;
  const double* tail = v;
  const double* tip = v + 3;
  for (int i = 0; i < 3; ++i) {
    points_[0][i] = static_cast<float>(tip[i]);
    points_[1][i] = static_cast<float>(tail[i]);
  }
  double w[3] = {4, 4, 4};
  if (context_ != nullptr) GetViewRangeWidths(context_, w);
  double d[3];
  for (int i = 0; i < 3; ++i) d[i] = (tip[i] - tail[i]) / w[i];
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  hasLength_ = valid && length > 0 && std::isfinite(length) ? 1 : 0;
  if (hasLength_) {
    for (double& c : d) c /= length;
    double e1[3], e2[3];
    ArrowHeadFrame(d, e1, e2);
    for (int k = 0; k < kHeadPoints; ++k) {
      const double angle = k * kTwoPi / kHeadPoints, c = std::cos(angle), s = std::sin(angle);
      for (int i = 0; i < 3; ++i) {
        const double offset = kHeadRadius * (c * e1[i] + s * e2[i]) - kHeadLength * d[i];
        points_[2 + k][i] = static_cast<float>(tip[i] + w[i] * offset);
      }
    }
  } else {
    // No direction (or no arrow): the head collapses onto the tip and nothing is drawn.
    for (int k = 2; k < 6; ++k) std::copy(points_[0], points_[0] + 3, points_[k]);
  }
  extent_ = context_ != nullptr ? MeshExtentInView(&points_[0][0], 2, context_) : 0.0;
  computed_ = 1;
}

bool GraphArrow3D::Draw() {
  if (IsNoFillColor(color_) || !MeshHasData(&mesh_) || !valid_ || !hasLength_) return true;
  SetGLCurveMaterialColor(GraphColorRGB(color_), context_);
  DrawGLMesh(&mesh_);
  return true;
}

void GraphArrow3D::VariableChanged(int32_t, double) {
  for (CompiledFunction* f : function_) {
    if (f != nullptr) f->bindingsEvaluated = 0;
  }
  Invalidate();
}

void GraphArrow3D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 5 && meshDirty_ && computed_) {
    if (valid_ && hasLength_) {
      static const uint16_t kSegments[10] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5};
      SetGLLineMesh(&mesh_, &points_[0][0], kSegments, 6, 5, context_);
    } else {
      DestroyGLMesh(&mesh_);
    }
    meshDirty_ = 0;
  }
}

void GraphArrow3D::Invalidate() {
  computed_ = 0;
  meshDirty_ = 1;
}

GraphKind3D* NewArrow3DGraph(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                             GraphicsContext* context) {
  return new (std::nothrow) GraphArrow3D(tail, tip, color, context);
}
