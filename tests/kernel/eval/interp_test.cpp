// The four machines: verification before a run, undefined handling, branches and bounded sums
// over boxes, the value-stack limit, golden values, hand-built codes for opcodes the compiler
// never emits, and a differential test of random trees against a naive recursive evaluator.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/interpreter.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class InterpTest : public EvaluationFixture {};

// A code runs only as it was verified: never when it was not finished, when it was changed since,
// or when it fails the check (an Add on an empty stack would read below the stack, a slot past
// the code's slot count past the array the caller sized for it).
TEST_F(InterpTest, UnverifiedOrUnsoundCodesEvaluateUndefined) {
  ASSERT_TRUE(EnsureEvalScratch(64));
  for (int k = 0; k < 64; ++k) EvalScratch()[k].real = 5;
  const struct {
    std::vector<BytecodeInstruction> items;
    bool finish;
  } cases[] = {
      {{C(1), O(OpAdd), O(OpEnd)}, true},
      {{O(OpLoadSlot, 40), O(OpEnd)}, true},  // past the 13 slots the code claims
      {{O(OpLoadSlot, 3), O(OpEnd)}, false},  // sound, but never finished
      {{C(0), C(1), O(OpStorePop, 11), C(3), O(OpStorePop, 12), O(OpLoopTest, 11), O(OpEnd)}, true},
      {{C(0), O(OpLoopBack, 11), O(OpEnd)}, true},
  };
  for (const auto& c : cases) {
    CompiledCode* code = Code(c.items, 13, c.finish);
    Interval box;
    RunIntervalCode(&box, code);
    EXPECT_TRUE(std::isnan(RunRealCode(code)) && IntervalIsUndefined(box)) << DisassembleCodeInline(code);
    FreeCompiledCode(code);
  }
  CompiledCode* code = Code({O(OpLoadSlot, 3), O(OpEnd)});
  EXPECT_EQ(RunRealCode(code), 5.0);
  EmitOp(code, OpEnd);  // changed since its check
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
  EXPECT_EQ(PendingError(), 0);
}

TEST_F(InterpTest, UndefinedIntermediateEndsTheRunUnlessTheCodeHasConditionals) {
  EXPECT_TRUE(std::isnan(ValueAt("plus[sqrt[x],1]", -1)));
  // The NaN sits in the clause that is not chosen.
  EXPECT_EQ(ValueAt("branch[if[sqrt[x],greaterthan[x,0]],if[0,leq[x,0]]]", -4), 0.0);
  EXPECT_EQ(ValueAt("branch[if[sqrt[x],greaterthan[x,0]],if[0,leq[x,0]]]", 4), 2.0);
  // Every condition false: undefined.
  EXPECT_TRUE(std::isnan(ValueAt("branch[if[1,greaterthan[x,0]],if[2,lessthan[x,0]]]", 0)));
  // With conditionals an undefined operand reaches min and max: undefined on either side.
  for (const char* t : {"branch[min[sqrt[x],3]]", "branch[min[3,sqrt[x]]]", "branch[max[sqrt[x],3]]",
                        "branch[max[3,sqrt[x]]]", "branch[clamp[sqrt[x],1,1.5]]"}) {
    EXPECT_TRUE(std::isnan(ValueAt(t, -1)) && !std::isnan(ValueAt(t, 4))) << t;
  }
}

// A tree's interval value over x in [xLo, xHi] and y in [-1, 1] (the real part of a complex
// tree's, whose imaginary part must be exactly [0, 0]), against bounds hand-derived from the
// point values over the box, held within the few ulps outward rounding adds; NaN bounds:
// nothing claimed.
struct BoxCase {
  const char* tree;
  double xLo, xHi;
  double lo, hi;
};

void ExpectBoxes(std::initializer_list<BoxCase> cases) {
  for (const BoxCase& c : cases) {
    const Interval r = IntervalValue(c.tree, c.xLo, c.xHi, -1, 1);
    EXPECT_TRUE(TightlyHolds(r, c.lo, c.hi))
        << c.tree << " over [" << c.xLo << ", " << c.xHi << "]: [" << r.lo << ", " << r.hi << "]";
  }
}

