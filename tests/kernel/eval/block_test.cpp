// The block machines and entries against the point machines they stand for: seeded random trees
// over grid rows and lists of boxes, compared bit for bit together with the slots, context and
// error register they leave; the plans' kept sub-expressions; the blocks refused to the point
// machines; refused allocations; and no allocation per block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/block_plan.h"
#include "kernel/memory/memory_budget.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class BlockTest : public EvaluationFixture {
 protected:
  void SetUp() override {
    EvaluationFixture::SetUp();
    SetParameterLetter('a');
    SetParameterValue(0.7);
  }
};

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

std::vector<EvalCell> Cells(const EvalCell* cells, int32_t n) { return std::vector<EvalCell>(cells, cells + n); }

void Restore(EvalCell* cells, const std::vector<EvalCell>& saved) {
  std::memcpy(static_cast<void*>(cells), saved.data(), saved.size() * sizeof(EvalCell));
}

// What a run leaves behind besides its values.
struct Trace {
  std::vector<EvalCell> slots;
  int32_t column, row;
  int error;
  bool operator==(const Trace& o) const {
    return SameBits(slots, o.slots) && column == o.column && row == o.row && error == o.error;
  }
};

constexpr int32_t kLengths[] = {1, 7, 256, 1000};
constexpr int32_t kColumns = 1013;

// Trees where some points meet an undefined value that a later step would hide (a comparison,
// a zeroth power), in a sum, in a branch, beside the prologue, in a kept sub-expression.
const char* const kUndefinedSomewhere[] = {
    "lessthan[sqrt[x],1]",
    "power[ln[x],0]",
    "bsum[equal[n,1],plus[y,3],lessthan[sqrt[times[n,x]],2]]",
    "branch[if[sqrt[x],geq[x,0]],if[0,lessthan[x,0]]]",
    "branch[if[sqrt[x],greaterthan[x,-1]],x]",  // the chosen value undefined, made canonical
    "plus[r,theta,lessthan[sqrt[x],r]]",
    "plus[times[x,y],sin[times[x,y]],geq[sqrt[times[x,y]],1]]",
    "times[sqrt[plus[power[x,2],power[y,2]]],exp[over[minus[plus[power[x,2],power[y,2]]],4]]]",
};
constexpr int kFixedTrees = sizeof kUndefinedSomewhere / sizeof kUndefinedSomewhere[0];

