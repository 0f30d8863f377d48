// The undo history on its own: a snapshot gives back the tree and the caret exactly (round trips
// over a table of carets in every mode), the stacks keep their order and their bound, a new step
// forgets the redo steps, and a refused allocation while recording or undoing loses nothing that
// was promised: the row stays whole and no step jumps over an unrecorded change.
#include <string>
#include <vector>

#include "document/undo_history.h"
#include "editor/caret_navigation.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

using formula_text::Bracket;
using formula_text::Written;

std::vector<int> PathOf(const FormulaEditor* e) {
  std::vector<int> path;
  for (const ExprNode* n = e->caretNode; n != e->root; n = n->parent) path.insert(path.begin(), IndexInParent(n));
  return path;
}

class UndoHistoryTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    InitTypesetting();
    editor_ = NewFormulaEditor();
    ASSERT_NE(editor_, nullptr);
  }
  void TearDown() override {
    history_.Clear();
    DisposeFormulaEditor(editor_);
    ResetTypesetGlobalsForTest();
    DocumentTest::TearDown();
  }
  // The editor's formula becomes the text, the caret on the node at the path in the mode.
  void Set(const char* formula, const std::vector<int>& path = {}, int mode = SelectionCaretNode, int start = 0,
           int end = 0) {
    ExprNode* tree = ReadWholeFormula(formula);
    ASSERT_NE(tree, nullptr) << formula;
    FreeExpression(editor_->root);
    editor_->root = tree;
    ExprNode* node = tree;
    for (int k : path) node = node->children[k];
    editor_->caretNode = node;
    editor_->selectionMode = mode;
    editor_->selectionStart = start;
    editor_->selectionEnd = end;
    const char* why = "";
    ASSERT_TRUE(CheckFormulaEditor(editor_, &why)) << formula << ": " << why;
  }
  UndoHistory history_;
  FormulaEditor* editor_ = nullptr;
};

TEST_F(UndoHistoryTest, SnapshotGivesBackTreeAndCaretInEveryMode) {
  const struct {
    const char* formula;
    std::vector<int> path;
    int mode, start, end;
  } cases[] = {
      {"equal[y,times[2,plus[x,3]]]", {1}, SelectionCaretNode, 0, 0},
      {"equal[y,times[2,plus[x,3]]]", {1, 1, 0}, SelectionCaretAfter, 0, 0},
      {"equal[y,plus[a,b,c,d]]", {1}, SelectionChildRange, 1, 2},
      {"equal[y,plus[a,b]]", {1}, SelectionOperator, 0, 0},
      {"equal[y,times[2,plus[x,3]]]", {0}, SelectionCaretBefore, 0, 0},
      {"equal[m,matrix[2,2,a,b,c,d]]", {1}, SelectionMatrixBlock, 0, 3},
      {"equal[y,times[12345,x]]", {1, 0}, SelectionDigits, 1, 3},
      {"equal[y,x]", {}, SelectionCaretNode, 0, 0},
  };
  for (const auto& c : cases) {
    Set(c.formula, c.path, c.mode, c.start, c.end);
    const std::string before = Bracket(editor_->root);
    ASSERT_TRUE(history_.Record(editor_));
    Set("equal[z,1]");
    EXPECT_EQ(history_.Undo(), editor_);
    EXPECT_EQ(Bracket(editor_->root), before);
    EXPECT_EQ(PathOf(editor_), c.path) << c.formula;
    EXPECT_EQ(editor_->selectionMode, c.mode) << c.formula;
    EXPECT_EQ(editor_->selectionStart, c.start) << c.formula;
    EXPECT_EQ(editor_->selectionEnd, c.end) << c.formula;
    EXPECT_EQ(editor_->layoutValid, 0);
    const char* why = "";
    EXPECT_TRUE(CheckFormulaEditor(editor_, &why)) << c.formula << ": " << why;
    // Redo brings the changed row back, and undo the original again.
    EXPECT_EQ(history_.Redo(), editor_);
    EXPECT_EQ(Bracket(editor_->root), Written("equal[z,1]"));
    history_.Undo();
    EXPECT_EQ(Bracket(editor_->root), before);
    history_.Clear();
  }
}

