// Undo around codes that change nothing, blocked moves and dragged terms: what changes nothing
// records no step and drops none; the change after it is a step of its own.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/editor_hooks.h"
#include "editor/formula_editor.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/node_builders.h"
#include "platform/clock.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

using formula_text::Bracket;
using formula_text::Written;

constexpr int32_t kSize = 300;
constexpr const char* kRow = "equal[y,plus[a,b]]";
constexpr const char* kSwapped = "equal[y,plus[b,a]]";

// The row's state as Undo must give it back: its tree and where its caret is.
struct RowState {
  std::string tree;
  std::vector<int> path;
  int32_t mode, start, end;
  bool operator==(const RowState&) const = default;
};

void PrintTo(const RowState& s, std::ostream* out) {
  *out << s.tree << " at";
  for (int k : s.path) *out << ' ' << k;
  *out << " mode " << s.mode << ' ' << s.start << ':' << s.end;
}

RowState StateOf(const FormulaEditor* e) {
  RowState s{Bracket(e->root), {}, e->selectionMode, e->selectionStart, e->selectionEnd};
  for (const ExprNode* n = e->caretNode; n != e->root; n = n->parent) s.path.insert(s.path.begin(), IndexInParent(n));
  return s;
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
  // Sends the code by its key (Control for Command) when `keys` and it has one, otherwise as the
  // menu's command (Paste of nothing, whose item is disabled, as the code its key would send).
  void Send(int32_t code, bool keys) {
    static const struct {
      int32_t code;
      uint8_t character, modifiers;
    } kKeys[] = {
        {0x2103, kKeyLeftArrow, kKeyCommand},  {0x2100, kKeyRightArrow, kKeyCommand},
        {0x2105, kKeyLeftArrow, kKeyCommand | kKeyShift}, {0x2102, kKeyRightArrow, kKeyCommand | kKeyShift},
        {0x2106, kKeyUpArrow, kKeyCommand},    {0x2107, kKeyDownArrow, kKeyCommand},
        {kCodeClear, kKeyEscape, 0},           {kCodeBackspace, kKeyBackspace, 0},
    };
    for (const auto& k : kKeys) {
      if (keys && k.code == code) {
        window_->HandleKey(EditKeyEvent{k.character, k.character, k.modifiers});
        return;
      }
    }
    if (!window_->ChooseCommand(code)) window_->RunEditCode(code);
  }
  std::string OldestStep() const { return Bracket(document_->undo.UndoStep(0).tree); }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

// Each code changing nothing where it is sent in y = a + b, and a move that then does change the
// row (Clear the command that does). The Math codes' places were found by running each on every
// node of the row.
struct NothingCase {
  int32_t code;
  std::vector<int> path;
  int32_t move;
  int32_t mode = SelectionCaretNode;
  const char* select = "";  // caret motions before the move or Clear, as typed
};

const NothingCase kNothingCases[] = {
    // On b: Simplify, Expand, Expand Special Forms, Evaluate Numerically, nothing to raise or lower.
    {0x2000, {1, 1}, 0x2108}, {0x2002, {1, 1}, 0x2108}, {0x201B, {1, 1}, 0x2108}, {0x2007, {1, 1}, 0x2108},
    {0x2106, {1, 1}, 0x2108}, {0x2107, {1, 1}, 0x2108},
    {0x2016, {0}, 0x2100},  // Solve for y: solved already
    // The right side moves no further right, nor y further left.
    {0x2100, {1}, 0x2103}, {0x2101, {1}, 0x2103}, {0x2102, {1}, 0x2103},
    {0x2103, {0}, 0x2100}, {0x2104, {0}, 0x2100}, {0x2105, {0}, 0x2100},
    {0x2108, {1, 0}, 0x2109}, {0x2109, {1, 1}, 0x2108},  // a has no left neighbour, b no right one
    {kCodeClear, {1, 1}, 0x2108, SelectionCaretAfter, "{Shift-Left}"},  // nothing selected
    {kCodePaste, {1, 1}, 0x2108},                                        // nothing to paste
    {kCodeBackspace, {}, 0x2100, SelectionCaretBefore, "{Right}{Shift-Right}"},  // at the start
};

// From the menu and from the keys, with an empty, a partly full and a full history, then typing,
// a move or a command: Undo gives back exactly the row before the change, no older step is lost,
// and the code sent again keeps the redo step.
TEST_F(UndoSequencesTest, ACodeThatChangesNothingLeavesTheHistoryAndTheNextChangeIsItsOwnStep) {
  enum Then { kTyping, kMove, kCommand };
  for (const NothingCase& c : kNothingCases) {
    for (bool keys : {false, true}) {
      for (int32_t held : {0, 40, kUndoDepth}) {
        for (Then then : {kTyping, kMove, kCommand}) {
          SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << c.code << std::dec << (keys ? " by key, " : " by menu, ")
                                          << held << " steps held, then " << (then == kTyping ? "typing" : then == kMove ? "a move" : "a command"));
          Open(held);
          if (HasFatalFailure()) return;
          Select(c.path, c.mode);
          FormulaEditor* e = window_->RowEditor(0);
          const RowState start = StateOf(e);
          Send(c.code, keys);
          ASSERT_EQ(StateOf(e), start) << "the code must change nothing here";
          EXPECT_TRUE(document_->graphsBuilt);
          EXPECT_EQ(document_->rows.data[0].expression, e->root);
          EXPECT_EQ(document_->undo.UndoCount(), held);
          if (held > 0) {
            EXPECT_EQ(OldestStep(), Written("equal[z,0]"));
          }
          if (then != kTyping) document_test::TypeKeys(window_.get(), c.select);
          const RowState before = StateOf(e);
          if (then == kTyping) {
            document_test::TypeKeys(window_.get(), "c");
          } else {
            Send(then == kMove ? c.move : kCodeClear, keys);
          }
          ASSERT_NE(StateOf(e).tree, start.tree) << "the change must change the row";
          EXPECT_FALSE(document_->graphsBuilt);
          const int32_t steps = std::min(held + 1, kUndoDepth);
          EXPECT_EQ(document_->undo.UndoCount(), steps);
          EXPECT_EQ(OldestStep(), Written(held + 1 > kUndoDepth ? "equal[z,1]" : held > 0 ? "equal[z,0]" : kRow));
          const RowState changed = StateOf(e);
          ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
          EXPECT_EQ(StateOf(e), before);
          if (then == kTyping) Send(c.code, keys);  // changes nothing again: the redo step stays
          ASSERT_TRUE(window_->ChooseCommand(kCommandRedo));
          EXPECT_EQ(StateOf(e), changed);
        }
      }
    }
  }
}