// Grid rows of a shared batch of two functions (the first may store r and theta for the second),
// point by point and by blocks from the same slots, over rows where sqrt, ln and the like are
// undefined at some columns only: the trees above, then seeded random trees.
TEST_F(BlockTest, GridRowsEqualThePointEntriesBitForBit) {
  RandomTrees random(20260412, false), withI(77, true);
  random.wide = withI.wide = true;
  int accepted = 0;
  for (int t = 0; t < 240; ++t) {
    RandomTrees& source = t % 10 == 9 ? withI : random;
    const std::string a = t < kFixedTrees ? kUndefinedSomewhere[t] : source.Make(1 + t % 4);
    const std::string b = random.Make(1 + (t / 4) % 3);
    CompiledFunction* f = Function(a.c_str());
    CompiledFunction* g = Function(b.c_str());
    CompiledFunction* batch[2] = {f, g};
    EvalContext* context = CompileFunctionsShared2(f, g);
    PrepareSampleGrid(-2.3, -1.7, 0.0047, 0.31, kColumns, 12, context);
    {
      // Whether the block machine takes it at all (the entries fall back silently).
      std::vector<EvalCell> copy = Cells(context->table, context->tableCells);
      const double y = -1.7 + 0.31 * 5;
      const RealBlockInput inputs[5] = {{kSlotU, context->columnX, 0}, {kSlotX, context->columnX, 0},
                                        {kSlotV, nullptr, y}, {kSlotY, nullptr, y}, {kSlotParameter, nullptr, 0.7}};
      double r0[kBlockLanes], r1[kBlockLanes];
      double* results[2] = {r0, r1};
      const CompiledCode* codes[2] = {f->code, g->code};
      accepted += RunRealBlock(codes, 2, copy.data(), context->tableCells, inputs, 5, kBlockLanes, results) ? 1 : 0;
    }
    for (const int32_t length : kLengths) {
      const int32_t i0 = (kColumns - length) * (t % 3) / 2, j = t % 12;
      const std::vector<EvalCell> before = Cells(context->table, context->tableCells);
      std::vector<double> pointValues(2 * length), blockValues(2 * length);
      ResetErrorRegister();
      for (int32_t k = 0; k < length; ++k) {
        pointValues[k] = EvaluateAtGridPoint(f, i0 + k, j, context);
        pointValues[length + k] = EvaluateAtGridPoint(g, i0 + k, j, context);
      }
      const Trace points{Cells(context->table, context->tableCells), context->column, context->row, PendingError()};
      Restore(context->table, before);
      context->column = context->row = -1;
      ResetErrorRegister();
      double* out[2] = {blockValues.data(), blockValues.data() + length};
      EvaluateGridRowBatch(batch, 2, i0, j, length, context, out);
      const Trace blocks{Cells(context->table, context->tableCells), context->column, context->row, PendingError()};
      EXPECT_TRUE(SameBits(pointValues, blockValues)) << a << " ; " << b << " over " << length;
      EXPECT_TRUE(points == blocks) << a << " ; " << b << " over " << length;
      // g alone reads a stale r where its batch partner stores it: the same at every point.
      Restore(context->table, before);
      EvaluateGridRow(g, i0, j, length, context, blockValues.data());
      const std::vector<EvalCell> aloneSlots = Cells(context->table, context->tableCells);
      Restore(context->table, before);
      for (int32_t k = 0; k < length; ++k) pointValues[k] = EvaluateAtGridPoint(g, i0 + k, j, context);
      EXPECT_EQ(std::memcmp(blockValues.data(), pointValues.data(), length * sizeof(double)), 0) << b;
      EXPECT_TRUE(SameBits(aloneSlots, Cells(context->table, context->tableCells))) << b;
    }
    DisposeEvalContext(context);
    Free(f);
    Free(g);
  }
  EXPECT_GT(accepted, 120);  // most blocks run on the block machine, not the fallback
}

// Trees where some boxes meet a partial domain and others not, before a comparison: each box's
// comparisons see its own record only (a comparison met again after one is not the kept value),
// and conditions that may hold give their value.
const char* const kPartlySomewhere[] = {
    "lessthan[sqrt[x],5]",
    "plus[geq[y,0.25],sqrt[x],geq[y,0.25]]",
    "plus[power[x,0.5],lessthan[y,3]]",
    "lessthan[if[x,greaterthan[x,0]],5]",
    "branch[if[1,geq[sqrt[x],0.5]],if[2,lessthan[x,1]],y]",
    "bsum[equal[n,1],3,lessthan[sqrt[plus[x,n]],y]]",
};
constexpr int kPartlyTrees = sizeof kPartlySomewhere / sizeof kPartlySomewhere[0];

