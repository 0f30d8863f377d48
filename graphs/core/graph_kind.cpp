// The records of the 2D probe (the cleared probe and the empty nearest point), and what the
// graph kinds share: their serials, releasing their functions, their Compute deadline and reading
// row values.
#include "graphs/core/graph_kind.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "kernel/eval/compiled_function.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"

namespace {

// The last serial given; never reset, so that no serial is given twice.
uint64_t lastGraphSerial = 0;

}  // namespace

GraphKind::GraphKind() : serial_(++lastGraphSerial) {}

GraphKind::GraphKind(const GraphKind& other) : gaveUp(other.gaveUp), serial_(++lastGraphSerial) {}

GraphKind& GraphKind::operator=(const GraphKind& other) {
  gaveUp = other.gaveUp;
  return *this;
}

void InitProbeRecord(ProbeRecord* record) {
  const double keep0 = record->aux[0];
  const double keep1 = record->aux[1];
  *record = ProbeRecord{};
  record->aux[0] = keep0;
  record->aux[1] = keep1;
}

NearestPointRecord NoNearestPoint() { return NearestPointRecord{}; }

GrowArray<ProbePoint>* NewProbeList() { return new (std::nothrow) GrowArray<ProbePoint>(); }

void DisposeProbeList(GrowArray<ProbePoint>* list) {
  if (list == nullptr) return;
  GrowArrayFree(*list);
  delete list;
}

void DeleteCompiledFunction(CompiledFunction* function) {
  if (function == nullptr) return;
  DisposeFunction(function);
  delete function;
}

namespace {

// A derivative the algebra could not work out (or a NaN stand-in) is no derivative.
bool IsUsableDerivative(const CompiledFunction* derivative) {
  if (derivative == nullptr || derivative->tree == nullptr) return false;
  const ExprNode* root = derivative->tree;
  if (root->kind == KindNum && std::isnan(root->value.number->value)) return false;
  TreeCursor cursor(derivative->tree, WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindDerivativePartial || n->kind == KindDerivativeTotal || n->kind == KindOppartial ||
        n->kind == KindOptotal) {
      return false;
    }
  }
  return true;
}

}  // namespace

CompiledFunction* NewCompiledDerivative(const CompiledFunction* function, int32_t symbol) {
  if (function == nullptr || !HasOnlySmoothOperators(function)) return nullptr;
  CompiledFunction* derivative = NewDerivativeFunction(function, symbol);
  if (!IsUsableDerivative(derivative)) {
    DeleteCompiledFunction(derivative);
    return nullptr;
  }
  CompileFunction(derivative);
  return derivative;
}

void ForgetCachedConstants(CompiledFunction* const* functions, int count) {
  for (int k = 0; k < count; ++k) {
    if (functions[k] != nullptr) functions[k]->bindingsEvaluated = 0;
  }
}

bool ForgetBindingsOf(CompiledFunction* const* functions, int count, int32_t symbol) {
  ForgetCachedConstants(functions, count);
  bool depends = false;
  for (int k = 0; k < count && !depends; ++k) {
    depends = functions[k] != nullptr && FunctionDependsOnSymbol(functions[k], symbol);
  }
  return depends;
}

uint32_t ComputeDeadline(int32_t budget) { return ElapsedTimerUnits() + static_cast<uint32_t>(std::max(budget, 0)); }

int32_t TruncateToInt32(double value) {
  if (std::isnan(value) || value <= -2147483648.0) return INT32_MIN;
  if (value >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(value);
}

double ClampGrain(double q) {
  if (std::isnan(q)) return 0.5;
  return std::min(std::max(q, 0.0), 1.0);
}

int32_t LevelCountOfGrain(double q) { return static_cast<int32_t>(20.0 * ClampGrain(q) + 4.5); }

int32_t CurveSamplesOfGrain(double q) { return static_cast<int32_t>(800.0 * ClampGrain(q) + 200.0); }

double CurveSampleParameter(int32_t k, int32_t count, double t0, double t1) {
  if (k >= count - 1) return t1;
  return t0 + k * ((t1 - t0) / (count - 1));
}

int32_t GrainSize(double q, double a, double b, int32_t low, int32_t high) {
  double size = a * q + b;
  if (!(size >= low && size < high + 1.0)) size = a * 0.5 + b;
  return static_cast<int32_t>(size);
}
