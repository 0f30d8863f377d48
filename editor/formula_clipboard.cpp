// The clipboard commands. A copy that ran out of memory (the node pools report an exhaustion
// during it) is never kept: the copier's placeholder is freed and the clipboard stays empty.
#include "editor/formula_clipboard.h"

#include <algorithm>
#include <cstring>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/document_services.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/node_text_edits.h"
#include "editor/number_typing.h"
#include "editor/structural_deletion.h"
#include "editor/structure_insertion.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"

namespace {

// Pasted digits go into a number only while the two texts together stay shorter than this.
constexpr int32_t kPastedDigitsLimit = 23;

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }
FormulaClipboard& Clip() { return TypesetGlobals().clipboard; }

void RememberScrap(const char* text) {
  FormulaClipboard& clip = Clip();
  FreeMemory(clip.seenScrapText);
  clip.seenScrapText = nullptr;
  if (!text) return;
  const size_t size = std::strlen(text) + 1;
  if (auto* copy = static_cast<char*>(AllocMemory(size))) {
    std::memcpy(copy, text, size);
    clip.seenScrapText = copy;
  }
}

// The tree (taken over, or none) and the operator kind become the clipboard; a tree is put on the
// system clipboard as bracket text too, its numbers as the plain words the user typed where they
// read back the same.
void Store(ExprNode* tree, uint32_t operatorKind) {
  FormulaClipboard& clip = Clip();
  FreeExpression(clip.expression);
  clip.expression = tree;
  clip.operatorKind = operatorKind;
  if (tree && HasSystemClipboard()) {
    char* text = FormatExpressionBracket(tree, nullptr, BracketNumbers::kBareWhereSame);
    PutScrapText(text);
    FreeMemory(text);
  }
  RememberScrap(ScrapText());
}

// Text that another program put on the system clipboard since it was last seen here becomes the
// clipboard when it is one whole formula. Other text refuses the paste and says so, every time
// while it stays there: pasting the previous formula instead would paste what the user did not
// copy. Returns false when the paste is refused.
bool AdoptScrapText() {
  const char* text = ScrapText();
  const char* seen = Clip().seenScrapText;
  if (!text || (seen && std::strcmp(seen, text) == 0)) return true;
  const uint64_t exhausted = NodeExhaustionReports(), raised = OutOfMemoryRaises();
  ExprNode* tree = ReadWholeFormulaWithBlanks(text);
  if (!tree) {
    // The operand limit is told as memory is (the reader posts error 7, which its once-bit may
    // swallow): by the reader's fault, not only by the memory counters.
    const int fault = FormulaReaderError();
    const bool memory = fault == kReaderFaultOperands || fault == kReaderFaultMemory ||
                        NodeExhaustionReports() != exhausted || OutOfMemoryRaises() != raised;
    const int error = memory ? kErrorOutOfMemory : kErrorUnreadableClipboard;
    ClearErrorPosted(error);  // a paste is asked for each time: each refusal is told
    PostError(error);
    return false;
  }
  RememberScrap(text);
  FreeExpression(Clip().expression);
  Clip().expression = tree;
  Clip().operatorKind = 0;
  return true;
}

ExprNode* CopyOfDigits(const FormulaEditor* e) {
  const ExprNode* c = e->caretNode;
  const int32_t length = NodeTextLength(c);
  const int32_t lo = std::clamp(std::min(e->selectionStart, e->selectionEnd), 0, length);
  const int32_t hi = std::clamp(std::max(e->selectionStart, e->selectionEnd), 0, length);
  ExprNode* number = NewNumberNode(0);
  if (!number) return nullptr;
  SetNumberText(number, NodeText(c) + lo, static_cast<size_t>(hi - lo));
  RereadNumberValue(number);
  return number;
}

