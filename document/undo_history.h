// UndoHistory: the undo and redo steps of a document's formula rows. A step is a snapshot of one
// row's editor taken before a change: a copy of its tree, its caret fields and the child-index path
// from the root to its caret node. Undo puts the row back as the snapshot has it and keeps the
// row's present state as the redo step; any new snapshot forgets the redo steps.
// Invariants: every snapshot owns its tree and path; the caret path of a snapshot leads to a node
// of its tree; at most kUndoDepth steps are kept each way (the oldest go first).
#pragma once

#include <cstdint>

struct ExprNode;
struct FormulaEditor;

inline constexpr int32_t kUndoDepth = 100;

struct UndoSnapshot {
  FormulaEditor* editor = nullptr;  // the row the step belongs to (not owned)
  ExprNode* tree = nullptr;         // owned copy of the row's tree
  int32_t* path = nullptr;          // owned: child indexes from the root to the caret node
  int32_t pathLength = 0;
  int32_t selectionMode = 0;
  int32_t selectionStart = 0;
  int32_t selectionEnd = 0;
};

class UndoHistory {
 public:
  UndoHistory() = default;
  ~UndoHistory() { Clear(); }
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // Records the editor's state as the newest undo step and forgets the redo steps. When memory
  // is refused for the copy, every step is forgotten (an undo must not jump over a change it
  // cannot give back) and false is returned.
  bool Record(FormulaEditor* editor);
  bool CanUndo() const { return undoCount_ > 0; }
  bool CanRedo() const { return redoCount_ > 0; }
  // The editor the next undo (redo) changes; null when there is none.
  FormulaEditor* UndoEditor() const { return undoCount_ > 0 ? undo_[undoCount_ - 1].editor : nullptr; }
  FormulaEditor* RedoEditor() const { return redoCount_ > 0 ? redo_[redoCount_ - 1].editor : nullptr; }
  // Puts the newest step's row back as it was, caret included, and keeps the row's present state
  // as a redo step (as an undo step for Redo). Returns the editor changed, null when there was no
  // step. Without memory for the present state the other direction's steps are forgotten, and
  // the row is still put back. The editor's layout is marked invalid.
  FormulaEditor* Undo();
  FormulaEditor* Redo();
  // Drops the newest undo step when it is the editor's and holds the tree the editor has now (the
  // change it was taken for changed nothing). True when it was dropped.
  bool DropNewestIfUnchanged(const FormulaEditor* editor);
  // Drops the steps of an editor about to be disposed.
  void Forget(const FormulaEditor* editor);
  void Clear();
  int32_t UndoCount() const { return undoCount_; }
  int32_t RedoCount() const { return redoCount_; }

 private:
  FormulaEditor* Step(UndoSnapshot* from, int32_t* fromCount, UndoSnapshot* to, int32_t* toCount);

  UndoSnapshot undo_[kUndoDepth];
  UndoSnapshot redo_[kUndoDepth];
  int32_t undoCount_ = 0;
  int32_t redoCount_ = 0;
};

// The snapshot of an editor's state into *snapshot (whose old contents are not released). False,
// nothing held, when memory is refused.
bool TakeUndoSnapshot(FormulaEditor* editor, UndoSnapshot* snapshot);
// Releases the snapshot's tree and path and empties it.
void ReleaseUndoSnapshot(UndoSnapshot* snapshot);
// The editor takes over the snapshot's tree (its own is freed) and caret; the snapshot is left
// empty. A path that no longer leads to a node puts the caret on the root in mode 0.
void RestoreUndoSnapshot(UndoSnapshot* snapshot);
