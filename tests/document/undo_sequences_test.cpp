// Undo around codes that change nothing or only the caret, blocked moves and dragged terms: what
// changes no formula records no step and drops none; the change after it is a step of its own.
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
constexpr const char* kProduct = "equal[y,times[2,x,abs[x]]]";
constexpr const char* kGrouped = "equal[y,times[2,id[x]]]";
constexpr int32_t kClick = -1;  // a click on the middle of b, as a code of the table

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
  // Row 0 the formula (y = a + b unless given) with its graphs built, row 1 "z = 0", and `held`
  // real steps of row 1 in the history (the oldest holds z = 0, the newest z = held - 1), in a
  // window `size` pixels square.
  void Open(int32_t held, int32_t size = kSize, const char* first = kRow) {
    Close();
    InstallAlgebraSeams();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(size, size).graphPane);
    for (const char* row : {first, "equal[z,0]"}) ASSERT_NE(document_->AppendEquationRow(ReadWholeFormula(row)), nullptr);
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
  // menu's command (Paste of nothing, whose item is disabled, and the caret motions, as the code
  // their key would send); kClick clicks b.
  void Send(int32_t code, bool keys) {
    static const struct {
      int32_t code;
      uint8_t character, modifiers;
    } kKeys[] = {
        {0x2103, kKeyLeftArrow, kKeyCommand},  {0x2100, kKeyRightArrow, kKeyCommand},
        {0x2105, kKeyLeftArrow, kKeyCommand | kKeyShift}, {0x2102, kKeyRightArrow, kKeyCommand | kKeyShift},
        {0x2106, kKeyUpArrow, kKeyCommand},    {0x2107, kKeyDownArrow, kKeyCommand},
        {kCodeClear, kKeyEscape, 0},           {kCodeBackspace, kKeyBackspace, 0},
        {kCommandSelectAll, 'a', kKeyCommand}, {0x1600, kKeyTab, 0},
        {0x160E, kKeyTab, kKeyShift},          {0x1610, ')', 0},
        {0x1604, kKeyLeftArrow, 0},            {0x1603, kKeyRightArrow, 0},
        {0x1601, kKeyUpArrow, 0},              {0x1602, kKeyDownArrow, 0},
        {0x160D, kKeyLeftArrow, kKeyShift},    {0x160C, kKeyRightArrow, kKeyShift},
        {0x160A, kKeyUpArrow, kKeyShift},
    };
    if (code == kClick) {
      const QDRect& pane = window_->Layout().mathPane;
      window_->HandleWheel(QDPoint{int16_t(pane.top + 1), int16_t(pane.left + 1)}, 0, 100);  // row 0 in view
      FormulaEditor* e = window_->RowEditor(0);
      FixedRect b{};
      GetNodeRect(e->root->children[1]->children[1], &b);
      window_->HandleMouseDown(QDPoint{int16_t(e->frame.top + FixedToPixels((b.top + b.bottom) / 2)),
                                       int16_t(e->frame.left + FixedToPixels((b.left + b.right) / 2))},
                               0, 1);
      return;
    }
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

// Each code changing nothing, or only the caret or the selection, where it is sent in y = a + b
// (or the row given), and a move that then does change the row (Clear the command that does). The
// Math and editing codes' places were found by running each on every node of the row and of
// richer rows: only Backspace at the start and Solve in a product move the selection alone.
struct NothingCase {
  int32_t code;
  std::vector<int> path;
  int32_t move;
  int32_t mode = SelectionCaretNode;
  const char* select = "";  // caret motions before the move or Clear, as typed
  bool caret = false;       // the code moves the caret or the selection
  const char* row = kRow;
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
    // Moving the caret or the selection alone: Backspace before y selects the row, Solve for x in
    // |x| selects |x| as solved already, the caret motions by key and as codes, Select All, a click.
    {kCodeBackspace, {0}, 0x2100, SelectionCaretBefore, "{Right}{Shift-Right}", true},
    {0x2016, {1, 2, 0}, 0x2103, SelectionCaretNode, "", true, kProduct},
    {0x1600, {1, 0}, 0x2108, SelectionCaretNode, "", true},   // Tab: b
    {0x160E, {1, 1}, 0x2109, SelectionCaretNode, "", true},   // Shift-Tab: a
    {0x1604, {1, 1}, 0x2109, SelectionCaretNode, "{Shift-Tab}", true},  // Left
    {0x1603, {1, 0}, 0x2108, SelectionCaretNode, "{Tab}", true},        // Right
    {0x1601, {1, 0}, 0x2103, SelectionCaretNode, "", true},   // Up: a + b
    {0x1602, {1}, 0x2109, SelectionCaretNode, "", true},      // Down: a
    {0x160C, {1, 0}, 0x2103, SelectionCaretNode, "", true},   // Shift-Right: a + b
    {0x160D, {1, 1}, 0x2103, SelectionCaretNode, "", true},   // Shift-Left
    {0x160A, {1, 0}, 0x2103, SelectionCaretNode, "", true},   // Shift-Up: a + b
    {0x1610, {1, 1, 0}, 0x2103, SelectionCaretAfter, "{Shift-Left}", true, kGrouped},  // ")": out of (x)
    {kCommandSelectAll, {1, 1}, 0x2100, SelectionCaretNode, "{Right}{Shift-Right}", true},
    {kClick, {1, 0}, 0x2109, SelectionCaretNode, "{Shift-Tab}", true},
};

// From the menu and from the keys, with an empty, a partly full and a full history, then typing
// (two letters: one step), a move or a command: Undo gives back exactly the row before the change,
// its caret where the code left it, no older step is lost, and the code sent again where it was
// first sent keeps the redo step.
TEST_F(UndoSequencesTest, ACodeThatChangesNothingLeavesTheHistoryAndTheNextChangeIsItsOwnStep) {
  enum Then { kTyping, kMove, kCommand };
  for (const NothingCase& c : kNothingCases) {
    for (bool keys : {false, true}) {
      for (int32_t held : {0, 40, kUndoDepth}) {
        for (Then then : {kTyping, kMove, kCommand}) {
          SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << c.code << std::dec << (keys ? " by key, " : " by menu, ")
                                          << held << " steps held, then " << (then == kTyping ? "typing" : then == kMove ? "a move" : "a command"));
          Open(held, kSize, c.row);
          if (HasFatalFailure()) return;
          Select(c.path, c.mode);
          FormulaEditor* e = window_->RowEditor(0);
          const RowState start = StateOf(e);
          Send(c.code, keys);
          ASSERT_EQ(StateOf(e).tree, start.tree) << "the code must change no formula here";
          ASSERT_EQ(StateOf(e) != start, c.caret) << "the code must move the caret here, or nothing";
          EXPECT_TRUE(document_->graphsBuilt);
          EXPECT_EQ(document_->rows.data[0].expression, e->root);
          EXPECT_EQ(document_->undo.UndoCount(), held);
          if (held > 0) {
            EXPECT_EQ(OldestStep(), Written("equal[z,0]"));
          }
          if (then != kTyping) document_test::TypeKeys(window_.get(), c.select);
          const RowState before = StateOf(e);
          if (then == kTyping) {
            document_test::TypeKeys(window_.get(), "cd");
          } else {
            Send(then == kMove ? c.move : kCodeClear, keys);
          }
          ASSERT_NE(StateOf(e).tree, start.tree) << "the change must change the row";
          EXPECT_FALSE(document_->graphsBuilt);
          const int32_t steps = std::min(held + 1, kUndoDepth);
          EXPECT_EQ(document_->undo.UndoCount(), steps);
          EXPECT_EQ(OldestStep(), Written(held + 1 > kUndoDepth ? "equal[z,1]" : held > 0 ? "equal[z,0]" : c.row));
          const RowState changed = StateOf(e);
          ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
          EXPECT_EQ(StateOf(e), before);
          if (then == kTyping) {  // changes no formula again: the redo step stays
            Select(c.path, c.mode);
            Send(c.code, keys);
          }
          ASSERT_TRUE(window_->ChooseCommand(kCommandRedo));
          EXPECT_EQ(StateOf(e), changed);
        }
      }
    }
  }
}