// A copy of the selection (digits, block, range or node); null in other modes or when memory ran
// out during the copy.
ExprNode* CopyOfSelection(const FormulaEditor* e) {
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* copy = nullptr;
  switch (e->selectionMode) {
    case SelectionDigits: copy = CopyOfDigits(e); break;
    case SelectionMatrixBlock: copy = CopyMatrixBlock(); break;
    case SelectionChildRange: copy = CopySelectedOperands(); break;
    case SelectionCaretNode: copy = CloneExpression(e->caretNode); break;
    default: break;
  }
  if (NodeExhaustionReports() == reports) return copy;
  FreeExpression(copy);
  return nullptr;
}

bool HasDigitRange(const FormulaEditor* e) {
  return e->selectionMode == SelectionDigits && e->selectionStart != e->selectionEnd;
}

// The clipboard number's digits go in at the caret of the caret number while the texts together
// stay short enough; the caret follows them (after the number when they went in at its end).
void PasteDigits(FormulaEditor* e) {
  const ExprNode* clip = Clip().expression;
  ExprNode* c = e->caretNode;
  const int32_t length = NodeTextLength(c), count = NodeTextLength(clip);
  const int32_t at = std::clamp(std::min(e->selectionStart, e->selectionEnd), 0, length);
  if (clip->kind != KindNum || count == 0 || length + count >= kPastedDigitsLimit) return;
  if (!InsertNodeText(c, at, NodeText(clip), count)) return;
  RereadNumberValue(c);
  if (at < length) {
    e->selectionMode = SelectionDigits;
    e->selectionStart = e->selectionEnd = at + count;
  } else {
    SetFormulaSelection(c, SelectionCaretAfter);
  }
}

// A new factor prompt (opened by `open`) filled with the clipboard; a refused copy takes the
// prompt away again.
ExprNode* PasteAsFactor(bool (*open)(uint32_t)) {
  if (!open(KindTimes)) return nullptr;
  ExprNode* pasted = ReplaceCaretByClipboard();
  if (!pasted) DeletePrompt();
  return pasted;
}

// Pastes by mode; returns the pasted node when its operands may splice into its parent.
ExprNode* PasteByMode(FormulaEditor* e) {
  if (e->selectionMode == SelectionDigits) {
    const ExprNode* number = e->caretNode;
    if (HasDigitRange(e)) ClearSelection();
    if (e->caretNode == number && number->kind == KindNum) {
      PasteDigits(e);
      return nullptr;
    }
    // Every digit was cleared: a prompt is left, or the caret beside the factor it was.
  }
  switch (e->selectionMode) {
    case SelectionCaretNode: return ReplaceCaretByClipboard();
    case SelectionCaretAfter: {
      ExprNode* pasted = PasteAsFactor(InsertOperatorAfterCaret);
      if (pasted) {
        const bool splices = IsInfixNode(pasted) && pasted->parent && pasted->parent->kind == pasted->kind;
        SetFormulaSelection(pasted, splices ? SelectionCaretNode : SelectionCaretAfter);
      }
      return pasted;
    }
    case SelectionCaretBefore: {
      ExprNode* pasted = PasteAsFactor(InsertOperatorBeforeCaret);
      if (pasted) SetFormulaSelection(pasted, SelectionCaretAfter);
      return pasted;
    }
    default: return nullptr;
  }
}

// A sum pasted into a sum (a product into a product) gives its operands to the parent: selected
// when the pasted node was, else with the caret after the last of them.
void SpliceAssociative(FormulaEditor* e, ExprNode* pasted) {
  ExprNode* p = pasted->parent;
  if (!p || p->kind != pasted->kind || !IsInfixNode(pasted) || pasted->arity == 0) return;
  const int32_t at = IndexInParent(pasted), count = pasted->arity;
  ExprNode* last = pasted->children[count - 1];
  const bool select = e->selectionMode == SelectionCaretNode;
  FlattenChildInto(p, at);
  if (at + count - 1 >= p->arity || p->children[at + count - 1] != last) return;  // refused: kept whole
  if (select) {
    e->caretNode = p;
    e->selectionMode = SelectionChildRange;
    e->selectionStart = at;
    e->selectionEnd = at + count - 1;
  } else {
    SetFormulaSelection(last, SelectionCaretAfter);
  }
}

}  // namespace