TEST_F(UndoHistoryTest, StepsComeBackNewestFirstAndANewStepForgetsRedo) {
  const char* states[] = {"equal[y,1]", "equal[y,2]", "equal[y,3]"};
  for (const char* s : states) {
    Set(s);
    ASSERT_TRUE(history_.Record(editor_));
  }
  Set("equal[y,4]");
  for (int i = 2; i >= 0; --i) {
    ASSERT_TRUE(history_.CanUndo());
    history_.Undo();
    EXPECT_EQ(Bracket(editor_->root), Written(states[i]));
  }
  EXPECT_FALSE(history_.CanUndo());
  EXPECT_EQ(history_.Undo(), nullptr) << "nothing left: no change";
  EXPECT_EQ(history_.RedoCount(), 3);
  history_.Redo();
  EXPECT_EQ(Bracket(editor_->root), Written("equal[y,2]"));
  ASSERT_TRUE(history_.Record(editor_));
  EXPECT_FALSE(history_.CanRedo()) << "a new step forgets the redo steps";
  EXPECT_EQ(history_.UndoCount(), 2);
}

TEST_F(UndoHistoryTest, KeepsTheNewestStepsUpToItsDepth) {
  for (int i = 0; i < kUndoDepth + 7; ++i) {
    Set(("equal[y," + std::to_string(i) + "]").c_str());
    ASSERT_TRUE(history_.Record(editor_));
  }
  EXPECT_EQ(history_.UndoCount(), kUndoDepth);
  for (int i = 0; i < kUndoDepth; ++i) history_.Undo();
  EXPECT_EQ(Bracket(editor_->root), Written("equal[y,7]")) << "the seven oldest went first";
}

TEST_F(UndoHistoryTest, ForgetDropsOnlyTheEditorsSteps) {
  FormulaEditor* other = NewFormulaEditor();
  ASSERT_NE(other, nullptr);
  Set("equal[y,1]");
  ASSERT_TRUE(history_.Record(editor_));
  ASSERT_TRUE(history_.Record(other));
  ASSERT_TRUE(history_.Record(editor_));
  history_.Forget(other);
  EXPECT_EQ(history_.UndoCount(), 2);
  EXPECT_EQ(history_.UndoEditor(), editor_);
  history_.Undo();
  EXPECT_EQ(history_.UndoEditor(), editor_);
  DisposeFormulaEditor(other);
}

// A held command in a full history keeps its first snapshot only and pushes it only when it
// changed something; a refused snapshot forgets the steps and no later one takes its place.
TEST_F(UndoHistoryTest, AHeldStepIsPushedOnlyForAChange) {
  const struct {
    bool changed, refused;
    int32_t steps;       // after the hold ends
    const char* oldest;  // the oldest step's row
  } cases[] = {
      {false, false, kUndoDepth, "equal[y,0]"},
      {true, false, kUndoDepth, "equal[y,1]"},
      {true, true, 0, nullptr},
      {false, true, 0, nullptr},
  };
  for (const auto& c : cases) {
    history_.Clear();
    for (int i = 0; i < kUndoDepth; ++i) {
      Set(("equal[y," + std::to_string(i) + "]").c_str());
      ASSERT_TRUE(history_.Record(editor_));
    }
    Set("equal[y,777]");
    history_.Hold();
    if (c.refused) FailNodeAllocationAt(1);
    EXPECT_EQ(history_.Record(editor_), !c.refused);
    FailNodeAllocationAt(0);
    SetOutOfMemoryFlag(false);
    Set("equal[y,888]");
    EXPECT_EQ(history_.Record(editor_), !c.refused) << "no second snapshot of the command";
    EXPECT_EQ(history_.EndHold(c.changed), c.changed && !c.refused);
    EXPECT_EQ(history_.UndoCount(), c.steps);
    if (c.oldest != nullptr) {
      EXPECT_EQ(Bracket(history_.UndoStep(0).tree), Written(c.oldest));
    }
    if (c.changed && !c.refused) {
      history_.Undo();
      EXPECT_EQ(Bracket(editor_->root), Written("equal[y,777]")) << "the state before the command";
    }
  }
}

