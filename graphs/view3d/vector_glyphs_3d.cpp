// GraphGlyphs3D: evaluation under the budget, then one pass that scales the vectors together and
// places each arrow's head, so the longest arrow gets the requested length and short arrows keep
// visible heads.
#include "graphs/view3d/vector_glyphs_3d.h"

#include <algorithm>
#include <cmath>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "graphs/view3d/arrow_head_frame.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr double kHeadOfWidth = 0.0125;  // 0.25 x 0.05 of the smallest range width
constexpr double kMinHeadFraction = 0.15;
constexpr double kMaxHeadFraction = 0.6;
constexpr double kBarbRadius = 0.1;
constexpr int kBarbs = 3;

}  // namespace

GraphGlyphs3D::GraphGlyphs3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                             GraphColor* color, const double* lengthScale, const GridPointPool* points,
                             GraphicsContext* context)
    : context_(context), points_(points), lengthScale_(lengthScale), field_{fieldX, fieldY, fieldZ}, color_(color) {
  for (CompiledFunction* f : field_) {
    if (f != nullptr) CompileFunction(f);
  }
  if (color_ != nullptr) BrightenGraphColor(color_);
}

GraphGlyphs3D::~GraphGlyphs3D() {
  FreeArrays();
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : field_) DeleteCompiledFunction(f);
  delete color_;
}

void GraphGlyphs3D::FreeArrays() {
  FreeMemory(glyphs_);
  FreeMemory(segments_);
  glyphs_ = nullptr;
  segments_ = nullptr;
  capacity_ = 0;
}

bool GraphGlyphs3D::Allocate() {
  nextPoint_ = segmentCount_ = glyphCount_ = 0;
  maxLength_ = 0.0;
  extent_ = 0.0;
  const int32_t n = points_ != nullptr ? ChunkPoolCount(*points_) : 0;
  if (n == 0) return false;  // nothing to point at: complete, no arrow (no memory is asked for)
  if (n > kMaxGlyphs) {
    // More arrows than 16-bit line indices reach: the whole request is refused as memory is, so the
    // user is told and lowers the grain, rather than shown arrows on part of the points.
    PostError(kErrorOutOfMemory);
    return false;
  }
  glyphs_ = static_cast<ArrowGlyph*>(AllocMemory(sizeof(ArrowGlyph) * size_t(n)));
  segments_ = static_cast<uint16_t*>(AllocMemory(8 * sizeof(uint16_t) * size_t(n)));
  if (glyphs_ == nullptr || segments_ == nullptr) {
    PostError(kErrorOutOfMemory);
    FreeArrays();
    return false;
  }
  capacity_ = n;
  return true;
}

void GraphGlyphs3D::Compute(int32_t budget) {
  if (complete_ || budget <= 0) return;
  if (glyphs_ == nullptr && !Allocate()) {
    complete_ = 1;  // its Status tells: no arrow
    return;
  }
  const uint32_t deadline = ComputeDeadline(budget);
  while (nextPoint_ < capacity_) {
    // The point counts as done only once its arrow is stored: an abandoned Compute takes it again.
    const GridPoint3& p = *ChunkPoolAt(*points_, nextPoint_);
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
      double f[3];
      for (int i = 0; i < 3; ++i) {
        f[i] = field_[i] != nullptr ? EvaluateFunction6(field_[i], 0, 0, p.x, p.y, p.z, 0) : kUndefinedReal;
      }
      const double length = std::hypot(f[0], f[1], f[2]);  // no overflow short of the largest double
      if (std::isfinite(length)) {
        maxLength_ = std::max(maxLength_, length);
        ArrowGlyph& g = glyphs_[glyphCount_++];
        // The vector in floats without loss: scaled by a power of two to a length in [0.5, 1),
        // whose exponent (a whole number, exact in a float) waits in a barb's place.
        int exponent = 0;
        std::frexp(length, &exponent);
        const double base[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
          g.point[0][i] = float(std::ldexp(f[i], -exponent));
          g.point[1][i] = float(base[i]);
        }
        g.point[2][0] = float(exponent);
      }
    }
    ++nextPoint_;
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
  }
  if (nextPoint_ < capacity_) return;
  FinishGlyphs();
  complete_ = 1;
}