// A blocked move inside a run of moves ends the run: the move after it is its own step. In a new
// row, y = a + b typed with blanks, b selected, a swap that cannot move and one that does: Undo
// gives back the typed row with b selected, a second Undo the empty row (the typing one step).
TEST_F(UndoSequencesTest, ABlockedMoveEndsTheRunAndLosesNoTyping) {
  Open(0);
  Select({1, 0}, SelectionCaretNode);  // a in a + b
  FormulaEditor* e = window_->RowEditor(0);
  Send(0x2109, true);  // b + a
  ASSERT_EQ(Bracket(e->root), Written(kSwapped));
  Send(0x2109, true);  // a is last now: nothing
  const RowState moved = StateOf(e);
  Send(0x2108, true);  // a + b again
  ASSERT_EQ(Bracket(e->root), Written(kRow));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(e), moved);

  window_->FocusRow(2);
  ResetEditCommandHistory();  // the click into the new row
  FormulaEditor* typed = window_->RowEditor(2);
  document_test::TypeKeys(window_.get(), "y = a + b{Shift-Left}");
  const RowState state = StateOf(typed);
  for (int32_t code : {0x2109, 0x2108}) ASSERT_TRUE(window_->ChooseCommand(code));
  ASSERT_EQ(Bracket(typed->root), Written(kSwapped));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(typed), state);
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_TRUE(IsPromptRoot(typed));
}

// A term dragged past its neighbour moves as its key moves it: an edit that takes the graphs away
// and one undo step; a click that drags nothing keeps both.
TEST_F(UndoSequencesTest, ATermDraggedWithTheMouseIsAnEditOfOneStep) {
  Open(0, 3 * kSize);  // every row in view, none under the menu bar
  FormulaEditor* e = window_->RowEditor(0);
  FixedRect a{}, b{};
  GetNodeRect(e->root->children[1]->children[0], &a);
  GetNodeRect(e->root->children[1]->children[1], &b);
  const int16_t v = int16_t(e->frame.top + FixedToPixels((a.top + a.bottom) / 2));
  const auto h = [&](Fixed x) { return int16_t(e->frame.left + FixedToPixels(x)); };
  // One crossing of a's right edge by more than the 12 pixels that move a term once, within b.
  const QDPoint start{v, h((a.left + a.right) / 2)}, end{v, h(a.right + (b.left - a.right) / 2 + 14 * kFixedOne)};
  ASSERT_LT(end.h, h(b.right)) << "within b: one move, no combining";
  FakeClock clock;
  ScriptedPointerSource pointer(&clock);
  SetPointerSource(&pointer);
  for (int moves : {0, 4}) {  // a click, then the drag
    Select({1, 0}, SelectionCaretNode);
    for (int k = 1; k <= moves; ++k) pointer.Push({1000, PointerEventKind::kMoved, QDPoint{v, int16_t(start.h + (end.h - start.h) * k / 4)}});
    if (moves > 0) pointer.Push({1000, PointerEventKind::kReleased, end});
    window_->HandleMouseDown(start, 0, 1);
    ASSERT_EQ(Bracket(e->root), Written(moves > 0 ? kSwapped : kRow));
    EXPECT_EQ(document_->graphsBuilt, moves == 0);
    EXPECT_EQ(document_->rows.data[0].expression, e->root);
    EXPECT_EQ(document_->undo.UndoCount(), moves > 0 ? 1 : 0);
  }
  SetPointerSource(nullptr);
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Bracket(e->root), Written(kRow));
}

}  // namespace
