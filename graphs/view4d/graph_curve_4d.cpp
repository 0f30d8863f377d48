// GraphCurve4D: sampling into the cube under the budget, and the projection and segments of each
// drawing pass.
#include "graphs/view4d/graph_curve_4d.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int32_t kMaxSamples = 65535;  // line indices are 16-bit
}  // namespace

GraphCurve4D::GraphCurve4D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                           CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                           const Projection4D* projection, const double* tMin, const double* tMax)
    : context_(context), projection_(projection), tMin_(tMin), tMax_(tMax), function_{x, y, z, w},
      condition_(condition), color_(color), count_(GrainSize(grain, 800.0, 200.0, 2, kMaxSamples)) {
  CompileFunctions4(x, y, z, w);
  if (condition_ != nullptr) {
    // The curve's parameter is u in its functions; the condition reads it by the same slot.
    RenameFunctionSymbol(condition_, 't', 'u');
    CompileFunction(condition_);
  }
  if (color_ != nullptr) BrightenGraphColor(color_);
  Allocate();
}

GraphCurve4D::GraphCurve4D(CompiledFunction* list, GraphColor* color, GraphicsContext* context,
                           const Projection4D* projection)
    : context_(context), projection_(projection), tMin_(nullptr), tMax_(nullptr),
      function_{list, nullptr, nullptr, nullptr},
      color_(color), kind_(1) {
  const ExprNode* root = list != nullptr ? list->tree : nullptr;
  count_ = IsColumnOfRows(root, 4) ? 1 : std::min(FunctionArity(list), kMaxSamples);
  if (color_ != nullptr) BrightenGraphColor(color_);
  Allocate();
}

GraphCurve4D::~GraphCurve4D() {
  FreeArrays();
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(condition_);
  delete color_;
}

void GraphCurve4D::FreeArrays() {
  FreeMemory(points_);
  FreeMemory(valid_);
  FreeMemory(vertices_);
  FreeMemory(lines_);
  FreeMemory(visible_);
  points_ = nullptr, valid_ = nullptr, vertices_ = nullptr, lines_ = nullptr, visible_ = nullptr;
}

void GraphCurve4D::Allocate() {
  FreeArrays();
  if (count_ > 0) {
    const size_t n = size_t(count_);
    // Zeroed: the vertex array handed to the drawing holds every sample, drawn or not.
    points_ = static_cast<double*>(AllocMemory(4 * n * sizeof(double), true));
    valid_ = static_cast<uint8_t*>(AllocMemory(n, true));
    vertices_ = static_cast<float*>(AllocMemory(3 * n * sizeof(float), true));
    lines_ = static_cast<uint16_t*>(AllocMemory(2 * n * sizeof(uint16_t), true));
    visible_ = static_cast<uint8_t*>(AllocMemory(n, true));
    const bool all = points_ != nullptr && valid_ != nullptr && vertices_ != nullptr && lines_ != nullptr &&
                     visible_ != nullptr;
    if (!all) {
      PostError(kErrorOutOfMemory);
      FreeArrays();
    }
  }
  Reset();
}

void GraphCurve4D::Reset() {
  if (valid_ != nullptr) std::memset(valid_, 0, size_t(count_));
  next_ = -1;
  validCount_ = 0;
  lineCount_ = 0;
  maxRadius_ = 0.0;
}

double GraphCurve4D::SampleParameter(int32_t k, double t0, double t1) const {
  return CurveSampleParameter(k, count_, t0, t1);
}

void GraphCurve4D::ListItem(int32_t k, double out[4]) const {
  const ExprNode* root = function_[0] != nullptr ? function_[0]->tree : nullptr;
  const ExprNode* item = IsColumnOfRows(root, 4)                  ? root
                         : root != nullptr && k < root->arity ? root->children[k]
                                                               : nullptr;
  for (int c = 0; c < 4; ++c) out[c] = IsColumnOfRows(item, 4) ? NodeToNumber(item->children[c]) : kUndefinedReal;
}

