// Templates as data: one table from code to handler, and the scripted templates as arrays of
// steps. Handlers that type into a new slot find the structure again from the caret afterwards
// (typing replaces the slot in place, but never trust a pointer across an edit).
#include "editor/edit_templates.h"

#include <iterator>
#include <span>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "editor/letter_typing.h"
#include "editor/node_notation.h"
#include "editor/number_typing.h"
#include "editor/structure_insertion.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/trees/expr_node.h"

namespace {

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

int32_t Mode() { return Editor()->selectionMode; }

void Select(ExprNode* node, int32_t mode = SelectionCaretNode) { SetFormulaSelection(node, mode); }

ExprNode* NearestOfKind(ExprNode* node, uint32_t kind) {
  while (node && node->kind != kind) node = node->parent;
  return node;
}

// The slot when it is still a prompt, else the whole structure.
void SelectPromptOr(ExprNode* slot, ExprNode* structure) { Select(slot->kind == KindPrompt ? slot : structure); }

// The caret's parent after something was typed into a new slot of it.
ExprNode* CaretParent() { return Editor()->caretNode->parent; }

// ---- Matrices --------------------------------------------------------------------------------

// The matrix as rows x columns cells: its old cells keep their row and column, the new places get
// prompts. Every prompt is made before a cell moves, so a refusal leaves the matrix as it was; a
// shape past the operand limit is refused and told (error 7).
bool GrowMatrix(ExprNode* m, int32_t rows, int32_t columns) {
  const int32_t oldRows = m->value.halves.first, oldColumns = m->value.halves.second;
  if (oldRows < 1 || oldColumns < 1 || oldRows * oldColumns != m->arity) return false;
  if (rows > INT16_MAX || columns > INT16_MAX || rows * columns > kMaxArity) return RefuseAtOperandLimit();
  ExprNode* grown = NewNode(KindMatrix, rows * columns);
  if (!grown) return false;
  for (int32_t k = 0; k < rows * columns; ++k) {
    if (k / columns < oldRows && k % columns < oldColumns) continue;
    ExprNode* prompt = NewPromptNode();
    if (!prompt) {
      for (int32_t j = 0; j < k; ++j)
        if (grown->children[j]) FreeNode(grown->children[j]);
      FreeNode(grown);
      return false;
    }
    SetChild(grown, k, prompt);
  }
  for (int32_t k = 0; k < m->arity; ++k) SetChild(grown, k / oldColumns * columns + k % oldColumns, m->children[k]);
  grown->value.halves = NodeHalves{static_cast<int16_t>(rows), static_cast<int16_t>(columns)};
  MoveNodeIntoKeepingCaret(grown, m);
  return true;
}

// ---- Handlers --------------------------------------------------------------------------------

// d/d□ (optotal) or ∂/∂□ (oppartial) applied to the caret node, the caret in the variable. False
// in the modes it does not take.
bool ApplyDerivativeOperator(uint32_t op) {
  switch (Mode()) {
    case SelectionCaretAfter:
      if (IsCaretBetweenFactors()) {
        Select(CaretParent()->children[IndexInParent(Editor()->caretNode) + 1]);
      } else if (!InsertOperatorAfterCaret(KindTimes)) {
        return false;
      }
      break;
    case SelectionChildRange:
      if (!GroupSelectedRange()) return false;
      break;
    case SelectionCaretNode:
    case SelectionCaretBefore: break;
    default: return false;
  }
  return WrapCaretNodeInKind(KindFunction, 2, 1) && WrapCaretNodeInKind(op, 1, 0);
}

void DerivativeOperator(int32_t op) { ApplyDerivativeOperator(static_cast<uint32_t>(op)); }

// d/dx and ∂/∂x: the operator with x typed as its variable.
void DerivativeInX(int32_t op) {
  if (Mode() == SelectionOperator || !ApplyDerivativeOperator(static_cast<uint32_t>(op))) return;
  TypeLetter('x');
  if (ExprNode* f = NearestOfKind(Editor()->caretNode, KindFunction)) SelectPromptOr(f->children[1], f);
}

void EmptySubscript(int32_t) {
  if (Mode() != SelectionCaretNode && Mode() != SelectionCaretAfter) return;
  if (ExprNode* list = WrapCaretNodeInKind(KindIndexes, 2, 0)) list->value.halves = NodeHalves{0, 1};
}

bool IsNumberOne(const ExprNode* n) { return n->kind == KindNum && n->value.number && n->value.number->value == 1.0; }

// 1/x becomes x; anything else x becomes 1/x.
void ToggleReciprocal(int32_t) {
  ExprNode* c = Editor()->caretNode;
  if (Mode() == SelectionCaretNode && c->kind == KindOver && c->arity == 2 && IsNumberOne(c->children[0])) {
    ExprNode* numerator = c->children[0];
    MoveNodeIntoKeepingCaret(c->children[1], c);
    FreeExpression(numerator);
    Select(c);
    return;
  }
  PrepareOperandForStructure();
  if (Mode() != SelectionCaretNode || !WrapCaretNodeInKind(KindOver, 2, 1)) return;
  InsertDigitNumber('1');
  ExprNode* over = CaretParent();
  SelectPromptOr(over->children[1], over);
}

// The argument prompt of sin(?) squared: sin²(?), the caret back in the argument.
void RaiseToDigit(int32_t digit) {
  FormulaEditor* e = Editor();
  switch (Mode()) {
    case SelectionCaretAfter: Select(e->caretNode); break;
    case SelectionChildRange: GroupSelectedRange(); break;
    case SelectionOperator:
      if (IsNamedFunctionKind(e->caretNode->kind)) Select(e->caretNode);
      break;
    case SelectionCaretBefore: InsertOperatorBeforeCaret(KindTimes); break;
    default: break;
  }
  ExprNode* c = e->caretNode;
  if (c->kind == KindPrompt && c->parent && IsNamedFunctionKind(c->parent->kind)) e->caretNode = c->parent;
  if (Mode() != SelectionCaretNode || !WrapCaretNodeInKind(KindPower, 2, 0)) return;
  InsertDigitNumber('0' + digit);
  ExprNode* power = CaretParent();
  ExprNode* base = power->children[0];
  if (base->kind != KindPrompt && IsNamedFunctionKind(base->kind) && OperandCount(base) == 1 &&
      base->children[0]->kind == KindPrompt) {
    Select(base->children[0]);
  } else {
    SelectPromptOr(base, power);
  }
}

// e^□, 2^□ or 10^□ over the caret node (':' is the digit code of 10).
void BaseToPower(int32_t baseCode) {
  PrepareOperandForStructure();
  if (Mode() != SelectionCaretNode || !WrapCaretNodeInKind(KindPower, 2, 1)) return;
  if (baseCode == 'e') {
    InsertSymbolAtCaret('e');
  } else {
    InsertDigitNumber(baseCode);
  }
  ExprNode* power = CaretParent();
  SelectPromptOr(power->children[1], power);
}

// The cube root (index 3) or the n-th root (index slot selected) of the caret node.
void Root(int32_t indexDigit) {
  PrepareOperandForStructure();
  if (Mode() != SelectionCaretNode || !WrapCaretNodeInKind(KindSqrt, 2, 0)) return;
  if (indexDigit) InsertDigitNumber(indexDigit);
  ExprNode* root = CaretParent();
  SelectPromptOr(root->children[indexDigit ? 0 : 1], root);
}

// log₂ of the caret node; a selected named function gives up its argument to it.
void LogBase2(int32_t) {
  ExprNode* c = Editor()->caretNode;
  if (Mode() == SelectionOperator && IsNamedFunctionKind(c->kind) && OperandCount(c) == 1) {
    UnwrapNodeKeepingCaret(c);
    Select(c);
  }
  PrepareOperandForStructure();
  if (Mode() != SelectionCaretNode || !WrapCaretNodeInKind(KindLog, 2, 0)) return;
  InsertDigitNumber('2');
  ExprNode* log = CaretParent();
  SelectPromptOr(log->children[0], log);
}

void SubscriptDigit(int32_t digit) {
  FormulaEditor* e = Editor();
  switch (Mode()) {
    case SelectionChildRange: GroupSelectedRange(); break;
    case SelectionOperator:
      if (IsNamedFunctionKind(e->caretNode->kind)) Select(e->caretNode);
      break;
    case SelectionCaretAfter: Select(e->caretNode); break;
    case SelectionCaretBefore: InsertOperatorBeforeCaret(KindTimes); break;
    default: break;
  }
  if (Mode() != SelectionCaretNode) return;
  ExprNode* list = WrapCaretNodeInKind(KindIndexes, 2, 0);
  if (!list) return;
  list->value.halves = NodeHalves{0, 1};
  InsertDigitNumber('0' + digit);
  list = CaretParent();
  Select(list->children[0]->kind == KindPrompt ? list->children[0] : list, SelectionCaretAfter);
}

void InsertKind(int32_t kind) { InsertKindAtCaret(static_cast<uint32_t>(kind)); }
void Relation(int32_t kind) { InsertRelation(static_cast<uint32_t>(kind)); }

// ---- Scripts ---------------------------------------------------------------------------------

enum class Op : uint8_t {
  kType,       // a digit or letter typed
  kKind,       // a kind inserted
  kSelect,     // the caret node selected (mode 0)
  kBoundSlot,  // AddBoundSlotIfRoom
  kColumn,     // AddMatrixColumn
  kRow,        // AddMatrixRowOrBranch
  kRight,      // Right arrow
};

struct Step {
  Op op;
  int32_t arg = 0;
};

constexpr Step kSum[] = {{Op::kKind, KindSum}, {Op::kBoundSlot}, {Op::kType, 'k'}, {Op::kKind, KindEqual},
                         {Op::kType, '0'},     {Op::kBoundSlot}, {Op::kType, '5'}};
constexpr Step kEvaluationBar[] = {{Op::kKind, KindSubstitution}, {Op::kBoundSlot}, {Op::kType, 'x'},
                                   {Op::kKind, KindEqual},        {Op::kType, '0'}};
constexpr Step kIndefiniteIntegral[] = {{Op::kKind, KindIntegral}, {Op::kType, 'x'}};
constexpr Step kDefiniteIntegral[] = {{Op::kKind, KindIntegral}, {Op::kType, 'x'}, {Op::kBoundSlot},
                                      {Op::kType, '0'},          {Op::kBoundSlot}, {Op::kType, '1'}};
constexpr Step kVector2[] = {{Op::kType, 'x'}, {Op::kSelect}, {Op::kKind, KindMatrix}, {Op::kRow}, {Op::kType, 'y'}};
constexpr Step kVector3[] = {{Op::kType, 'x'}, {Op::kSelect}, {Op::kKind, KindMatrix}, {Op::kRow},
                             {Op::kType, 'y'}, {Op::kRow},    {Op::kType, 'z'}};
constexpr Step kVector4[] = {{Op::kType, 'x'}, {Op::kSelect}, {Op::kKind, KindMatrix}, {Op::kRow}, {Op::kType, 'y'},
                             {Op::kRow},       {Op::kType, 'u'}, {Op::kRow},           {Op::kType, 'v'}};
constexpr Step kIdentity2[] = {{Op::kType, '1'}, {Op::kSelect},   {Op::kKind, KindMatrix}, {Op::kColumn},
                               {Op::kType, '0'}, {Op::kRow},      {Op::kType, '0'},        {Op::kRight},
                               {Op::kType, '1'}};
constexpr Step kIdentity3[] = {{Op::kType, '1'}, {Op::kSelect},    {Op::kKind, KindMatrix}, {Op::kColumn},
                               {Op::kType, '0'}, {Op::kColumn},    {Op::kType, '0'},        {Op::kRow},
                               {Op::kType, '0'}, {Op::kRight},     {Op::kType, '1'},        {Op::kRight},
                               {Op::kType, '0'}, {Op::kRow},       {Op::kType, '0'},        {Op::kRight},
                               {Op::kType, '0'}, {Op::kRight},     {Op::kType, '1'}};

struct Script {
  std::span<const Step> steps;
  bool firstCellSelected;  // a matrix script ends with its first cell selected
};

constexpr Script kScripts[] = {
    {kSum, false},     {kEvaluationBar, false}, {kIndefiniteIntegral, false}, {kDefiniteIntegral, false},
    {kVector2, true},  {kVector3, true},        {kVector4, true},             {kIdentity2, true},
    {kIdentity3, true},
};
enum ScriptIndex : int32_t { kSumScript, kBarScript, kIndefiniteScript, kDefiniteScript, kVector2Script,
                             kVector3Script, kVector4Script, kIdentity2Script, kIdentity3Script };

void RunScript(int32_t index) {
  const Script& script = kScripts[index];
  for (const Step& step : script.steps) {
    switch (step.op) {
      case Op::kType:
        if (step.arg >= '0' && step.arg <= '9') {
          TypeDigit(step.arg);
        } else {
          TypeLetter(step.arg);
        }
        break;
      case Op::kKind: InsertKindAtCaret(static_cast<uint32_t>(step.arg)); break;
      case Op::kSelect: Select(Editor()->caretNode); break;
      case Op::kBoundSlot: AddBoundSlotIfRoom(); break;
      case Op::kColumn: AddMatrixColumn(); break;
      case Op::kRow: AddMatrixRowOrBranch(); break;
      case Op::kRight: CaretRight(); break;
    }
  }
  ExprNode* m = NearestOfKind(Editor()->caretNode, KindMatrix);
  if (script.firstCellSelected && m && m->arity > 0) Select(m->children[0]);
}

// ---- The table ---------------------------------------------------------------------------------

struct TemplateRow {
  int32_t code;
  void (*run)(int32_t);
  int32_t arg;
  // With a matrix block or a text caret selected the template does nothing, not even a relayout
  // (every other template relayouts even where it changes nothing).
  bool idleOnBlockOrText = false;
};

template <void (*F)()>
void Plain(int32_t) { F(); }

constexpr TemplateRow kTemplates[] = {
    {0x1809, DerivativeOperator, KindOptotal},  {0x180A, DerivativeOperator, KindOppartial},
    {0x18A0, Plain<AddMatrixRowOrBranch>, 0},    {0x18A1, Plain<AddMatrixColumn>, 0},
    {0x18A6, EmptySubscript, 0},                 {0x18A9, ToggleReciprocal, 0},
    {0x18AA, RaiseToDigit, 2},                   {0x18AB, RaiseToDigit, 3},
    {0x18AC, BaseToPower, 'e'},                  {0x18AD, BaseToPower, '2'},
    {0x18AE, BaseToPower, ':'},                  {0x18AF, Root, '3'},
    {0x18B0, Root, 0},                           {0x18B1, LogBase2, 0},
    {0x18B2, DerivativeInX, KindOppartial},      {0x18B3, RunScript, kVector2Script},
    {0x18B4, RunScript, kVector3Script},         {0x18B5, SubscriptDigit, 0},
    {0x18B6, SubscriptDigit, 1},                 {0x18B7, SubscriptDigit, 2},
    {0x18B8, SubscriptDigit, 3},                 {0x18B9, SubscriptDigit, 4},
    {0x18BA, DerivativeInX, KindOptotal},        {0x18BB, RunScript, kSumScript},
    {0x18BC, InsertKind, KindLparen},            {0x18BD, RunScript, kBarScript},
    {0x18BF, RunScript, kIndefiniteScript},      {0x18C0, RunScript, kDefiniteScript},
    {0x18C1, RunScript, kIdentity2Script},       {0x18C2, RunScript, kIdentity3Script},
    {0x1900, Plain<Negate>, 0, true},            {0x1901, Relation, KindEqual},
    {0x1902, Plain<AddBoundSlotIfRoom>, 0},      {0x1905, Relation, KindLessthan},
    {0x1906, Relation, KindGreaterthan},         {0x1907, Plain<InsertListSeparator>, 0},
    {0x1908, RunScript, kVector4Script},         {0x1909, Relation, KindLeq},
    {0x190A, Relation, KindGeq},
};

}  // namespace