// Every allocation of a recording refused in turn: either the step is there whole, or the history
// is empty (an undo then cannot skip the unrecorded change); the row is never touched.
TEST_F(UndoHistoryTest, RefusedMemoryWhileRecordingLeavesNoPartialStep) {
  int failures = 0;
  for (int seam = 0; seam < 2; ++seam) {
    for (uint64_t n = 1;; ++n) {
      history_.Clear();
      Set("equal[y,plus[times[2,x],sin[x]]]", {1, 1, 0}, SelectionCaretNode);
      ASSERT_TRUE(history_.Record(editor_));
      seam == 0 ? FailNodeAllocationAt(n) : FailAllocationAt(n);
      const bool recorded = history_.Record(editor_);
      const bool refused = (seam == 0 ? NodeAllocationAttempts() : CountedAllocationAttempts()) >= n;
      FailNodeAllocationAt(0);
      FailAllocationAt(0);
      SetOutOfMemoryFlag(false);
      EXPECT_EQ(Bracket(editor_->root), Written("equal[y,plus[times[2,x],sin[x]]]"));
      EXPECT_EQ(history_.UndoCount(), recorded ? 2 : 0) << seam << " " << n;
      failures += recorded ? 0 : 1;
      if (recorded) {
        Set("equal[z,1]");
        history_.Undo();
        EXPECT_EQ(Bracket(editor_->root), Written("equal[y,plus[times[2,x],sin[x]]]")) << seam << " " << n;
        EXPECT_EQ(PathOf(editor_), (std::vector<int>{1, 1, 0})) << seam << " " << n;
      }
      if (!refused) break;
    }
  }
  EXPECT_GT(failures, 0) << "some refusal reached the recording";
}

// Undo when the present state cannot be kept for redo: the row still comes back, the redo steps
// are forgotten rather than left pointing past the change.
TEST_F(UndoHistoryTest, UndoWithoutMemoryForRedoStillGivesTheRowBack) {
  Set("equal[y,1]");
  ASSERT_TRUE(history_.Record(editor_));
  Set("equal[y,2]");
  ASSERT_TRUE(history_.Record(editor_));
  Set("equal[y,3]");
  history_.Undo();
  ASSERT_EQ(history_.RedoCount(), 1);
  FailNodeAllocationAt(1, true);
  EXPECT_EQ(history_.Undo(), editor_);
  FailNodeAllocationAt(0);
  SetOutOfMemoryFlag(false);
  EXPECT_EQ(Bracket(editor_->root), Written("equal[y,1]"));
  EXPECT_EQ(history_.RedoCount(), 0);
  const char* why = "";
  EXPECT_TRUE(CheckFormulaEditor(editor_, &why)) << why;
}

// Deletion steps over a row list of their own: rows of the given formulas, each with an editor.
class RowDeletionTest : public UndoHistoryTest {
 protected:
  void TearDown() override {
    rowHistory_.Clear();
    for (int32_t i = 0; i < rows_.count; ++i) {
      if (rows_.data[i].editor != nullptr) {
        DisposeFormulaEditor(rows_.data[i].editor);
      } else {
        FreeExpression(rows_.data[i].expression);
      }
    }
    GrowArrayFree(rows_);
    UndoHistoryTest::TearDown();
  }
  FormulaEditor* AddRow(const char* formula) {
    FormulaEditor* e = NewFormulaEditor();
    EXPECT_NE(e, nullptr);
    FreeExpression(e->root);
    e->root = e->caretNode = ReadWholeFormula(formula);
    EquationRow row;
    row.editor = e;
    row.expression = e->root;
    EXPECT_TRUE(GrowArrayAppend(rows_, row));
    return e;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < rows_.count; ++i) out.push_back(Bracket(rows_.data[i].editor->root));
    return out;
  }
  GrowArray<EquationRow> rows_;
  UndoHistory rowHistory_{&rows_};
};

