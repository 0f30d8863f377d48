// Compiled functions: the evaluation entry points, batch sharing, grid contexts, interval and
// complex entries, derivative functions through the seam, and the tree services.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/eval/compiled_function.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class EvaluationTest : public EvaluationFixture {
 protected:
  void SetUp() override {
    SetOutOfMemoryFlag(false);
    EvaluationFixture::SetUp();
  }
  void TearDown() override {
    FailAllocationAt(0);
    SetOutOfMemoryFlag(false);
    EvaluationFixture::TearDown();
  }
};

TEST_F(EvaluationTest, RealEntriesAcceptComplexResultsOnlyOnTheRealAxis) {
  CompiledFunction* f = Function("plus[Re[u],1]");
  CompileFunction(f);
  EXPECT_EQ(f->complex, 1);
  EXPECT_EQ(EvaluateFunction1(f, 1), 2.0);
  Free(f);
  f = Function("plus[u,times[power[10,minus[300]],i]]");
  CompileFunction(f);
  EXPECT_TRUE(std::isnan(EvaluateFunction1(f, 2)));
  Complex z;
  EvaluateComplexAt0(&z, f);  // u keeps its stale slot; only the imaginary part matters here
  EXPECT_GT(z.im, 0.0);
  EXPECT_LT(z.im, 1e-299);
  Free(f);
}

TEST_F(EvaluationTest, BatchSharesDerivedCoordinatesInBatchOrder) {
  CompiledFunction* f1 = Function("r");
  CompiledFunction* f2 = Function("r");
  CompiledFunction* list[2] = {f1, f2};
  CompileFunctionList(list, 2);
  EXPECT_EQ(EvaluateFunction2(f1, 3, 4), 5.0);
  EXPECT_EQ(EvaluateFunction2(f2, 3, 4), 5.0);
  EXPECT_EQ(EvaluateFunction2(f2, 6, 8), 5.0);  // alone at a new point: the stored r (intended)
  EXPECT_EQ(Listing(f2), "LoadSlot 7, End");
  EXPECT_EQ(Listing(f2).find("Hypot"), std::string::npos);
  Free(f1);
  Free(f2);
}

TEST_F(EvaluationTest, EvaluateFunction6FillsUVXYZW) {
  CompiledFunction* f = Function("plus[u,times[10,v],times[100,x],times[1000,y],times[10000,z],times[100000,w]]");
  CompileFunction(f);
  EXPECT_EQ(EvaluateFunction6(f, 1, 2, 3, 4, 5, 6), 654321.0);
  Free(f);
}

struct PlaneCase {
  const char* tree;
  bool linear;
  double a, b, c, d;  // hand-derived
};

TEST_F(EvaluationTest, LinearInequalityPlanes) {
  const PlaneCase cases[] = {
      {"lessthan[times[2,x],y]", true, -2, 1, 0, 0},
      {"geq[x,plus[times[2,y],1]]", true, 1, -2, 0, -1},
      {"greaterthan[plus[over[x,2],z],3]", true, 0.5, 0, 1, -3},
      {"leq[minus[x],0]", true, 1, 0, 0, 0},
      {"lessthan[times[x,y],1]", false, 0, 0, 0, 0},
      {"lessthan[x,y,z]", false, 0, 0, 0, 0},
      {"equal[x,1]", false, 0, 0, 0, 0},
      {"lessthan[over[1,x],1]", false, 0, 0, 0, 0},
      {"lessthan[sin[x],1]", false, 0, 0, 0, 0},
  };
  for (const PlaneCase& c : cases) {
    CompiledFunction* f = Function(c.tree);
    double a = 9, b = 9, cc = 9, d = 9;
    EXPECT_EQ(GetLinearInequalityPlane(f, &a, &b, &cc, &d), c.linear) << c.tree;
    if (c.linear) {
      EXPECT_EQ(a, c.a) << c.tree;
      EXPECT_EQ(b, c.b) << c.tree;
      EXPECT_EQ(cc, c.c) << c.tree;
      EXPECT_EQ(d, c.d) << c.tree;
    }
    Free(f);
  }
}

TEST_F(EvaluationTest, GridEvaluationUsesFusedCoordinates) {
  CompiledFunction* f = Function("plus[x,times[10,y]]");
  EvalContext* context = CompileFunctionsShared1(f);
  ASSERT_NE(context, nullptr);
  PrepareSampleGrid(-1, 2, 0.5, 0.25, 5, 3, context);
  EXPECT_EQ(EvaluateAtGridPoint(f, 4, 2, context), 26.0);  // x = fma(4, 0.5, -1), y = fma(2, 0.25, 2)
  EXPECT_EQ(context->column, 4);
  EXPECT_EQ(context->row, 2);
  EvalCell* table = context->table;
  PrepareSampleGrid(-1, 2, 0.5, 0.25, 5, 3, context);  // identical: nothing changes
  EXPECT_EQ(context->table, table);
  DisposeEvalContext(context);
  Free(f);
}

