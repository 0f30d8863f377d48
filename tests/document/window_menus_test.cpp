// The document window's menus without a display: which items a selection enables (a table of
// selections in every mode), the bar's tracking by clicks and keys (a disabled item does nothing,
// Escape and a click outside close), undo as a user sees its grouping (letters after a click are
// one step, a run of backspaces is one step, the caret comes back too), the Graph menu's zoom and
// reset on the plane view's range, and Use Transparency after the transparency memory failure.
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_window.h"
#include "document/window_commands.h"
#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "editor/typeset_state.h"
#include "graphics/gl/gl_globals.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "platform/pointer_source.h"
#include "tests/document/document_test_support.h"
#include "tests/document/formula_text_support.h"

namespace {

constexpr int32_t kWidth = 500, kHeight = 500;

using formula_text::Bracket;
using formula_text::Written;

QDPoint Centre(const QDRect& r) { return QDPoint{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}; }

class WindowMenusTest : public document_test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    ResetErrorRegister();
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
  }
  void TearDown() override {
    document_test::CloseWindowForTest(window_, document_);
    ResetErrorRegister();
    DocumentTest::TearDown();
  }
  void Open(const std::vector<const char*>& rows) {
    for (const char* row : rows) ASSERT_NE(document_->AppendEquationRow(ReadWholeFormula(row)), nullptr) << row;
    window_ = std::make_unique<DocumentWindow>(document_.get(), nullptr);
    ASSERT_TRUE(window_->Open(kWidth, kHeight));
  }
  // Row 0 active with the caret on the node at the path.
  void Select(const std::vector<int>& path, int mode, int start = 0, int end = 0) {
    FormulaEditor* e = window_->RowEditor(0);
    window_->FocusRow(0);
    ExprNode* node = e->root;
    for (int k : path) node = node->children[k];
    e->caretNode = node;
    e->selectionMode = mode;
    e->selectionStart = start;
    e->selectionEnd = end;
    const char* why = "";
    ASSERT_TRUE(CheckFormulaEditor(e, &why)) << why;
  }
  bool Enabled(int32_t command) {
    window_->HandleMouseDown(Centre(window_->Menus().TitleRect(0)), 0, 1);  // updates the menus
    const MenuItem* item = window_->Menus().FindItem(command);
    window_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
    return item != nullptr && item->enabled;
  }
  void Type(const std::string& text) { document_test::TypeKeys(window_.get(), text); }
  std::string Row(int i) { return Bracket(window_->RowEditor(i)->root); }
  // Clicks the menu's title, then its item of the command.
  MenuResult Choose(int32_t menu, int32_t command) {
    window_->HandleMouseDown(Centre(window_->Menus().TitleRect(menu)), 0, 1);
    const Menu& m = window_->Menus().MenuAt(menu);
    for (int32_t i = 0; i < m.count; ++i) {
      if (m.items[i].command != command) continue;
      window_->HandleMouseDown(Centre(window_->Menus().ItemRect(i)), 0, 1);
      return window_->LastMenuAction().result;
    }
    return MenuResult::kPassed;
  }
  std::unique_ptr<DocumentRecord> document_;
  std::unique_ptr<DocumentWindow> window_;
};

constexpr int kMath = 0x2000;  // any Math item: they share one rule

