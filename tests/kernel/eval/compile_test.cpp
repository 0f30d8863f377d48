// The compiler: listings where the emitted form itself is the contract (hand-derived from the
// emission rules), bindings, sums, derived coordinates across a batch, unsound programs and
// every refused allocation of a compile.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_builders.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class CompileTest : public EvaluationFixture {};

struct ListingCase {
  const char* tree;
  const char* listing;
};

TEST_F(CompileTest, ListingsWithoutBindingsMatchTheEmissionRules) {
  const ListingCase cases[] = {
      {"power[e,2]", "PushConstant 2.718281828459045, Square, End"},
      {"power[x,over[1,3]]", "LoadSlot 3, PushConstant 1, PushConstant 3, RationalPower, End"},
      {"power[x,minus[over[1,3]]]", "LoadSlot 3, PushConstant 1, PushConstant 3, Negate, RationalPower, End"},
      {"power[e,over[1,3]]", "PushConstant 1, PushConstant 3, Divide, Exp, End"},
      {"branch[if[minus[x],lessthan[x,0]],x]",
       "LoadSlot 3, Negate, LoadSlot 3, PushConstant 0, LessChain 2, LoadSlot 3, PushConstant 1, Branch 2, End"},
      {"sn[1.5,3]", "PushConstant 1500, End"},  // a split number is one constant
      // Subscripted coordinates push the defined name only, so a branch's pairs stay aligned.
      {"branch[if[indexes[x,1],lessthan[x,0]],1]",
       "PushDefinedName 632, LoadSlot 3, PushConstant 0, LessChain 2, PushConstant 1, PushConstant 1, Branch 2, End"},
      {"asech[x]", "LoadSlot 3, Asech, End"},  // the end of the trigonometric block
      {"function[a,x]", "PushDefinedName 97, LoadSlot 3, Abort, End"},
      // Sums: accumulator, start, index store, end, bound store, test, term, add, increment, back.
      {"bsum[equal[n,1],3,n]",
       "PushConstant 0, PushConstant 1, StorePop 11, PushConstant 3, StorePop 12, LoopTest 11 (4), LoadSlot 11, "
       "Add, LoopIncrement 11, LoopBack 11 (4), End"},
  };
  for (const ListingCase& c : cases) EXPECT_EQ(ListingWithoutBindings(c.tree), c.listing) << c.tree;
}

TEST_F(CompileTest, ConstantSubtreesBecomeOneBindingEach) {
  SetParameterLetter('a');
  const ListingCase cases[] = {
      {"plus[a,x]", "LoadSlot 2, LoadSlot 3, Add, End"},  // the parameter alone is never bound
      {"times[sin[a],x]", "PushBinding 0, LoadSlot 3, Multiply, End"},
      // e^2 is one binding; the lone e, pi and numbers never are.
      {"plus[power[e,2],e,pi,x]",
       "PushBinding 0, PushConstant 2.718281828459045, PushConstant 3.141592653589793, LoadSlot 3, Add, Add, Add, "
       "End"},
      // Equal sub-trees share one entry.
      {"plus[times[plus[a,1],x],times[plus[a,1],y]]",
       "PushBinding 0, LoadSlot 3, Multiply, PushBinding 0, LoadSlot 4, Multiply, Add, End"},
  };
  for (const ListingCase& c : cases) {
    CompiledFunction* f = Compiled(c.tree);
    EXPECT_EQ(Listing(f), c.listing) << c.tree;
    EXPECT_LE(f->bindings->count, 1) << c.tree;
    Free(f);
  }
  // The binding's own code is compiled with the function; its value follows the parameter only
  // once the graph clears the flag.
  SetParameterValue(M_PI / 2);
  CompiledFunction* f = Compiled("times[sin[a],x]");
  EXPECT_EQ(DisassembleCodeInline(f->bindings->entries[0].code), "LoadSlot 2, Sin, End");
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 3.0);
  SetParameterValue(0);
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 3.0);  // cached until the graph clears the flag
  f->bindingsEvaluated = 0;
  EXPECT_EQ(EvaluateFunction2(f, 3, 0), 0.0);
  Free(f);
}

