// GraphArrow3D: the tip and the tail, and the head cone laid in view units (each axis divided by
// its range width) so it looks the same on the screen whatever the axis scales.
#include "graphs/view3d/arrow_3d.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphs/view3d/arrow_head_frame.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr double kHeadLength = 0.1;   // of the view's box
constexpr double kHeadRadius = 0.05;  // of the view's box
constexpr int kHeadPoints = 4;

// fn(x0, y0, z0, x1, y1, z1) in the order the base evaluates them.
struct SixFunctions {
  CompiledFunction* f[6];
  SixFunctions(CompiledFunction* const tail[3], CompiledFunction* const tip[3])
      : f{tail[0], tail[1], tail[2], tip[0], tip[1], tip[2]} {}
};

}  // namespace

GraphArrow3D::GraphArrow3D(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                           GraphicsContext* context)
    : ConstantGraph3D(SixFunctions(tail, tip).f, 6, color, context) {}

bool GraphArrow3D::Place(const double* v) {
  const double* tail = v;
  const double* tip = v + 3;
  for (int i = 0; i < 3; ++i) {
    points_[0][i] = static_cast<float>(tip[i]);
    points_[1][i] = static_cast<float>(tail[i]);
  }
  extent_ = context_ != nullptr ? MeshExtentInView(&points_[0][0], 2, context_) : 0.0;
  double w[3] = {4, 4, 4};
  if (context_ != nullptr) GetViewRangeWidths(context_, w);
  double d[3];
  for (int i = 0; i < 3; ++i) d[i] = (tip[i] - tail[i]) / w[i];
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0 && std::isfinite(length))) {
    // No direction (or no arrow): the head collapses onto the tip and nothing is drawn.
    for (int k = 2; k < 6; ++k) std::copy(points_[0], points_[0] + 3, points_[k]);
    return false;
  }
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
  return true;
}

void GraphArrow3D::FillMesh() {
  static const uint16_t kSegments[10] = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5};  // the shaft, then the head
  SetGLLineMesh(&mesh_, &points_[0][0], kSegments, 6, 5, context_);
}

void GraphArrow3D::SetMaterial(uint32_t rgb) { SetGLCurveMaterialColor(rgb, context_); }

GraphKind3D* NewArrow3DGraph(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                             GraphicsContext* context) {
  return new (std::nothrow) GraphArrow3D(tail, tip, color, context);
}
