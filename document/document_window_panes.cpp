// The document window's panes at work: moving between the rows (Return to the new row, Up and
// Down across rows' edges), deleting an empty row with Backspace, scrolling the rows of the math
// pane, and dragging the divider between the panes.
// Invariants kept: the new row stays the empty last row (never deleted); the scroll stays within
// the rows (LayoutRows clamps it); the pane-divider drag flag is set exactly while the divider is
// tracked.
#include <algorithm>

#include "document/document_window.h"
#include "editor/caret_navigation.h"
#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "kernel/interaction/mouse_tracking.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr int32_t kDividerWaitTicks = 2;   // a divider held still lets the graphs compute
constexpr uint32_t kDividerTickBudget = 3;  // ticks of computing between two moves of the divider

}  // namespace

DocumentWindow::CaretPlace DocumentWindow::CaretPlaceOf(const FormulaEditor* editor) {
  if (editor == nullptr) return CaretPlace{nullptr, 0, 0, 0};
  return CaretPlace{editor->caretNode, editor->selectionMode, editor->selectionStart, editor->selectionEnd};
}

bool DocumentWindow::IsEmptyRow(int32_t row) const { return IsPromptRoot(RowEditor(row)); }

void DocumentWindow::GoToRowEnd(int32_t row) {
  // A caret motion into another row: what is typed there is an undo step of its own.
  ResetEditCommandHistory();
  ActivateRow(row);
  if (TypesettingGlobals().currentEditor == RowEditor(activeRow_)) CaretToFormulaEnd();
}

void DocumentWindow::BuildAndGoToNewRow() {
  // An empty last row of the document, left by deleting what was typed there, is where typing
  // goes on: the new row takes its place rather than a message saying it has no equation.
  const int32_t last = document_->rows.count - 1;
  if (last >= 0 && activeRow_ == last && IsEmptyRow(last) && document_->rows.data[last].graphRow < 0) {
    document_->DeleteRow(last);
  }
  RebuildGraphs();
  GoToRowEnd(RowCount() - 1);
  LayoutRows();
  RevealActiveRow();
  RedrawAll();
  ShowCaret();
}

DocumentWindow::CaretPlace DocumentWindow::FormulaEndPlace(FormulaEditor* editor) {
  const CaretPlace now = CaretPlaceOf(editor);
  CaretToFormulaEnd();
  const CaretPlace end = CaretPlaceOf(editor);
  editor->caretNode = const_cast<ExprNode*>(now.node);
  editor->selectionMode = now.mode;
  editor->selectionStart = now.start;
  editor->selectionEnd = now.end;
  return end;
}

bool DocumentWindow::MoveToNeighbourRow(int32_t code, const CaretPlace& before, bool fromEnd) {
  const int32_t step = code == kCodeCaretDescend ? 1 : code == kCodeCaretToParent ? -1 : 0;
  if (step == 0) return false;
  int32_t row = activeRow_ + step;
  while (row >= 0 && row < RowCount() && RowEditor(row) == nullptr) row += step;  // rows without a formula
  if (row < 0 || row >= RowCount()) return false;
  const bool stayed = CaretPlaceOf(RowEditor(activeRow_)) == before;
  if (!stayed && !(step > 0 && fromEnd)) return false;  // the motion moved within the row
  GoToRowEnd(row);
  return true;
}

bool DocumentWindow::BackspaceInEmptyRow() {
  const int32_t row = activeRow_;
  if (!IsEmptyRow(row)) return false;
  if (row >= document_->rows.count) return true;  // the new row stays, and there is nothing to delete
  // An empty row builds no graph, so the others keep theirs; one that did takes all with it, as
  // any edit does.
  if (document_->rows.data[row].graphRow >= 0) DeleteGraphs();
  document_->DeleteRow(row);
  document_->SetDocumentModified(true);
  GoToRowEnd(row > 0 ? row - 1 : 0);
  RedrawAfterCommand(true);
  return true;
}

void DocumentWindow::RevealActiveRow() {
  const FormulaEditor* e = RowEditor(activeRow_);
  if (e == nullptr) return;
  const QDRect pane = RowsRect();  // the rows' part of the math pane, above the slider strip
  // The laid-out 32-bit place: the frame's 16 bits are pinned for a row far from the pane.
  const int32_t top = activeTop_ - kRowGap;
  const int32_t bottom = activeBottom_ + (RowMessageText(activeRow_) != nullptr ? kMessageHeight : 0) + kRowGap;
  int32_t shift = 0;
  if (top < pane.top || bottom - top > RectHeight(pane)) {
    shift = top - pane.top;
  } else if (bottom > pane.bottom) {
    shift = bottom - pane.bottom;
  }
  if (shift == 0) return;
  scroll_ += shift;
  LayoutRows();
}

void DocumentWindow::ScrollMathPane(int32_t pixels) {
  const int32_t before = scroll_;
  scroll_ += pixels;
  LayoutRows();
  if (scroll_ == before) return;
  RedrawMathPane();
  ShowCaret();
}

bool DocumentWindow::IsOnPaneDivider(QDPoint point) const {
  return point.v >= layout_.mathPane.bottom && point.v < layout_.graphPane.top && point.h >= layout_.mathPane.left &&
         point.h < layout_.mathPane.right;
}

void DocumentWindow::MovePaneDivider(int32_t mathBottom) {
  const DocumentWindowLayout placed = PlacePaneDivider(layout_, mathBottom);
  mathHeight_ = RectHeight(placed.mathPane);
  if (placed.mathPane.bottom == layout_.mathPane.bottom) return;
  ApplyLayout(placed);
  RevealActiveRow();
  RedrawAll();
  ShowCaret();
}

void DocumentWindow::TrackPaneDivider(QDPoint start) {
  const int32_t grip = start.v - layout_.mathPane.bottom;  // where on the divider it was taken
  document_->paneDividerDrag = 1;
  QDPoint p = start;
  for (bool down = true; down;) {
    down = TrackMouseTicks(&p, kDividerWaitTicks);
    MovePaneDivider(p.v - grip);
    if (down && ComputeGraphs(kDividerTickBudget)) RedrawGraphPane();
  }
  document_->paneDividerDrag = 0;
}