// Which items each selection enables: the Math items exactly by the algebra status rule (no
// prompt; a node, a range of operands or a matrix block), the clipboard items by the modes their
// commands act in.
TEST_F(WindowMenusTest, EachSelectionEnablesTheItemsThatCanActOnIt) {
  Open({"equal[y,plus[times[2,x],3,z]]", "equal[m,matrix[2,2,a,b,c,d]]"});
  const struct {
    int row;
    std::vector<int> path;
    int mode, start, end;
    bool math, cut, copy, clear;
  } cases[] = {
      {0, {1}, SelectionCaretNode, 0, 0, true, true, true, true},
      {0, {1}, SelectionChildRange, 0, 1, true, true, true, true},
      {0, {1}, SelectionOperator, 0, 0, false, true, true, true},
      {0, {1, 0}, SelectionCaretAfter, 0, 0, false, false, false, false},
      {0, {1, 0}, SelectionCaretBefore, 0, 0, false, false, false, false},
      {0, {1, 1}, SelectionDigits, 0, 1, false, true, true, true},
      {0, {1, 1}, SelectionDigits, 1, 1, false, false, false, false},
      {1, {1}, SelectionMatrixBlock, 0, 3, true, false, true, true},
      {1, {1, 0}, SelectionCaretNode, 0, 0, true, true, true, true},
  };
  for (const auto& c : cases) {
    FormulaEditor* e = window_->RowEditor(c.row);
    window_->FocusRow(c.row);
    ExprNode* node = e->root;
    for (int k : c.path) node = node->children[k];
    e->caretNode = node;
    e->selectionMode = c.mode;
    e->selectionStart = c.start;
    e->selectionEnd = c.end;
    const std::string what = std::to_string(c.row) + " mode " + std::to_string(c.mode);
    EXPECT_EQ(Enabled(kMath), c.math) << what;
    EXPECT_EQ(Enabled(0x2109), c.math) << what;
    EXPECT_EQ(Enabled(kCodeCut), c.cut) << what;
    EXPECT_EQ(Enabled(kCodeCopy), c.copy) << what;
    EXPECT_EQ(Enabled(kCodeClear), c.clear) << what;
    EXPECT_FALSE(Enabled(kCodePaste)) << what << ": the clipboard is empty";
    EXPECT_TRUE(Enabled(kCommandSelectAll) && Enabled(kCommandResetGraph)) << what;
  }
  // The new row's prompt: nothing for the Math menu to act on.
  window_->FocusRow(2);
  EXPECT_FALSE(Enabled(kMath));
  EXPECT_FALSE(Enabled(kCodeCopy));
  EXPECT_FALSE(Enabled(kCommandUndo)) << "nothing edited yet";
}

TEST_F(WindowMenusTest, ClicksAndKeysOpenMoveChooseAndClose) {
  Open({"equal[y,x]"});
  const MenuBar& bar = window_->Menus();
  ASSERT_EQ(bar.MenuCount(), 3);
  EXPECT_EQ(bar.BarRect().bottom, window_->Layout().mathPane.top) << "the panes start below the bar";
  window_->HandleMouseDown(Centre(bar.TitleRect(1)), 0, 1);
  EXPECT_EQ(bar.OpenMenu(), 1);
  EXPECT_EQ(window_->LastMenuAction().result, MenuResult::kChanged);
  window_->HandleKey(EditKeyEvent{kKeyRightArrow, kKeyRightArrow, 0});
  EXPECT_EQ(bar.OpenMenu(), 2) << "right arrow: the next menu";
  window_->HandleKey(EditKeyEvent{kKeyRightArrow, kKeyRightArrow, 0});
  EXPECT_EQ(bar.OpenMenu(), 0) << "wrapping";
  window_->HandleKey(EditKeyEvent{kKeyDownArrow, kKeyDownArrow, 0});
  EXPECT_EQ(bar.MenuAt(0).items[bar.Highlighted()].command, kCommandSelectAll)
      << "the arrows pass over the disabled items";
  window_->HandleKey(EditKeyEvent{'x', 'x', 0});
  EXPECT_EQ(Row(0), Written("equal[y,x]")) << "a letter while a menu is open edits nothing";
  EXPECT_EQ(window_->LastMenuAction().result, MenuResult::kIgnored);
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  EXPECT_FALSE(bar.IsOpen());
  EXPECT_EQ(window_->LastMenuAction().command, kCommandSelectAll);
  EXPECT_EQ(window_->RowEditor(1)->caretNode, window_->RowEditor(1)->root) << "Select All on the new row";
  window_->HandleMouseDown(Centre(bar.TitleRect(0)), 0, 1);
  window_->HandleMouseMoved(Centre(bar.ItemRect(0)));
  EXPECT_EQ(bar.Highlighted(), -1) << "Undo is disabled: the pointer does not light it";
  window_->HandleMouseMoved(Centre(bar.ItemRect(bar.MenuAt(0).count - 1)));
  EXPECT_EQ(bar.MenuAt(0).items[bar.Highlighted()].command, kCommandSelectAll) << "the item under the pointer";
  window_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
  EXPECT_FALSE(bar.IsOpen()) << "Escape closes";
  window_->HandleMouseDown(Centre(bar.TitleRect(2)), 0, 1);
  window_->HandleMouseDown(Centre(window_->Layout().graphPane), 0, 1);
  EXPECT_FALSE(bar.IsOpen()) << "a click outside closes";
  EXPECT_EQ(window_->LastMenuAction().result, MenuResult::kClosed);
  window_->HandleMouseDown(Centre(bar.TitleRect(2)), 0, 1);
  window_->HandleMouseDown(Centre(bar.TitleRect(2)), 0, 1);
  EXPECT_FALSE(bar.IsOpen()) << "a click on the open title closes";
}