// An interval condition that is undefined somewhere on the box may still hold elsewhere on it
// (sqrt(x) >= 1 holds at x = 4), so its clause may apply: the result covers its value.
TEST_F(InterpTest, IntervalBranchTreatsAnUndefinedConditionAsUndecided) {
  ExpectBoxes({
      {"branch[if[1,geq[sqrt[x],1]],5]", -1, 4, 1, 5},
      {"branch[if[1,geq[sqrt[x],1]],if[7,lessthan[x,0]]]", -1, 4, 1, 7},
      {"branch[if[1,geq[sqrt[x],1]],5]", 1, 4, 1, 1},  // decided where defined throughout
      {"branch[if[1,lessthan[x,0]],5]", -1, 1, 1, 5},   // undecided: the hull of both clauses
      {"branch[if[1,lessthan[x,0]],5]", 1, 2, 5, 5},
      // An undecided clause is hulled in; sqrt over [-1, 4] is [0, 2] (the part inside its
      // domain), so the clause adds [10, 12]. A decided clause replaces the later ones.
      {"branch[if[plus[sqrt[x],10],geq[x,0]],x]", -1, 4, -1, 12},
      {"branch[if[plus[sqrt[x],10],geq[x,0]],x]", 1, 4, 11, 12},
      // The complex-interval machine: floor refuses x + y i off the real axis, but on it the
      // condition holds from x = 1 on.
      {"branch[if[floor[plus[x,i]],geq[x,0]],x]", -1, 4, kUndefinedReal, kUndefinedReal},
      {"branch[if[1,geq[Re[floor[plus[x,times[y,i]]]],1]],5]", -1, 4, 1, 5},
  });
}

// A comparison is false off the real axis; over a rectangle whose imaginary part holds 0 without
// being exactly [0, 0] it is undecided unless the real parts make it false (sqrt(x) >= 1 holds for
// x in [1, 4], x + y i < 0 for y = 0 and x < 0).
TEST_F(InterpTest, ComplexIntervalComparisonIsUndecidedWhereTheAxisMayBeReached) {
  ExpectBoxes({{"plus[geq[sqrt[x],1],times[0,i]]", -1, 4, 0, 1},
               {"plus[lessthan[plus[x,times[y,i]],0],times[0,i]]", -1, 4, 0, 1},
               {"plus[lessthan[plus[x,times[y,i]],-2],times[0,i]]", -1, 4, 0, 0},     // false on the axis too
               {"plus[geq[plus[x,times[plus[y,2],i]],1],times[0,i]]", -1, 4, 0, 0}});  // never on the axis
}

// While a sum's test is undecided over the box some points stop there and others go on: the
// result hulls the sums of every possible stop (the sum of k for k up to x over [2.5, 4.5] is 3,
// 6 or 10). A sum that may run past the span limit is the whole line.
TEST_F(InterpTest, IntervalSumHullsEveryPossibleStop) {
  ExpectBoxes({
      {"bsum[equal[k,1],x,k]", 2.5, 4.5, 3, 10},
      {"bsum[equal[n,1],x,1]", 1, 3, 1, 3},
      {"bsum[equal[n,x],3,1]", 0.5, 2.5, 1, 3},       // the start decides the count
      {"bsum[equal[n,1],x,times[n,x]]", 1, 2, 1, 6},  // each partial sum over the whole box
      {"bsum[equal[n,1],x,bsum[equal[m,1],n,1]]", 1, 3, 1, 6},
      {"bsum[equal[n,1],x,1]", 99990, 100010, -kPositiveInfinity, kPositiveInfinity},  // 0 past the span
      // A bound defined on part of the box: sqrt over [-1, 4] is [0, 2], so 0 to 2 terms.
      {"branch[bsum[equal[n,1],sqrt[x],1]]", -1, 4, 0, 2},
  });
}

