// The undo history's snapshots and its two bounded stacks. A snapshot is taken whole or not at
// all: a refused copy leaves nothing half made.
#include "document/undo_history.h"

#include <algorithm>
#include <cstring>

#include "document/row_settings.h"
#include "editor/formula_editor.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/trees/typeset_records.h"

namespace {

// Drops the oldest step of a full stack so that one more fits.
void MakeRoom(UndoSnapshot* stack, int32_t* count) {
  if (*count < kUndoDepth) return;
  ReleaseUndoSnapshot(&stack[0]);
  std::memmove(static_cast<void*>(stack), stack + 1, sizeof(UndoSnapshot) * (kUndoDepth - 1));
  stack[kUndoDepth - 1] = UndoSnapshot{};
  --*count;
}

// Row `index` taken out of the rows into the step, which owns it from then on. Its graphs went
// with it; the row builds anew when it is back.
void TakeRowOut(GrowArray<EquationRow>* rows, int32_t index, UndoSnapshot* step) {
  step->row = rows->data[index];
  step->row.graphRow = -1;
  step->row.resultMessage = 0;
  step->rowIndex = index;
  step->ownsRow = true;
  (void)GrowArrayRemove(*rows, index);
}

void ReleaseAll(UndoSnapshot* stack, int32_t* count) {
  for (int32_t i = 0; i < *count; ++i) ReleaseUndoSnapshot(&stack[i]);
  *count = 0;
}

}  // namespace

bool TakeUndoSnapshot(FormulaEditor* editor, UndoSnapshot* snapshot) {
  *snapshot = UndoSnapshot{};
  if (editor == nullptr || editor->root == nullptr) return false;
  int32_t length = 0;
  for (const ExprNode* n = editor->caretNode; n != nullptr && n != editor->root; n = n->parent) ++length;
  int32_t* path = nullptr;
  if (length > 0) {
    path = static_cast<int32_t*>(AllocMemory(sizeof(int32_t) * size_t(length)));
    if (path == nullptr) return false;
    int32_t i = length;
    for (const ExprNode* n = editor->caretNode; n != editor->root; n = n->parent) path[--i] = IndexInParent(n);
  }
  // A refused copy comes back as a NaN number, not null: kept, it would give the row back as NaN.
  const uint64_t exhausted = NodeExhaustionReports();
  ExprNode* tree = CopyExpression(editor->root);
  if (tree == nullptr || NodeExhaustionReports() != exhausted) {
    FreeExpression(tree);
    FreeMemory(path);
    return false;
  }
  *snapshot = UndoSnapshot{editor, tree, path, length, editor->selectionMode, editor->selectionStart,
                           editor->selectionEnd};
  return true;
}

bool SnapshotCaretMatchesEditor(const UndoSnapshot& snapshot, const FormulaEditor* editor) {
  if (editor == nullptr || snapshot.editor != editor || snapshot.rowIndex >= 0 || snapshot.settings) return false;
  if (snapshot.selectionMode != editor->selectionMode || snapshot.selectionStart != editor->selectionStart ||
      snapshot.selectionEnd != editor->selectionEnd)
    return false;
  // The caret's node: the snapshot's path walked in the editor's tree, which equals its own.
  const ExprNode* caret = editor->root;
  for (int32_t i = 0; i < snapshot.pathLength; ++i) {
    const int32_t k = snapshot.path[i];
    if (caret->kind == KindString || k < 0 || k >= caret->arity) return false;
    caret = caret->children[k];
  }
  return caret == editor->caretNode;
}

void ReleaseUndoSnapshot(UndoSnapshot* snapshot) {
  if (snapshot->ownsRow) {
    if (snapshot->row.editor != nullptr) {
      DisposeFormulaEditor(snapshot->row.editor);
    } else {
      FreeExpression(snapshot->row.expression);
    }
  }
  FreeExpression(snapshot->tree);
  FreeMemory(snapshot->path);
  *snapshot = UndoSnapshot{};
}

