// Block forms of the evaluation entries: the inputs each point entry writes become block inputs
// (varying along the block or shared by it), and a refused block goes point by point.
// Invariants: blocks are taken in order, so a block's points see the slots as the points before
// them left them; the context's current cell ends at the last cell evaluated.
#include "kernel/eval/block_evaluation.h"

#include <algorithm>
#include <cmath>

#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"

namespace {

// Cells (i0 + t, j), t < m, by the block machine; false when they must go point by point.
bool GridBlock(CompiledFunction* const* functions, int32_t count, int32_t i0, int32_t j, int32_t m,
               EvalContext* context, double* const* out, int32_t offset) {
  if (context == nullptr || context->table == nullptr || context->complex || count < 1 || count > kMaxBlockBatch ||
      i0 < 0 || i0 > context->columnCount - m) {
    return false;
  }
  const CompiledCode* codes[kMaxBlockBatch];
  double* results[kMaxBlockBatch];
  for (int32_t f = 0; f < count; ++f) {
    if (functions[f] == nullptr || functions[f]->code == nullptr || functions[f]->code->complex) return false;
    codes[f] = functions[f]->code;
    results[f] = out[f] + offset;
  }
  const double* x = context->columnX + i0;
  const double y = std::fma(static_cast<double>(j), context->dy, context->y0);
  const RealBlockInput inputs[5] = {{kSlotU, x, 0.0},
                                    {kSlotX, x, 0.0},
                                    {kSlotV, nullptr, y},
                                    {kSlotY, nullptr, y},
                                    {kSlotParameter, nullptr, ParameterValue()}};
  if (!RunRealBlock(codes, count, context->table, context->tableCells, inputs, 5, m, results)) return false;
  context->column = i0 + m - 1;
  context->row = j;
  return true;
}

Interval BoxAt(const BoxAxis& axis, int32_t t) { return axis.boxes != nullptr ? axis.boxes[t] : axis.shared; }

// The interval entries over boxes t < n of up to three axes written into `slotsOf`.
void IntervalBlocks(CompiledFunction* function, const int32_t* slotsOf, const BoxAxis* axes, int32_t axisCount,
                    int32_t n, Interval* out, uint8_t* partial) {
  for (int32_t start = 0; start < n; start += kBlockLanes) {
    const int32_t m = std::min(kBlockLanes, n - start);
    EvalCell* slots = EvalScratch();
    bool done = false;
    if (function != nullptr && function->code != nullptr && !function->code->complex && slots != nullptr &&
        EvalScratchCapacity() >= kFixedSlotCount) {
      const double p = ParameterValue();
      IntervalBlockInput inputs[4] = {{kSlotParameter, nullptr, Interval{p, p}}};
      for (int32_t a = 0; a < axisCount; ++a) {
        const Interval* boxes = axes[a].boxes != nullptr ? axes[a].boxes + start : nullptr;
        inputs[1 + a] = IntervalBlockInput{slotsOf[a], boxes, axes[a].shared};
      }
      const CompiledCode* code = function->code;
      Interval* results[1] = {out + start};
      uint8_t* partials[1] = {partial != nullptr ? partial + start : nullptr};
      done = RunIntervalBlock(&code, 1, slots, EvalScratchCapacity(), inputs, 1 + axisCount, m, results,
                              partial != nullptr ? partials : nullptr);
    }
    for (int32_t t = start; !done && t < start + m; ++t) {
      const Interval x = BoxAt(axes[0], t);
      if (axisCount == 1) {
        EvaluateIntervalX(function, x.lo, x.hi, &out[t].lo, &out[t].hi);
      } else if (axisCount == 2) {
        const Interval y = BoxAt(axes[1], t);
        EvaluateIntervalXY(function, x.lo, x.hi, y.lo, y.hi, &out[t].lo, &out[t].hi);
      } else {
        const Interval y = BoxAt(axes[1], t), z = BoxAt(axes[2], t);
        EvaluateIntervalXYZ(function, x.lo, x.hi, y.lo, y.hi, z.lo, z.hi, &out[t].lo, &out[t].hi);
      }
      if (partial != nullptr) partial[t] = IntervalPartialDomainSeen() ? 1 : 0;
    }
  }
}

}  // namespace

void EvaluateGridRowBatch(CompiledFunction* const* functions, int32_t count, int32_t i0, int32_t j, int32_t n,
                          EvalContext* context, double* const* out) {
  for (int32_t start = 0; start < n; start += kBlockLanes) {
    const int32_t m = std::min(kBlockLanes, n - start);
    if (GridBlock(functions, count, i0 + start, j, m, context, out, start)) continue;
    for (int32_t t = start; t < start + m; ++t) {
      for (int32_t f = 0; f < count; ++f) out[f][t] = EvaluateAtGridPoint(functions[f], i0 + t, j, context);
    }
  }
}

void EvaluateGridRow(CompiledFunction* function, int32_t i0, int32_t j, int32_t n, EvalContext* context, double* out) {
  EvaluateGridRowBatch(&function, 1, i0, j, n, context, &out);
}

void EvaluateIntervalXBlock(CompiledFunction* function, BoxAxis x, int32_t n, Interval* out, uint8_t* partial) {
  static const int32_t kSlots[1] = {kSlotU};
  IntervalBlocks(function, kSlots, &x, 1, n, out, partial);
}

void EvaluateIntervalXYBlock(CompiledFunction* function, BoxAxis x, BoxAxis y, int32_t n, Interval* out,
                             uint8_t* partial) {
  static const int32_t kSlots[2] = {kSlotX, kSlotY};
  const BoxAxis axes[2] = {x, y};
  IntervalBlocks(function, kSlots, axes, 2, n, out, partial);
}

void EvaluateIntervalXYZBlock(CompiledFunction* function, BoxAxis x, BoxAxis y, BoxAxis z, int32_t n,
                              Interval* out, uint8_t* partial) {
  static const int32_t kSlots[3] = {kSlotX, kSlotY, kSlotZ};
  const BoxAxis axes[3] = {x, y, z};
  IntervalBlocks(function, kSlots, axes, 3, n, out, partial);
}
