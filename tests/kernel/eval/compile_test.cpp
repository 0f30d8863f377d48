// The compiler: exact listings (hand-derived from the emission rules), bindings, sums, derived
// coordinates across a batch, unsound programs and refused allocations.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/disassembler.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class CompileTest : public EvaluationFixture {
 protected:
  void TearDown() override {
    FailAllocationAt(0);
    EvaluationFixture::TearDown();
  }
};

struct ListingCase {
  const char* tree;
  const char* listing;
};

// Listings without a binding table, derived by hand from the emission table.
TEST_F(CompileTest, ListingsWithoutBindingsMatchTheEmissionRules) {
  const ListingCase cases[] = {
      {"power[x,2]", "LoadSlot 3, Square, End"},
      {"power[e,x]", "LoadSlot 3, Exp, End"},
      {"power[e,2]", "PushConstant 2.718281828459045, Square, End"},
      {"power[x,over[1,3]]", "LoadSlot 3, PushConstant 1, PushConstant 3, RationalPower, End"},
      {"power[x,minus[over[1,3]]]", "LoadSlot 3, PushConstant 1, PushConstant 3, Negate, RationalPower, End"},
      {"power[e,over[1,3]]", "PushConstant 1, PushConstant 3, Divide, Exp, End"},
      {"branch[if[minus[x],lessthan[x,0]],x]",
       "LoadSlot 3, Negate, LoadSlot 3, PushConstant 0, LessChain 2, LoadSlot 3, PushConstant 1, Branch 2, End"},
      {"sn[1.5,3]", "PushConstant 1500, End"},
      {"log[8,2]", "PushConstant 8, PushConstant 2, Ln, Swap, Ln, Swap, Divide, End"},
      {"sqrt[8,3]", "PushConstant 8, PushConstant 3, PushConstant 1, Swap, RationalPower, End"},
      {"plus[x,0.2,0.3]", "LoadSlot 3, PushConstant 0.2, PushConstant 0.3, Add, Add, End"},
      {"besselj[x,2]", "LoadSlot 3, PushConstant 2, BesselJ, End"},
      {"pointangle[x,y]", "LoadSlot 3, LoadSlot 4, Atan2Positive, End"},
      {"asech[x]", "LoadSlot 3, Asech, End"},
      {"acsch[x]", "LoadSlot 3, Acsch, End"},
      {"vee[lessthan[x,0],greaterthan[x,1]]",
       "LoadSlot 3, PushConstant 0, LessChain 2, LoadSlot 3, PushConstant 1, GreaterChain 2, Or, End"},
      {"leq[0,x,1]", "PushConstant 0, LoadSlot 3, PushConstant 1, LessEqualChain 3, End"},
      {"function[a,x]", "PushDefinedName 97, LoadSlot 3, Abort, End"},
      {"indexes[a,1]", "PushDefinedName 609, End"},
      {"times[u,v,w]", "LoadSlot 0, LoadSlot 1, LoadSlot 6, Multiply, Multiply, End"},
      {"plus[pi,degree]", "PushConstant 3.141592653589793, PushConstant 0.017453292519943295, Add, End"},
  };
  for (const ListingCase& c : cases) {
    EXPECT_EQ(ListingWithoutBindings(c.tree), c.listing) << c.tree;
  }
}

// Sums: accumulator, start, index store, end, bound store, test, term, add, increment, back.
TEST_F(CompileTest, BoundedSumListingHasResolvedJumps) {
  EXPECT_EQ(ListingWithoutBindings("bsum[equal[n,1],3,n]"),
            "PushConstant 0, PushConstant 1, StorePop 11, PushConstant 3, StorePop 12, LoopTest 11 (4), "
            "LoadSlot 11, Add, LoopIncrement 11, LoopBack 11 (4), End");
}