// A disabled item is drawn grey and a click on it changes nothing: the menu stays open, the row
// and the graphs are as they were.
TEST_F(WindowMenusTest, ADisabledItemDoesNothing) {
  Open({"equal[y,x]"});
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  ASSERT_TRUE(document_->graphsBuilt);
  window_->FocusRow(1);  // the prompt: the Math items are disabled
  EXPECT_EQ(Choose(1, 0x2002), MenuResult::kIgnored);
  EXPECT_TRUE(window_->Menus().IsOpen());
  EXPECT_EQ(document_->rows.count, 1);
  EXPECT_TRUE(document_->graphsBuilt);
  EXPECT_FALSE(window_->ChooseCommand(0x2002)) << "nor can it be run around the menu";
  // Drawn in the disabled grey: the item's text has no black pixel.
  const QDRect r = window_->Menus().ItemRect(1);
  const Port* buffer = window_->Buffer();
  int grey = 0, black = 0;
  for (int v = r.top; v < r.bottom; ++v) {
    for (int h = r.left; h < r.right; ++h) {
      const uint32_t p = buffer->pixels[v * (buffer->rowBytes / 4) + h] & 0xFFFFFF;
      const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
      grey += r == g && g == b && r >= 0x80 && r < 0xE0;
      black += r < 0x40 && g < 0x40 && b < 0x40;
    }
  }
  EXPECT_GT(grey, 10);
  EXPECT_EQ(black, 0);
}

// Letters typed after a click are one undo step, the caret comes back with the row; a run of
// backspaces is one step; Redo gives the change back.
TEST_F(WindowMenusTest, UndoStepsGroupAsTheUserTypes) {
  Open({"equal[y,x]"});
  Select({1}, SelectionCaretAfter);
  ResetEditCommandHistory();  // what a click does
  FormulaEditor* e = window_->RowEditor(0);
  Type("abcdefghijklmnop");
  ASSERT_NE(Row(0), Written("equal[y,x]"));
  const std::string typed = Row(0);
  EXPECT_EQ(Choose(0, kCommandUndo), MenuResult::kChosen);
  EXPECT_EQ(Row(0), Written("equal[y,x]")) << "one step for the letters";
  EXPECT_EQ(e->caretNode, e->root->children[1]) << "the caret comes back";
  EXPECT_EQ(e->selectionMode, SelectionCaretAfter);
  EXPECT_FALSE(document_->graphsBuilt);
  EXPECT_TRUE(window_->ChooseCommand(kCommandRedo));
  EXPECT_EQ(Row(0), typed);
  for (int i = 0; i < 10; ++i) Type("{Backspace}");
  const std::string erased = Row(0);
  ASSERT_NE(erased, typed);
  ASSERT_NE(erased, Written("equal[y,x]")) << "letters are left: the row was not emptied";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), typed) << "ten backspaces are one step";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_FALSE(window_->ChooseCommand(kCommandUndo)) << "nothing older";
  // A caret motion between letters starts a second step.
  Type("p{Left}q");
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_FALSE(window_->ChooseCommand(kCommandUndo));
}

