// The Math menu on a window in this process, the algebra installed as the program installs it:
// Expand on a selected product multiplies it out in the row, deletes the graphs until Return
// builds the new line, and Undo gives the product back with its selection.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "document/window_commands.h"
#include "editor/typeset_state.h"
#include "graphics/graphics_layer.h"
#include "kernel/kernel_startup.h"
#include "kernel/trees/expr_node.h"
#include "tests/document/formula_text_support.h"

namespace {

using formula_text::Bracket;
using formula_text::Written;

QDPoint Centre(const QDRect& r) { return QDPoint{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}; }

class WindowMathMenuTest : public testing::Test {
 protected:
  void SetUp() override {
    InitApplicationGlobals();
    InstallAlgebraSeams();
    ASSERT_TRUE(InitGraphicsLayer());
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(500, 500).graphPane);
  }
  void TearDown() override {
    window_.reset();
    document_.reset();
    ResetTypesetGlobalsForTest();
    ShutdownGraphicsLayer();
  }
  void Open(const char* row) {
    ASSERT_NE(document_->AppendEquationRow(ReadWholeFormula(row)), nullptr);
    window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
    ASSERT_TRUE(window_->Open(500, 500));
  }
  // Clicks Math, then the item of the code.
  MenuResult Choose(int32_t code) {
    window_->HandleMouseDown(Centre(window_->Menus().TitleRect(1)), 0, 1);
    const Menu& math = window_->Menus().MenuAt(1);
    for (int32_t i = 0; i < math.count; ++i)
      if (math.items[i].command == code) window_->HandleMouseDown(Centre(window_->Menus().ItemRect(i)), 0, 1);
    return window_->LastMenuAction().result;
  }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

TEST_F(WindowMathMenuTest, ExpandMultipliesOutTheSelectionAndUndoGivesItBack) {
  Open("equal[y,times[2,plus[x,3]]]");
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  ASSERT_TRUE(document_->graphsBuilt);
  FormulaEditor* e = window_->RowEditor(0);
  window_->FocusRow(0);
  e->caretNode = e->root->children[1];  // the term 2(x + 3)
  e->selectionMode = SelectionCaretNode;
  const std::string before = Bracket(e->root);  // the layout groups the sum: id[plus[x, 3]]
  EXPECT_EQ(Choose(0x2002), MenuResult::kChosen);
  EXPECT_EQ(Bracket(e->root), Written("equal[y,plus[times[2,x],6]]")) << "y = 2x + 6";
  EXPECT_EQ(document_->rows.data[0].expression, e->root);
  EXPECT_FALSE(document_->graphsBuilt) << "the graphs go with the edit";
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  EXPECT_TRUE(document_->graphsBuilt);
  EXPECT_EQ(document_->rows.data[0].resultMessage, 0);
  EXPECT_GE(document_->rows.data[0].graphRow, 0) << "the line is built";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Bracket(e->root), before);
  EXPECT_EQ(e->caretNode, e->root->children[1]) << "the term selected again";
  EXPECT_EQ(e->selectionMode, SelectionCaretNode);
}

// Each Math item runs its own code: a table of selections and what the item makes of them (hand
// worked where the result is one form; else only that the row changed).
TEST_F(WindowMathMenuTest, EachMathItemRunsItsCodeOnTheRow) {
  const struct {
    int32_t code;
    const char* formula;
    int child;
    const char* expected;  // hand-worked
  } cases[] = {
      {0x2000, "equal[y,plus[x,x]]", 1, "equal[y,times[2,x]]"},
      {0x2007, "equal[y,plus[1,2]]", 1, "equal[y,3]"},
      {0x2016, "equal[y,plus[x,3]]", 1, nullptr},
      {0x2108, "equal[y,plus[a,b]]", -1, nullptr},
  };
  Open("equal[y,x]");
  FormulaEditor* e = window_->RowEditor(0);
  for (const auto& c : cases) {
    FreeExpression(e->root);
    e->root = ReadWholeFormula(c.formula);
    document_->SyncRowsWithEditors();
    window_->FocusRow(0);
    e->caretNode = c.child >= 0 ? e->root->children[c.child] : e->root->children[1]->children[1];
    e->selectionMode = SelectionCaretNode;
    const std::string before = Bracket(e->root);
    EXPECT_EQ(Choose(c.code), MenuResult::kChosen) << c.formula;
    if (c.expected != nullptr) {
      EXPECT_EQ(Bracket(e->root), Written(c.expected)) << c.formula;
    } else {
      EXPECT_NE(Bracket(e->root), before) << c.formula;
    }
  }
}

}  // namespace