// Subscripted coordinates push the defined name only, so a branch's pairs stay aligned.
TEST_F(CompileTest, SubscriptedCoordinateInBranchPushesOnlyTheName) {
  EXPECT_EQ(ListingWithoutBindings("branch[if[indexes[x,1],lessthan[x,0]],1]"),
            "PushDefinedName 632, LoadSlot 3, PushConstant 0, LessChain 2, PushConstant 1, PushConstant 1, "
            "Branch 2, End");
  EXPECT_EQ(ValueAt("branch[if[indexes[x,1],lessthan[x,0]],1]", -1), 1.0);  // default lookup answers 1
  EXPECT_EQ(ValueAt("branch[if[indexes[x,1],lessthan[x,0]],7]", 2), 7.0);
}

TEST_F(CompileTest, ParameterLetterLoadsSlotTwoAndIsNeverBound) {
  SetParameterLetter('a');
  CompiledFunction* f = Function("plus[a,x]");
  CompileFunction(f);
  EXPECT_EQ(Listing(f), "LoadSlot 2, LoadSlot 3, Add, End");
  Free(f);
}

TEST_F(CompileTest, ConstantSubtreesBecomeOneBindingEach) {
  SetParameterLetter('a');
  CompiledFunction* f = Function("times[sin[a],x]");
  CompileFunction(f);
  EXPECT_EQ(Listing(f), "PushBinding 0, LoadSlot 3, Multiply, End");
  ASSERT_EQ(f->bindings->count, 1);
  EXPECT_EQ(DisassembleCodeInline(f->bindings->entries[0].code), "LoadSlot 2, Sin, End");
  Free(f);

  // With bindings, e^2 is one binding; the lone e, pi and numbers never are.
  f = Function("plus[power[e,2],e,pi,x]");
  CompileFunction(f);
  EXPECT_EQ(Listing(f),
            "PushBinding 0, PushConstant 2.718281828459045, PushConstant 3.141592653589793, LoadSlot 3, Add, Add, "
            "Add, End");
  Free(f);

  // Equal sub-trees share one entry.
  f = Function("plus[times[plus[a,1],x],times[plus[a,1],y]]");
  CompileFunction(f);
  EXPECT_EQ(f->bindings->count, 1);
  EXPECT_EQ(Listing(f), "PushBinding 0, LoadSlot 3, Multiply, PushBinding 0, LoadSlot 4, Multiply, Add, End");
  Free(f);
}

TEST_F(CompileTest, BindingsFollowTheParameterOnlyAfterTheFlagIsCleared) {
  SetParameterLetter('a');
  SetParameterValue(M_PI / 2);
  CompiledFunction* f = Function("times[sin[a],x]");
  CompileFunction(f);
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 3.0);
  SetParameterValue(0);
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 3.0);  // cached until the graph clears the flag
  f->bindingsEvaluated = 0;
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 0.0);
  Free(f);
}

struct ValueCase {
  const char* tree;
  double x;
  double expected;  // hand-computed
};

TEST_F(CompileTest, SumsEvaluateIncludingNestedSumsAndIndexNamedI) {
  const ValueCase cases[] = {
      {"bsum[equal[n,1],3,n]", 0, 6},
      {"bsum[equal[n,1],3,times[power[n,2],x]]", 1, 14},
      {"bsum[equal[n,1],x,n]", 4, 10},
      {"bsum[equal[i,1],3,bsum[equal[j,1],i,1]]", 0, 6},
      {"bsum[equal[n,1],3,bsum[equal[k,1],n,times[n,k]]]", 0, 1 + (2 + 4) + (3 + 6 + 9)},
      {"plus[x,bsum[equal[n,1],10,over[1,power[n,2]]]]", 0, 1.5497677311665408},
      {"bsum[equal[n,1],0,n]", 0, 0},
      {"plus[bsum[equal[n,1],2,n],bsum[equal[n,1],3,n]]", 0, 9},  // sequential sums, one index
      {"bsum[equal[e,1],3,power[e,x]]", 2, 14},                     // e as an index, not the constant
  };
  for (const ValueCase& c : cases) {
    const double v = ValueAt(c.tree, c.x);
    EXPECT_NEAR(v, c.expected, 1e-15 * std::fabs(c.expected)) << c.tree;
  }
}