// Lists of boxes, with y shared along a row of boxes or varying box by box: the values, and the
// partial-domain record of each box with a value. The fixed trees come first.
TEST_F(BlockTest, IntervalBoxListsEqualThePointEntryBitForBit) {
  RandomTrees random(4242, false);
  random.wide = true;
  for (int t = -kPartlyTrees; t < 200; ++t) {
    const std::string text = t < 0 ? kPartlySomewhere[t + kPartlyTrees] : random.Make(1 + t % 4);
    CompiledFunction* f = Compiled(text.c_str());
    for (const int32_t length : kLengths) {
      std::vector<Interval> x(length), y(length);
      for (int32_t k = 0; k < length; ++k) {
        const double x0 = -2.1 + 4.3 * k / length;
        x[k] = Interval{x0, x0 + (t % 5 == 0 && t >= 0 ? 0.0 : 0.004 * (1 + k % 3))};
        y[k] = Interval{-1.2 + 0.01 * k, -1.2 + 0.01 * k + 0.3};
      }
      const BoxAxis sharedY{nullptr, Interval{0.25, 0.254}}, varyingY{y.data(), {}};
      for (const BoxAxis& yAxis : {sharedY, varyingY}) {
        const std::vector<EvalCell> before = Cells(EvalScratch(), EvalScratchCapacity());
        std::vector<Interval> points(length), blocks(length);
        std::vector<uint8_t> pointPartial(length), blockPartial(length);
        for (int32_t k = 0; k < length; ++k) {
          const Interval yk = yAxis.boxes != nullptr ? yAxis.boxes[k] : yAxis.shared;
          EvaluateIntervalXY(f, x[k].lo, x[k].hi, yk.lo, yk.hi, &points[k].lo, &points[k].hi);
          pointPartial[k] = IntervalPartialDomainSeen() && !IntervalIsUndefined(points[k]);
        }
        const std::vector<EvalCell> pointSlots = Cells(EvalScratch(), EvalScratchCapacity());
        Restore(EvalScratch(), before);
        EvaluateIntervalXYBlock(f, BoxAxis{x.data(), {}}, yAxis, length, blocks.data(), blockPartial.data());
        for (int32_t k = 0; k < length; ++k) blockPartial[k] = blockPartial[k] && !IntervalIsUndefined(blocks[k]);
        EXPECT_TRUE(SameBits(points, blocks)) << text << " over " << length;
        EXPECT_TRUE(pointPartial == blockPartial) << text << " over " << length;
        EXPECT_TRUE(SameBits(pointSlots, Cells(EvalScratch(), EvalScratchCapacity()))) << text;
      }
      // The one- and three-axis entries fill other slots through the same path.
      std::vector<Interval> points(length), blocks(length), blocks3(length);
      for (int32_t k = 0; k < length; ++k) EvaluateIntervalX(f, x[k].lo, x[k].hi, &points[k].lo, &points[k].hi);
      EvaluateIntervalXBlock(f, BoxAxis{x.data(), {}}, length, blocks.data());
      EXPECT_TRUE(SameBits(points, blocks)) << text;
      for (int32_t k = 0; k < length; ++k) {
        EvaluateIntervalXYZ(f, x[k].lo, x[k].hi, y[k].lo, y[k].hi, -1, 1, &points[k].lo, &points[k].hi);
      }
      EvaluateIntervalXYZBlock(f, BoxAxis{x.data(), {}}, BoxAxis{y.data(), {}}, BoxAxis{nullptr, Interval{-1, 1}},
                               length, blocks3.data());
      EXPECT_TRUE(SameBits(points, blocks3)) << text;
    }
    Free(f);
  }
  EXPECT_EQ(PendingError(), 0);
}

// A sub-expression met twice is kept once, unless a swap, a store, a loop or the prologue is
// part of it; the block value stays that of the point machine (the grid test above checks it).
TEST_F(BlockTest, PlansKeepRepeatedSubexpressionsOnlyWhereBitIdentical) {
  const struct {
    const char* tree;
    int32_t saves;
  } cases[] = {
      {"times[sqrt[plus[power[x,2],power[y,2]]],exp[over[minus[plus[power[x,2],power[y,2]]],4]]]", 1},
      {"plus[times[x,y],sin[times[x,y]],cos[times[x,y]]]", 1},
      {"plus[sqrt[x,3],sqrt[x,3]]", 0},                                  // a swap inside
      {"plus[sin[x],bsum[equal[n,1],3,sin[x]]]", 0},                     // the second inside a loop
      {"plus[theta,pointangle[x,y]]", 0},                                // the prologue's angle is not kept
      {"plus[times[y,x],times[x,y]]", 0},                                // no algebra: a different order
      {"plus[over[1,plus[1,power[x,2]]],over[1,plus[1,power[x,2]]]]", 1},
  };
  for (const auto& c : cases) {
    CompiledFunction* f = Compiled(c.tree);
    ASSERT_NE(f->code->blockPlan, nullptr) << c.tree;
    EXPECT_EQ(f->code->blockPlan->saveCount, c.saves) << c.tree;
    Free(f);
  }
}