// Once the bindings hold their values, no entry point asks the memory budget for anything, at
// any number of points: the machines keep their stacks in locals.
TEST_F(EvaluationTest, EvaluationAllocatesNothingPerPoint) {
  SetParameterLetter('a');
  CompiledFunction* f = Function(
      "plus[times[sin[a],x],bsum[equal[n,1],4,over[cos[times[n,y]],n]],r,branch[if[sqrt[x],geq[x,0]],y]]");
  CompiledFunction* g = Function("plus[times[x,i],theta]");
  EvalContext* context = CompileFunctionsShared2(f, g);
  ASSERT_NE(context, nullptr);
  PrepareSampleGrid(-1, -1, 0.01, 0.01, 200, 200, context);
  EvaluateAtGridPoint(f, 0, 0, context);  // evaluates the bindings once
  EvaluateAtGridPoint(g, 0, 0, context);
  EvaluateFunction2(f, 0, 0);
  const uint64_t before = CountedAllocationAttempts();
  double sink = 0;
  for (int j = 0; j < 200; j += 7) {
    for (int i = 0; i < 200; i += 3) {
      sink += EvaluateAtGridPoint(f, i, j, context);
      EvaluateAtGridPoint(g, i, j, context);  // complex off the real axis: NaN
      const double x = -1 + 0.01 * i, y = -1 + 0.01 * j;
      sink += EvaluateFunction2(f, x, y);
      double lo, hi;
      EvaluateIntervalXY(f, x, x + 0.01, y, y + 0.01, &lo, &hi);
      EvaluateIntervalXY(g, x, x + 0.01, y, y + 0.01, &lo, &hi);
      Complex z;
      EvaluateComplexAt2(&z, g, x, y);
    }
  }
  EXPECT_EQ(CountedAllocationAttempts(), before);
  EXPECT_FALSE(std::isnan(sink));
  DisposeEvalContext(context);
  Free(f);
  Free(g);
}

// The context holds the loop slots of its batch from the start (a smaller table would be written
// past by the sum; AddressSanitizer reports it).
TEST_F(EvaluationTest, GridEvaluationWithLoopSlotsStaysInsideTheContextTable) {
  CompiledFunction* g = Function("bsum[equal[n,1],3,times[n,x]]");
  CompiledFunction* h = Function("bsum[equal[k,1],x,bsum[equal[m,1],k,1]]");
  EvalContext* context = CompileFunctionsShared2(g, h);
  ASSERT_NE(context, nullptr);
  EXPECT_GE(context->tableCells, kFixedSlotCount + 6);
  PrepareSampleGrid(1, 0, 1, 1, 4, 1, context);
  for (int i = 0; i < 4; ++i) {
    const double x = 1 + i;
    EXPECT_EQ(EvaluateAtGridPoint(g, i, 0, context), 6 * x);
    EXPECT_EQ(EvaluateAtGridPoint(h, i, 0, context), x * (x + 1) / 2);
  }
  DisposeEvalContext(context);
  Free(g);
  Free(h);
}

TEST_F(EvaluationTest, SharedCompileReturnsNullWhenTheContextIsRefused) {
  CompiledFunction* f = Function("x");
  FailAllocationAt(1, true);
  EvalContext* context = CompileFunctionsShared1(f);
  FailAllocationAt(0);
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(PendingError(), 7);
  EXPECT_TRUE(std::isnan(EvaluateAtGridPoint(f, 0, 0, context)));
  Free(f);
}

