// The four machines: undefined handling, branches, loop limits, the value-stack limit, rational
// powers, fold order, hand-built codes for opcodes the compiler never emits, and a differential
// test of random trees against a naive recursive evaluator written here.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/eval/interpreter.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/eval/evaluation_test_support.h"

using namespace evaltest;

namespace {

class InterpTest : public EvaluationFixture {};

Interval IntervalValue(const char* tree, double xLo, double xHi, double yLo = 0, double yHi = 0) {
  CompiledFunction* f = Function(tree);
  CompileFunction(f);
  Interval r;
  EvaluateIntervalXY(f, xLo, xHi, yLo, yHi, &r.lo, &r.hi);
  Free(f);
  return r;
}

TEST_F(InterpTest, UndefinedIntermediateEndsTheRunUnlessTheCodeHasConditionals) {
  EXPECT_TRUE(std::isnan(ValueAt("plus[sqrt[x],1]", -1)));
  // The NaN sits in the clause that is not chosen.
  EXPECT_EQ(ValueAt("branch[if[sqrt[x],greaterthan[x,0]],if[0,leq[x,0]]]", -4), 0.0);
  EXPECT_EQ(ValueAt("branch[if[sqrt[x],greaterthan[x,0]],if[0,leq[x,0]]]", 4), 2.0);
  // Every condition false: undefined.
  EXPECT_TRUE(std::isnan(ValueAt("branch[if[1,greaterthan[x,0]],if[2,lessthan[x,0]]]", 0)));
  // Over a box, sqrt takes the part of [-1, 4] inside its domain: [0, 2] + 1 (rounded outward).
  const Interval r = IntervalValue("plus[sqrt[x],1]", -1, 4);
  EXPECT_TRUE(r.lo <= 1.0 && r.lo > 0.999 && r.hi >= 3.0 && r.hi < 3.001) << r.lo << ", " << r.hi;
}

TEST_F(InterpTest, IntervalBranchTakesTheHullOfUndecidedClauses) {
  const Interval r = IntervalValue("branch[if[1,lessthan[x,0]],5]", -1, 1);
  EXPECT_EQ(r.lo, 1.0);
  EXPECT_EQ(r.hi, 5.0);
  const Interval decided = IntervalValue("branch[if[1,lessthan[x,0]],5]", 1, 2);
  EXPECT_EQ(decided.lo, 5.0);
  EXPECT_EQ(decided.hi, 5.0);
}

// An undecided clause whose value has no bound over the box could still be taken where it is
// defined: the branch claims nothing. sqrt over [-1, 4] has one now ([0, 2], from its domain):
// the hull [-1, 12]. floor of x + i has none (no point of it is real).
TEST_F(InterpTest, UndecidedClauseWithoutABoundLeavesTheIntervalBranchUndefined) {
  const Interval r = IntervalValue("branch[if[plus[sqrt[x],10],geq[x,0]],x]", -1, 4);
  EXPECT_TRUE(r.lo == -1.0 && r.hi >= 12.0 && r.hi < 12.001) << r.lo << ", " << r.hi;
  CompiledFunction* f = Function("branch[if[floor[plus[x,i]],geq[x,0]],x]");
  CompileFunction(f);
  ASSERT_EQ(f->complex, 1);
  EvalCell* slots = EvalScratch();
  slots[kSlotParameter].complexInterval = ComplexInterval{{0, 0}, {0, 0}};
  slots[kSlotX].complexInterval = ComplexInterval{{-1, 4}, {0, 0}};
  ComplexInterval box;
  RunComplexIntervalCode(&box, f->code);
  EXPECT_TRUE(std::isnan(box.re.lo) && std::isnan(box.re.hi));
  Free(f);
  // A decided clause still replaces an undefined later one.
  const Interval decided = IntervalValue("branch[if[plus[sqrt[x],10],geq[x,0]],x]", 1, 4);
  EXPECT_TRUE(decided.lo <= 11.0 && decided.lo > 10.999 && decided.hi >= 12.0 && decided.hi < 12.001) << decided.lo;
}

struct ValueCase {
  const char* tree;
  double atFour;
};

// With conditionals an undefined operand reaches min and max: it stays undefined on either side
// (hand-computed: at x = -1, sqrt(x) is NaN).
TEST_F(InterpTest, RealMinAndMaxKeepAnUndefinedOperandOnEitherSide) {
  const ValueCase cases[] = {
      {"branch[min[sqrt[x],3]]", 2}, {"branch[min[3,sqrt[x]]]", 2}, {"branch[max[sqrt[x],3]]", 3},
      {"branch[max[3,sqrt[x]]]", 3}, {"branch[clamp[sqrt[x],1,1.5]]", 1.5},
  };
  for (const ValueCase& c : cases) {
    EXPECT_TRUE(std::isnan(ValueAt(c.tree, -1))) << c.tree;
    EXPECT_EQ(ValueAt(c.tree, 4), c.atFour) << c.tree;
  }
}

TEST_F(InterpTest, LoopLimits) {
  EXPECT_EQ(ValueAt("bsum[equal[n,1],200000,1]"), 0.0);        // wider than 100000 at its start
  EXPECT_EQ(ValueAt("bsum[equal[n,1],100001,1]"), 100001.0);   // span exactly 100000
  // Beyond 2^53 the increment stalls: the index becomes undefined and the loop ends.
  EXPECT_EQ(ValueAt("bsum[equal[n,100000000000000000],100000000000000008,1]"), 1.0);
  // Over a box the loop stops at its first undecided test: n = 1 <= [1, 3] holds, n = 2 does not
  // decide, so the result is [1, 1] where the true range is [1, 3] (a documented containment loss).
  const Interval r = IntervalValue("bsum[equal[n,1],x,1]", 1, 3);
  EXPECT_EQ(r.lo, 1.0);
  EXPECT_EQ(r.hi, 1.0);
}

std::string PlusOfX(int terms) {
  std::string s = "plus[x";
  for (int i = 1; i < terms; ++i) s += ",x";
  return s + "]";
}

TEST_F(InterpTest, ValueStackHolds198ValuesBelowTheTop) {
  EXPECT_EQ(ValueAt(PlusOfX(198).c_str(), 1), 198.0);
  EXPECT_EQ(PendingError(), 0);
  EXPECT_TRUE(std::isnan(ValueAt(PlusOfX(199).c_str(), 1)));
  EXPECT_EQ(PendingError(), 7);
}

TEST_F(InterpTest, RealRationalPowersTakeOddRootsOfNegatives) {
  EXPECT_EQ(ValueAt("power[x,over[1,3]]", -8), -2.0);
  EXPECT_NEAR(ValueAt("power[x,over[2,3]]", -8), 4.0, 1e-15);
  EXPECT_TRUE(std::isnan(ValueAt("power[x,over[1,2]]", -8)));
  EXPECT_EQ(ValueAt("power[x,minus[over[1,3]]]", -8), -0.5);  // reduced denominator -3 is odd
  EXPECT_EQ(ValueAt("sqrt[x,3]", -27), -3.0);
}

TEST_F(InterpTest, SumsFoldFromTheRight) {
  // 0.1 + (0.2 + 0.3) = 0.6 exactly; (0.1 + 0.2) + 0.3 would be 0.6000000000000001.
  EXPECT_EQ(ValueAt("plus[x,0.2,0.3]", 0.1), 0.6);
}

struct GoldenCase {
  const char* tree;
  double x, y;
  double expected;  // hand-computed or an exact IEEE identity
};

TEST_F(InterpTest, RealMachineGoldenValues) {
  const GoldenCase cases[] = {
      {"log[8,2]", 0, 0, 3.0},
      {"sqrt[8,3]", 0, 0, 2.0},
      {"sn[1.5,3]", 0, 0, 1500.0},
      {"fact[5]", 0, 0, 120.0},
      {"mod[x,3]", -1, 0, 2.0},
      {"mod[x,y]", 1, -3, -2.0},
      {"min[x,y,3]", 5, 4, 3.0},
      {"max[x,y,3]", 5, 4, 5.0},
      {"clamp[x,0,1]", 2, 0, 1.0},
      {"clamp[x,0,1]", -2, 0, 0.0},
      {"clamp[x,0,1]", 0.5, 0, 0.5},
      {"sgn[x]", -3, 0, -1.0},
      {"abs[x]", -3, 0, 3.0},
      {"floor[x]", -2.5, 0, -3.0},
      {"ceil[x]", -2.5, 0, -2.0},
      {"lessthan[x,y,3]", 1, 2, 1.0},
      {"lessthan[x,y,3]", 1, 3, 0.0},
      {"equal[x,y]", 2, 2, 1.0},
      {"geq[x,y]", 2, 3, 0.0},
      {"wedge[lessthan[x,1],greaterthan[y,1]]", 0, 2, 1.0},
      {"wedge[lessthan[x,1],greaterthan[y,1]]", 0, 0, 0.0},
      {"vee[lessthan[x,1],greaterthan[y,1]]", 5, 2, 1.0},
      {"vee[lessthan[x,1],greaterthan[y,1]]", 5, 0, 0.0},
      {"if[x,greaterthan[x,0]]", 3, 0, 3.0},
      {"acot[x]", 0, 0, M_PI / 2},
      {"pointangle[x,y]", 0, -1, 3 * M_PI / 2},
      {"interval[x,y]", 1, 2, 2.0},           // the real machine keeps the upper operand
      {"arg[x]", -2, 0, M_PI},                // a negative real lies at angle pi
      {"arg[x]", 2, 0, 0.0},
      {"besselj[x,0.5]", 1, 0, std::sqrt(2 / M_PI) * std::sin(1.0)},
      {"times[x,degree]", 180, 0, M_PI},
  };
  for (const GoldenCase& c : cases) {
    EXPECT_NEAR(ValueAt(c.tree, c.x, c.y), c.expected, 1e-14 * (1 + std::fabs(c.expected))) << c.tree;
  }
}

// Codes the compiler never emits, built by hand.
CompiledCode* Code(const std::vector<BytecodeInstruction>& items, int32_t slotCount = kFixedSlotCount) {
  CompiledCode* code = NewCompiledCode();
  for (const BytecodeInstruction& in : items) {
    if (in.op == OpPushConstant) {
      EmitConstant(code, in.op, in.c);
    } else {
      EmitOpWithOperand(code, in.op, in.i.k);
    }
  }
  code->slotCount = slotCount;
  ResolveJumpLabels(code);
  return code;
}

BytecodeInstruction C(double c) {
  BytecodeInstruction in{};
  in.op = OpPushConstant;
  in.c = c;
  return in;
}

BytecodeInstruction O(uint32_t op, int32_t k = 0) {
  BytecodeInstruction in{};
  in.op = op;
  in.i.k = k;
  return in;
}

TEST_F(InterpTest, HandBuiltColumnAndRowValuesReadTheContextTable) {
  EvalContext* context = NewEvalContext(kFixedSlotCount);
  ASSERT_NE(context, nullptr);
  // One u-only and one v-only value list over a 3 x 2 grid, filled by hand.
  context->uCount = 1;
  context->vCount = 1;
  PrepareSampleGrid(0, 0, 1, 1, 3, 2, context);
  ASSERT_EQ(context->tableCells, kFixedSlotCount + 3 + 2);
  for (int i = 0; i < 3; ++i) context->table[kFixedSlotCount + i].real = 10 + i;
  for (int j = 0; j < 2; ++j) context->table[kFixedSlotCount + 3 + j].real = 20 + j;
  context->column = 2;
  context->row = 1;
  CompiledCode* code = Code({O(OpPushColumnValue, 0), O(OpPushRowValue, 0), O(OpAdd), O(OpEnd)});
  EXPECT_EQ(InterpretRealCode(code, context->table, context), 12.0 + 21.0);
  EXPECT_TRUE(std::isnan(InterpretRealCode(code, EvalScratch(), nullptr)));  // no context: undefined
  FreeCompiledCode(code);
  context->uCount = context->vCount = 0;
  DisposeEvalContext(context);
}

TEST_F(InterpTest, HandBuiltNoOperationAbortAndUnknownOpcodes) {
  CompiledCode* code = Code({C(2), O(OpNoOperation9), O(76), O(1000), C(3), O(OpMultiply), O(OpEnd)});
  EXPECT_EQ(RunRealCode(code), 6.0);
  FreeCompiledCode(code);
  code = Code({C(2), O(OpAbort), O(OpEnd)});
  code->hasConditionals = 1;  // abort ends the run even with conditionals
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
  // The real machine's angle of a real number: pi for a negative one, 0 otherwise.
  for (double v : {-2.0, 3.0, 0.0}) {
    code = Code({C(v), O(OpArg), O(OpEnd)});
    EXPECT_EQ(RunRealCode(code), v < 0 ? M_PI : 0.0);
    FreeCompiledCode(code);
  }
  code = Code({O(OpPushI), O(OpEnd)});
  EXPECT_TRUE(std::isnan(RunRealCode(code)));  // the real machine has no imaginary unit
  Complex z;
  RunComplexCode(&z, code);
  EXPECT_EQ(z.re, 0.0);
  EXPECT_EQ(z.im, 1.0);
  Interval iv;
  RunIntervalCode(&iv, code);
  EXPECT_TRUE(std::isnan(iv.lo));
  FreeCompiledCode(code);
}

TEST_F(InterpTest, NullCodeOrShortSlotArrayGivesUndefinedWithMemoryError) {
  EXPECT_TRUE(std::isnan(RunRealCode(nullptr)));
  EXPECT_EQ(PendingError(), 7);
  ResetErrorRegister();
  CompiledCode* code = Code({O(OpLoadSlot, 12), O(OpEnd)}, 1 << 20);
  EXPECT_TRUE(std::isnan(InterpretRealCode(code, EvalScratch(), nullptr)));  // more than the scratch holds
  EXPECT_EQ(PendingError(), 7);
  FreeCompiledCode(code);
}

TEST_F(InterpTest, OrIsTheMirrorOfAndInEveryMachine) {
  struct OrCase {
    double a, b, expected;
  } cases[] = {{1, 1, 1}, {1, 0, 1}, {0, 1, 1}, {0, 0, 0}};
  for (const OrCase& c : cases) {
    CompiledCode* code = Code({C(c.a), C(c.b), O(OpOr), O(OpEnd)});
    EXPECT_EQ(RunRealCode(code), c.expected);
    Complex z;
    RunComplexCode(&z, code);
    EXPECT_EQ(z.re, c.expected);
    Interval iv;
    RunIntervalCode(&iv, code);
    EXPECT_EQ(iv.lo, c.expected);
    EXPECT_EQ(iv.hi, c.expected);
    ComplexInterval ci;
    RunComplexIntervalCode(&ci, code);
    EXPECT_EQ(ci.re.lo, c.expected);
    FreeCompiledCode(code);
  }
  // Interval: undecided or true, undefined unless the other side is true.
  CompiledCode* code = Code({C(0), C(1), O(OpMakeInterval), C(kNaN), O(OpOr), O(OpEnd)});
  code->hasConditionals = 1;
  Interval iv;
  RunIntervalCode(&iv, code);
  EXPECT_TRUE(std::isnan(iv.lo));
  FreeCompiledCode(code);
  code = Code({C(1), C(kNaN), O(OpOr), O(OpEnd)});
  code->hasConditionals = 1;
  RunIntervalCode(&iv, code);
  EXPECT_EQ(iv.lo, 1.0);
  EXPECT_EQ(iv.hi, 1.0);
  FreeCompiledCode(code);
}

TEST_F(InterpTest, IntervalArgAndWrappedResults) {
  struct ArgCase {
    double lo, hi, outLo, outHi;
  } cases[] = {{1, 2, 0, 0}, {-2, -1, M_PI, M_PI}, {-1, 1, 0, M_PI}, {0, 0, 0, 0}};
  for (const ArgCase& c : cases) {
    CompiledCode* code = Code({C(c.lo), C(c.hi), O(OpMakeInterval), O(OpArg), O(OpEnd)});
    Interval iv;
    RunIntervalCode(&iv, code);
    EXPECT_EQ(iv.lo, c.outLo);
    EXPECT_EQ(iv.hi, c.outHi);
    FreeCompiledCode(code);
  }
  // 1 / [-1, 2] is the wrapped [0.5, -1]: widened to the whole line at the end.
  CompiledCode* code = Code({C(1), C(-1), C(2), O(OpMakeInterval), O(OpDivide), O(OpEnd)});
  Interval iv;
  RunIntervalCode(&iv, code);
  EXPECT_EQ(iv.lo, -INFINITY);
  EXPECT_EQ(iv.hi, INFINITY);
  FreeCompiledCode(code);
}

TEST_F(InterpTest, StaticCheckRejectsUnsoundPrograms) {
  struct CheckCase {
    std::vector<BytecodeInstruction> items;
    bool sound;
  };
  const CheckCase cases[] = {
      {{C(1), O(OpEnd)}, true},
      {{O(OpAdd), O(OpEnd)}, false},                 // pops below the bottom
      {{C(1), C(2), O(OpEnd)}, false},               // two values at the end
      {{C(1)}, false},                               // no end
      {{O(OpLoadSlot, 11), O(OpEnd)}, false},        // slot beyond the code's slots
      {{C(1), C(2), O(OpLessChain, 3), O(OpEnd)}, false},
      {{C(1), O(OpLoopTest, 11), O(OpEnd)}, false},  // loop without its back jump
      {{C(1), C(2), O(OpAbort), O(OpEnd)}, true},    // never runs past the abort
  };
  for (const CheckCase& c : cases) {
    CompiledCode* code = Code(c.items);
    EXPECT_EQ(CheckCodeBalance(code), c.sound);
    FreeCompiledCode(code);
  }
}

// ---------------------------------------------------------------------------------------------
// Differential test: random admitted trees, compiled and run, against a naive recursive
// evaluator with the same rules (right fold, squares, rational powers, undefined propagation).

struct RandomTree {
  std::mt19937 rng;
  explicit RandomTree(unsigned seed) : rng(seed) {}
  int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string Leaf() {
    switch (Pick(5)) {
      case 0: return "x";
      case 1: return "y";
      case 2: return "pi";
      default: {
        static const char* numbers[] = {"0.5", "2", "3", "1.25", "0.1", "7"};
        return numbers[Pick(6)];
      }
    }
  }

