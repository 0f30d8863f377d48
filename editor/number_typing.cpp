// Digits and the decimal separator at the caret. Typing over a digit range replaces it and keeps
// the caret in the digits; the decimal point's re-dispatch of a zero nests one level at most.
#include "editor/number_typing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/edit_commands.h"
#include "editor/layout_driver.h"
#include "editor/node_text_edits.h"
#include "editor/structural_deletion.h"
#include "editor/typeset_state.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kOutsideDigitLimit = 18;  // a digit after or in front while shorter than this
constexpr int32_t kInsideDigitLimit = 23;   // a digit inside the digits while at most this long
constexpr int32_t kSeparatorLimit = 21;     // a separator while shorter than this

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

bool IsNumber(const ExprNode* n) { return n->kind == KindNum && n->value.number; }

bool HasSeparator(const ExprNode* n) { return std::strchr(NodeText(n), GetDecimalSeparator()) != nullptr; }

bool TakesSeparator(const ExprNode* n) { return NodeTextLength(n) < kSeparatorLimit && !HasSeparator(n); }

void SetDigitsCaret(FormulaEditor* e, int32_t at) {
  e->selectionMode = SelectionDigits;
  e->selectionStart = e->selectionEnd = at;
}

// Typing over a digit range replaces it: the range goes and the caret stays in the digits.
void RemoveDigitRange(FormulaEditor* e) {
  const int32_t lo = std::min(e->selectionStart, e->selectionEnd), hi = std::max(e->selectionStart, e->selectionEnd);
  if (lo == hi) return;
  RemoveNodeText(e->caretNode, lo, hi);
  RereadNumberValue(e->caretNode);
  SetDigitsCaret(e, std::clamp(lo, 0, NodeTextLength(e->caretNode)));
}

// Puts one character into the digits at the caret, which moves past it. False when nothing
// changed: no range was typed over and the character did not fit.
bool InsertIntoDigits(FormulaEditor* e, char c, int32_t limit, bool separator) {
  const bool range = e->selectionStart != e->selectionEnd;
  RemoveDigitRange(e);
  ExprNode* n = e->caretNode;
  const int32_t at = std::clamp(e->selectionStart, 0, NodeTextLength(n));
  bool fits = separator ? TakesSeparator(n) : NodeTextLength(n) <= limit;
  if (!fits || !InsertNodeText(n, at, &c, 1)) return range;
  RereadNumberValue(n);
  SetDigitsCaret(e, at + 1);
  return true;
}

// The decimal point's own re-dispatch (a zero first) nests one level at most.
class DecimalPointNesting {
 public:
  DecimalPointNesting() { ++TypesetGlobals().editing.decimalPointNesting; }
  ~DecimalPointNesting() { --TypesetGlobals().editing.decimalPointNesting; }
  DecimalPointNesting(const DecimalPointNesting&) = delete;
  DecimalPointNesting& operator=(const DecimalPointNesting&) = delete;
};

}  // namespace

void InsertDigitNumber(int32_t code) {
  FormulaEditor* e = Editor();
  if (!e) return;
  const double value = code - '0';
  ExprNode* number = NewNumberNode(value);
  if (!number) return;
  char text[kNumberTextMax + 1];
  const size_t length = FormatDoubleShort(value, text, sizeof text);
  SetNumberText(number, text, length);
  ExprNode* c = e->caretNode;
  ReplaceExpression(number, c);
  SetFormulaSelection(c, SelectionCaretAfter);
}