TEST_F(EvaluationTest, IntervalEntries) {
  CompiledFunction* f = Function("times[x,y]");
  CompileFunction(f);
  double lo, hi;
  EvaluateIntervalXY(f, 1, 2, -3, 4, &lo, &hi);
  EXPECT_EQ(lo, -6.0);
  EXPECT_EQ(hi, 8.0);
  Free(f);

  f = Function("plus[u,1]");
  CompileFunction(f);
  EvaluateIntervalX(f, 2, 3, &lo, &hi);  // [3, 4], rounded outward
  EXPECT_TRUE(lo <= 3.0 && 3.0 - lo < 1e-12 && hi >= 4.0 && hi - 4.0 < 1e-12) << lo << ", " << hi;
  Free(f);

  f = Function("plus[x,y,z]");
  CompileFunction(f);
  EvaluateIntervalXYZ(f, 0, 1, 10, 20, 100, 200, &lo, &hi);  // [110, 221], rounded outward
  EXPECT_TRUE(lo <= 110.0 && 110.0 - lo < 1e-12 && hi >= 221.0 && hi - 221.0 < 1e-12) << lo << ", " << hi;
  Free(f);

  // Complex: the bounds of the real part only when the imaginary part is exactly [0, 0].
  f = Function("plus[x,i]");
  CompileFunction(f);
  EvaluateIntervalXY(f, 0, 1, 0, 0, &lo, &hi);
  EXPECT_TRUE(std::isnan(lo) && std::isnan(hi));
  Free(f);
  f = Function("Re[plus[x,i]]");
  CompileFunction(f);
  EvaluateIntervalXY(f, 0, 1, 0, 0, &lo, &hi);
  EXPECT_EQ(lo, 0.0);
  EXPECT_EQ(hi, 1.0);
  Free(f);
}

TEST_F(EvaluationTest, NeverCompiledFunctionIsUndefined) {
  CompiledFunction* f = Function("x");
  EXPECT_TRUE(std::isnan(EvaluateFunction2(f, 1, 2)));
  EXPECT_EQ(PendingError(), 7);
  double lo, hi;
  EvaluateIntervalX(f, 0, 1, &lo, &hi);
  EXPECT_TRUE(std::isnan(lo));
  Free(f);
}

// Stands in for the algebra: the derivative of x^2 by x, written by hand as times[2,x].
void HandDerivative(ExprNode* tree) {
  if (tree->kind != KindDerivativePartial) return;
  ExprNode* result = Tree("times[2,x]");
  ReplaceExpression(result, tree);
}

TEST_F(EvaluationTest, DerivativeFunctionsGoThroughTheSeam) {
  SetExpandDerivativesPass(HandDerivative);
  CompiledFunction* f = Function("power[x,2]");
  CompiledFunction* d = NewDerivativeFunction(f, 'x');
  ASSERT_NE(d, nullptr);
  CompileFunction(d);
  EXPECT_EQ(EvaluateFunction2(d, 3, 0), 6.0);
  Free(d);

  // Short memory and a null source: a function of NaN.
  SetOutOfMemoryFlag(true);
  d = NewDerivativeFunction(f, 'x');
  SetOutOfMemoryFlag(false);
  CompileFunction(d);
  EXPECT_TRUE(std::isnan(EvaluateFunction2(d, 3, 0)));
  Free(d);
  d = NewDerivativeFunction(nullptr, 'x');
  CompileFunction(d);
  EXPECT_TRUE(std::isnan(EvaluateFunction2(d, 3, 0)));
  Free(d);
  Free(f);

  // Without the algebra the derivative node stays and compiles to an undefined program.
  SetExpandDerivativesPass(nullptr);
  f = Function("power[x,2]");
  d = NewDerivativeFunction(f, 'x');
  CompileFunction(d);
  EXPECT_TRUE(std::isnan(EvaluateFunction2(d, 3, 0)));
  Free(d);
  Free(f);
}

TEST_F(EvaluationTest, FunctionDependsOnSymbolAlsoMatchesLowBytes) {
  struct DependCase {
    const char* tree;
    int32_t id;
    bool expected;
  } cases[] = {
      {"plus[theta,1]", SymTheta, true},
      {"plus[indexes[a,1],x]", 'a' + 512, true},
      {"plus[alpha,x]", SymAlpha, true},  // found under its own id
      {"plus[b,x]", 'a', false},
      {"times[x,y]", 'z', false},
      {"plus[x',1]", 0x7078, true},
  };
  for (const DependCase& c : cases) {
    CompiledFunction* f = Function(c.tree);
    EXPECT_EQ(FunctionDependsOnSymbol(f, c.id), c.expected) << c.tree;
    Free(f);
  }
}