void RestoreUndoSnapshot(UndoSnapshot* snapshot) {
  FormulaEditor* e = snapshot->editor;
  ExprNode* caret = snapshot->tree;
  bool found = true;
  for (int32_t i = 0; i < snapshot->pathLength && found; ++i) {
    const int32_t k = snapshot->path[i];
    found = caret->kind != KindString && k >= 0 && k < caret->arity;
    if (found) caret = caret->children[k];
  }
  FreeExpression(e->root);
  e->root = snapshot->tree;
  e->caretNode = found ? caret : snapshot->tree;
  e->selectionMode = found ? snapshot->selectionMode : 0;
  e->selectionStart = found ? snapshot->selectionStart : 0;
  e->selectionEnd = found ? snapshot->selectionEnd : 0;
  e->layoutValid = 0;
  e->displayValid = 0;
  snapshot->tree = nullptr;
  ReleaseUndoSnapshot(snapshot);
}

bool UndoHistory::Record(FormulaEditor* editor) {
  if (holding_) {
    // Only the state before the command is a step: a later snapshot would be one of its middle.
    if (heldTaken_) return held_.editor != nullptr;
    heldTaken_ = true;
    if (TakeUndoSnapshot(editor, &held_)) return true;
    ReleaseAll(undo_, &undoCount_);
    return false;
  }
  ReleaseAll(redo_, &redoCount_);
  UndoSnapshot snapshot;
  if (!TakeUndoSnapshot(editor, &snapshot)) {
    ReleaseAll(undo_, &undoCount_);
    return false;
  }
  MakeRoom(undo_, &undoCount_);
  undo_[undoCount_++] = snapshot;
  return true;
}

bool UndoHistory::RecordRowDeletion(int32_t index) {
  if (rows_ == nullptr || index < 0 || index >= rows_->count || rows_->data[index].editor == nullptr) return false;
  ReleaseAll(redo_, &redoCount_);
  UndoSnapshot step;
  step.editor = rows_->data[index].editor;
  TakeRowOut(rows_, index, &step);
  MakeRoom(undo_, &undoCount_);
  undo_[undoCount_++] = step;
  return true;
}

bool UndoHistory::RecordRowSettings(int32_t index) {
  if (rows_ == nullptr || index < 0 || index >= rows_->count || rows_->data[index].editor == nullptr) return false;
  ReleaseAll(redo_, &redoCount_);
  UndoSnapshot step;
  step.editor = rows_->data[index].editor;
  step.settings = true;
  for (const RowSetting which : kRowGraphSettings) SetRowSetting(&step.row, which, RowSettingOf(rows_->data[index], which));
  MakeRoom(undo_, &undoCount_);
  undo_[undoCount_++] = step;
  return true;
}

bool UndoHistory::HoldsRow(const FormulaEditor* editor) const {
  for (int32_t i = 0; i < undoCount_; ++i)
    if (undo_[i].ownsRow && undo_[i].editor == editor) return true;
  return false;
}

bool UndoHistory::StepRow(UndoSnapshot* step) {
  if (rows_ == nullptr) return false;
  if (step->ownsRow) {
    const int32_t index = std::min(step->rowIndex, rows_->count);
    if (!GrowArrayInsert(*rows_, step->row, index)) return false;
    step->rowIndex = index;
    step->ownsRow = false;
    return true;
  }
  // Taken out again: found by its editor, whatever rows came and went before it.
  for (int32_t i = 0; i < rows_->count; ++i) {
    if (rows_->data[i].editor != step->editor) continue;
    TakeRowOut(rows_, i, step);
    return true;
  }
  return false;
}

bool UndoHistory::StepSettings(UndoSnapshot* step) {
  for (int32_t i = 0; rows_ != nullptr && i < rows_->count; ++i) {
    if (rows_->data[i].editor != step->editor) continue;
    for (const RowSetting which : kRowGraphSettings) {
      const double kept = RowSettingOf(step->row, which);
      SetRowSetting(&step->row, which, RowSettingOf(rows_->data[i], which));
      SetRowSetting(&rows_->data[i], which, kept);
    }
    return true;
  }
  return false;
}

