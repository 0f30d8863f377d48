// Test support for the compiler, machines and compiled functions: trees in the bracket notation
// (plus[x,times[2,a]]) built straight from the node library, and helpers
// that compile and evaluate in one step, and the fixture every machine test starts from (fresh
// seams, an empty error register, scratch for the fixed slots). Test-only; the formula reader
// proper lives elsewhere.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/disassembler.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace evaltest {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Each test starts and ends with default seams and no recorded error, so no test sees another's.
class EvaluationFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluationSeams();
    ResetErrorRegister();
    EnsureEvalScratch(kFixedSlotCount);
  }
  void TearDown() override {
    ResetEvaluationSeams();
    ResetErrorRegister();
  }
};

// A tree in the bracket notation: kind[operand, ...].
inline ExprNode* Tree(const char* text) { return tree_test::Reader(text, '[', ']').Term(); }

// A function over the tree, not yet compiled (the caller disposes it with Free).
inline CompiledFunction* Function(const char* text) {
  auto* f = new CompiledFunction{};
  InitFunction(f, Tree(text));
  return f;
}

inline void Free(CompiledFunction* f) {
  DisposeFunction(f);
  delete f;
}

// Listing of a tree compiled without a binding table (the listing mode of the compiler's own
// examples).
inline std::string ListingWithoutBindings(const char* text) {
  ExprNode* tree = Tree(text);
  CompiledCode* code = NewCompiledCode();
  CompileExpression(code, tree, nullptr, false);
  std::string listing = DisassembleCodeInline(code);
  FreeCompiledCode(code);
  FreeExpression(tree);
  return listing;
}

// Compiles the function alone and returns its listing.
inline std::string Listing(CompiledFunction* f) { return DisassembleCodeInline(f->code); }

// Value of a tree at (x, y, z) through the real machine, compiled as a function of its own.
inline double ValueAt(const char* text, double x = 0, double y = 0, double z = 0) {
  CompiledFunction* f = Function(text);
  CompileFunction(f);
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

}  // namespace evaltest
