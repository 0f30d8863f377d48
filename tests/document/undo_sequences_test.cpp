// Undo over sequences that start with a code changing nothing (every Math code where it cannot
// act, Clear of nothing, Paste of nothing or of text that is no formula, Backspace at a row's
// start), sent from the menu and from the keys, with an empty, a partly full and a full history,
// then followed by a change (typing, a move, a command). The code that changed nothing keeps the
// graphs and records no step, whichever way it came; the change after it is a step of its own;
// Undo gives back exactly the row before the change, and no older step was lost to make room.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/editor_hooks.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

using formula_text::Bracket;
using formula_text::Written;

constexpr int32_t kSize = 300;
constexpr int32_t kNoKey = 0;
constexpr const char* kRow = "equal[y,plus[a,b]]";

// The row's state as Undo must give it back: its tree and where its caret is.
struct RowState {
  std::string tree;
  std::vector<int> path;
  int32_t mode, start, end;
  bool operator==(const RowState&) const = default;
};

RowState StateOf(const FormulaEditor* e) {
  RowState s{Bracket(e->root), {}, e->selectionMode, e->selectionStart, e->selectionEnd};
  for (const ExprNode* n = e->caretNode; n != e->root; n = n->parent) s.path.insert(s.path.begin(), IndexInParent(n));
  return s;
}

std::string Describe(const RowState& s) {
  std::string text = s.tree + " at";
  for (int k : s.path) text += " " + std::to_string(k);
  return text + " mode " + std::to_string(s.mode) + " " + std::to_string(s.start) + ":" + std::to_string(s.end);
}

// The key that sends a code (Control for Command), or kNoKey for a code only a menu has.
EditKeyEvent KeyOf(int32_t code) {
  const struct {
    int32_t code;
    uint8_t character, modifiers;
  } keys[] = {
      {0x2103, kKeyLeftArrow, kKeyCommand},  {0x2100, kKeyRightArrow, kKeyCommand},
      {0x2105, kKeyLeftArrow, kKeyCommand | kKeyShift}, {0x2102, kKeyRightArrow, kKeyCommand | kKeyShift},
      {0x2106, kKeyUpArrow, kKeyCommand},    {0x2107, kKeyDownArrow, kKeyCommand},
      {kCodeClear, kKeyEscape, 0},           {kCodeBackspace, kKeyBackspace, 0},
  };
  for (const auto& k : keys)
    if (k.code == code) return EditKeyEvent{k.character, k.character, k.modifiers};
  return EditKeyEvent{kNoKey, kNoKey, 0};
}

class UndoSequencesTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    Close();
    DocumentTest::TearDown();
  }
  void Close() {
    document_test::CloseWindowForTest(window_, document_);
    ResetErrorRegister();
  }
  // Row 0 the formula with its graphs built, row 1 "z = 0", and `held` real steps of row 1 in the
  // history (the oldest holds z = 0, the newest z = held - 1), in a window `size` pixels square.
  void Open(int32_t held, int32_t size = kSize) {
    Close();
    InstallAlgebraSeams();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(size, size).graphPane);
    for (const char* row : {kRow, "equal[z,0]"}) ASSERT_NE(document_->AppendEquationRow(ReadWholeFormula(row)), nullptr);
    window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
    ASSERT_TRUE(window_->Open(size, size));
    FormulaEditor* z = window_->RowEditor(1);
    for (int32_t k = 0; k < held; ++k) {
      ASSERT_TRUE(document_->undo.Record(z));
      FreeExpression(z->root);
      z->root = z->caretNode = ReadWholeFormula(("equal[z," + std::to_string(k + 1) + "]").c_str());
    }
    document_->SyncRowsWithEditors();
    window_->FocusRow(0);
    window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    ASSERT_TRUE(document_->graphsBuilt);
  }
  // Row 0 active, the caret on the node at the path in the mode, as a click leaves it.
  void Select(const std::vector<int>& path, int32_t mode) {
    window_->FocusRow(0);
    FormulaEditor* e = window_->RowEditor(0);
    ExprNode* node = e->root;
    for (int k : path) node = node->children[k];
    e->caretNode = node;
    e->selectionMode = mode;
    e->selectionStart = e->selectionEnd = 0;
    ResetEditCommandHistory();
  }
  // Sends the code by its key when `keys` and it has one, otherwise as the menu's command (Paste
  // of nothing, whose item is disabled, as the code its key would send).
  void Send(int32_t code, bool keys) {
    const EditKeyEvent key = KeyOf(code);
    if (keys && key.character != kNoKey) {
      window_->HandleKey(key);
    } else if (!window_->ChooseCommand(code)) {
      window_->RunEditCode(code);
    }
  }
  std::string OldestStep() const { return Bracket(document_->undo.UndoStep(0).tree); }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// Each code changing nothing where it is sent: its selection in y = a + b, and a move and a
