// Test support for the compiler, the machines and compiled functions: trees in the bracket
// notation of the tree tests (plus[x,times[2,a]], with bsum and pointangle for the internal
// kinds), helpers that compile and evaluate in one step, hand-built codes, the one random-tree
// generator of the evaluation suites, and the fixture every test starts from (fresh seams, an
// empty error register, no allocation refused, scratch for the fixed slots).
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/disassembler.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace evaltest {

class EvaluationFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluationSeams();
    ResetEvaluationBudgetForTests();
    ResetErrorRegister();
    SetOutOfMemoryFlag(false);
    EnsureEvalScratch(kFixedSlotCount);
  }
  void TearDown() override {
    FailAllocationAt(0);
    SetOutOfMemoryFlag(false);
    ResetEvaluationSeams();
    ResetEvaluationBudgetForTests();
    ResetErrorRegister();
  }
};

inline ExprNode* Tree(const char* text) { return tree_test::Reader(text, '[', ']').Term(); }

// A function over the tree, not yet compiled (the caller disposes it with Free).
inline CompiledFunction* Function(const char* text) {
  auto* f = new CompiledFunction{};
  InitFunction(f, Tree(text));
  return f;
}

inline CompiledFunction* Compiled(const char* text) {
  CompiledFunction* f = Function(text);
  CompileFunction(f);
  return f;
}

inline void Free(CompiledFunction* f) {
  DisposeFunction(f);
  delete f;
}

inline std::string Listing(const CompiledFunction* f) { return DisassembleCodeInline(f->code); }

// Listing of a tree compiled alone without a binding table.
inline std::string ListingWithoutBindings(const char* text) {
  ExprNode* tree = Tree(text);
  CompiledCode* code = NewCompiledCode();
  CompileExpression(code, tree, nullptr, false);
  std::string listing = DisassembleCodeInline(code);
  FreeCompiledCode(code);
  FreeExpression(tree);
  return listing;
}

// Value at (x, y, z) through the function's own machine, compiled as a function of its own.
inline double ValueAt(const char* text, double x = 0, double y = 0, double z = 0) {
  CompiledFunction* f = Compiled(text);
  EvalCell* slots = EvalScratch();
  if (f->code != nullptr && f->code->complex) {
    slots[kSlotZ].complex = Complex{z, 0.0};
  } else {
    slots[kSlotZ].real = z;
  }
  const double v = EvaluateFunction2(f, x, y);
  Free(f);
  return v;
}

// Interval bounds over the box (of the real part for a complex tree, NaN off the real axis).
inline Interval IntervalValue(const char* text, double xLo, double xHi, double yLo = 0, double yHi = 0) {
  CompiledFunction* f = Compiled(text);
  Interval r;
  EvaluateIntervalXY(f, xLo, xHi, yLo, yHi, &r.lo, &r.hi);
  Free(f);
  return r;
}

// Equal, or both NaN; an interval bound for bound.
inline bool SameValue(double v, double expected) { return v == expected || (v != v && expected != expected); }
inline bool SameInterval(const Interval& r, double lo, double hi) { return SameValue(r.lo, lo) && SameValue(r.hi, hi); }
// Holds [lo, hi] and lies within a few ulps outside it, as outward rounding leaves exact bounds;
// NaN bounds as in SameInterval.
inline bool TightlyHolds(const Interval& r, double lo, double hi) {
  auto near = [](double v, double exact, double direction) {
    double limit = exact;
    for (int k = 0; k < 4; ++k) limit = std::nextafter(limit, direction);
    return direction < 0 ? (v <= exact && v >= limit) : (v >= exact && v <= limit);
  };
  if (lo != lo || hi != hi) return SameInterval(r, lo, hi);
  return (lo == r.lo || near(r.lo, lo, -kPositiveInfinity)) && (hi == r.hi || near(r.hi, hi, kPositiveInfinity));
}

// Hand-built codes: C(c) pushes a constant, O(op, k) is any other instruction; Code finishes
// (and so verifies) the list with the given slot count.
inline BytecodeInstruction C(double c) {
  BytecodeInstruction in{};
  in.op = OpPushConstant;
  in.c = c;
  return in;
}

inline BytecodeInstruction O(uint32_t op, int32_t k = 0) {
  BytecodeInstruction in{};
  in.op = op;
  in.i.k = k;
  return in;
}

inline CompiledCode* Code(const std::vector<BytecodeInstruction>& items, int32_t slotCount = kFixedSlotCount,
                          bool finish = true) {
  CompiledCode* code = NewCompiledCode();
  for (const BytecodeInstruction& in : items) {
    if (in.op == OpPushConstant) {
      EmitConstant(code, in.op, in.c);
    } else {
      EmitOpWithOperand(code, in.op, in.i.k);
    }
  }
  code->slotCount = slotCount;
  if (finish) ResolveJumpLabels(code);
  return code;
}