FormulaEditor* UndoHistory::Step(UndoSnapshot* from, int32_t* fromCount, UndoSnapshot* to, int32_t* toCount) {
  if (*fromCount == 0) return nullptr;
  if (from[*fromCount - 1].settings) {
    UndoSnapshot step = from[*fromCount - 1];
    from[--*fromCount] = UndoSnapshot{};
    if (!StepSettings(&step)) return nullptr;  // its row is gone: the step can do nothing
    MakeRoom(to, toCount);
    to[(*toCount)++] = step;
    return step.editor;
  }
  if (from[*fromCount - 1].rowIndex >= 0) {
    UndoSnapshot* step = &from[*fromCount - 1];
    if (!StepRow(step)) {
      // A named row no longer there: the step can do nothing and goes; a held row stays held.
      if (!step->ownsRow) from[--*fromCount] = UndoSnapshot{};
      return nullptr;
    }
    MakeRoom(to, toCount);
    to[(*toCount)++] = *step;
    from[--*fromCount] = UndoSnapshot{};
    return to[*toCount - 1].editor;
  }
  UndoSnapshot step = from[*fromCount - 1];
  from[--*fromCount] = UndoSnapshot{};
  UndoSnapshot present;
  if (TakeUndoSnapshot(step.editor, &present)) {
    MakeRoom(to, toCount);
    to[(*toCount)++] = present;
  } else {
    ReleaseAll(to, toCount);
  }
  FormulaEditor* editor = step.editor;
  RestoreUndoSnapshot(&step);
  return editor;
}

FormulaEditor* UndoHistory::Undo() { return Step(undo_, &undoCount_, redo_, &redoCount_); }

FormulaEditor* UndoHistory::Redo() { return Step(redo_, &redoCount_, undo_, &undoCount_); }

void UndoHistory::Hold() {
  ReleaseUndoSnapshot(&held_);
  holding_ = true;
  heldTaken_ = false;
}

bool UndoHistory::EndHold(bool changed) {
  holding_ = false;
  if (held_.editor == nullptr) return false;
  if (!changed) {
    ReleaseUndoSnapshot(&held_);
    return false;
  }
  ReleaseAll(redo_, &redoCount_);
  MakeRoom(undo_, &undoCount_);
  undo_[undoCount_++] = held_;
  held_ = UndoSnapshot{};
  return true;
}

bool UndoHistory::DropStepOfNoChange(const FormulaEditor* editor) {
  if (undoCount_ == 0) return false;
  UndoSnapshot* newest = &undo_[undoCount_ - 1];
  if (editor == nullptr || newest->editor != editor || newest->rowIndex >= 0 || newest->settings ||
      !ExpressionsEqual(newest->tree, editor->root))
    return false;
  ReleaseUndoSnapshot(newest);
  --undoCount_;
  return true;
}

void UndoHistory::Forget(const FormulaEditor* editor) {
  if (HoldsRow(editor)) return;  // no one else disposes it: its steps stay usable
  if (held_.editor == editor) ReleaseUndoSnapshot(&held_);
  for (UndoSnapshot* stack : {undo_, redo_}) {
    int32_t* count = stack == undo_ ? &undoCount_ : &redoCount_;
    int32_t kept = 0;
    for (int32_t i = 0; i < *count; ++i) {
      if (stack[i].editor == editor) {
        ReleaseUndoSnapshot(&stack[i]);
      } else {
        stack[kept++] = stack[i];
      }
    }
    for (int32_t i = kept; i < *count; ++i) stack[i] = UndoSnapshot{};
    *count = kept;
  }
}

void UndoHistory::Clear() {
  ReleaseUndoSnapshot(&held_);
  holding_ = false;
  ReleaseAll(undo_, &undoCount_);
  ReleaseAll(redo_, &redoCount_);
}