TEST_F(EvaluationTest, TreeServices) {
  struct SmoothCase {
    const char* tree;
    bool smooth;
  } cases[] = {{"sin[x]", true},           {"fact[x]", false},        {"besselj[x,1]", false},
               {"mod[x,2]", false},        {"plus[min[x,y],1]", false}, {"clamp[x,0,1]", false},
               {"power[x,over[1,3]]", true}};
  for (const SmoothCase& c : cases) {
    CompiledFunction* f = Function(c.tree);
    EXPECT_EQ(HasOnlySmoothOperators(f), c.smooth) << c.tree;
    Free(f);
  }
  CompiledFunction* f = Function("list[1,minus[2],plus[1,2],x,5]");
  EXPECT_EQ(FunctionArity(f), 5);
  double a, b, c, d;
  CompiledFunction* list[1] = {f};
  FunctionVector4(list, 0, &a, &b, &c, &d);
  EXPECT_EQ(a, 1.0);
  EXPECT_EQ(b, -2.0);
  EXPECT_EQ(c, 3.0);
  Free(f);
  f = Function("list[1,2]");
  list[0] = f;
  FunctionVector4(list, 0, &a, &b, &c, &d);
  EXPECT_EQ(b, 2.0);
  EXPECT_TRUE(std::isnan(c) && std::isnan(d));  // missing entries
  Free(f);
}

TEST_F(EvaluationTest, CopiedAndRenamedFunctionsEvaluateAfterRecompiling) {
  CompiledFunction* f = Function("plus[x,times[2,y]]");
  CompileFunction(f);
  CompiledFunction* copy = CopyFunction(f);
  ASSERT_NE(copy, nullptr);
  RenameFunctionSymbol(copy, 'y', 'x');
  CompileFunction(copy);
  EXPECT_EQ(EvaluateFunction2(copy, 1, 100), 3.0);
  EXPECT_EQ(EvaluateFunction2(f, 1, 100), 201.0);
  Free(copy);
  Free(f);
}

TEST_F(EvaluationTest, BindingWithASumNeedsMoreSlotsThanTheBatch) {
  // The sum is a constant binding with loop slots of its own; it is compiled with the function
  // and evaluated over private slots, so the scratch in use is never reallocated.
  FreeEvalScratch();
  CompiledFunction* f = Function("plus[x,bsum[equal[n,1],10,over[1,power[n,2]]]]");
  CompileFunction(f);
  EXPECT_EQ(EvalScratchCapacity(), kFixedSlotCount);
  EXPECT_NEAR(EvaluateFunction2(f, 1, 0), 2.5497677311665408, 1e-15);  // 1 + sum 1/n^2, n <= 10
  Free(f);
}

TEST_F(EvaluationTest, SeamsHaveSafeDefaults) {
  Complex z{0, 0};
  LookUpDefinedValue(&z, 'q');  // an unknown name reads 1, as the document answers
  EXPECT_EQ(z.re, 1.0);
  EXPECT_EQ(z.im, 0.0);
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{static_cast<double>(key), 2}; });
  LookUpDefinedValue(&z, 'q');
  EXPECT_EQ(z.re, 'q');
  EXPECT_EQ(z.im, 2.0);
  SetDefinedValueLookup(nullptr);
  LookUpDefinedValue(&z, 'q');
  EXPECT_EQ(z.re, 1.0);

  struct NumberCase {
    const char* tree;
    double expected;  // hand-computed
  } cases[] = {{"2.5", 2.5}, {"minus[4]", -4}, {"plus[1,times[2,3]]", 7}, {"sqrt[minus[1]]", kNaN},
               {"Re[power[i,2]]", -1}, {"plus[a,1]", 6}};
  SetParameterLetter('a');
  SetParameterValue(5);
  for (const NumberCase& c : cases) {
    ExprNode* tree = Tree(c.tree);
    const double v = NodeToNumber(tree);
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(v)) << c.tree;
    } else {
      EXPECT_EQ(v, c.expected) << c.tree;
    }
    FreeExpression(tree);
  }
  ResetEvaluationSeams();
  EXPECT_EQ(ParameterLetter(), 0);
  EXPECT_EQ(ParameterValue(), 0.0);
}

// The number reader compiles a copy over private slots: a batch being evaluated is not disturbed.
TEST_F(EvaluationTest, NodeToNumberLeavesTheScratchAlone) {
  CompiledFunction* f = Function("plus[x,y]");
  CompileFunction(f);
  EvalCell* slots = EvalScratch();
  const int32_t capacity = EvalScratchCapacity();
  EXPECT_EQ(EvaluateFunction2(f, 1, 2), 3.0);
  ExprNode* tree = Tree("bsum[equal[n,1],4,n]");
  EXPECT_EQ(NodeToNumber(tree), 10.0);
  FreeExpression(tree);
  EXPECT_EQ(EvalScratch(), slots);
  EXPECT_EQ(EvalScratchCapacity(), capacity);
  EXPECT_EQ(slots[kSlotX].real, 1.0);
  EXPECT_EQ(slots[kSlotY].real, 2.0);
  Free(f);
}

}  // namespace