// Random trees in the bracket notation over x and y (and i when `complex`), drawing from every
// family the compiler handles: arithmetic, the power forms, the 24 trigonometric and hyperbolic
// kinds, real-only kinds, derived coordinates, bounded sums (constant or x as bound) and branches
// whose conditions may be undefined. `plain` keeps to what the differential test's evaluator
// knows; `wide` adds the parameter a, a defined name c, comparison chains as values and sums
// bounded by y or a. Arbitrary builds any kind with any arity, admitted or not.
struct RandomTrees {
  std::mt19937 rng;
  bool complex;
  bool plain = false;
  bool wide = false;
  RandomTrees(unsigned seed, bool withI) : rng(seed), complex(withI) {}
  int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string Leaf() {
    static const char* const kLeaves[] = {"x", "y", "x",    "y", "0.5",         "2", "3",
                                          "1.25", "pi", "0.1", "minus[0.75]", "r", "theta"};
    if (complex && Pick(6) == 0) return "i";
    if (wide && Pick(6) == 0) return Pick(2) ? "a" : "c";
    return kLeaves[Pick(plain ? 11 : 13)];
  }

  std::string Make(int depth) {
    if (depth == 0) return Leaf();
    static const char* const kUnary[] = {  // the plain ones first
        "minus", "sin",  "cos",  "exp",   "abs",   "atan",  "tanh",  "sqrt",  "ln",    "floor", "sgn",  "tan",
        "cot",   "csc",  "sec",  "asin",  "acos",  "acot",  "acsc",  "asec",  "sinh",  "cosh",  "coth", "csch",
        "sech",  "asinh", "acosh", "atanh", "acoth", "acsch", "asech", "log",  "ceil",  "fact"};
    static const char* const kBinary[] = {"times", "over", "min", "max", "mod", "log", "power", "pointangle"};
    const std::string a = Make(depth - 1);
    switch (Pick(plain ? 8 : wide ? 13 : 11)) {
      case 0: return Leaf();
      case 1: return "plus[" + a + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 2: return "power[" + a + (Pick(3) == 0 ? ",2]" : Pick(2) ? ",over[1,3]]" : ",over[2,3]]");
      case 3: return std::string(Pick(2) ? "sqrt[" : "sn[") + a + ",3]";  // forms with a Swap
      case 4: return "clamp[" + a + "," + Make(depth - 1) + "," + Make(depth - 1) + "]";
      case 5: return "besselj[" + a + "," + std::to_string(Pick(3)) + "]";
      case 6: return std::string(kBinary[Pick(plain ? 7 : 8)]) + "[" + a + "," + Make(depth - 1) + "]";
      case 7: return std::string(kUnary[Pick(plain ? 11 : 34)]) + "[" + a + "]";
      case 8: return "power[e," + a + "]";
      case 9: return "bsum[equal[n,1]," + (Pick(2) ? std::to_string(Pick(4)) : "x") + ",times[n," + a + "]]";
      case 11: {
        static const char* const kChains[] = {"lessthan", "leq", "greaterthan", "geq", "equal"};
        return std::string(kChains[Pick(5)]) + "[" + a + "," + Make(depth - 1) + (Pick(2) ? "]" : ",1]");
      }
      case 12: return "bsum[equal[k," + Leaf() + "]," + (Pick(2) ? "plus[y,2]" : "plus[a,3]") + ",over[" + a + ",k]]";
      default:
        return "branch[if[" + a + ",lessthan[x," + Make(depth - 1) + "]],if[" + Make(depth - 1) + ",geq[y,0.5]],y]";
    }
  }

  ExprNode* Arbitrary(int depth) {
    static const uint32_t kKinds[] = {
        KindPlus,    KindTimes,    KindMinus,    KindOver,       KindPower,   KindSqrt, KindLog,   KindSn,
        KindIf,      KindBranch,   KindEqual,    KindLessthan,   KindWedge,   KindVee,  KindComma, KindSum,
        KindBoundedSum, KindIndexes, KindMin,    KindClamp,      KindMod,     KindBesselj, KindInterval,
        KindFunction, KindId,      KindRe,       KindArg,        KindSin,     KindAngleOfPoint, KindSlider, KindFact};
    static const int16_t kSymbols[] = {'x', 'y', 'z', 'r', 'e', 'i', 'n', 'a', SymTheta, SymPhi, SymRho, SymPi, SymInf};
    const int pick = Pick(10);
    if (depth == 0 || pick < 3) {
      if (pick % 2 == 0) return NewNumberNode(Pick(7) - 2);
      return NewSymbolNode(kSymbols[Pick(sizeof kSymbols / sizeof kSymbols[0])]);
    }
    const int arity = Pick(4);
    ExprNode* node = NewNode(kKinds[Pick(sizeof kKinds / sizeof kKinds[0])], arity);
    for (int i = 0; i < arity; ++i) {
      node->children[i] = Arbitrary(depth - 1);
      node->children[i]->parent = node;
    }
    return node;
  }
};

}  // namespace evaltest