// Blocks the block machine refuses (so that the point machine gives their values): loops whose
// bound varies along the block, undefined values at some points of a code that stores past its
// prologue, a batch whose later code stores what an earlier one reads, and an unplanned code.
TEST_F(BlockTest, RefusesBlocksItCannotRunExactly) {
  const struct {
    const char* first;
    const char* second;  // null: the first alone
    bool xVaries;
    bool accepted;
  } cases[] = {
      {"bsum[equal[n,1],x,n]", nullptr, true, false},
      {"bsum[equal[n,1],x,n]", nullptr, false, true},
      {"bsum[equal[n,1],plus[y,3],over[x,n]]", nullptr, true, true},
      {"plus[sqrt[x],bsum[equal[n,1],y,n]]", nullptr, true, false},  // sqrt(x) undefined for x < 0 only
      {"plus[sqrt[x],1]", nullptr, true, true},
      {"plus[sqrt[x],bsum[equal[n,1],y,n]]", nullptr, false, true},  // x shared: undefined everywhere
      {"x", "plus[r,x]", true, true},
      {"plus[r,x]", "plus[r,y]", true, true},  // the second loads the r the first stores
  };
  for (const auto& c : cases) {
    CompiledFunction* f = Function(c.first);
    CompiledFunction* g = Function(c.second != nullptr ? c.second : "1");
    CompiledFunction* batch[2] = {f, g};
    EvalContext* context = CompileFunctionsShared(batch, c.second != nullptr ? 2 : 1);
    double xs[16];
    for (int i = 0; i < 16; ++i) xs[i] = -1 + 0.25 * i;
    const RealBlockInput inputs[2] = {{kSlotX, c.xVaries ? xs : nullptr, -0.5}, {kSlotY, nullptr, 0.5}};
    double r0[16], r1[16];
    double* results[2] = {r0, r1};
    const CompiledCode* codes[2] = {f->code, g->code};
    EXPECT_EQ(RunRealBlock(codes, c.second != nullptr ? 2 : 1, context->table, context->tableCells, inputs, 2, 16,
                           results),
              c.accepted)
        << c.first;
    DisposeEvalContext(context);
    Free(f);
    Free(g);
  }
  // The r of the second code is stored by a later one: each point would read the previous one's.
  CompiledFunction* f = Function("plus[r,y]");
  CompiledFunction* g = Function("plus[r,x]");
  EvalContext* context = CompileFunctionsShared2(f, g);
  const CompiledCode* reversed[2] = {g->code, f->code};
  double xs[4] = {1, 2, 3, 4}, r0[4], r1[4];
  double* results[2] = {r0, r1};
  const RealBlockInput inputs[2] = {{kSlotX, xs, 0}, {kSlotY, nullptr, 0.5}};
  EXPECT_FALSE(RunRealBlock(reversed, 2, context->table, context->tableCells, inputs, 2, 4, results));
  DisposeEvalContext(context);
  Free(f);
  Free(g);
  CompiledCode* code = Code({O(OpLoadSlot, 3), O(OpEnd)});  // hand-built: no plan
  const CompiledCode* alone = code;
  EXPECT_FALSE(RunRealBlock(&alone, 1, EvalScratch(), EvalScratchCapacity(), inputs, 2, 4, results));
  ASSERT_TRUE(PrepareBlockPlan(code) && EnsureBlockScratch(BlockScratchBytes(&alone, 1)));
  EXPECT_TRUE(RunRealBlock(&alone, 1, EvalScratch(), EvalScratchCapacity(), inputs, 2, 4, results));
  EXPECT_EQ(r0[3], 4.0);
  EmitOp(code, OpEnd);  // any change drops the plan
  EXPECT_EQ(code->blockPlan, nullptr);
  FreeCompiledCode(code);
}