TEST_F(CompileTest, SumIndexNamedIShadowsTheImaginaryUnitInsideTheTermOnly) {
  CompiledFunction* f = Function("bsum[equal[i,1],3,times[power[i,2],x]]");
  CompileFunction(f);
  EXPECT_EQ(EvaluateFunction2(f, 1, 0), 14.0);  // not -3
  EXPECT_EQ(f->complex, 0);                     // the real machine runs it
  Free(f);
  // An odd root inside such a sum keeps its real value (the complex machine would take the
  // principal root): sum over i of (-8)^(1/3) i = -2 (1 + 2) = -6.
  f = Function("bsum[equal[i,1],2,times[power[x,over[1,3]],i]]");
  CompileFunction(f);
  EXPECT_EQ(EvaluateFunction2(f, -8, 0), -6.0);
  Free(f);
  // After the sum, i is the imaginary unit again: Im(i) = 1.
  f = Function("plus[bsum[equal[i,1],2,i],Im[i]]");
  CompileFunction(f);
  EXPECT_EQ(f->complex, 1);
  EXPECT_EQ(EvaluateFunction2(f, 0, 0), 4.0);
  ExprNode* expected = Tree("plus[bsum[equal[i,1],2,i],Im[i]]");
  EXPECT_TRUE(ExpressionsEqual(f->tree, expected));  // the tree is left as it was
  FreeExpression(expected);
  Free(f);
}

TEST_F(CompileTest, SameIndexNestedSumIsUndefinedWithoutError) {
  EXPECT_TRUE(std::isnan(ValueAt("bsum[equal[i,1],3,bsum[equal[i,1],2,i]]")));
  EXPECT_EQ(PendingError(), 0);
  EXPECT_EQ(ListingWithoutBindings("bsum[equal[i,1],3,bsum[equal[i,1],2,i]]"), "PushConstant nan, End");
}

TEST_F(CompileTest, ProgramsThatCannotRunSoundlyBecomeUndefined) {
  const char* trees[] = {
      "sum[n,3,n]",           // unconverted sum: emits nothing of its own
      "comma[x,y]",           // two values left
      "plus[]",               // no value
      "slider[x,y]",          // two values left
      "indexes[x,y]",         // subscript that is no number
      "bsum[n,3,n]",          // malformed bounded sum
      "list[x,sin[x],y]",
  };
  for (const char* t : trees) {
    EXPECT_EQ(ListingWithoutBindings(t), "PushConstant nan, End") << t;
    EXPECT_TRUE(std::isnan(ValueAt(t, 1))) << t;
  }
  EXPECT_EQ(PendingError(), 0);
}

TEST_F(CompileTest, DerivedCoordinatesAreComputedOncePerBatchInAPrologue) {
  CompiledFunction* f1 = Function("theta");
  CompiledFunction* f2 = Function("plus[theta,1]");
  DisposeEvalContext(CompileFunctionsShared2(f1, f2));
  EXPECT_EQ(Listing(f1), "LoadSlot 3, LoadSlot 4, Atan2Positive, StoreSlot 9, End");
  EXPECT_EQ(Listing(f2), "LoadSlot 9, PushConstant 1, Add, End");
  Free(f1);
  Free(f2);

  // A first use that opens the body reads as the first-use form of the emitter table (hand-copied
  // from it); a later first use loads the slot the prologue stored. phi needs r: r comes first.
  const ListingCase cases[] = {
      {"r", "LoadSlot 3, LoadSlot 4, Hypot, StoreSlot 7, End"},
      {"rho", "LoadSlot 3, LoadSlot 4, Hypot, LoadSlot 5, Hypot, StoreSlot 8, End"},
      {"plus[r,x]", "LoadSlot 3, LoadSlot 4, Hypot, StoreSlot 7, LoadSlot 3, Add, End"},
      {"plus[x,r]", "LoadSlot 3, LoadSlot 4, Hypot, StorePop 7, LoadSlot 3, LoadSlot 7, Add, End"},
      {"phi",
       "LoadSlot 3, LoadSlot 4, Hypot, StorePop 7, LoadSlot 5, LoadSlot 7, Atan2Positive, StoreSlot 10, End"},
  };
  for (const ListingCase& c : cases) EXPECT_EQ(ListingWithoutBindings(c.tree), c.listing) << c.tree;
}