// Copy changes nothing: the graphs stay built and the document unmodified; Select All then Cut
// and Paste is an edit like any other.
TEST_F(WindowMenusTest, CopyKeepsTheGraphsAndCutAndPasteAreEdits) {
  Open({"equal[y,x]"});
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  ASSERT_TRUE(document_->graphsBuilt);
  document_->modifiedFlag = 0;
  window_->FocusRow(0);
  EXPECT_TRUE(window_->ChooseCommand(kCommandSelectAll));
  EXPECT_EQ(Choose(0, kCodeCopy), MenuResult::kChosen);
  EXPECT_TRUE(document_->graphsBuilt);
  EXPECT_EQ(document_->modifiedFlag, 0);
  EXPECT_EQ(document_->rows.count, 1);
  EXPECT_EQ(Bracket(TypesetGlobals().clipboard.expression), Written("equal[y,x]"));
  EXPECT_TRUE(window_->ChooseCommand(kCodeCut));
  EXPECT_FALSE(document_->graphsBuilt);
  EXPECT_NE(Row(0), Written("equal[y,x]"));
  EXPECT_TRUE(window_->ChooseCommand(kCodePaste));
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_NE(Row(0), Written("equal[y,x]")) << "the paste undone";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), Written("equal[y,x]")) << "the cut undone";
}

// A row deleted with Backspace is an undo step that keeps the row's own steps: Undo puts the row
// back (empty, as it was deleted), then its letters, and only then reaches into the other row.
TEST_F(WindowMenusTest, ADeletedRowComesBackWithItsUndoSteps) {
  Open({"equal[y,x]"});
  Select({1}, SelectionCaretAfter);
  ResetEditCommandHistory();
  Type("q");
  window_->FocusRow(1);
  Type("a");
  ASSERT_EQ(document_->rows.count, 2) << "the new row joined";
  FormulaEditor* typed = window_->RowEditor(1);
  Type("{Backspace}{Backspace}");
  ASSERT_EQ(document_->rows.count, 1) << "emptied, then deleted";
  EXPECT_EQ(document_->undo.UndoEditor(), typed) << "the deletion is the newest step";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  ASSERT_EQ(document_->rows.count, 2);
  EXPECT_EQ(window_->RowEditor(1), typed);
  EXPECT_EQ(window_->ActiveRow(), 1);
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(1), Written("a"));
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(1), Row(2)) << "before the letter: as empty as the new row";
  EXPECT_NE(Row(0), Written("equal[y,x]")) << "the other row untouched so far";
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_FALSE(window_->ChooseCommand(kCommandUndo));
}

// After a row is deleted (Select All and two Backspaces), Redo of the deletion leaves the caret in
// the row above, as Backspace does; a Backspace in that row is a step of its own, not part of the
// deleted row's run; the row put back graphs again on Return.
TEST_F(WindowMenusTest, UndoAfterDeletingARowGivesItsContentBack) {
  Open({"equal[y,x]", "equal[y,3]"});
  window_->FocusRow(1);
  ASSERT_TRUE(window_->ChooseCommand(kCommandSelectAll));
  Type("{Backspace}{Backspace}");
  ASSERT_EQ(document_->rows.count, 1);
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(1), Written("equal[y,3]"));
  EXPECT_TRUE(window_->ChooseCommand(kCommandRedo));
  EXPECT_TRUE(window_->ChooseCommand(kCommandRedo));
  ASSERT_EQ(document_->rows.count, 1) << "Redo deletes it again";
  EXPECT_EQ(window_->ActiveRow(), 0) << "the caret in the row above, as after Backspace";
  EXPECT_FALSE(window_->ChooseCommand(kCommandRedo));
  Type("{Backspace}");
  ASSERT_NE(Row(0), Written("equal[y,x]"));
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_EQ(document_->rows.count, 1);
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(document_->rows.count, 2);
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(Row(1), Written("equal[y,3]"));
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  EXPECT_GE(document_->rows.data[1].graphRow, 0);
}

