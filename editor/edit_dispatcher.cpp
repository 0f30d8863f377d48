// DoFormulaEditCommand: the code tests in their fixed order (the first that holds decides), the
// undo bookkeeping on the way, and the vector and dummy marking of the selection's letters.
// Caret motions, the backspace and the clipboard run before the memory check; nothing after it
// runs while memory is short.
#include "editor/edit_commands.h"

#include <iterator>

#include "editor/caret_navigation.h"
#include "editor/document_services.h"
#include "editor/edit_templates.h"
#include "editor/formula_clipboard.h"
#include "editor/layout_driver.h"
#include "editor/letter_typing.h"
#include "editor/mouse_selection.h"
#include "editor/number_typing.h"
#include "editor/string_typing.h"
#include "editor/structural_deletion.h"
#include "editor/structure_insertion.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"

namespace {

using Motion = void (*)();

// The motion of each code from 0x1600; the backspace's row is empty.
constexpr Motion kMotions[] = {
    SelectNextLeaf,        // 0x1600 Tab
    CaretToParent,         // 0x1601 Up
    CaretDescend,          // 0x1602 Down
    CaretRight,            // 0x1603 Right
    CaretLeft,             // 0x1604 Left
    FinishStringEntry,     // 0x1605
    CaretToLastChild,      // 0x1606
    CaretLeft,             // 0x1607
    CaretRight,            // 0x1608
    nullptr,               // 0x1609 backspace
    CaretToParent,         // 0x160A Shift-Up
    CaretDescend,          // 0x160B Shift-Down
    ExtendSelectionRight,  // 0x160C Shift-Right
    ExtendSelectionLeft,   // 0x160D Shift-Left
    SelectPreviousLeaf,    // 0x160E Shift-Tab
    SelectNextPrompt,      // 0x160F Option-Tab
    CaretExitGroup,        // 0x1610 ")"
};
static_assert(std::size(kMotions) == kCodeExitGroup - kCodeSelectNextLeaf + 1);

EditCommandState& State() { return TypesetGlobals().editing; }

bool InRange(int32_t code, int32_t first, int32_t last) { return code >= first && code <= last; }

bool IsLetterCode(int32_t code) { return InRange(code, 'A', 'Z') || InRange(code, 'a', 'z'); }

bool IsStepwiseMove(int32_t code) { return InRange(code, kCodeFirstStepwiseMove, kCodeLastStepwiseMove); }

void RunClipboardCommand(int32_t code) {
  const StructureCommandHandlers& h = State().handlers;
  void (*handler)() = code == kCodeCut ? h.cutSelection : code == kCodeCopy ? h.copySelection
                    : code == kCodePaste ? h.pasteClipboard : nullptr;
  if (code == kCodeClear) {
    ClearSelection();
    InvalidateFormulaLayout();
  } else if (handler) {
    handler();
  }
}

// 0x1505 turns dummies into letters and plain letters into dummies (Greek letters and the other
// symbols stay letters); 0x1504 marks every letter and dummy as a vector. A letter already in a
// vector is not wrapped again, so repeating the command changes nothing more.
void MarkSelectedLetters(FormulaEditor* e, int32_t code) {
  if (e->selectionMode == SelectionChildRange) GroupSelectedRange();
  if (e->selectionMode == SelectionOperator || e->selectionMode == SelectionText) return;
  TreeCursor cursor(e->caretNode, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    if (code == kCodeToggleDummies) {
      if (n->kind == KindDummy) {
        n->kind = KindChar;
      } else if (n->kind == KindChar && (n->value.symbol < kFirstSymbolId || n->value.symbol > kLastSymbolId)) {
        n->kind = KindDummy;
      }
    } else if ((n->kind == KindChar || n->kind == KindDummy) && !(n->parent && n->parent->kind == KindVector)) {
      WrapInUnary(n, KindVector);  // in place: the walk goes on after the new vector
    }
  }
  InvalidateFormulaLayout();
}

void InsertKind(int32_t code) {
  if (auto insert = State().handlers.insertKind) insert(static_cast<uint32_t>(code - kCodeFirstKind) + KindNum);
}

void RunTemplate(FormulaEditor* e, int32_t code) {
  if (e->selectionMode == SelectionDigits) LeaveNumberDigits();
  if (auto run = State().handlers.runTemplate) run(code);
}

}  // namespace

