// Compiled functions: the evaluation entry points, grid contexts, interval and complex entries,
// derivative functions through the seam, the number reader, the tree services, and compiles and
// evaluations that never yield.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class EvaluationTest : public EvaluationFixture {};

// Each entry fills its own slots (u; x, y; u, v, x, y, z, w; the boxes likewise); a real entry
// takes a complex result only on the real axis, and a function never compiled is undefined.
TEST_F(EvaluationTest, EntriesFillTheirSlots) {
  CompiledFunction* f = Compiled("plus[Re[u],1]");
  EXPECT_EQ(f->complex, 1);
  EXPECT_EQ(EvaluateFunction1(f, 1), 2.0);
  Interval r;
  EvaluateIntervalX(f, 2, 3, &r.lo, &r.hi);
  EXPECT_TRUE(TightlyHolds(r, 3, 4));
  Free(f);
  f = Compiled("plus[u,times[power[10,minus[300]],i]]");
  EXPECT_TRUE(std::isnan(EvaluateFunction1(f, 2)));
  Complex z;
  EvaluateComplexAt0(&z, f);  // u keeps its stale slot; only the imaginary part matters here
  EXPECT_TRUE(z.im > 0.0 && z.im < 1e-299);
  Free(f);
  f = Compiled("plus[u,times[10,v],times[100,x],times[1000,y],times[10000,z],times[100000,w]]");
  EXPECT_EQ(EvaluateFunction6(f, 1, 2, 3, 4, 5, 6), 654321.0);
  Free(f);
  f = Compiled("plus[x,times[10,y],times[100,z]]");
  EvaluateIntervalXYZ(f, 0, 1, 1, 2, 3, 4, &r.lo, &r.hi);
  EXPECT_TRUE(TightlyHolds(r, 310, 421));
  Free(f);
  f = Function("x");
  EvaluateIntervalXY(f, 0, 1, 0, 1, &r.lo, &r.hi);
  EXPECT_TRUE(IntervalIsUndefined(r) && std::isnan(EvaluateFunction2(f, 1, 2)));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  Free(f);
}

// The context holds the loop slots of its batch from the start (a smaller table would be written
// past by the sum; AddressSanitizer reports it).
TEST_F(EvaluationTest, GridEvaluationUsesFusedCoordinatesAndTheBatchSlots) {
  CompiledFunction* f = Function("plus[x,times[10,y]]");
  CompiledFunction* g = Function("bsum[equal[n,1],3,times[n,x]]");
  CompiledFunction* h = Function("bsum[equal[k,1],x,bsum[equal[m,1],k,1]]");
  CompiledFunction* list[3] = {f, g, h};
  EvalContext* context = CompileFunctionsShared(list, 3);
  ASSERT_NE(context, nullptr);
  EXPECT_GE(context->tableCells, kFixedSlotCount + 6);
  PrepareSampleGrid(-1, 2, 0.5, 0.25, 5, 3, context);
  EXPECT_EQ(EvaluateAtGridPoint(f, 4, 2, context), 26.0);  // x = fma(4, 0.5, -1), y = fma(2, 0.25, 2)
  EvalCell* table = context->table;
  PrepareSampleGrid(-1, 2, 0.5, 0.25, 5, 3, context);  // identical: nothing changes
  EXPECT_EQ(context->table, table);
  PrepareSampleGrid(1, 0, 1, 1, 4, 1, context);
  for (int i = 0; i < 4; ++i) {
    const double x = 1 + i;
    EXPECT_EQ(EvaluateAtGridPoint(g, i, 0, context), 6 * x);
    EXPECT_EQ(EvaluateAtGridPoint(h, i, 0, context), x * (x + 1) / 2);
  }
  DisposeEvalContext(context);
  Free(f);
  Free(g);
  Free(h);
}

