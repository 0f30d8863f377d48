// The edit command code space and the one entry every code goes through. Every change to a
// formula and every caret motion is a signed 32-bit code run by DoFormulaEditCommand on the
// current editor (its body is edit_dispatcher.cpp); handlers that re-dispatch (the decimal point,
// finishing a backslash name, the templates) include only this header. Undo grouping: a change
// takes a snapshot only while the snapshot-pending flag is set, and a caret motion sets it.
#pragma once

#include <cstdint>

// Ranges and single codes of the code space.
enum EditCode : int32_t {
  kCodeFirstKind = 0x1000,         // 0x1000 + (kind - 4096) inserts a kind
  kCodeStringKind = 0x1004,
  kCodeFirstInsertableKind = 0x1008,  // matrix and every later kind
  kCodeLastKind = 0x10A3,
  kCodeFirstSymbol = 0x1300,       // 0x1300 + row of the symbol table
  kCodeLastSymbol = 0x1332,
  kCodeMarkVectors = 0x1504,
  kCodeToggleDummies = 0x1505,
  kCodeSelectNextLeaf = 0x1600,    // Tab
  kCodeCaretToParent = 0x1601,     // Up
  kCodeCaretDescend = 0x1602,      // Down
  kCodeCaretRight = 0x1603,
  kCodeCaretLeft = 0x1604,
  kCodeFinishStringEntry = 0x1605,  // no key: sent by the controls that end a backslash name
  kCodeCaretToLastChild = 0x1606,
  kCodeCaretLeftAlias = 0x1607,
  kCodeCaretRightAlias = 0x1608,
  kCodeBackspace = 0x1609,
  kCodeParentSelect = 0x160A,      // Shift-Up
  kCodeDescendSelect = 0x160B,     // Shift-Down
  kCodeExtendRight = 0x160C,
  kCodeExtendLeft = 0x160D,
  kCodeSelectPreviousLeaf = 0x160E,  // Shift-Tab
  kCodeSelectNextPrompt = 0x160F,  // Option-Tab
  kCodeExitGroup = 0x1610,         // ")"
  kCodeFirstTemplate = 0x1809,
  kCodeLastTemplate = 0x190A,
  kCodeFirstAlgebra = 0x2000,
  kCodeFirstStepwiseMove = 0x2100,
  kCodeMoveTermRight = 0x2101,     // the selected term one place right (a term drag sends it)
  kCodeMoveTermLeft = 0x2104,
  kCodeLastStepwiseMove = 0x2109,
  kCodeCut = 0x2200,
  kCodeCopy = 0x2201,
  kCodePaste = 0x2202,
  kCodeClear = 0x2203,
  kCodeLastAlgebra = 0x2205,
};

// The insertion code of a node kind.
constexpr int32_t KindCode(uint32_t kind) { return static_cast<int32_t>(kind - 4096 + kCodeFirstKind); }
// Caret motions: 0x1600..0x1610 except the backspace.
constexpr bool IsCaretMotionCode(int32_t code) {
  return code >= kCodeSelectNextLeaf && code <= kCodeExitGroup && code != kCodeBackspace;
}

// Runs one code on the current editor (nothing without one). Code 0 is ignored altogether.
// While memory is short only motions, the backspace and the clipboard codes run.
void DoFormulaEditCommand(int32_t code);

// Fills the structural command slots of the typesetting state (kind insertion, templates, cut,
// copy, paste, the drag selection) with the editor's own handlers. InitTypesetting runs it.
void InstallStructureCommandHandlers();

// Undo grouping. BeginUndoableEdit takes a snapshot and leaves the flag set, so the next change
// takes its own; SnapshotIfPending takes one only when the flag is set, and clears it;
// BeginGroupedUndoableEdit skips the snapshot inside a run of backspaces or of stepwise moves;
// ResetEditCommandHistory forgets the last two codes and sets the flag.
void BeginUndoableEdit();
void SnapshotIfPending();
void BeginGroupedUndoableEdit();
void ResetEditCommandHistory();