void InstallStructureCommandHandlers() {
  StructureCommandHandlers& h = State().handlers;
  h.insertKind = InsertKindAtCaret;
  h.runTemplate = RunTemplateCommand;
  h.cutSelection = CutSelection;
  h.copySelection = CopySelection;
  h.pasteClipboard = PasteClipboard;
  h.trackFormulaDrag = ExtendSelectionToPoint;
}

void BeginUndoableEdit() {
  BeginEquationEdit();
  State().snapshotPending = true;
}

void SnapshotIfPending() {
  if (!State().snapshotPending) return;
  BeginEquationEdit();
  State().snapshotPending = false;
}

void BeginGroupedUndoableEdit() {
  const EditCommandState& s = State();
  bool backspaces = s.lastCode == kCodeBackspace && s.previousCode == kCodeBackspace;
  bool moves = IsStepwiseMove(s.lastCode) && IsStepwiseMove(s.previousCode);
  if (!backspaces && !moves) BeginUndoableEdit();
}

void ResetEditCommandHistory() {
  EditCommandState& s = State();
  s.lastCode = s.previousCode = 0;
  s.snapshotPending = true;
}

void DoFormulaEditCommand(int32_t code) {
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || code == 0) return;
  EditCommandState& s = State();
  // A run of letters or backspaces is one undo step in one row: a code in another editor starts a
  // step of its own there, whatever took the caret across.
  if (s.lastEditor != e) {
    ResetEditCommandHistory();
    s.lastEditor = e;
  }
  s.previousCode = s.lastCode;
  s.lastCode = code;
  if (IsCaretMotionCode(code)) {
    ResetEditCommandHistory();
    kMotions[code - kCodeSelectNextLeaf]();
    return;
  }
  if (code == kCodeBackspace) {
    BeginGroupedUndoableEdit();
    DeleteBackward();
    return;
  }
  if (InRange(code, kCodeCut, kCodeClear)) {
    if (code != kCodeCopy) BeginUndoableEdit();
    RunClipboardCommand(code);
    return;
  }
  if (CheckFreeMemory()) return;
  const bool character = code >= 0 && code < 0x100;
  if (InRange(code, kCodeFirstAlgebra, kCodeLastAlgebra)) {
    BeginGroupedUndoableEdit();
    DoAlgebraCommand(code);
  } else if (character && e->selectionMode == SelectionCaretAfter && e->caretNode->kind == KindString) {
    SnapshotIfPending();
    TypeIntoString(code);
  } else if (character && e->selectionMode == SelectionText) {
    SnapshotIfPending();
    TypeIntoStringText(code);
  } else if (code == static_cast<unsigned char>(GetDecimalSeparator())) {
    SnapshotIfPending();
    TypeDecimalPoint();
  } else if (InRange(code, kCodeFirstTemplate, kCodeLastTemplate)) {
    SnapshotIfPending();
    RunTemplate(e, code);
  } else if (code == kCodeMarkVectors || code == kCodeToggleDummies) {
    SnapshotIfPending();
    MarkSelectedLetters(e, code);
  } else if (InRange(code, kCodeFirstSymbol, kCodeLastSymbol) || IsLetterCode(code)) {
    SnapshotIfPending();
    TypeLetter(code);
  } else if (code == kCodeStringKind || InRange(code, kCodeFirstInsertableKind, kCodeLastKind)) {
    SnapshotIfPending();
    InsertKind(code);
  } else if (InRange(code, '0', '9')) {
    SnapshotIfPending();
    TypeDigit(code);
  }
}