// Every allocation of a shared compile and its first evaluation refused in turn: the context is
// null only with error 7, and a value is either right or undefined with error 7.
TEST_F(EvaluationTest, EachRefusedAllocationOfASharedCompileIsSafe) {
  SetParameterLetter('a');
  for (uint64_t n = 1; n < 30; ++n) {
    CompiledFunction* f = Function("plus[times[cos[a],x],bsum[equal[n,1],2,n]]");
    ResetErrorRegister();
    FailAllocationAt(n);
    EvalContext* context = CompileFunctionsShared1(f);
    PrepareSampleGrid(0, 0, 1, 1, 3, 1, context);
    const double v = EvaluateAtGridPoint(f, 2, 0, context);  // cos(0) 2 + 3
    FailAllocationAt(0);
    EXPECT_TRUE(context != nullptr || PendingError() == kErrorOutOfMemory) << n;
    EXPECT_TRUE(v == 5.0 || (std::isnan(v) && PendingError() == kErrorOutOfMemory)) << n << ": " << v;
    DisposeEvalContext(context);
    Free(f);
  }
}

// Without the algebra's differentiator the derivative node stays and the function has no value
// (the derivative itself is tested with the algebra).
TEST_F(EvaluationTest, DerivativeFunctionsWithoutTheAlgebraAreUndefined) {
  CompiledFunction* f = Function("power[x,2]");
  CompiledFunction* d = NewDerivativeFunction(f, 'x');
  CompileFunction(d);
  EXPECT_TRUE(std::isnan(EvaluateFunction2(d, 3, 0)));
  Free(d);
  Free(f);
}

// A stand-in derivative pass that walks its tree `gWalks` times, asking the bound before each walk
// (as the algebra's does at every step), and records the walks it made and what another thread
// sees of the bound meanwhile.
int gWalks = 0, gWalked = 0;
bool gOtherThreadSawTheBound = false;
void WalkingPass(ExprNode* tree) {
  gWalked = 0;
  std::thread other([] { gOtherThreadSawTheBound = DerivativeWorkExceeded(); });
  for (int k = 0; k < gWalks && !DerivativeWorkExceeded(); ++k, ++gWalked) CountSubtreeNodes(tree);
  other.join();
}

// The bound counts this thread's walk work from the pass's start: a pass within it runs whole and
// answers true; one past it stops at the first question after the bound (the walk that passed it
// is the last) and answers false. Outside a pass, and on another thread during one, nothing is
// exceeded; a bound inside another is held to the tighter of the two.
TEST_F(EvaluationTest, BoundedDerivativePassesStopPastTheirWork) {
  SetExpandDerivativesPass(WalkingPass);
  ExprNode* tree = NewNumberNode(0);
  for (int k = 0; k < 100; ++k) tree = NewUnaryNode(KindMinus, tree);
  const uint64_t start = TreeWalkWork();
  CountSubtreeNodes(tree);
  const int perWalk = static_cast<int>(TreeWalkWork() - start);
  ASSERT_GT(perWalk, 100);
  const int past = 1000 / perWalk + 1;  // walks done with a bound of 1,000
  const struct { int walks; uint64_t limit; bool within; int walked; } cases[] = {
      {past - 1, 1000, true, past - 1}, {50, 1000, false, past}, {50, 1000000, true, 50}, {0, 0, true, 0},
  };
  for (const auto& c : cases) {
    gWalks = c.walks;
    gOtherThreadSawTheBound = true;
    EXPECT_EQ(ExpandDerivativesWithin(tree, c.limit), c.within) << c.walks << " walks, bound " << c.limit;
    EXPECT_EQ(gWalked, c.walked) << c.walks << " walks, bound " << c.limit;
    EXPECT_FALSE(gOtherThreadSawTheBound) << "another thread's work is its own";
    EXPECT_FALSE(DerivativeWorkExceeded()) << "the bound ends with its pass";
  }
  // Nested: the inner pass, given more, is held to the outer's 1,000, and the outer knows it.
  static bool inner;
  SetExpandDerivativesPass([](ExprNode* t) {
    SetExpandDerivativesPass(WalkingPass);
    gWalks = 50;
    inner = ExpandDerivativesWithin(t, 1000000);
  });
  EXPECT_FALSE(ExpandDerivativesWithin(tree, 1000));
  EXPECT_FALSE(inner);
  EXPECT_EQ(gWalked, past);
  EXPECT_FALSE(DerivativeWorkExceeded());
  FreeExpression(tree);
  ResetEvaluationSeams();
}