// Sequences of deletions (first, middle, last row, each by Select All and two Backspaces), undos
// and redos over three rows. After every step each row's expression is its editor's tree, and an
// Undo or Redo changes one row only (one row's text, or one row put back or taken out); the rows
// end as the table says ("" an empty row).
TEST_F(WindowMenusTest, DeletionsUndosAndRedosChangeOnlyTheirOwnRow) {
  const std::vector<const char*> start = {"equal[y,x]", "equal[y,2]", "equal[y,3]"};
  const struct {
    const char* script;  // D<i>: delete row i by keys; U: undo; R: redo; N: no redo to run
    std::vector<std::string> rows;
  } cases[] = {
      {"D0", {"equal[y,2]", "equal[y,3]"}},
      {"D1", {"equal[y,x]", "equal[y,3]"}},
      {"D2", {"equal[y,x]", "equal[y,2]"}},
      {"D0U", {"", "equal[y,2]", "equal[y,3]"}},
      {"D1UU", {"equal[y,x]", "equal[y,2]", "equal[y,3]"}},
      {"D2UUR", {"equal[y,x]", "equal[y,2]", ""}},
      {"D2UURR", {"equal[y,x]", "equal[y,2]"}},
      {"D0D0", {"equal[y,3]"}},
      {"D0D0UUUU", {"equal[y,x]", "equal[y,2]", "equal[y,3]"}},
      {"D1D1UU", {"equal[y,x]", "equal[y,3]"}},
      {"D1D1UUU", {"equal[y,x]", "", "equal[y,3]"}},
      {"D2D1UUUU", {"equal[y,x]", "equal[y,2]", "equal[y,3]"}},
      {"D2D1UUUURRRR", {"equal[y,x]"}},
      {"D0UUD1N", {"equal[y,x]", "equal[y,3]"}},  // a new deletion forgets the redo steps
      {"D0D0D0", {}},
      {"D0D0D0D0UUUUUU", {"equal[y,x]", "equal[y,2]", "equal[y,3]"}},  // the fourth: the new row stays
  };
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    Open(start);
    const std::string empty = Row(document_->rows.count);  // the new row, always empty
    const auto rows = [&] {
      std::vector<std::string> out;
      for (int32_t i = 0; i < document_->rows.count; ++i) {
        out.push_back(Row(i) == empty ? "" : Row(i));
        EXPECT_EQ(document_->rows.data[i].expression, window_->RowEditor(i)->root) << c.script;
        const char* why = "";
        EXPECT_TRUE(CheckFormulaEditor(window_->RowEditor(i), &why)) << c.script << ": " << why;
      }
      return out;
    };
    for (const char* op = c.script; *op != 0; ++op) {
      const std::vector<std::string> before = rows();
      if (*op == 'D') {
        window_->FocusRow(*++op - '0');
        ASSERT_TRUE(window_->ChooseCommand(kCommandSelectAll));
        Type("{Backspace}{Backspace}");
        continue;
      }
      if (*op == 'N') {
        EXPECT_FALSE(window_->ChooseCommand(kCommandRedo)) << c.script;
        continue;
      }
      ASSERT_TRUE(window_->ChooseCommand(*op == 'U' ? kCommandUndo : kCommandRedo)) << c.script;
      const std::vector<std::string> after = rows();
      // One row changed: the same count with one text differing, or one row more or less.
      const std::vector<std::string>& longer = after.size() >= before.size() ? after : before;
      const std::vector<std::string>& shorter = after.size() >= before.size() ? before : after;
      ASSERT_LE(longer.size() - shorter.size(), 1u) << c.script;
      size_t i = 0;
      while (i < shorter.size() && shorter[i] == longer[i]) ++i;
      const size_t skip = longer.size() == shorter.size() ? 1 : 0;
      for (size_t k = i; k < shorter.size(); ++k) {
        if (skip == 1 && k == i) continue;
        EXPECT_EQ(shorter[k], longer[k + 1 - skip]) << c.script << ": row " << k << " changed too";
      }
    }
    std::vector<std::string> expected;
    for (const std::string& r : c.rows) expected.push_back(r.empty() ? "" : Written(r.c_str()));
    EXPECT_EQ(rows(), expected) << c.script;
  }
}

