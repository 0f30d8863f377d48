// The active row watched over one code or gesture: the undo history holds the step the editor
// records until the row is compared with its state before. Only a changed formula keeps it: a code
// that moved the caret or the selection alone, or changed nothing, leaves the history as it found
// it, full or not, redo steps included; a grouped code that brought its run back to the formula
// the run began with takes the run's step away. When a step was dropped, or the caret moved, the
// run of grouped codes ends with it, so the next change is a step of its own (its caret the one
// this code left) and not one joined to a step that was never kept.
#pragma once

#include "document/undo_history.h"

struct FormulaEditor;

class RowChangeWatch {
 public:
  RowChangeWatch(UndoHistory* history, FormulaEditor* editor);
  ~RowChangeWatch();
  RowChangeWatch(const RowChangeWatch&) = delete;
  RowChangeWatch& operator=(const RowChangeWatch&) = delete;

  enum class Change { kNone, kCaret, kTree };
  // What changed; without a state before (memory refused) a row counts as changed. The trees are
  // compared once, the caret only where they are equal.
  Change End();

 private:
  UndoHistory* history_;
  FormulaEditor* editor_;
  UndoSnapshot before_{};
  bool seen_ = false;
  bool ended_ = false;
};