// Typed y = x + 1, built, then Up, Left to the row's start and Backspace, which selects the whole
// row and changes no formula: Undo takes back the typing, not the selection (before, that Undo put
// back only the caret and seemed to do nothing), and Redo gives the typed row back.
TEST_F(UndoSequencesTest, BackspaceThatSelectsTheRowIsNoStepAndUndoTakesBackTheTyping) {
  Close();
  document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kSize, kSize).graphPane);
  window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
  ASSERT_TRUE(window_->Open(kSize, kSize));
  document_test::TypeKeys(window_.get(), "y=x+1{Return}{Up}{Left}{Left}{Left}{Left}{Left}{Left}{Left}{Left}");
  FormulaEditor* e = window_->RowEditor(0);
  ASSERT_EQ(window_->ActiveRow(), 0);
  const RowState typed = StateOf(e);
  document_test::TypeKeys(window_.get(), "{Backspace}");
  ASSERT_EQ(StateOf(e).tree, typed.tree);
  ASSERT_EQ(e->caretNode, e->root) << "the whole row selected";
  EXPECT_TRUE(document_->graphsBuilt);
  EXPECT_EQ(document_->undo.UndoCount(), 1);
  window_->HandleKey(EditKeyEvent{'z', 'z', kKeyCommand});
  EXPECT_TRUE(IsPromptRoot(e));
  EXPECT_FALSE(document_->undo.CanUndo());
  window_->HandleKey(EditKeyEvent{'z', 'z', kKeyCommand | kKeyShift});
  EXPECT_EQ(StateOf(e).tree, typed.tree);
  EXPECT_FALSE(document_->undo.CanRedo());
}

// A run of moves ends where a move is blocked, and a run that puts the term back where it found it
// changed no formula and is no step: the move after either is its own step. In a new row, y = a + b
// typed with blanks, b selected, a swap that cannot move and one that does: Undo gives back the
// typed row with b selected, a second Undo the empty row (the typing one step).
TEST_F(UndoSequencesTest, ARunOfMovesEndsWhereItIsBlockedOrComesBackAndLosesNoTyping) {
  Open(0);
  Select({1, 0}, SelectionCaretNode);  // a in a + b
  FormulaEditor* e = window_->RowEditor(0);
  for (int32_t code : {0x2109, 0x2108}) Send(code, true);  // b + a, a + b again
  ASSERT_EQ(Bracket(e->root), Written(kRow));
  EXPECT_EQ(document_->undo.UndoCount(), 0);
  const RowState back = StateOf(e);
  Send(0x2109, true);  // b + a
  ASSERT_EQ(Bracket(e->root), Written(kSwapped));
  Send(0x2109, true);  // a is last now: nothing
  const RowState moved = StateOf(e);
  Send(0x2108, true);  // a + b again
  ASSERT_EQ(Bracket(e->root), Written(kRow));
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(e), moved);
  ASSERT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(StateOf(e), back);
  EXPECT_FALSE(document_->undo.CanUndo());

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