  std::string Make(int depth) {
    if (depth == 0) return Leaf();
    static const char* unary[] = {"minus", "sin", "cos", "exp", "abs", "atan", "tanh", "sqrt", "ln", "floor", "sgn"};
    switch (Pick(11)) {
      case 0: return Leaf();
      case 1: return "plus[" + Make(depth - 1) + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 2: return "times[" + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 3: return "over[" + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 4: return "power[" + Make(depth - 1) + ",2]";
      case 5: return "power[" + Make(depth - 1) + ",over[1,3]]";
      case 6: return "min[" + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 7: {
        // The two-operand forms with fixed Swap patterns or a top-first operand order.
        static const char* binary[] = {"log", "sqrt", "sn", "besselj", "mod", "max", "pointangle", "power"};
        const char* kind = binary[Pick(8)];
        const std::string second = std::string(kind) == "sn" || std::string(kind) == "sqrt" ? "3" : Make(depth - 1);
        return std::string(kind) + "[" + Make(depth - 1) + "," + second + "]";
      }
      case 8: return "clamp[" + Make(depth - 1) + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      default: return std::string(unary[Pick(11)]) + "[" + Make(depth - 1) + "]";
    }
  }
};

// Naive evaluator over the node library's trees (independent of the compiler's emission).
double Naive(const ExprNode* n, double x, double y) {
  auto child = [&](int i) { return Naive(n->children[i], x, y); };
  double v = kNaN;
  switch (n->kind) {
    case KindNum: return n->value.number->value;
    case KindChar:
      if (n->value.symbol == 'x') return x;
      if (n->value.symbol == 'y') return y;
      return 3.141592653589793;
    case KindPlus: {
      v = child(n->arity - 1);
      for (int i = n->arity - 2; i >= 0; --i) v = child(i) + v;
      break;
    }
    case KindTimes: {
      v = child(n->arity - 1);
      for (int i = n->arity - 2; i >= 0; --i) v = child(i) * v;
      break;
    }
    case KindOver: v = child(0) / child(1); break;
    case KindPower:
      if (n->children[1]->kind == KindOver) {
        const ExprNode* e = n->children[1];
        v = RationalPower(child(0), Naive(e->children[1], x, y), Naive(e->children[0], x, y));
      } else if (n->children[1]->kind == KindNum && n->children[1]->value.number->value == 2) {
        const double b = child(0);
        v = b * b;
      } else {
        v = std::pow(child(0), child(1));
      }
      break;
    case KindLog: v = std::log(child(0)) / std::log(child(1)); break;
    case KindSqrt:
      v = n->arity == 2 ? RationalPower(child(0), child(1), 1) : std::sqrt(child(0));
      break;
    case KindSn: v = child(0) * std::pow(10.0, child(1)); break;
    case KindBesselj: v = BesselJv(child(1), child(0)); break;  // the order is the second operand
    case KindMod: v = FlooredMod(child(0), child(1)); break;
    case KindMax: {
      const double a = child(0), b = child(1);
      v = std::isnan(a) ? a : (b <= a ? a : b);
      break;
    }
    case KindClamp: {  // max(lo, min(x, hi))
      const double x0 = child(0), lo = child(1), hi = child(2);
      const double m = std::isnan(x0) ? x0 : (hi >= x0 ? x0 : hi);
      v = std::isnan(lo) ? lo : (m <= lo ? lo : m);
      break;
    }
    case KindAngleOfPoint: {  // the angle of the point (child 0, child 1) in [0, 2 pi)
      const double t = std::atan2(child(1), child(0));
      v = t < 0 ? t + 2 * M_PI : t;
      break;
    }
    case KindMin: {
      const double a = child(0), b = child(1);
      v = b >= a ? a : b;
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
    default: return kNaN;
  }
  // The machine ends the run at the first undefined intermediate value.
  for (int i = 0; i < n->arity; ++i) {
    if (std::isnan(Naive(n->children[i], x, y))) return kNaN;
  }
  return v;
}

// Containment up to rounding: the interval kinds round to nearest like the reals, but divide by
// multiplying with the reciprocal, so a point value may lie a few ulps outside a degenerate box.
bool Inside(double v, const Interval& i) {
  const double slack = 1e-12 * (1 + std::fabs(v));
  return i.lo - slack <= v && v <= i.hi + slack;
}

TEST_F(InterpTest, RandomTreesMatchANaiveEvaluatorAndTheOtherMachines) {
  RandomTree random(20261206);
  int compared = 0;
  for (int t = 0; t < 400; ++t) {
    const std::string text = random.Make(1 + t % 4);
    CompiledFunction* f = Function(text.c_str());
    CompileFunction(f);
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
      // The interval machine over the degenerate box contains the point value.
      Interval box;
      EvaluateIntervalXY(f, x, x, y, y, &box.lo, &box.hi);
      EXPECT_TRUE(Inside(compiled, box) || std::isinf(compiled)) << text << " [" << box.lo << ", " << box.hi << "]";
    }
    Free(f);
  }
  EXPECT_GT(compared, 600);
}

// The complex machine on real inputs agrees with the real machine where the real one is
// defined (rational powers of negatives excluded: the complex machine takes the principal root).
TEST_F(InterpTest, ComplexMachineAgreesWithRealMachineOnTheRealLine) {
  const char* trees[] = {
      "plus[sin[x],times[x,y],over[1,plus[1,power[x,2]]]]",
      "times[exp[x],cos[y]]",
      "minus[ln[abs[x]]]",
      "sqrt[plus[power[x,2],power[y,2]]]",
      "over[tanh[x],plus[2,atan[y]]]",
  };
  for (const char* t : trees) {
    CompiledFunction* f = Function(t);
    CompileFunction(f);
    for (double x : {-2.5, -0.3, 0.7, 1.9}) {
      const double y = 0.5 - x;
      const double real = EvaluateFunction2(f, x, y);
      Complex z;
      EvaluateComplexAt2(&z, f, x, y);
      EXPECT_NEAR(z.re, real, 1e-14 * (1 + std::fabs(real))) << t;
      EXPECT_NEAR(z.im, 0.0, 1e-15) << t;
    }
    Free(f);
  }
}

// The machine combines some instruction pairs (a push consumed at once, increment + back jump +
// test); separating the pairs by a no-op must not change any result.
TEST_F(InterpTest, CombinedInstructionPairsBehaveLikeTheSeparateOnes) {
  const auto sum = [](bool separated) {
    std::vector<BytecodeInstruction> items = {C(0), C(1), O(OpStorePop, 11), C(4), O(OpStorePop, 12),
                                              O(OpLoopTest, 11), O(OpLoadSlot, 11), O(OpLoadSlot, 3)};
    if (separated) items.push_back(O(OpNoOperation9));
    items.push_back(O(OpMultiply));
    if (separated) items.push_back(O(OpNoOperation9));
    items.push_back(O(OpAdd));
    items.push_back(O(OpLoopIncrement, 11));
    if (separated) items.push_back(O(OpNoOperation9));
    items.push_back(O(OpLoopBack, 11));
    items.push_back(C(2));
    if (separated) items.push_back(O(OpNoOperation9));
    items.push_back(O(OpDivide));
    items.push_back(O(OpEnd));
    return items;
  };
  std::vector<double> results;
  for (bool separated : {false, true}) {
    CompiledCode* code = Code(sum(separated), 13);
    EnsureEvalScratch(13);
    EvalScratch()[kSlotX].real = 3;
    results.push_back(RunRealCode(code));  // (1 + 2 + 3 + 4) * 3 / 2
    FreeCompiledCode(code);
  }
  EXPECT_EQ(results[0], 15.0);
  EXPECT_EQ(results[1], 15.0);
  // An undefined operand is never combined: pow-like identities cannot hide it.
  CompiledCode* code = Code({C(2), O(OpLoadSlot, 3), O(OpAdd), O(OpEnd)});
  code->hasConditionals = 1;
  EvalScratch()[kSlotX].real = kNaN;
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
}

// Arbitrary trees of any kind and arity (not only what the classifier admits) compile to a
// sound program or to the undefined one, and every machine runs them without touching memory
// it does not own (AddressSanitizer watches).
TEST_F(InterpTest, ArbitraryTreesNeverBreakTheCompilerOrTheMachines) {
  std::mt19937 rng(77);
  const uint32_t kinds[] = {KindPlus,   KindTimes,  KindMinus,     KindOver,   KindPower,   KindSqrt,    KindLog,
                            KindSn,     KindIf,     KindBranch,    KindEqual,  KindLessthan, KindWedge,  KindVee,
                            KindComma,  KindSum,    KindBoundedSum, KindIndexes, KindMin,   KindClamp,   KindMod,
                            KindBesselj, KindInterval, KindFunction, KindId,    KindRe,      KindArg,     KindSin,
                            KindAngleOfPoint, KindSlider, KindFact};
  const int16_t symbols[] = {'x', 'y', 'z', 'r', 'e', 'i', 'n', 'a', SymTheta, SymPhi, SymRho, SymPi, SymInf};
  SetParameterLetter('a');
  std::function<ExprNode*(int)> make = [&](int depth) -> ExprNode* {
    const int pick = static_cast<int>(rng() % 10);
    if (depth == 0 || pick < 3) {
      if (pick % 2 == 0) return NewNumberNode(static_cast<double>(rng() % 7) - 2);
      return NewSymbolNode(symbols[rng() % (sizeof symbols / sizeof symbols[0])]);
    }
    const uint32_t kind = kinds[rng() % (sizeof kinds / sizeof kinds[0])];
    const int arity = static_cast<int>(rng() % 4);
    ExprNode* node = NewNode(kind, arity);
    for (int i = 0; i < arity; ++i) {
      node->children[i] = make(depth - 1);
      node->children[i]->parent = node;
    }
    return node;
  };
  for (int t = 0; t < 1500; ++t) {
    auto* f = new CompiledFunction{};
    InitFunction(f, make(1 + t % 5));
    CompileFunction(f);
    ASSERT_NE(f->code, nullptr);
    EXPECT_TRUE(CheckCodeBalance(f->code)) << DisassembleCodeInline(f->code);
    (void)EvaluateFunction2(f, 1.5, -0.5);
    Complex z;
    EvaluateComplexAt2(&z, f, 1.5, -0.5);
    double lo, hi;
    EvaluateIntervalXY(f, 1, 2, -1, 0, &lo, &hi);
    Free(f);
  }
  EXPECT_NE(PendingError(), 7);
}

// Hand-built codes that the compiler would never produce: no OpEnd at the end, loops whose jumps
// were never resolved. The machine refuses them instead of running off the code or forever.
TEST_F(InterpTest, MalformedHandBuiltCodesEndUndefined) {
  EnsureEvalScratch(13);
  CompiledCode* code = Code({C(1), C(2), O(OpAdd)});
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
  // A loop test that fails with no back jump to leave by.
  code = Code({C(0), C(5), O(OpStorePop, 11), C(1), O(OpStorePop, 12), O(OpLoopTest, 11), O(OpEnd)}, 13);
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
  // A back jump of distance 0.
  code = Code({C(0), O(OpLoopBack, 11), O(OpEnd)}, 13);
  EXPECT_TRUE(std::isnan(RunRealCode(code)));
  FreeCompiledCode(code);
}

}  // namespace