// The default reader compiles a copy over private slots: a batch being evaluated is not disturbed.
TEST_F(EvaluationTest, NodeToNumberCompilesACopyAndLeavesTheScratchAlone) {
  SetParameterLetter('a');
  SetParameterValue(5);
  CompiledFunction* f = Compiled("plus[x,y]");
  EvalCell* slots = EvalScratch();
  const int32_t capacity = EvalScratchCapacity();
  EXPECT_EQ(EvaluateFunction2(f, 1, 2), 3.0);
  const struct {
    const char* tree;
    double expected;  // hand-computed
  } cases[] = {{"2.5", 2.5}, {"minus[4]", -4}, {"plus[1,times[2,3]]", 7}, {"sqrt[minus[1]]", kUndefinedReal},
               {"Re[power[i,2]]", -1}, {"plus[a,1]", 6}, {"bsum[equal[n,1],4,n]", 10}};
  for (const auto& c : cases) {
    ExprNode* tree = Tree(c.tree);
    const double v = NodeToNumber(tree);
    EXPECT_TRUE(SameValue(v, c.expected)) << c.tree << ": " << v;
    FreeExpression(tree);
  }
  EXPECT_EQ(EvalScratch(), slots);
  EXPECT_EQ(EvalScratchCapacity(), capacity);
  EXPECT_EQ(slots[kSlotX].real, 1.0);
  EXPECT_EQ(slots[kSlotY].real, 2.0);
  SetNodeToNumberReader([](const ExprNode*) { return 42.0; });
  EXPECT_EQ(NodeToNumber(f->tree), 42.0);
  Free(f);
}

struct PlaneCase {
  const char* tree;
  bool linear;
  double a = 0, b = 0, c = 0, d = 0;  // hand-derived
};

TEST_F(EvaluationTest, LinearInequalityPlanes) {
  const PlaneCase cases[] = {
      {"lessthan[times[2,x],y]", true, -2, 1, 0, 0},
      {"geq[x,plus[times[2,y],1]]", true, 1, -2, 0, -1},
      {"greaterthan[plus[over[x,2],z],3]", true, 0.5, 0, 1, -3},
      {"leq[minus[x],0]", true, 1, 0, 0, 0},
      {"lessthan[times[x,y],1]", false},
      {"lessthan[x,y,z]", false},
      {"equal[x,1]", false},
      {"lessthan[over[1,x],1]", false},
      {"lessthan[sin[x],1]", false},
  };
  for (const PlaneCase& c : cases) {
    CompiledFunction* f = Function(c.tree);
    double p[4] = {9, 9, 9, 9};
    EXPECT_EQ(GetLinearInequalityPlane(f, &p[0], &p[1], &p[2], &p[3]), c.linear) << c.tree;
    EXPECT_TRUE(!c.linear || (p[0] == c.a && p[1] == c.b && p[2] == c.c && p[3] == c.d)) << c.tree;
    Free(f);
  }
}

TEST_F(EvaluationTest, TreeServices) {
  const struct {
    const char* tree;
    bool smooth;  // fact, besselj and the non-smooth kinds are not
    int32_t id;
    bool depends;  // on the id, or (above 255) on its low byte, Greek ids excepted
  } cases[] = {{"plus[sin[x],theta]", true, SymTheta, true},
               {"plus[fact[x],alpha]", false, SymAlpha, true},
               {"plus[besselj[x,1],indexes[a,1]]", false, 'a' + 512, true},
               {"plus[min[x,y],x']", false, 0x7078, true},
               {"plus[power[x,over[1,3]],b]", true, 'a', false}};
  for (const auto& c : cases) {
    CompiledFunction* f = Function(c.tree);
    EXPECT_EQ(HasOnlySmoothOperators(f), c.smooth) << c.tree;
    EXPECT_EQ(FunctionDependsOnSymbol(f, c.id), c.depends) << c.tree;
    Free(f);
  }
}