// A binding stands for one value: a row and a column of the same cells, or a subscript and an
// index list of another shape over the same letters, are two entries; equal trees share one.
TEST_F(CompileTest, BindingsOfOtherShapesAreNotShared) {
  const struct { const char* first; const char* second; bool shared; } cases[] = {
      {"matrix[1,2,a,b]", "matrix[2,1,a,b]", false},
      {"sin[matrix[1,2,a,b]]", "sin[matrix[2,1,a,b]]", false},
      {"indexes[a,1]", "indexes[1,0,a,1]", false},  // a subscript, then a superscript index
      {"matrix[1,2,a,b]", "matrix[1,2,a,b]", true},
      {"indexes[a,1]", "indexes[0,1,a,1]", true},
  };
  for (const auto& c : cases) {
    BindingTable* table = NewBindingTable();
    ExprNode* first = Tree(c.first);
    ExprNode* second = Tree(c.second);
    EXPECT_EQ(AddBinding(table, first), 0) << c.first;
    EXPECT_EQ(AddBinding(table, second), c.shared ? 0 : 1) << c.second;
    EXPECT_EQ(table->count, c.shared ? 1 : 2) << c.second;
    FreeBindingTable(table);
    FreeExpression(first);
    FreeExpression(second);
  }
}

// A sum inside a sum over the same index cannot run; a row and a column of the same cells are two
// indexes, one of them twice is the same.
TEST_F(CompileTest, NestedSumsShareAnIndexOnlyInOneShape) {
  const struct { const char* tree; bool same; } cases[] = {
      {"bsum[equal[i,1],3,bsum[equal[i,1],2,1]]", true},
      {"bsum[equal[i,1],3,bsum[equal[j,1],2,1]]", false},
      {"bsum[equal[matrix[1,2,a,b],1],3,bsum[equal[matrix[1,2,a,b],1],2,1]]", true},
      {"bsum[equal[matrix[1,2,a,b],1],3,bsum[equal[matrix[2,1,a,b],1],2,1]]", false},
  };
  for (const auto& c : cases) {
    ExprNode* tree = Tree(c.tree);
    EXPECT_EQ(HasNestedSameIndexSum(tree), c.same) << c.tree;
    FreeExpression(tree);
  }
}

struct ValueCase {
  const char* tree;
  double x;
  double expected;  // hand-computed
};

TEST_F(CompileTest, SumsEvaluateIncludingNestedSumsAndShadowingIndexes) {
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
      {"bsum[equal[i,1],3,times[power[i,2],x]]", 1, 14},            // i as an index: real, not -3
      // The real machine runs it: an odd root keeps its real value, (-8)^(1/3) (1 + 2) = -6.
      {"bsum[equal[i,1],2,times[power[x,over[1,3]],i]]", -8, -6},
      {"plus[bsum[equal[i,1],2,i],Im[i]]", 0, 4},  // after the sum, i is the imaginary unit again
  };
  for (const ValueCase& c : cases) {
    EXPECT_NEAR(ValueAt(c.tree, c.x), c.expected, 1e-15 * std::fabs(c.expected)) << c.tree;
  }
  CompiledFunction* f = Compiled("plus[bsum[equal[i,1],2,i],Im[i]]");
  ExprNode* expected = Tree("plus[bsum[equal[i,1],2,i],Im[i]]");
  EXPECT_TRUE(ExpressionsEqual(f->tree, expected));  // the tree is left as it was
  FreeExpression(expected);
  Free(f);
}