TEST_F(CompileTest, DerivedCoordinateValues) {
  EXPECT_EQ(ValueAt("theta", -1, -1), 3.9269908169872414);  // 5 pi / 4, atan2 of glibc
  EXPECT_EQ(ValueAt("phi", 1, 0, 1), 0.7853981633974483);   // pi / 4
  EXPECT_EQ(ValueAt("rho", 3, 4, 12), 13.0);
  EXPECT_EQ(ValueAt("r", 3, 4), 5.0);
}

// A later function of the batch never reads the previous point's coordinate, even when the
// first function's value is undefined before its use of r.
TEST_F(CompileTest, DerivedSlotsAreStoredOnEveryPath) {
  CompiledFunction* f1 = Function("plus[ln[z],r]");
  CompiledFunction* f2 = Function("r");
  CompileFunctions3(f1, f2, nullptr);
  EvalCell* slots = EvalScratch();
  slots[kSlotZ].real = 1;
  EXPECT_EQ(EvaluateFunction2(f1, 6, 8), 10.0);
  EXPECT_EQ(EvaluateFunction2(f2, 6, 8), 10.0);
  slots[kSlotZ].real = -1;
  EXPECT_TRUE(std::isnan(EvaluateFunction2(f1, 3, 4)));
  EXPECT_EQ(EvaluateFunction2(f2, 3, 4), 5.0);
  // Evaluated alone at a new point, the second function sees the slot as stored last (intended).
  EXPECT_EQ(EvaluateFunction2(f2, 6, 8), 5.0);
  Free(f1);
  Free(f2);
}

TEST_F(CompileTest, RefusedAllocationLeavesEndOnlyCodeAndPostsMemoryError) {
  ExprNode* tree = Tree("plus[sin[x],cos[y],times[x,y]]");
  CompiledCode* code = NewCompiledCode();
  ASSERT_NE(code, nullptr);
  FailAllocationAt(1, true);
  CompileExpression(code, tree, nullptr, false);
  FailAllocationAt(0);
  EXPECT_EQ(DisassembleCodeInline(code), "End");
  EXPECT_EQ(PendingError(), 7);
  EnsureEvalScratch(kFixedSlotCount);
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
  FreeExpression(tree);
}

// Every allocation of a function compile refused in turn: never a crash, always NaN or the value.
TEST_F(CompileTest, EachRefusedAllocationOfAFunctionCompileIsSafe) {
  SetParameterLetter('a');
  for (uint64_t n = 1; n < 40; ++n) {
    CompiledFunction* f = Function("plus[times[sin[a],x],bsum[equal[n,1],3,times[n,a]],r]");
    ResetErrorRegister();
    FailAllocationAt(n);
    CompileFunction(f);
    FailAllocationAt(0);
    const double v = EvaluateFunction2(f, 3, 4);
    EXPECT_TRUE(std::isnan(v) || v == 5.0) << n;  // sin(0) x + 0 + r = 5 at a = 0
    Free(f);
  }
}

TEST_F(CompileTest, DefinedNameKeysAddTheSubscriptInHighBytes) {
  const double one = 1, minusOne = -1, half = 2.5;
  EXPECT_EQ(DefinedNameKey('a', nullptr), 'a');
  EXPECT_EQ(DefinedNameKey('a', &one), 'a' + 512);
  EXPECT_EQ(DefinedNameKey('a', &minusOne), 'a');  // collides with the plain name, as accepted
  EXPECT_EQ(DefinedNameKey(SymAlpha, &one), SymAlpha + 512);  // Greek bases keep their subscript
  EXPECT_EQ(DefinedNameKey('b', &half), 'b' + 3 * 256);
}

TEST_F(CompileTest, DefinedNamesAreLookedUpByKey) {
  SetDefinedValueLookup([](Complex* out, int32_t key) {
    *out = Complex{key == 'a' + 512 ? 5.0 : key == 'b' ? 7.0 : 0.0, 0.0};
  });
  EXPECT_EQ(ValueAt("plus[indexes[a,1],b,x]", 1), 13.0);
}

}  // namespace