// Rows typed one after another with Return, or reached with Up and Down, are undo steps of their
// own: Undo takes back the last row's typing only, then the row's before it.
TEST_F(WindowMenusTest, EachRowReachedByAKeyIsItsOwnUndoStep) {
  Open({"equal[y,x]"});
  window_->FocusRow(1);
  ResetEditCommandHistory();  // what the click into the new row does
  const std::string empty = Row(1);
  Type("y = 2");
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  Type("y = 3");
  window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  ASSERT_EQ(document_->rows.count, 3);
  for (int i = 0; i < 8 && window_->ActiveRow() != 1; ++i) Type("{Up}");  // to the end of row 1
  ASSERT_EQ(window_->ActiveRow(), 1);
  Type("4");
  const struct {
    int row;             // the row the step gives back
    const char* before;  // as it was before the step's typing; null: the empty row
  } steps[] = {{1, "equal[y,2]"}, {2, nullptr}, {1, nullptr}};
  for (const auto& step : steps) {
    EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
    EXPECT_EQ(window_->ActiveRow(), step.row);
    EXPECT_EQ(Row(step.row), step.before != nullptr ? Written(step.before) : empty) << step.row;
  }
  EXPECT_EQ(Row(0), Written("equal[y,x]")) << "the document's row was never typed in";
}

// A Math command that leaves the row as it was keeps the graphs and leaves no undo step; one that
// changes it deletes them and can be undone.
TEST_F(WindowMenusTest, ACommandThatChangesNothingKeepsTheGraphs) {
  const struct {
    const char* row;
    std::vector<int> selected;
    bool changes;
  } cases[] = {
      {"equal[y,x]", {1}, false},
      {"equal[y,plus[x,x]]", {1}, true},
  };
  for (const auto& c : cases) {
    document_test::CloseWindowForTest(window_, document_);  // gives its editor hooks back
    InstallAlgebraSeams();                                    // the algebra's go in first
    document_ = std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(kWidth, kHeight).graphPane);
    Open({c.row});
    window_->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
    ASSERT_TRUE(document_->graphsBuilt) << c.row;
    Select(c.selected, SelectionCaretNode);
    const int32_t steps = document_->undo.UndoCount();
    EXPECT_TRUE(window_->ChooseCommand(0x2000)) << c.row;
    EXPECT_EQ(Row(0) != Written(c.row), c.changes) << c.row;
    EXPECT_EQ(document_->graphsBuilt, !c.changes) << c.row;
    EXPECT_EQ(document_->undo.UndoCount(), steps + (c.changes ? 1 : 0)) << c.row;
    EXPECT_EQ(document_->rows.data[0].expression, window_->RowEditor(0)->root) << c.row;
  }
}

// Undo reaches back into another row, which becomes the active one; a Clear (Escape) is a step.
TEST_F(WindowMenusTest, UndoGoesBackToTheRowItChanged) {
  Open({"equal[y,x]", "equal[y,times[2,x]]"});
  Select({1}, SelectionCaretNode);
  window_->HandleKey(EditKeyEvent{kKeyEscape, kKeyEscape, 0});
  const std::string cleared = Row(0);
  ASSERT_NE(cleared, Written("equal[y,x]"));
  window_->FocusRow(1);
  EXPECT_TRUE(window_->ChooseCommand(kCommandUndo));
  EXPECT_EQ(window_->ActiveRow(), 0);
  EXPECT_EQ(Row(0), Written("equal[y,x]"));
  EXPECT_EQ(Row(1), Written("equal[y,times[2,x]]"));
  EXPECT_EQ(document_->rows.data[0].expression, window_->RowEditor(0)->root) << "the row is the editor's tree";
}