void AddMatrixRowOrBranch() {
  FormulaEditor* e = Editor();
  if (!e) return;
  if (ExprNode* m = NearestOfKind(e->caretNode, KindMatrix)) {
    const int32_t rows = m->value.halves.first, columns = m->value.halves.second;
    if (!CheckFreeMemory() && GrowMatrix(m, rows + 1, columns)) Select(m->children[rows * columns]);
    return;
  }
  ExprNode* n = e->caretNode;
  if (ExprNode* branch = NearestOfKind(n->parent, KindBranch)) {
    while (n->parent != branch) n = n->parent;
  } else {
    for (ExprNode* p = n->parent; p; p = n->parent) {
      const uint32_t k = p->kind;
      if (k == KindComma || k == KindAtop || k == KindLparen || k == KindEqual) break;
      n = p;
    }
  }
  Select(n);
  InsertKindAtCaret(KindBranch);  // a new row after the node, or the node as a branch's first row
}

void AddMatrixColumn() {
  FormulaEditor* e = Editor();
  ExprNode* m = e ? NearestOfKind(e->caretNode, KindMatrix) : nullptr;
  if (!m) return;
  const int32_t rows = m->value.halves.first, columns = m->value.halves.second;
  if (!CheckFreeMemory() && GrowMatrix(m, rows, columns + 1)) Select(m->children[rows * (columns + 1) - 1]);
}

void RunTemplateCommand(int32_t code) {
  if (!Editor()) return;
  const int32_t mode = Mode();
  for (const TemplateRow& row : kTemplates) {
    if (row.code != code) continue;
    if (row.idleOnBlockOrText && (mode == SelectionMatrixBlock || mode == SelectionText)) return;
    row.run(row.arg);
    break;
  }
  InvalidateFormulaLayout();
}
