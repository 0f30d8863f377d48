// Shared set-up of the formula text tests: a fixture that proves every test leaves the node
// pools and the counted heap as it found them, and a strict tree comparison that also checks
// what ExpressionsEqual ignores (display texts, matrix/index/tensor/chem parameters).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "kernel/app_services.h"
#include "kernel/error_register.h"
#include "kernel/expr_node.h"
#include "kernel/formula_reader.h"
#include "kernel/memory_budget.h"
#include "kernel/output_buffer.h"

class FormulaTextTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetOutputBuffers();
    ResetMemoryBudgetForTest();
    FailNodeAllocationAt(0);
    ResetErrorRegister();
    savedSeparator_ = GetDecimalSeparator();
    savedDigits_ = GetDisplayDigits();
    SetDecimalSeparator('.');
    SetDisplayDigits(8);
    ReleaseNodePools();
    blocksBefore_ = NodePoolBlocksInUse();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    FailNodeAllocationAt(0);
    ResetMemoryBudgetForTest();
    ResetOutputBuffers();
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore_) << "node pool blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytesBefore_) << "counted heap bytes leaked";
    SetDecimalSeparator(savedSeparator_);
    SetDisplayDigits(savedDigits_);
    ResetErrorRegister();
  }

  // Parses text; null when the reader refused it.
  static ExprNode* Parse(const std::string& text) {
    SetFormulaReaderText(text.c_str());
    return ParseFormulaText();
  }

  size_t blocksBefore_ = 0;
  size_t bytesBefore_ = 0;
  char savedSeparator_ = '.';
  int savedDigits_ = 8;
};

// Kinds, arities, values (NaN equals NaN), texts and parameters all agree.
inline bool StrictlyEqual(const ExprNode* a, const ExprNode* b, std::string* why) {
  auto differ = [&](const std::string& what) {
    if (why) *why = what;
    return false;
  };
  if (!a || !b) return a == b ? true : differ("one tree missing");
  if (a->kind != b->kind) return differ("kind " + std::to_string(a->kind) + " vs " + std::to_string(b->kind));
  switch (a->kind) {
    case KindNum: {
      double x = a->value.number->value, y = b->value.number->value;
      if (!(std::isnan(x) && std::isnan(y)) && std::memcmp(&x, &y, sizeof x) != 0) return differ("number value");
      if (std::strcmp(a->value.number->text, b->value.number->text) != 0)
        return differ(std::string("number text ") + a->value.number->text + " vs " + b->value.number->text);
      return true;
    }
    case KindString:
      if (std::strcmp(a->text ? a->text : "", b->text ? b->text : "") != 0) return differ("string text");
      return true;
    case KindChar:
    case KindDummy:
      if (a->value.symbol != b->value.symbol) return differ("symbol");
      break;
    case KindMatrix:
    case KindIndexes:
      if (a->value.halves.first != b->value.halves.first || a->value.halves.second != b->value.halves.second)
        return differ("shape");
      break;
    case KindTensor:
      if (a->value.tensorMask != b->value.tensorMask) return differ("tensor");
      break;
    case KindChem:
      if (std::memcmp(a->value.chem, b->value.chem, 4) != 0) return differ("chem");
      break;
    default: break;
  }
  if (a->arity != b->arity) return differ("arity of kind " + std::to_string(a->kind));
  for (int i = 0; i < a->arity; ++i) {
    if (!StrictlyEqual(a->children[i], b->children[i], why)) return false;
  }
  return true;
}