// A deleted row comes back at its index as the same editor, its older steps still usable; Redo
// takes it out again. Refused deletions leave the rows alone. Golden lists: by hand.
TEST_F(RowDeletionTest, ADeletedRowComesBackAtItsPlaceWithItsSteps) {
  FormulaEditor* a = AddRow("equal[y,1]");
  FormulaEditor* b = AddRow("equal[y,2]");
  FormulaEditor* c = AddRow("equal[y,3]");
  const struct {
    int32_t index;
  } refused[] = {{-1}, {3}, {100}};
  for (const auto& r : refused) EXPECT_FALSE(rowHistory_.RecordRowDeletion(r.index)) << r.index;
  EXPECT_EQ(rowHistory_.UndoCount(), 0);
  ASSERT_TRUE(rowHistory_.Record(b));
  FreeExpression(b->root);
  b->root = b->caretNode = ReadWholeFormula("equal[y,22]");
  rows_.data[1].graphRow = 4;
  rows_.data[1].resultMessage = 9;
  rows_.data[1].color = 5.0;
  ASSERT_TRUE(rowHistory_.RecordRowDeletion(1));
  EXPECT_EQ(Rows(), (std::vector<std::string>{Written("equal[y,1]"), Written("equal[y,3]")}));
  EXPECT_TRUE(rowHistory_.HoldsRow(b));
  rowHistory_.Forget(b);
  EXPECT_EQ(rowHistory_.UndoCount(), 2) << "the held row's steps are the history's own";
  EXPECT_EQ(rowHistory_.Undo(), b);
  ASSERT_EQ(rows_.count, 3);
  EXPECT_EQ(rows_.data[1].editor, b);
  EXPECT_EQ(rows_.data[1].color, 5.0) << "the row's own values come back";
  EXPECT_EQ(rows_.data[1].graphRow, -1) << "its graphs went with it";
  EXPECT_EQ(rows_.data[1].resultMessage, 0);
  EXPECT_FALSE(rowHistory_.HoldsRow(b));
  EXPECT_EQ(rowHistory_.Undo(), b);
  EXPECT_EQ(Bracket(b->root), Written("equal[y,2]"));
  EXPECT_EQ(rowHistory_.Redo(), b);
  EXPECT_EQ(rowHistory_.Redo(), b);
  EXPECT_EQ(Rows(), (std::vector<std::string>{Written("equal[y,1]"), Written("equal[y,3]")}));
  // Rows deleted before it: it comes back at its index clamped to the rows there are.
  ASSERT_TRUE(rowHistory_.RecordRowDeletion(1));
  ASSERT_TRUE(rowHistory_.RecordRowDeletion(0));
  EXPECT_FALSE(rowHistory_.CanRedo()) << "a deletion forgets the redo steps";
  EXPECT_EQ(rowHistory_.Undo(), a);
  EXPECT_EQ(rowHistory_.Undo(), c);
  EXPECT_EQ(rowHistory_.Undo(), b);
  EXPECT_EQ(Rows(), (std::vector<std::string>{Written("equal[y,1]"), Written("equal[y,22]"), Written("equal[y,3]")}));
  // A row without an editor is no step.
  EquationRow bare;
  bare.expression = ReadWholeFormula("equal[y,4]");
  ASSERT_TRUE(GrowArrayAppend(rows_, bare));
  EXPECT_FALSE(rowHistory_.RecordRowDeletion(3));
  EXPECT_EQ(rows_.count, 4);
}

// Putting a row back when the rows must grow and memory is refused: nothing changes, the step
// stays, and the next Undo gives the row back.
TEST_F(RowDeletionTest, RefusedGrowthKeepsTheDeletionStep) {
  FormulaEditor* first = AddRow("equal[y,0]");
  while (rows_.count < rows_.capacity) AddRow("equal[y,1]");
  ASSERT_TRUE(rowHistory_.RecordRowDeletion(0));
  AddRow("equal[y,2]");  // full again
  ASSERT_EQ(rows_.count, rows_.capacity);
  FailAllocationAt(1, true);
  EXPECT_EQ(rowHistory_.Undo(), nullptr);
  FailAllocationAt(0);
  SetOutOfMemoryFlag(false);
  EXPECT_TRUE(rowHistory_.HoldsRow(first));
  EXPECT_EQ(rowHistory_.UndoCount(), 1);
  EXPECT_EQ(rowHistory_.Undo(), first);
  EXPECT_EQ(rows_.data[0].editor, first);
  EXPECT_EQ(rows_.count, kGrowArrayFirstCapacity + 1);
}

// More deletions than the depth: the oldest steps go and the rows they held are freed (the
// fixture's byte count proves it); Clear frees the rest.
TEST_F(RowDeletionTest, StepsPastTheDepthFreeTheirRows) {
  for (int i = 0; i < kUndoDepth + 5; ++i) {
    AddRow(("equal[y," + std::to_string(i) + "]").c_str());
    ASSERT_TRUE(rowHistory_.RecordRowDeletion(0));
  }
  EXPECT_EQ(rows_.count, 0);
  EXPECT_EQ(rowHistory_.UndoCount(), kUndoDepth);
  for (int i = 0; i < 3; ++i) EXPECT_NE(rowHistory_.Undo(), nullptr);
  std::vector<std::string> newest;
  for (int i = kUndoDepth + 2; i < kUndoDepth + 5; ++i) newest.push_back(Written(("equal[y," + std::to_string(i) + "]").c_str()));
  EXPECT_EQ(Rows(), newest) << "the newest deletions come back first, each at index 0";
}

}  // namespace
