// Test support for the compiler, machines and compiled functions: a small reader of the bracket
// notation (plus[x,times[2,a]]) that builds trees straight from the node library, and helpers
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

#include "kernel/bytecode_compiler.h"
#include "kernel/compiled_function.h"
#include "kernel/disassembler.h"
#include "kernel/error_register.h"
#include "kernel/evaluation_seams.h"
#include "kernel/expr_node.h"
#include "kernel/node_kinds.h"

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

// Words: a one-letter word is that letter; a symbol keyword (pi, theta, ...) its id; digits and
// periods a number; "NaN"/"Infinity" those numbers; kind keywords followed by [operands]. The
// internal kinds are written bsum[...] (bounded sum) and pointangle[...].
class TreeReader {
 public:
  explicit TreeReader(const char* text) : p_(text) {}

  ExprNode* Read() {
    std::string word;
    while (std::isalnum(static_cast<unsigned char>(*p_)) || *p_ == '.' || *p_ == '\'') word += *p_++;
    if (*p_ != '[') {
      if (word == "NaN") return NewNumberNode(kNaN);
      if (word == "Infinity") return NewNumberNode(std::numeric_limits<double>::infinity());
      if (!word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '.')) {
        return NewNumberNode(std::strtod(word.c_str(), nullptr));
      }
      if (word.size() == 2 && word[1] == '\'') return NewSymbolNode(static_cast<int16_t>(0x7000 + word[0]));
      if (word.size() == 1) return NewSymbolNode(static_cast<int16_t>(word[0]));
      const int16_t id = LookUpSymbolName(word.c_str(), static_cast<int>(word.size()));
      return id != 0 ? NewSymbolNode(id) : nullptr;
    }
    ++p_;
    uint32_t kind = 0;
    if (word == "bsum") {
      kind = KindBoundedSum;
    } else if (word == "pointangle") {
      kind = KindAngleOfPoint;
    } else if (word == "dpartial") {
      kind = KindDerivativePartial;
    } else {
      kind = LookUpNodeKind(word.c_str(), static_cast<int>(word.size()));
    }
    ExprNode* children[256];
    int n = 0;
    while (*p_ != ']' && *p_ != 0) {
      if (n > 0) ++p_;  // ','
      children[n++] = Read();
    }
    if (*p_ == ']') ++p_;
    ExprNode* node = NewNode(kind, n);
    for (int i = 0; i < n; ++i) {
      node->children[i] = children[i];
      children[i]->parent = node;
    }
    return node;
  }

 private:
  const char* p_;
};

inline ExprNode* Tree(const char* text) { return TreeReader(text).Read(); }

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