// A sum binds its index in its term only: a k in its start or end is the k outside it (the
// coordinate x, the parameter a, the defined name k, or an enclosing sum's index), and a sum in
// another's start or end over the same letter runs before that index exists. Each formula at
// points of both signs (x = a = k = the point; values by hand), whether it is constant as a whole,
// and whether its outermost sum's start and end are.
TEST_F(CompileTest, LettersInASumsBoundsAreTheOuterOnes) {
  SetParameterLetter('a');
  static double point;
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'k' ? point : kUndefinedReal, 0.0}; });
  const struct {
    const char* tree;
    double at[2];
    double expected[2];
    bool constant, startConstant, endConstant;
  } cases[] = {
      {"bsum[equal[k,1],x,k]", {4, -3}, {10, 0}, false, true, false},
      {"bsum[equal[k,1],k,k]", {4, -3}, {10, 0}, true, true, true},     // 1 + ... + k
      {"bsum[equal[a,1],a,a]", {4, -2}, {10, 0}, true, true, true},     // the parameter as end and index
      {"bsum[equal[k,k],3,k]", {2, -2}, {5, 3}, true, true, true},      // k + ... + 3
      {"bsum[equal[a,a],x,a]", {3, -1}, {3, -1}, false, true, false},   // from a to x
      {"plus[x,bsum[equal[k,1],plus[k,1],k]]", {2, -2}, {8, -2}, false, true, true},
      // A sum over k as the end or start of a sum over k: (1 + ... + 6) x, and (3 + 4) x.
      {"bsum[equal[k,1],bsum[equal[k,1],3,k],times[k,x]]", {2, -1}, {42, -21}, false, true, true},
      {"bsum[equal[k,bsum[equal[k,1],2,k]],4,times[k,x]]", {1, -2}, {7, -14}, false, true, true},
      // A sum from 1 to k inside a sum over k: (1 + 3 + 6) x.
      {"bsum[equal[k,1],3,bsum[equal[j,1],k,times[j,x]]]", {1, -1}, {10, -10}, false, true, true},
  };
  for (const auto& c : cases) {
    for (int p = 0; p < 2; ++p) {
      point = c.at[p];
      SetParameterValue(point);
      EXPECT_EQ(ValueAt(c.tree, point), c.expected[p]) << c.tree << " at " << point;
    }
    ExprNode* tree = Tree(c.tree);
    const ExprNode* sum = tree->kind == KindPlus ? tree->children[1] : tree;
    EXPECT_EQ(IsConstantSubtree(tree), c.constant) << c.tree;
    EXPECT_EQ(IsConstantSubtree(sum->children[0]->children[1]), c.startConstant) << c.tree;
    EXPECT_EQ(IsConstantSubtree(sum->children[1]), c.endConstant) << c.tree;
    FreeExpression(tree);
  }
  SetDefinedValueLookup(nullptr);
}

TEST_F(CompileTest, ProgramsThatCannotRunSoundlyBecomeUndefinedWithoutError) {
  const char* trees[] = {
      "sum[n,3,n]",   // unconverted sum: emits nothing of its own
      "comma[x,y]",   // two values left
      "plus[]",       // no value
      "slider[x,y]",  // two values left
      "indexes[x,y]",  // subscript that is no number
      "indexes[1,0,x,1]",  // an index list that is no subscript: no defined name
      "bsum[n,3,n]",   // malformed bounded sum
      "list[x,sin[x],y]",
      "bsum[equal[i,1],3,bsum[equal[i,1],2,i]]",  // a sum inside a sum over the same index
  };
  for (const char* t : trees) {
    EXPECT_EQ(ListingWithoutBindings(t), "PushConstant nan, End") << t;
    EXPECT_TRUE(std::isnan(ValueAt(t, 1))) << t;
  }
  EXPECT_EQ(PendingError(), 0);
}

