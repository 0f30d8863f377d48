// Shared set-up of the formula text tests: a fixture that proves every test leaves the node
// pools and the counted heap as it found them, with "." and 8 display digits in force.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/output_buffer.h"
#include "kernel/trees/expr_node.h"
#include "tests/kernel/text/formula_tree_compare.h"

class FormulaTextTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetOutputBuffers();
    ResetMemoryBudgetForTest();
    FailNodeAllocationAt(0);
    ResetErrorRegister();
    ResetNumberSettingsForTests();
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
    ResetNumberSettingsForTests();
    ResetErrorRegister();
  }

  // Parses text; null when the reader refused it.
  static ExprNode* Parse(const std::string& text) {
    SetFormulaReaderText(text.c_str());
    return ParseFormulaText();
  }

  size_t blocksBefore_ = 0;
  size_t bytesBefore_ = 0;
};

// The text a formatter returned, freed; "<null>" when it refused.
inline std::string TakeText(char* text) {
  std::string out = text ? text : "<null>";
  FreeMemory(text);
  return out;
}

// A chain of `depth` one-operand nodes of `kind` above a char node x.
inline ExprNode* NestedChain(uint32_t kind, int depth) {
  ExprNode* root = NewSymbolNode('x');
  for (int i = 0; i < depth && root != nullptr; ++i) {
    if (!WrapInUnary(root, kind)) break;
  }
  return root;
}