// Zoom In steps the plane view's scale down the 1-2-5 ladder on both axes (from the default 5 to
// 2, then halving), the x-only and y-only items step one axis; Reset Graph brings the default
// back. Golden ratios: the ladder's steps.
TEST_F(WindowMenusTest, ZoomStepsTheLadderAndResetGraphRestoresTheDefault) {
  Open({"equal[y,x]"});
  const GraphView2D* view = document_->viewSet.first2D;
  ASSERT_NE(view, nullptr);
  auto width = [&] { return view->WindowX(view->rect.right) - view->WindowX(view->rect.left); };
  auto height = [&] { return view->WindowY(view->rect.top) - view->WindowY(view->rect.bottom); };
  const double w = width(), h = height();
  EXPECT_EQ(Choose(2, kCommandFirstViewCommand + kViewZoomIn), MenuResult::kChosen);
  EXPECT_NEAR(w / width(), 2.5, 1e-9);
  EXPECT_NEAR(h / height(), 2.5, 1e-9);
  const double w1 = width(), h1 = height();
  EXPECT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + kViewZoomIn));
  EXPECT_NEAR(w1 / width(), 2, 1e-9) << "halved";
  EXPECT_NEAR(h1 / height(), 2, 1e-9) << "halved";
  EXPECT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + 4));  // zoom out, x only
  EXPECT_NEAR(width(), w1, 1e-9);
  EXPECT_NEAR(h1 / height(), 2, 1e-9);
  EXPECT_TRUE(window_->ChooseCommand(kCommandFirstViewCommand + 2));  // zoom in, y only
  EXPECT_NEAR(width(), w1, 1e-9);
  EXPECT_NEAR(h1 / height(), 4, 1e-9);
  EXPECT_TRUE(window_->ChooseCommand(kCommandResetGraph));
  EXPECT_DOUBLE_EQ(width(), w);
  EXPECT_DOUBLE_EQ(height(), h);
  EXPECT_EQ(document_->modifiedFlag, 1) << "a view command marks the document modified";
}

// Rendering with transparency that runs out of memory turns transparency off (its message asks
// for Use Transparency); the item, checked while it is on, turns it on again.
TEST_F(WindowMenusTest, UseTransparencyComesBackAfterItsMemoryFailure) {
  Open({"equal[y,x]"});
  document_->rows.data[0].opacity = 0.5;
  auto draws = [&] {
    return GLGlobals().document.drawsWithTransparency(static_cast<DocumentServices*>(document_.get()));
  };
  EXPECT_TRUE(draws());
  EXPECT_TRUE(Enabled(kCommandUseTransparency));
  EXPECT_TRUE(window_->Menus().FindItem(kCommandUseTransparency)->checked);
  PostError(kErrorTransparencyMemory);
  window_->RedrawGraphPane();
  EXPECT_FALSE(document_->useTransparency);
  EXPECT_FALSE(draws()) << "drawn opaque until chosen again";
  EXPECT_TRUE(PendingError() == kErrorTransparencyMemory) << "the message still goes to the user";
  EXPECT_FALSE(IsErrorPosted(kErrorTransparencyMemory)) << "re-armed: a later failure is told again";
  EXPECT_EQ(Choose(2, kCommandUseTransparency), MenuResult::kChosen);
  EXPECT_TRUE(document_->useTransparency);
  EXPECT_TRUE(draws());
  EXPECT_TRUE(Enabled(kCommandUseTransparency));
  EXPECT_TRUE(window_->Menus().FindItem(kCommandUseTransparency)->checked);
}

}  // namespace
