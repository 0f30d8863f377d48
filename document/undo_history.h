// UndoHistory: the undo and redo steps of a document's formula rows. A step is a snapshot of one
// row's editor taken before a change: a copy of its tree, its caret fields and the child-index path
// from the root to its caret node. Undo puts the row back as the snapshot has it and keeps the
// row's present state as the redo step; any new snapshot forgets the redo steps. Deleting a row
// is a step too: the row waits in it, editor and steps included, to be put back at its index. So
// is a change of a row's graph settings (colour, grain, opacity, plotting mode): the step holds the
// values before it, and undo and redo exchange them with the row's.
// Invariants: every snapshot owns its tree and path; the caret path of a snapshot leads to a node
// of its tree; at most kUndoDepth steps are kept each way (the oldest go first); a step's editor
// is a row of the document or the row held by a newer deletion step, so an undo changes the row
// its step was recorded for and no other.
#pragma once

#include <cstdint>

#include "graphs/core/document_services.h"
#include "kernel/memory/growable_array.h"

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
  // A row deletion when rowIndex >= 0 (no tree, no path): the row's place in the document and its
  // record. As an undo step the row is out of the document and the step owns it (editor, tree);
  // as a redo step the row is back and only named by its editor.
  int32_t rowIndex = -1;
  bool ownsRow = false;
  // A change of the row's graph settings (no tree, no path): `row` holds the settings' values of
  // the other side of the step.
  bool settings = false;
  EquationRow row{};
};

class UndoHistory {
 public:
  // `rows` are the document's rows that deletion steps take rows out of and put back (null: no
  // deletion steps).
  explicit UndoHistory(GrowArray<EquationRow>* rows = nullptr) : rows_(rows) {}
  ~UndoHistory() { Clear(); }
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // Records the editor's state as the newest undo step and forgets the redo steps. When memory
  // is refused for the copy, every step is forgotten (an undo must not jump over a change it
  // cannot give back) and false is returned.
  bool Record(FormulaEditor* editor);
  // Takes row `index` (which has an editor) out of the rows into the newest undo step and forgets
  // the redo steps: Undo puts it back at its index with its content, and its older steps stay
  // usable; Redo takes it out again. False, the rows untouched, for a row without an editor or an
  // index outside the rows. Allocates nothing.
  bool RecordRowDeletion(int32_t index);
  // Records the graph settings of row `index` (which has an editor) as the newest undo step, before
  // they change, and forgets the redo steps. False, nothing recorded, for a row without an editor
  // or an index outside the rows. Allocates nothing.
  bool RecordRowSettings(int32_t index);
  // The next undo (redo) is a change of graph settings: it changes no formula.
  bool UndoIsSettings() const { return undoCount_ > 0 && undo_[undoCount_ - 1].settings; }
  bool RedoIsSettings() const { return redoCount_ > 0 && redo_[redoCount_ - 1].settings; }
  // A deletion step holds the editor's row out of the document.
  bool HoldsRow(const FormulaEditor* editor) const;
  bool CanUndo() const { return undoCount_ > 0; }
  bool CanRedo() const { return redoCount_ > 0; }
  // The editor the next undo (redo) changes; null when there is none.
  FormulaEditor* UndoEditor() const { return undoCount_ > 0 ? undo_[undoCount_ - 1].editor : nullptr; }
  FormulaEditor* RedoEditor() const { return redoCount_ > 0 ? redo_[redoCount_ - 1].editor : nullptr; }
  // Puts the newest step's row back as it was, caret included, and keeps the row's present state
  // as a redo step (as an undo step for Redo). Returns the editor changed, null when there was no
  // step. Without memory for the present state the other direction's steps are forgotten, and
  // the row is still put back. The editor's layout is marked invalid. A deletion step puts its row
  // back in the rows (undo) or takes it out again (redo); when the rows cannot grow the step stays
  // and null is returned. A settings step exchanges its values with its row's (a row no longer
  // there drops the step: null).
  FormulaEditor* Undo();
  FormulaEditor* Redo();
  // A command held: until EndHold, Record keeps its first snapshot aside, pushing nothing, dropping
  // no old step and forgetting no redo step, so a command that turns out to change nothing leaves
  // the history exactly as it found it, however full. Later Records of the command take nothing
  // (a refused first one forgot the steps, as outside a hold).
  void Hold();
  // Ends the hold. When `changed`, the snapshot kept aside (if any) becomes the newest undo step
  // and the redo steps are forgotten; otherwise it is released. True when a step was pushed.
  bool EndHold(bool changed);
  // A snapshot is kept aside by the hold.
  bool HoldsStep() const { return held_.editor != nullptr; }
  // Drops the newest undo step when it is the editor's and holds the tree the editor holds now: a
  // run of grouped changes has come back to where it began, and undoing it would change no
  // formula. True when a step was dropped.
  bool DropStepOfNoChange(const FormulaEditor* editor);
  // Drops the steps of an editor about to be disposed; nothing for the editor of a row a deletion
  // step holds (the history's own, whose steps stay usable).
  void Forget(const FormulaEditor* editor);
  void Clear();
  int32_t UndoCount() const { return undoCount_; }
  // Undo step i, 0 the oldest; i must be below UndoCount().
  const UndoSnapshot& UndoStep(int32_t i) const { return undo_[i]; }
  int32_t RedoCount() const { return redoCount_; }

 private:
  FormulaEditor* Step(UndoSnapshot* from, int32_t* fromCount, UndoSnapshot* to, int32_t* toCount);
  // A deletion step run: its row put back (owned) or taken out (named); false when the rows
  // cannot take it back.
  bool StepRow(UndoSnapshot* step);
  // A settings step run: its values exchanged with its row's; false when the row is not there.
  bool StepSettings(UndoSnapshot* step);

  GrowArray<EquationRow>* rows_ = nullptr;

  bool holding_ = false;
  bool heldTaken_ = false;  // the held command has asked for its snapshot (taken or refused)
  UndoSnapshot held_;       // the held command's first snapshot; editor null while none

  UndoSnapshot undo_[kUndoDepth];
  UndoSnapshot redo_[kUndoDepth];
  int32_t undoCount_ = 0;
  int32_t redoCount_ = 0;
};

// The snapshot of an editor's state into *snapshot (whose old contents are not released). False,
// nothing held, when memory is refused.
bool TakeUndoSnapshot(FormulaEditor* editor, UndoSnapshot* snapshot);
// True when the editor's caret (node, mode and range) is the snapshot's. The caller has found the
// editor's tree equal to the snapshot's; with it, restoring would change nothing the user can see.
bool SnapshotCaretMatchesEditor(const UndoSnapshot& snapshot, const FormulaEditor* editor);
// Releases the snapshot's tree and path (and the row it owns) and empties it.
void ReleaseUndoSnapshot(UndoSnapshot* snapshot);
// The editor takes over the snapshot's tree (its own is freed) and caret; the snapshot is left
// empty. A path that no longer leads to a node puts the caret on the root in mode 0.
void RestoreUndoSnapshot(UndoSnapshot* snapshot);
