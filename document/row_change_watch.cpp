// The row-change watch: the state before, the hold on the undo history, the comparison after.
#include "document/row_change_watch.h"

#include "editor/edit_commands.h"
#include "editor/formula_editor.h"
#include "kernel/trees/expr_node.h"

RowChangeWatch::RowChangeWatch(UndoHistory* history, FormulaEditor* editor) : history_(history), editor_(editor) {
  seen_ = TakeUndoSnapshot(editor, &before_);
  history_->Hold();
}

RowChangeWatch::~RowChangeWatch() {
  if (!ended_) history_->EndHold(true);
  ReleaseUndoSnapshot(&before_);
}

RowChangeWatch::Change RowChangeWatch::End() {
  ended_ = true;
  const Change change = editor_ == nullptr ? Change::kNone
                        : !seen_ || !ExpressionsEqual(before_.tree, editor_->root) ? Change::kTree
                        : SnapshotCaretMatchesEditor(before_, editor_)            ? Change::kNone
                                                                                  : Change::kCaret;
  const bool held = history_->HoldsStep();
  history_->EndHold(change == Change::kTree);
  const bool dropped = change == Change::kTree ? history_->DropStepOfNoChange(editor_) : held;
  if (dropped || change == Change::kCaret) ResetEditCommandHistory();
  return change;
}