// Shapes only hand-built codes take: a slot stored twice while a value read from it is still on
// the stack, swapped buffers, the undefined bottom reaching the top, an undefined constant,
// opcodes that do nothing, an abort. Each point as RunRealCode gives it (x = -1, 0.5, 2, 3.5).
TEST_F(BlockTest, HandBuiltCodesRunAsThePointMachineRunsThem) {
  const std::vector<BytecodeInstruction> cases[] = {
      {C(0), O(OpLoadSlot, 3), O(OpStorePop, 11), O(OpLoadSlot, 11), O(OpLoadSlot, 4), O(OpStorePop, 11),
       O(OpLoadSlot, 11), O(OpAdd), O(OpAdd), O(OpEnd)},
      {O(OpLoadSlot, 3), C(2), O(OpSwap), O(OpSquare), O(OpSwap), O(OpDivide), O(OpEnd)},
      {O(OpLoadSlot, 3), O(OpStorePop, 11), O(OpNoOperation9), C(2), O(OpEnd)},
      {O(OpLoadSlot, 3), O(OpSqrt), O(76), C(kUndefinedReal), O(OpLessChain, 2), O(OpEnd)},
      {O(OpLoadSlot, 3), O(OpLn), O(OpAbort), O(OpEnd)},
  };
  double xs[4] = {-1, 0.5, 2, 3.5}, ys[4] = {10, 20, 30, 40};
  const RealBlockInput inputs[2] = {{kSlotX, xs, 0}, {kSlotY, ys, 0}};
  for (const auto& items : cases) {
    CompiledCode* code = Code(items, 13);
    const CompiledCode* alone = code;
    ASSERT_TRUE(PrepareBlockPlan(code) && EnsureEvalScratch(13) && EnsureBlockScratch(BlockScratchBytes(&alone, 1)));
    double block[4];
    double* results[1] = {block};
    ASSERT_TRUE(RunRealBlock(&alone, 1, EvalScratch(), EvalScratchCapacity(), inputs, 2, 4, results));
    for (int i = 0; i < 4; ++i) {
      EvalScratch()[kSlotX].real = xs[i];
      EvalScratch()[kSlotY].real = ys[i];
      const double point = RunRealCode(code);
      EXPECT_EQ(std::memcmp(&point, &block[i], sizeof point), 0) << DisassembleCodeInline(code) << " at " << i;
    }
    FreeCompiledCode(code);
  }
}

// Every allocation of a shared compile refused in turn (plans, block scratch, the column table
// included): the block entry still gives the point entry's values.
TEST_F(BlockTest, RefusedAllocationsLeaveTheBlocksToThePointMachine) {
  for (uint64_t n = 1; n < 40; ++n) {
    FreeEvalScratch();
    EnsureEvalScratch(kFixedSlotCount);
    CompiledFunction* f = Function("plus[times[cos[a],x],times[sqrt[plus[power[x,2],y]],sqrt[plus[power[x,2],y]]]]");
    FailAllocationAt(n);
    EvalContext* context = CompileFunctionsShared1(f);
    PrepareSampleGrid(-1, 0, 0.25, 1, 9, 1, context);
    FailAllocationAt(0);
    double blocks[9], points[9];
    EvaluateGridRow(f, 0, 0, 9, context, blocks);
    for (int i = 0; i < 9; ++i) points[i] = EvaluateAtGridPoint(f, i, 0, context);
    EXPECT_EQ(std::memcmp(blocks, points, sizeof blocks), 0) << n;
    DisposeEvalContext(context);
    Free(f);
  }
}

// Once compiled (and the bindings evaluated), rows and box lists ask the memory budget for
// nothing, however many blocks they take.
TEST_F(BlockTest, BlocksAllocateNothing) {
  CompiledFunction* f = Function("plus[times[sin[a],x],bsum[equal[n,1],4,over[cos[times[n,y]],n]],r]");
  EvalContext* context = CompileFunctionsShared1(f);
  PrepareSampleGrid(-1, -1, 0.002, 0.01, 1000, 200, context);
  std::vector<double> row(1000);
  std::vector<Interval> boxes(1000), out(1000);
  for (int i = 0; i < 1000; ++i) boxes[i] = Interval{-1 + 0.002 * i, -1 + 0.002 * (i + 1)};
  EvaluateGridRow(f, 0, 0, 1000, context, row.data());
  const uint64_t before = CountedAllocationAttempts();
  for (int j = 0; j < 200; j += 20) {
    EvaluateGridRow(f, 0, j, 1000, context, row.data());
    EvaluateIntervalXYBlock(f, BoxAxis{boxes.data(), {}}, BoxAxis{nullptr, Interval{0.1, 0.11}}, 1000, out.data());
  }
  EXPECT_EQ(CountedAllocationAttempts() - before, 0u);
  DisposeEvalContext(context);
  Free(f);
}

}  // namespace