void TypeDigit(int32_t code) {
  FormulaEditor* e = Editor();
  if (!e || e->selectionMode == SelectionMatrixBlock || e->selectionMode == SelectionText) return;
  const bool operatorReplaced = e->selectionMode == SelectionOperator;
  if (operatorReplaced) ReplaceSelectedOperator();
  if (e->selectionMode == SelectionDigits && !IsNumber(e->caretNode)) e->selectionMode = SelectionCaretAfter;
  ExprNode* c = e->caretNode;
  const char digit = static_cast<char>(code);
  switch (e->selectionMode) {
    case SelectionCaretNode: InsertDigitNumber(code); break;
    case SelectionChildRange:
      if (GroupSelectedRange()) InsertDigitNumber(code);
      break;
    case SelectionCaretAfter:
      if (IsNumber(c)) {
        // A digit the number has no room for changes nothing: no relayout.
        const int32_t length = NodeTextLength(c);
        if (length < kOutsideDigitLimit && !c->value.number->moreDigits && InsertNodeText(c, length, &digit, 1)) {
          RereadNumberValue(c);
        } else if (!operatorReplaced) {
          return;
        }
        break;
      }
      ClimbFromAttachedGroup();
      if (InsertOperatorAfterCaret(KindTimes)) InsertDigitNumber(code);
      break;
    case SelectionCaretBefore:
      if (IsNumber(c)) {
        if (NodeTextLength(c) < kOutsideDigitLimit && InsertNodeText(c, 0, &digit, 1)) RereadNumberValue(c);
        SetDigitsCaret(e, 1);
        break;
      }
      if (InsertOperatorBeforeCaret(c->kind == KindMinus ? KindPlus : KindTimes)) InsertDigitNumber(code);
      break;
    case SelectionDigits:
      if (!InsertIntoDigits(e, digit, kInsideDigitLimit, false) && !operatorReplaced) return;
      break;
    default: break;
  }
  InvalidateFormulaLayout();
}

void TypeDecimalPoint() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t mode = e->selectionMode;
  const char separator = GetDecimalSeparator();
  // A separator the number cannot take (it has one, or no room) changes nothing: no relayout.
  if (mode == SelectionCaretAfter && IsNumber(c)) {
    const NumberRecord& r = *c->value.number;
    if (!TakesSeparator(c) || r.moreDigits || !std::isfinite(r.value) ||
        !InsertNodeText(c, NodeTextLength(c), &separator, 1))  // "1." keeps the value of "1"
      return;
  } else if (mode == SelectionDigits && IsNumber(c)) {
    if (!InsertIntoDigits(e, separator, 0, true)) return;
  } else if (mode == SelectionCaretBefore && IsNumber(c)) {
    if (!TakesSeparator(c) || !InsertNodeText(c, 0, &separator, 1)) return;
    RereadNumberValue(c);
    SetDigitsCaret(e, 1);
  } else if (c->kind == KindPrompt) {
    ExprNode* zero = NewNumberNode(0);
    if (!zero) return;
    const char text[] = {'0', separator};
    SetNumberText(zero, text, sizeof text);
    ReplaceExpression(zero, c);
    SetFormulaSelection(c, SelectionCaretAfter);
  } else if (mode >= SelectionCaretNode && mode <= SelectionCaretBefore) {
    if (TypesetGlobals().editing.decimalPointNesting > 0) return;
    DecimalPointNesting nesting;
    DoFormulaEditCommand('0');
    TypeDecimalPoint();
  }
  InvalidateFormulaLayout();
}

void LeaveNumberDigits() {
  FormulaEditor* e = Editor();
  if (!e || e->selectionMode != SelectionDigits) return;
  if (e->selectionStart != e->selectionEnd) {
    ClearSelection();
    InvalidateFormulaLayout();
  }
  if (e->selectionMode != SelectionDigits) return;
  ExprNode* c = e->caretNode;
  const int32_t length = NodeTextLength(c), at = e->selectionStart;
  if (!IsNumber(c) || at <= 0 || at >= length) {
    // Before this number (not after a factor on its left), or after it: nothing to split.
    e->selectionMode = IsNumber(c) && at <= 0 ? SelectionCaretBefore : SelectionCaretAfter;
    e->selectionStart = e->selectionEnd = 0;
    return;
  }
  ExprNode* tail = NewNumberNode(0);
  if (!tail) return;
  SetNumberText(tail, NodeText(c) + at, static_cast<size_t>(length - at));
  RereadNumberValue(tail);
  e->selectionMode = SelectionCaretAfter;
  if (!InsertOperatorAfterCaret(KindTimes)) {
    FreeExpression(tail);
    SetDigitsCaret(e, at);
    return;
  }
  ReplaceExpression(tail, e->caretNode);
  RemoveNodeText(c, at, length);
  RereadNumberValue(c);
  SetFormulaSelection(c, SelectionCaretAfter);
  InvalidateFormulaLayout();
}