void CopySelection() {
  FormulaEditor* e = Editor();
  if (!e) return;
  const int32_t mode = e->selectionMode;
  if (mode == SelectionOperator) {
    Store(nullptr, e->caretNode->kind);
  } else if (mode == SelectionCaretNode || mode == SelectionChildRange || mode == SelectionMatrixBlock ||
             HasDigitRange(e)) {
    Store(CopyOfSelection(e), 0);
  }
}

void CutSelection() {
  FormulaEditor* e = Editor();
  if (!e) return;
  if (e->selectionMode == SelectionChildRange && !GroupSelectedRange()) return;
  if (e->selectionMode == SelectionOperator) {
    Store(nullptr, e->caretNode->kind);
    DeleteSelectedOperator();
  } else if (HasDigitRange(e)) {
    ExprNode* digits = CopyOfSelection(e);
    Store(digits, 0);
    if (digits) ClearSelection();
  } else if (e->selectionMode == SelectionCaretNode) {
    ExprNode* copy = CopyOfSelection(e);
    Store(copy, 0);
    if (!copy) return;  // out of memory: the formula stays as it was
    if (e->caretNode->kind != KindPrompt) DeleteCaretNode();
    // Only a prompt left behind goes: a factor's deletion may already have put the caret on a
    // neighbouring factor, which must stay.
    const ExprNode* c = e->caretNode;
    if (c->kind == KindPrompt && c->parent && c->parent->arity > 1 && c->parent->kind != KindPlus) DeletePrompt();
    SetFormulaSelectionKeepMode(e->caretNode);
  } else {
    return;
  }
  InvalidateFormulaLayout();
}

void PasteClipboard() {
  FormulaEditor* e = Editor();
  if (!e || !AdoptScrapText()) return;
  const FormulaClipboard& clip = Clip();
  if (e->selectionMode == SelectionChildRange && !GroupSelectedRange()) return;
  if (e->selectionMode == SelectionDigits && clip.expression && clip.expression->kind != KindNum) LeaveNumberDigits();
  if (clip.operatorKind != 0) {
    InsertKindAtCaret(clip.operatorKind);
    return;
  }
  if (!clip.expression) return;
  if (ExprNode* pasted = PasteByMode(e)) SpliceAssociative(e, pasted);
  InvalidateFormulaLayout();
}

ExprNode* ReplaceCaretByClipboard() {
  FormulaEditor* e = Editor();
  const ExprNode* tree = Clip().expression;
  if (!e || !tree) return nullptr;
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* copy = CopyExpression(tree);
  if (!copy || NodeExhaustionReports() != reports) {
    FreeExpression(copy);
    return nullptr;
  }
  ExprNode* c = e->caretNode;
  ReplaceExpression(copy, c);
  SetFormulaSelectionKeepMode(c);
  return c;
}

ExprNode* CopyMatrixBlock() {
  MatrixBlock b;
  if (!SelectedMatrixBlock(&b)) return nullptr;
  const ExprNode* m = Editor()->caretNode;
  const int32_t count = b.Height() * b.Width();
  ExprNode* block = NewNode(KindMatrix, count);
  if (!block) return nullptr;
  block->value.halves = NodeHalves{static_cast<int16_t>(b.Height()), static_cast<int16_t>(b.Width())};
  for (int32_t k = 0; k < count; ++k) {
    ExprNode* cell = CopyExpression(m->children[b.Cell(k)]);
    if (!cell) {
      FreeExpression(block);  // the slots not filled yet are empty
      return nullptr;
    }
    SetChild(block, k, cell);
  }
  return block;
}

const ExprNode* FormulaClipboardExpression() { return Clip().expression; }

void SetFormulaClipboardExpression(ExprNode* tree) {
  FreeExpression(Clip().expression);
  Clip().expression = tree;
  Clip().operatorKind = 0;
}