// The copy has a tree of its own: renaming in it leaves the source as it was.
TEST_F(EvaluationTest, CopiedAndRenamedFunctionsEvaluateAfterRecompiling) {
  CompiledFunction* f = Compiled("plus[x,times[2,y]]");
  CompiledFunction* copy = CopyFunction(f);
  RenameFunctionSymbol(copy, 'y', 'x');
  CompileFunction(copy);
  EXPECT_EQ(EvaluateFunction2(copy, 1, 100), 3.0);
  EXPECT_EQ(EvaluateFunction2(f, 1, 100), 201.0);
  Free(copy);
  Free(f);
}

// The sum is a constant binding with loop slots of its own; it is compiled with the function and
// evaluated over private slots, so the scratch in use is never reallocated.
TEST_F(EvaluationTest, BindingWithASumNeedsMoreSlotsThanTheBatch) {
  FreeEvalScratch();
  CompiledFunction* f = Compiled("plus[x,bsum[equal[n,1],10,over[1,power[n,2]]]]");
  EXPECT_EQ(EvalScratchCapacity(), kFixedSlotCount);
  EXPECT_NEAR(EvaluateFunction2(f, 1, 0), 2.5497677311665408, 1e-15);  // 1 + sum 1/n^2, n <= 10
  Free(f);
}

struct Work {
  FakeClock* clock;
  uint64_t allocations;
  double sum;
  bool ended;
};

void CompileAndEvaluate(void* raw) {
  auto* work = static_cast<Work*>(raw);
  work->clock->Advance(uint64_t{1} << 40);  // far past the slice: any yield point would yield now
  SetParameterLetter('a');
  CompiledFunction* f = Function(
      "plus[times[sin[a],x],bsum[equal[n,1],4,over[cos[times[n,y]],n]],r,branch[if[sqrt[x],geq[x,0]],y]]");
  CompiledFunction* g = Function("plus[times[x,i],theta,bsum[equal[k,1],x,k]]");
  EvalContext* context = CompileFunctionsShared2(f, g);
  PrepareSampleGrid(-1, -1, 0.01, 0.01, 200, 200, context);
  EvaluateAtGridPoint(f, 0, 0, context);  // evaluates the bindings once
  const uint64_t before = CountedAllocationAttempts();
  for (int j = 0; j < 200; j += 7) {
    for (int i = 0; i < 200; i += 3) {
      work->sum += EvaluateAtGridPoint(f, i, j, context);
      EvaluateAtGridPoint(g, i, j, context);  // complex off the real axis: NaN
      const double x = -1 + 0.01 * i, y = -1 + 0.01 * j;
      work->sum += EvaluateFunction2(f, x, y);
      double lo, hi;
      EvaluateIntervalXY(f, x, x + 0.01, y, y + 0.01, &lo, &hi);
      EvaluateIntervalXY(g, x, x + 0.01, y, y + 0.01, &lo, &hi);
      Complex z;
      EvaluateComplexAt2(&z, g, x, y);
    }
  }
  work->allocations = CountedAllocationAttempts() - before;
  DisposeEvalContext(context);
  Free(f);
  Free(g);
  work->ended = true;
}

// Compilation and evaluation are not reentrant and rely on never yielding: a cooperative worker
// that compiles and evaluates, with its time slice already spent, still runs to its end before
// the main thread gets the baton back. Once the bindings hold their values, no entry point asks
// the memory budget for anything, at any number of points: the machines keep their stacks in
// locals.
TEST_F(EvaluationTest, CompileAndEvaluateNeverYieldAndAllocateNothingPerPoint) {
  ResetTimersForTests();
  ResetThreadsForTests();
  FakeClock clock{5000000};
  Work work{&clock, 1, 0, false};
  ASSERT_NE(StartThread(CompileAndEvaluate, &work), 0u);
  YieldThreadsTimed();
  EXPECT_TRUE(work.ended && std::isfinite(work.sum));
  EXPECT_EQ(work.allocations, 0u);
  ShutdownThreads();
  ResetTimersForTests();
}

}  // namespace