void GraphGlyphs3D::FinishGlyphs() {
  double widths[3] = {4, 4, 4};
  if (context_ != nullptr) GetViewRangeWidths(context_, widths);
  const double w = std::min({widths[0], widths[1], widths[2]});
  if (maxLength_ == 0.0) maxLength_ = 1.0;
  const double scale = lengthScale_ != nullptr ? *lengthScale_ : 0.0;
  // The longest vector's length as m 2^e, m in [0.5, 1): each vector's share of it is taken from
  // the exponents, so neither a tiny nor a huge longest vector overflows the factor.
  int maxExponent = 0;
  const double maxMantissa = std::frexp(maxLength_, &maxExponent);
  const double head = kHeadOfWidth * w;
  int32_t kept = 0;
  for (int32_t n = 0; n < glyphCount_; ++n) {
    ArrowGlyph g = glyphs_[n];
    const int exponent = int(g.point[2][0]);
    double base[3], d[3], tip[3];
    for (int i = 0; i < 3; ++i) {
      base[i] = g.point[1][i];
      // At its own length, or scaled so that the longest is `scale` long.
      d[i] = scale == 0.0 ? std::ldexp(double(g.point[0][i]), exponent)
                          : scale * std::ldexp(g.point[0][i] / maxMantissa, exponent - maxExponent);
      tip[i] = base[i] + d[i];
      g.point[0][i] = float(tip[i]);
    }
    const double length = std::hypot(d[0], d[1], d[2]);
    if (length == 0.0) {
      for (int b = 2; b < 5; ++b) std::copy(g.point[0], g.point[0] + 3, g.point[b]);
    } else {
      const double fraction = std::min(kMinHeadFraction + head / length, kMaxHeadFraction);
      double e1[3], e2[3];
      ArrowHeadFrame(d, e1, e2);
      for (int b = 0; b < kBarbs; ++b) {
        const double angle = b * kTwoPi / kBarbs, c = std::cos(angle), s = std::sin(angle);
        for (int i = 0; i < 3; ++i) {
          g.point[2 + b][i] = float(tip[i] - fraction * d[i] + kBarbRadius * length * (c * e1[i] + s * e2[i]));
        }
      }
    }
    // An arrow at its own length past the floats' range has no place to be drawn.
    if (!std::all_of(&g.point[0][0], &g.point[0][0] + 15, [](float c) { return std::isfinite(c); })) continue;
    glyphs_[kept] = g;
    const uint16_t first = uint16_t(5 * kept);
    const uint16_t pairs[8] = {first, uint16_t(first + 1), first, uint16_t(first + 2),
                               first, uint16_t(first + 3), first, uint16_t(first + 4)};
    std::copy(pairs, pairs + 8, segments_ + 2 * segmentCount_);
    segmentCount_ += 4;
    ++kept;
  }
  glyphCount_ = kept;
  extent_ = context_ != nullptr ? MeshExtentInView(&glyphs_[0].point[0][0], 5 * glyphCount_, context_) : 0.0;
}

bool GraphGlyphs3D::Draw() {
  if (color_ == nullptr || color_->mode == kColorNoFill || !MeshHasData(&mesh_) || glyphs_ == nullptr) return true;
  SetGLCurveMaterialColor(color_->rgb, context_);
  DrawGLMesh(&mesh_);
  return true;
}

int32_t GraphGlyphs3D::Status() { return glyphCount_ > 0 ? 0 : kMessageUndefinedForRanges; }

void GraphGlyphs3D::VariableChanged(int32_t symbol, double) {
  if (ForgetBindingsOf(field_, 3, symbol)) Invalidate();
}

void GraphGlyphs3D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
    BrightenGraphColor(color_);
  } else if (code == 5 && meshDirty_ && complete_) {
    if (glyphCount_ > 0) {
      SetGLLineMesh(&mesh_, &glyphs_[0].point[0][0], segments_, uint32_t(5 * glyphCount_), uint32_t(segmentCount_),
                    context_);
    } else {
      DestroyGLMesh(&mesh_);
    }
    meshDirty_ = 0;
  }
}

void GraphGlyphs3D::Invalidate() {
  FreeArrays();
  nextPoint_ = segmentCount_ = glyphCount_ = 0;
  complete_ = 0;
  meshDirty_ = 1;
}