// The angles of the reals in the box, a wrapped quotient widened to the whole line at the end,
// and the real part of a complex tree wherever its imaginary part may be 0 (x + y i is real on
// y = 0 of the box), the points off the axis noted as a partial domain.
TEST_F(InterpTest, IntervalMachineBoxValues) {
  ExpectBoxes({{"arg[x]", 1, 2, 0, 0},
               {"arg[x]", -2, -1, M_PI, M_PI},
               {"arg[x]", -1, 1, 0, M_PI},
               {"over[1,x]", -1, 2, -kPositiveInfinity, kPositiveInfinity},
               {"plus[x,i]", 0, 1, kUndefinedReal, kUndefinedReal},  // a complex tree off the real axis
               {"plus[x,times[plus[y,2],i]]", 0, 1, kUndefinedReal, kUndefinedReal},
               {"plus[x,times[y,i]]", 0, 1, 0, 1},
               {"Re[plus[x,i]]", 0, 1, 0, 1},
               {"plus[sqrt[x],1]", -1, 4, 1, 3}});  // sqrt over the part of the box inside its domain
  for (const auto& [tree, partial] : {std::pair{"plus[x,times[y,i]]", true}, {"plus[x,times[0,i]]", false}}) {
    IntervalValue(tree, 0, 1, -1, 1);
    EXPECT_EQ(IntervalPartialDomainSeen(), partial) << tree;
  }
}

// A condition that may hold gives the value: the points where it holds are among the box's.
// Undefined only where it surely fails or has no value. Where it fails there is no value, so a
// comparison of the result is undecided, not true; likewise for a branch with no sure clause.
TEST_F(InterpTest, IntervalIfGivesTheValueWhereTheConditionMayHold) {
  ExpectBoxes({{"if[x,greaterthan[x,0]]", -1, 2, -1, 2},
               {"if[x,greaterthan[x,0]]", 1, 2, 1, 2},
               {"if[x,greaterthan[x,0]]", -2, -1, kUndefinedReal, kUndefinedReal},
               {"if[x,greaterthan[sqrt[minus[x]],0]]", 1, 2, kUndefinedReal, kUndefinedReal},
               {"plus[if[x,greaterthan[x,0]],times[0,i]]", -1, 2, -1, 2},
               {"plus[if[x,greaterthan[x,times[y,i]]],times[0,i]]", 1, 2, 1, 2},  // real where y = 0
               {"lessthan[if[x,greaterthan[x,0]],5]", -1, 2, 0, 1},
               {"lessthan[if[x,greaterthan[x,0]],5]", 1, 2, 1, 1},
               {"lessthan[branch[if[1,greaterthan[x,0]]],5]", -1, 1, 0, 1},
               {"lessthan[branch[if[1,greaterthan[x,0]],2],5]", -1, 1, 1, 1}});
}

// kind[operand,...,operand] with `operands` operands.
std::string WideOf(const char* kind, const char* operand, int operands) {
  std::string s = std::string(kind) + "[" + operand;
  for (int i = 1; i < operands; ++i) s += std::string(",") + operand;
  return s + "]";
}

// plus[x,plus[x,...plus[x,x]]] with `terms` x's: every x is pushed before the first sum.
std::string NestedPlusOfX(int terms) {
  std::string s;
  for (int i = 1; i < terms; ++i) s += "plus[x,";
  return s + "x" + std::string(terms - 1, ']');
}