// A first use that opens the body reads as the first-use form; a later first use loads the slot
// the prologue stored. phi needs r: r comes first.
TEST_F(CompileTest, DerivedCoordinatesAreComputedInAPrologue) {
  const ListingCase cases[] = {
      {"theta", "LoadSlot 3, LoadSlot 4, Atan2Positive, StoreSlot 9, End"},
      {"rho", "LoadSlot 3, LoadSlot 4, Hypot, LoadSlot 5, Hypot, StoreSlot 8, End"},
      {"plus[r,x]", "LoadSlot 3, LoadSlot 4, Hypot, StoreSlot 7, LoadSlot 3, Add, End"},
      {"plus[x,r]", "LoadSlot 3, LoadSlot 4, Hypot, StorePop 7, LoadSlot 3, LoadSlot 7, Add, End"},
      {"phi", "LoadSlot 3, LoadSlot 4, Hypot, StorePop 7, LoadSlot 5, LoadSlot 7, Atan2Positive, StoreSlot 10, End"},
  };
  for (const ListingCase& c : cases) EXPECT_EQ(ListingWithoutBindings(c.tree), c.listing) << c.tree;
  EXPECT_EQ(ValueAt("theta", -1, -1), 3.9269908169872414);  // 5 pi / 4, atan2 of glibc
  EXPECT_EQ(ValueAt("phi", 1, 0, 1), 0.7853981633974483);   // pi / 4
  EXPECT_EQ(ValueAt("rho", 3, 4, 12), 13.0);
}

// Once per batch: a later function loads the slot, and never reads the previous point's value,
// even when the first function's value is undefined before its use of r.
TEST_F(CompileTest, DerivedSlotsAreStoredOncePerBatchOnEveryPath) {
  CompiledFunction* f1 = Function("plus[ln[z],r]");
  CompiledFunction* f2 = Function("r");
  CompileFunctions3(f1, f2, nullptr);
  EXPECT_EQ(Listing(f2), "LoadSlot 7, End");
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

// Every allocation of a function compile refused in turn: never a crash, and an undefined result
// always comes with error 7 (no silent loss of the graph).
TEST_F(CompileTest, EachRefusedAllocationOfAFunctionCompileIsSafe) {
  SetParameterLetter('a');
  for (uint64_t n = 1; n < 40; ++n) {
    CompiledFunction* f = Function("plus[times[sin[a],x],bsum[equal[n,1],3,times[n,a]],r]");
    ResetErrorRegister();
    FailAllocationAt(n);
    CompileFunction(f);
    FailAllocationAt(0);
    const double v = EvaluateFunction2(f, 3, 4);
    // sin(0) x + 0 + r, or nothing with error 7
    EXPECT_TRUE(v == 5.0 || (std::isnan(v) && PendingError() == kErrorOutOfMemory)) << n << ": " << v;
    Free(f);
  }
}

TEST_F(CompileTest, DefinedNamesAreLookedUpByKeyWithTheSubscriptInHighBytes) {
  const double one = 1, minusOne = -1, half = 2.5;
  EXPECT_EQ(DefinedNameKey('a', nullptr), 'a');
  EXPECT_EQ(DefinedNameKey('a', &one), 'a' + 512);
  EXPECT_EQ(DefinedNameKey('a', &minusOne), 'a');  // collides with the plain name, as accepted
  EXPECT_EQ(DefinedNameKey(SymAlpha, &one), SymAlpha + 512);  // Greek bases keep their subscript
  EXPECT_EQ(DefinedNameKey('b', &half), 'b' + 3 * 256);
  SetDefinedValueLookup([](Complex* out, int32_t key) {
    *out = Complex{key == 'a' + 512 ? 5.0 : key == 'b' ? 7.0 : 0.0, 0.0};
  });
  EXPECT_EQ(ValueAt("plus[indexes[a,1],b,x]", 1), 13.0);
  SetDefinedValueLookup(nullptr);
  EXPECT_EQ(ValueAt("branch[if[indexes[x,1],lessthan[x,0]],7]", -1), 1.0);  // the default answers 1
}

}  // namespace