void GraphCurve4D::Compute(int32_t budget) {
  if (points_ == nullptr || budget <= 0 || next_ >= count_) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const double t0 = kind_ == 0 ? *tMin_ : 0.0, t1 = kind_ == 0 ? *tMax_ : 0.0;
  CubeAxis axes[4];
  CubeAxesOf(*projection_, axes);
  while (next_ < count_ && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    // next_ is the last sample stored: the one after it becomes so only once it is, so a Compute
    // abandoned in its evaluations takes it again.
    const int32_t i = next_ + 1;
    if (i >= count_) {
      next_ = count_;
      break;
    }
    double c[4];
    const double t = kind_ == 0 ? SampleParameter(i, t0, t1) : 0.0;
    if (kind_ == 0) {
      for (int k = 0; k < 4; ++k) c[k] = EvaluateFunction1(function_[k], t);
    } else {
      ListItem(i, c);
    }
    bool ok = IsFinite4(c);
    if (ok && condition_ != nullptr) ok = EvaluateFunction6(condition_, t, 0.0, c[0], c[1], c[2], c[3]) == 1.0;
    ok = ok && MapIntoCube(c, axes, points_ + 4 * i, &maxRadius_);
    valid_[i] = ok ? 1 : 0;
    validCount_ += ok ? 1 : 0;
    next_ = i;
  }
}

bool GraphCurve4D::Draw() {
  if (points_ == nullptr || color_ == nullptr || color_->mode == kColorNoFill) return true;
  const int32_t computed = std::min(next_ + 1, count_);
  for (int32_t i = 0; i < computed; ++i) {
    visible_[i] = 0;
    if (!valid_[i]) continue;
    double drawn[3], depth = 0.0;
    Project4DPoint(*projection_, points_ + 4 * i, drawn, &depth);
    for (int k = 0; k < 3; ++k) vertices_[3 * i + k] = float(drawn[k]);
    // Past the floats' range a sample has no place to be drawn: it breaks its segments only.
    const float* v = vertices_ + 3 * i;
    if (!(depth >= 0.0) || !std::isfinite(v[0] + v[1] + v[2])) continue;
    visible_[i] = 1;
  }
  lineCount_ = 0;
  for (int32_t i = 0; i + 1 < computed; ++i) {
    if (!visible_[i] || !visible_[i + 1]) continue;
    lines_[2 * lineCount_] = uint16_t(i);
    lines_[2 * lineCount_ + 1] = uint16_t(i + 1);
    ++lineCount_;
  }
  if (lineCount_ == 0) return true;
  SetGLCurveMaterialColor(color_->rgb, context_);
  SetGLVertexArray(vertices_, count_, context_);
  DrawGLLineElements(lines_, lineCount_, context_);
  return true;
}

int32_t GraphCurve4D::Status() {
  return points_ == nullptr || count_ < 1 || validCount_ == 0 ? kMessageUndefinedForRanges : 0;
}

void GraphCurve4D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const all[5] = {function_[0], function_[1], function_[2], function_[3], condition_};
  if (ForgetBindingsOf(all, 5, symbol)) Reset();
}

void GraphCurve4D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
    BrightenGraphColor(color_);
  } else if (code == 8 && kind_ == 0) {
    count_ = GrainSize(value, 800.0, 200.0, 2, kMaxSamples);
    Allocate();
  }
}

bool GraphCurve4D::IsComplete() { return points_ == nullptr || next_ >= count_; }

double GraphCurve4D::Extent() { return maxRadius_; }

GraphKind4D* NewCurve4DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                             CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                             const Projection4D* projection, const double* tMin, const double* tMax) {
  return new (std::nothrow) GraphCurve4D(x, y, z, w, condition, color, grain, context, projection, tMin, tMax);
}

GraphKind4D* NewCurveList4DGraph(CompiledFunction* list, GraphColor* color, GraphicsContext* context,
                                 const Projection4D* projection) {
  return new (std::nothrow) GraphCurve4D(list, color, context, projection);
}
