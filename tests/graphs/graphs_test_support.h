// Shared set-up of the graph tests: a fixture that resets the process-wide records and proves no
// node or counted byte outlives a test, formula text read by the kernel's reader (blanks are
// dropped first, so tables stay readable), and a recording document that holds rows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphs/document_services.h"
#include "graphs/graphs_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/tree_seams.h"

namespace graphs_test {

class GraphsTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetMemoryBudgetForTest();
    ResetErrorRegister();
    ResetGraphsStateForTests();
    ResetTreeSeams();
    ResetEvaluationSeams();
    ReleaseNodePools();
    blocksBefore_ = NodePoolBlocksInUse();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    FailAllocationAt(0);
    FailNodeAllocationAt(0);
    ResetGraphsStateForTests();
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore_) << "node pool blocks leaked";
    EXPECT_EQ(GetBytesInUse(), bytesBefore_) << "counted heap bytes leaked";
    ResetErrorRegister();
  }
  size_t blocksBefore_ = 0;
  size_t bytesBefore_ = 0;
};

// The tree of a bracket formula text (blanks removed); fails the test when the reader refuses.
inline ExprNode* Parse(const std::string& text) {
  std::string compact;
  for (char c : text) {
    if (c != ' ') compact += c;
  }
  SetFormulaReaderText(compact.c_str());
  ExprNode* tree = ParseFormulaText();
  EXPECT_NE(tree, nullptr) << "unreadable: " << text;
  return tree;
}

// A document that records the services asked of it and holds rows built from formula text.
class FakeDocument : public DocumentServices {
 public:
  ~FakeDocument() override {
    for (EquationRow& row : rows) FreeExpression(row.expression);
  }
  EquationRow& AddRow(const std::string& text) {
    EquationRow row;
    row.expression = Parse(text);
    rows.push_back(row);
    return rows.back();
  }
  void MarkDocumentDirty() override { log.push_back("dirty"); }
  void SetDocumentModified(bool m) override { log.push_back(m ? "modified" : "unmodified"); }
  void RedrawGraphPaneNow() override { log.push_back("redraw"); }
  void RedrawMessageRectsNow() override { log.push_back("messages"); }
  void ResetTextFieldState() override { log.push_back("textfield"); }
  void AdjustCursor() override { log.push_back("cursor"); }
  bool IsBenchmarkRunning() const override { return false; }
  void SetDocumentRebuildFlag() override { log.push_back("rebuild"); }
  void SetToolbarHelpTags(int32_t code, int32_t a0, int32_t a1, int32_t p0, int32_t p1) override {
    log.push_back("tags " + std::to_string(code) + " " + std::to_string(a0) + std::to_string(a1) + " " +
                  std::to_string(p0) + std::to_string(p1));
  }
  int32_t RowCount() const override { return static_cast<int32_t>(rows.size()); }
  const EquationRow& RowAt(int32_t i) const override { return rows[static_cast<size_t>(i)]; }

  std::vector<EquationRow> rows;
  std::vector<std::string> log;
};

}  // namespace graphs_test