// command that then do change the row. The Math codes' places were found by running each on
// every node of the row.
struct NothingCase {
  int32_t code;
  std::vector<int> path;
  int32_t mode;
  const char* select;     // caret motions before the move or the command, as typed
  int32_t move, command;  // change the row from that selection
};

const NothingCase kNothingCases[] = {
    {0x2000, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // Simplify on b
    {0x2002, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // Expand
    {0x201B, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // Expand Special Forms
    {0x2007, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // Evaluate Numerically on a parameter
    {0x2016, {0}, SelectionCaretNode, "", 0x2100, kCodeClear},     // Solve for y: solved already
    {0x2100, {1}, SelectionCaretNode, "", 0x2103, kCodeClear},     // the right side moves no further right
    {0x2101, {1}, SelectionCaretNode, "", 0x2103, kCodeClear},
    {0x2102, {1}, SelectionCaretNode, "", 0x2103, kCodeClear},
    {0x2103, {0}, SelectionCaretNode, "", 0x2100, kCodeClear},     // nor y further left
    {0x2104, {0}, SelectionCaretNode, "", 0x2100, kCodeClear},
    {0x2105, {0}, SelectionCaretNode, "", 0x2100, kCodeClear},
    {0x2106, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // nothing to raise or lower
    {0x2107, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},
    {0x2108, {1, 0}, SelectionCaretNode, "", 0x2109, kCodeClear},  // a has no left neighbour
    {0x2109, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // b has no right neighbour
    {kCodeClear, {1, 1}, SelectionCaretAfter, "{Shift-Left}", 0x2108, kCodeClear},  // nothing selected
    {kCodePaste, {1, 1}, SelectionCaretNode, "", 0x2108, kCodeClear},  // nothing to paste
    {kCodeBackspace, {}, SelectionCaretBefore, "{Right}{Shift-Right}", 0x2100, kCodeClear},  // at the start
};

TEST_F(UndoSequencesTest, ACodeThatChangesNothingLeavesTheHistoryAndTheNextChangeIsItsOwnStep) {
  enum Then { kTyping, kMove, kCommand };
  for (const NothingCase& c : kNothingCases) {
    for (bool keys : {false, true}) {
      for (int32_t held : {0, 40, kUndoDepth}) {
        for (Then then : {kTyping, kMove, kCommand}) {
          char code[16];
          std::snprintf(code, sizeof code, "0x%X", unsigned(c.code));
          const std::string what = std::string(code) + (keys ? " by key" : " by menu") + ", " +
                                   std::to_string(held) + " steps held, then " +
                                   (then == kTyping ? "typing" : then == kMove ? "a move" : "a command");
          Open(held);
          if (HasFatalFailure()) return;
          Select(c.path, c.mode);
          FormulaEditor* e = window_->RowEditor(0);
          const RowState start = StateOf(e);
          Send(c.code, keys);
          ASSERT_EQ(StateOf(e), start) << what << ": the code must change nothing here, " << Describe(StateOf(e));
          EXPECT_TRUE(document_->graphsBuilt) << what;
          EXPECT_EQ(document_->rows.data[0].expression, e->root) << what;
          EXPECT_EQ(document_->undo.UndoCount(), held) << what << ": no step recorded";
          if (held > 0) {
            EXPECT_EQ(document_->undo.UndoEditor(), window_->RowEditor(1)) << what;
            EXPECT_EQ(OldestStep(), Written("equal[z,0]")) << what << ": no old step dropped";
          }
          if (then != kTyping) document_test::TypeKeys(window_.get(), c.select);
          const RowState before = StateOf(e);
          if (then == kTyping) {
            document_test::TypeKeys(window_.get(), "c");
          } else {
            Send(then == kMove ? c.move : c.command, keys);
          }
          ASSERT_NE(StateOf(e).tree, start.tree) << what << ": the change must change the row";
          EXPECT_FALSE(document_->graphsBuilt) << what;
          const int32_t steps = std::min(held + 1, kUndoDepth);
          EXPECT_EQ(document_->undo.UndoCount(), steps) << what;
          EXPECT_EQ(OldestStep(), Written(held + 1 > kUndoDepth ? "equal[z,1]" : held > 0 ? "equal[z,0]" : kRow))
              << what;
          const RowState changed = StateOf(e);
          ASSERT_TRUE(window_->ChooseCommand(kCommandUndo)) << what;
          EXPECT_EQ(StateOf(e), before) << what << ": " << Describe(StateOf(e)) << " for " << Describe(before);
          EXPECT_EQ(document_->undo.UndoCount(), steps - 1) << what;
          ASSERT_TRUE(window_->ChooseCommand(kCommandRedo)) << what;
          EXPECT_EQ(StateOf(e), changed) << what;
        }
      }
    }
  }
}

// The user's sequence: y = a + b typed, b selected with Shift+Left, Swap with Right Neighbour
// (nothing), Swap with Left Neighbour (b + a), Undo: the typed row with b selected, not the empty
// prompt; a second Undo takes the typing back.
TEST_F(UndoSequencesTest, ASwapThatCannotMoveLosesNoTyping) {
  Open(0);
  window_->FocusRow(2);
  ResetEditCommandHistory();  // the click into the new row
  FormulaEditor* e = window_->RowEditor(2);
  const std::string empty = Bracket(e->root);
  document_test::TypeKeys(window_.get(), "y=a+b{Shift-Left}");
  const RowState typed = StateOf(e);
  ASSERT_EQ(typed.tree, Written("equal[y,plus[a,b]]"));
  ASSERT_TRUE(window_->ChooseCommand(0x2109));
  ASSERT_TRUE(window_->ChooseCommand(0x2108));
  ASSERT_EQ(Bracket(e->root), Written("equal[y,plus[b,a]]"));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(e), typed) << Describe(StateOf(e));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Bracket(e->root), empty);
}

// A blocked move inside a run of moves ends the run: the move after it is its own step. Blanks in
// a run of letters change nothing and keep the letters one step.
TEST_F(UndoSequencesTest, ABlockedMoveEndsTheRunButABlankKeepsTheLetters) {
  Open(0);
  Select({1, 0}, SelectionCaretNode);  // a in a + b
  FormulaEditor* e = window_->RowEditor(0);
  Send(0x2109, true);                  // b + a
  ASSERT_EQ(Bracket(e->root), Written("equal[y,plus[b,a]]"));
  Send(0x2109, true);                  // a is last now: nothing
  const RowState moved = StateOf(e);
  Send(0x2108, true);                  // a + b again
  ASSERT_EQ(Bracket(e->root), Written(kRow));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(e), moved) << Describe(StateOf(e));
  window_->FocusRow(2);
  ResetEditCommandHistory();
  document_test::TypeKeys(window_.get(), "y = 2");
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_TRUE(IsPromptRoot(window_->RowEditor(2))) << "one step for y = 2";
}

// A code that changes nothing forgets no redo step: Redo still gives back what was undone.
TEST_F(UndoSequencesTest, ACodeThatChangesNothingKeepsTheRedoSteps) {
  Open(0);
  Select({1, 1}, SelectionCaretNode);  // b
  FormulaEditor* e = window_->RowEditor(0);
  ASSERT_TRUE(window_->ChooseCommand(0x2108));
  ASSERT_EQ(Bracket(e->root), Written("equal[y,plus[b,a]]"));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  ASSERT_EQ(document_->undo.RedoCount(), 1);
  ASSERT_TRUE(window_->ChooseCommand(0x2000));  // Simplify on b: nothing
  EXPECT_EQ(document_->undo.RedoCount(), 1);
  ASSERT_TRUE(window_->ChooseCommand(kCommandRedo));
  EXPECT_EQ(Bracket(e->root), Written("equal[y,plus[b,a]]"));
}

// A term dragged with the mouse past its neighbour is moved as its key moves it: an edit that
// takes the graphs away and one undo step; a click that drags nothing keeps both.
TEST_F(UndoSequencesTest, ATermDraggedWithTheMouseIsAnEditOfOneStep) {
  Open(0, 3 * kSize);  // every row in view, none under the menu bar
  Select({1, 0}, SelectionCaretNode);  // a
  FormulaEditor* e = window_->RowEditor(0);
  FixedRect a{}, b{};
  GetNodeRect(e->root->children[1]->children[0], &a);
  GetNodeRect(e->root->children[1]->children[1], &b);
  const auto at = [&](Fixed h) {
    return QDPoint{int16_t(e->frame.top + FixedToPixels((a.top + a.bottom) / 2)), int16_t(e->frame.left + FixedToPixels(h))};
  };
  // One crossing of a's right edge by more than the 12 pixels that move a term once.
  const QDPoint start = at((a.left + a.right) / 2), end = at(a.right + (b.left - a.right) / 2 + 14 * kFixedOne);
  ASSERT_LT(end.h, e->frame.left + FixedToPixels(b.right)) << "within b: one move, no combining";
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  window_->HandleMouseDown(start, 0, 1);  // a click: nothing moves
  EXPECT_EQ(Bracket(e->root), Written(kRow));
  EXPECT_TRUE(document_->graphsBuilt);
  EXPECT_EQ(document_->undo.UndoCount(), 0);
  Select({1, 0}, SelectionCaretNode);
  for (int k = 1; k <= 4; ++k)
    pointer.Push({1000, PointerEventKind::kMoved, QDPoint{start.v, int16_t(start.h + (end.h - start.h) * k / 4)}});
  pointer.Push({1000, PointerEventKind::kReleased, end});
  window_->HandleMouseDown(start, 0, 1);
  SetPointerSource(nullptr);
  ASSERT_EQ(Bracket(e->root), Written("equal[y,plus[b,a]]"));
  EXPECT_FALSE(document_->graphsBuilt) << "the graphs of y = a + b are gone";
  EXPECT_EQ(document_->rows.data[0].expression, e->root);
  EXPECT_EQ(document_->undo.UndoCount(), 1);
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Bracket(e->root), Written(kRow));
}

}  // namespace