TEST_F(InterpTest, LoopAndValueStackLimits) {
  EXPECT_TRUE(std::isnan(ValueAt("bsum[equal[n,1],200000,1]")));  // wider than 100000 at its start: no value
  EXPECT_EQ(ValueAt("bsum[equal[n,1],100001,1]"), 100001.0);  // span exactly 100000
  // Beyond 2^53 the increment stalls: the index becomes undefined and the loop ends.
  EXPECT_EQ(ValueAt("bsum[equal[n,100000000000000000],100000000000000008,1]"), 1.0);
  // 198 values below the top; the 199th posts error 7.
  EXPECT_EQ(ValueAt(NestedPlusOfX(198).c_str(), 1), 198.0);
  EXPECT_EQ(PendingError(), 0);
  EXPECT_TRUE(std::isnan(ValueAt(NestedPlusOfX(199).c_str(), 1)));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

// A flat node of many operands needs no value slot an operand: sums, products, min, max and the
// truth operations of 199 to 10,000 operands evaluate like narrow ones, on every machine (a row
// of 200 terms drew nothing and posted error 7 when every operand was pushed before the first
// sum). Golden values by hand.
TEST_F(InterpTest, WideNodesFoldTheirOperandsAsTheyGo) {
  const struct {
    const char* kind;
    const char* operand;
    int operands;
    double x, expected;
  } cases[] = {{"plus", "x", 199, 1, 199},
               {"plus", "x", 10000, 0.5, 5000},
               {"plus", "x", 33, 1, 33},
               {"times", "x", 200, 2, 0x1p200},
               {"times", "x", 1025, 2, INFINITY},
               {"min", "times[x,x]", 500, -3, 9},
               {"max", "plus[x,1]", 500, 7, 8},
               {"wedge", "greaterthan[x,-1]", 300, 1, 1},
               {"vee", "greaterthan[x,2]", 300, 1, 0}};
  for (const auto& c : cases) {
    const std::string tree = WideOf(c.kind, c.operand, c.operands);
    EXPECT_EQ(ValueAt(tree.c_str(), c.x), c.expected) << c.kind << " of " << c.operands;
    EXPECT_EQ(PendingError(), 0) << c.kind << " of " << c.operands;
    const Interval box = IntervalValue(tree.c_str(), c.x, c.x, -1, 1);
    EXPECT_TRUE(box.lo <= c.expected && c.expected <= box.hi)
        << c.kind << " of " << c.operands << ": [" << box.lo << ", " << box.hi << "]";
  }
}

struct GoldenCase {
  const char* tree;
  double x, y;
  double expected;  // hand-computed or an exact IEEE identity
};

// Kinds and forms the differential test below does not draw, or where it shares the code under
// test's own helper (mod, rational powers).
TEST_F(InterpTest, RealMachineGoldenValues) {
  const GoldenCase cases[] = {
      {"fact[5]", 0, 0, 120.0},
      {"mod[x,3]", -1, 0, 2.0},
      {"mod[x,y]", 1, -3, -2.0},
      {"min[x,y,3]", 5, 4, 3.0},
      {"max[x,y,3]", 5, 4, 5.0},
      {"ceil[x]", -2.5, 0, -2.0},
      {"lessthan[x,y,3]", 1, 2, 1.0},
      {"lessthan[x,y,3]", 1, 3, 0.0},
      {"equal[x,y]", 2, 2, 1.0},
      {"geq[x,y]", 2, 3, 0.0},
      {"wedge[lessthan[x,1],greaterthan[y,1]]", 0, 2, 1.0},
      {"wedge[lessthan[x,1],greaterthan[y,1]]", 0, 0, 0.0},
      {"if[x,greaterthan[x,0]]", 3, 0, 3.0},
      {"acot[x]", 0, 0, M_PI / 2},
      {"pointangle[x,y]", 0, -1, 3 * M_PI / 2},
      {"interval[x,y]", 1, 2, 2.0},  // the real machine keeps the upper operand
      {"arg[x]", -2, 0, M_PI},       // a negative real lies at angle pi
      {"besselj[x,0.5]", 1, 0, std::sqrt(2 / M_PI) * std::sin(1.0)},
      {"times[x,degree]", 180, 0, M_PI},
      {"plus[x,0.2,0.3]", 0.1, 0, 0.6},  // right fold: (0.1 + 0.2) + 0.3 would be 0.6000000000000001
      // Real rational powers take odd roots of negatives (of the reduced denominator).
      {"power[x,over[1,3]]", -8, 0, -2.0},
      {"power[x,over[2,3]]", -8, 0, 4.0},
      {"power[x,over[1,2]]", -8, 0, kUndefinedReal},
      {"power[x,minus[over[1,3]]]", -8, 0, -0.5},
      {"sqrt[x,3]", -27, 0, -3.0},
  };
  for (const GoldenCase& c : cases) {
    const double v = ValueAt(c.tree, c.x, c.y);
    EXPECT_TRUE(SameValue(v, c.expected) || std::fabs(v - c.expected) <= 1e-14 * (1 + std::fabs(c.expected)))
        << c.tree << ": " << v;
  }
}

// A conjunction or disjunction of three conditions where the first alone decides: each operand
// counts, not only the last two (hand-computed truth values).
TEST_F(InterpTest, WedgeAndVeeCombineEveryOperand) {
  const GoldenCase cases[] = {
      {"wedge[lessthan[x,1],greaterthan[y,1],lessthan[y,5]]", 5, 2, 0.0},  // first false
      {"wedge[lessthan[x,1],greaterthan[y,1],lessthan[y,5]]", 0, 2, 1.0},
      {"wedge[lessthan[x,1],greaterthan[y,1],lessthan[y,5],greaterthan[x,-1]]", -2, 2, 0.0},  // last false
      {"vee[greaterthan[x,1],lessthan[y,0],greaterthan[y,9]]", 5, 2, 1.0},  // first true
      {"vee[greaterthan[x,1],lessthan[y,0],greaterthan[y,9]]", 0, 2, 0.0},
      {"vee[greaterthan[x,1],lessthan[y,0],greaterthan[y,9],equal[x,y]]", 0.5, 0.5, 1.0},  // last true
  };
  for (const GoldenCase& c : cases) EXPECT_EQ(ValueAt(c.tree, c.x, c.y), c.expected) << c.tree << " at " << c.x;
}

// Opcodes above 75 do nothing; an abort ends the run even with conditionals; the real machine has
// no imaginary unit. A null code, or a slot array smaller than the code needs, is refused with
// error 7.
TEST_F(InterpTest, HandBuiltCodes) {
  const struct {
    std::vector<BytecodeInstruction> items;
    double expected;
  } cases[] = {{{C(2), O(OpNoOperation9), O(76), O(1000), C(3), O(OpMultiply), O(OpEnd)}, 6},
               {{C(2), O(OpAbort), O(OpEnd)}, kUndefinedReal},
               {{O(OpPushI), O(OpEnd)}, kUndefinedReal}};
  for (const auto& c : cases) {
    CompiledCode* code = Code(c.items);
    code->hasConditionals = 1;
    EXPECT_TRUE(SameValue(RunRealCode(code), c.expected)) << DisassembleCodeInline(code);
    FreeCompiledCode(code);
  }
  EXPECT_EQ(PendingError(), 0);
  EXPECT_TRUE(std::isnan(RunRealCode(nullptr)));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  ResetErrorRegister();
  CompiledCode* code = Code({O(OpLoadSlot, 12), O(OpEnd)}, 1 << 20);
  EXPECT_TRUE(std::isnan(InterpretRealCode(code, EvalScratch(), nullptr)));
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  FreeCompiledCode(code);
}

// Interval rows: undecided or true, undefined unless the other side is true.
TEST_F(InterpTest, OrIsTheMirrorOfAndInEveryMachine) {
  const struct {
    std::vector<BytecodeInstruction> items;
    double lo, hi;
  } cases[] = {{{C(0), C(0), O(OpOr), O(OpEnd)}, 0, 0},
               {{C(0), C(1), O(OpOr), O(OpEnd)}, 1, 1},
               {{C(1), C(0), O(OpOr), O(OpEnd)}, 1, 1},
               {{C(0), C(1), O(OpMakeInterval), C(kUndefinedReal), O(OpOr), O(OpEnd)}, kUndefinedReal, kUndefinedReal},
               {{C(1), C(kUndefinedReal), O(OpOr), O(OpEnd)}, 1, 1}};
  for (const auto& c : cases) {
    CompiledCode* code = Code(c.items);
    code->hasConditionals = 1;
    Complex z;
    Interval box;
    ComplexInterval cbox;
    RunComplexCode(&z, code);
    RunIntervalCode(&box, code);
    RunComplexIntervalCode(&cbox, code);
    EXPECT_TRUE(SameInterval(box, c.lo, c.hi) && SameInterval(cbox.re, c.lo, c.hi)) << DisassembleCodeInline(code);
    const bool pointRow = c.items.size() == 4 && c.lo == c.hi;  // no NaN operand
    EXPECT_TRUE(!pointRow || (RunRealCode(code) == c.lo && z.re == c.lo));
    FreeCompiledCode(code);
  }
}

// Naive evaluator over the node library's trees (independent of the compiler's emission), for the
// plain kinds of RandomTrees: right folds, squares, rational powers, undefined propagation.
double Naive(const ExprNode* n, double x, double y) {
  auto child = [&](int i) { return Naive(n->children[i], x, y); };
  double v = kUndefinedReal;
  switch (n->kind) {
    case KindNum: return n->value.number->value;
    case KindChar: return n->value.symbol == 'x' ? x : n->value.symbol == 'y' ? y : 3.141592653589793;
    case KindPlus:
      v = child(n->arity - 1);
      for (int i = n->arity - 2; i >= 0; --i) v = child(i) + v;
      break;
    case KindTimes: v = child(0) * child(1); break;
    case KindOver: v = child(0) / child(1); break;
    case KindPower:
      if (n->children[1]->kind == KindOver) {
        const ExprNode* e = n->children[1];
        v = RationalPower(child(0), Naive(e->children[1], x, y), Naive(e->children[0], x, y));
      } else if (n->children[1]->kind == KindNum && n->children[1]->value.number->value == 2) {
        v = child(0) * child(0);
      } else {
        v = std::pow(child(0), child(1));
      }
      break;
    case KindLog: v = std::log(child(0)) / std::log(child(1)); break;
    case KindSqrt: v = n->arity == 2 ? RationalPower(child(0), child(1), 1) : std::sqrt(child(0)); break;
    case KindSn: v = child(0) * std::pow(10.0, child(1)); break;
    case KindBesselj: v = BesselJv(child(1), child(0)); break;  // the order is the second operand
    case KindMod: v = FlooredMod(child(0), child(1)); break;
    case KindMin: v = child(1) >= child(0) ? child(0) : child(1); break;
    case KindMax: v = child(1) <= child(0) ? child(0) : child(1); break;
    case KindClamp: {  // max(lo, min(x, hi))
      const double m = child(2) >= child(0) ? child(0) : child(2);
      v = m <= child(1) ? child(1) : m;
      break;
    }
    case KindMinus: v = -child(0); break;
    case KindSin: v = std::sin(child(0)); break;
    case KindCos: v = std::cos(child(0)); break;
    case KindExp: v = std::exp(child(0)); break;
    case KindAbs: v = std::fabs(child(0)); break;
    case KindAtan: v = std::atan(child(0)); break;
    case KindTanh: v = std::tanh(child(0)); break;
    case KindLn: v = std::log(child(0)); break;
    case KindFloor: v = std::floor(child(0)); break;
    case KindSgn: v = Sign(child(0)); break;
    default: return kUndefinedReal;
  }
  // The machine ends the run at the first undefined intermediate value.
  for (int i = 0; i < n->arity; ++i) {
    if (std::isnan(child(i))) return kUndefinedReal;
  }
  return v;
}

TEST_F(InterpTest, RandomTreesMatchANaiveEvaluatorAndTheIntervalMachine) {
  RandomTrees random(20261206, false);
  random.plain = true;
  int compared = 0;
  for (int t = 0; t < 400; ++t) {
    const std::string text = random.Make(1 + t % 4);
    CompiledFunction* f = Compiled(text.c_str());
    for (int p = 0; p < 4; ++p) {
      const double x = -3 + 1.7 * p, y = 0.37 * p - 0.5;
      const double naive = Naive(f->tree, x, y);
      const double compiled = EvaluateFunction2(f, x, y);
      if (std::isnan(naive)) {
        EXPECT_TRUE(std::isnan(compiled)) << text << " at " << x << ", " << y;
        continue;
      }
      EXPECT_EQ(compiled, naive) << text << " at " << x << ", " << y;
      ++compared;
      // The interval machine over the degenerate box contains the point value (up to the
      // rounding of a division done as a product with the reciprocal).
      Interval box;
      EvaluateIntervalXY(f, x, x, y, y, &box.lo, &box.hi);
      const double slack = 1e-12 * (1 + std::fabs(compiled));
      EXPECT_TRUE((box.lo - slack <= compiled && compiled <= box.hi + slack) || std::isinf(compiled))
          << text << " [" << box.lo << ", " << box.hi << "]";
    }
    Free(f);
  }
  EXPECT_GT(compared, 600);
}

// Arbitrary trees of any kind and arity (not only what the classifier admits) compile to a
// verified program or to the undefined one, and every machine runs them without touching memory
// it does not own (AddressSanitizer watches).
TEST_F(InterpTest, ArbitraryTreesNeverBreakTheCompilerOrTheMachines) {
  RandomTrees random(77, false);
  SetParameterLetter('a');
  for (int t = 0; t < 1500; ++t) {
    auto* f = new CompiledFunction{};
    InitFunction(f, random.Arbitrary(1 + t % 5));
    CompileFunction(f);
    ASSERT_NE(f->code, nullptr);
    EXPECT_EQ(f->code->verified, 1) << DisassembleCodeInline(f->code);
    (void)EvaluateFunction2(f, 1.5, -0.5);
    Complex z;
    EvaluateComplexAt2(&z, f, 1.5, -0.5);
    double lo, hi;
    EvaluateIntervalXY(f, 1, 2, -1, 0, &lo, &hi);
    Free(f);
  }
  EXPECT_NE(PendingError(), kErrorOutOfMemory);
}

}  // namespace
