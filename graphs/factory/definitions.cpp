// Definitions, sliders and complex points over expression trees and the document's rows. Every
// walk is iterative (TreeCursor); rows are read only; the definition list is built from copies
// and freed whole when a copy fails.
#include "graphs/factory/definitions.h"

#include "graphs/core/document_services.h"
#include "graphs/factory/form_shapes.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

bool IsChar(const ExprNode* node) { return node != nullptr && node->kind == KindChar; }
bool IsKindOfArity(const ExprNode* node, uint32_t kind, int arity) {
  return node != nullptr && node->kind == kind && node->arity == arity;
}
bool IsEqualOfTwo(const ExprNode* node) { return IsKindOfArity(node, KindEqual, 2); }
bool IsGreek(int32_t id) { return id >= kFirstSymbolId && id <= kLastSymbolId; }

// The left side a slider or complex point may define: an unreserved variable, or an integer-
// subscripted name whose base is unreserved.
bool IsDefinableName(const ExprNode* node) {
  if (IsChar(node)) return !IsReservedSymbol(node->value.symbol);
  return IsIntegerSubscriptedName(node) && !IsReservedSymbol(node->children[0]->value.symbol);
}

bool IsEquationRow(const EquationRow& row) { return row.kind == 0 && row.expression != nullptr; }

// Some row is a complex-point definition of the key.
bool ComplexPointKeyDefined(int32_t key, const DocumentServices* document) {
  if (document == nullptr || key < 0) return false;
  for (int32_t i = 0; i < document->RowCount(); ++i) {
    const EquationRow& row = document->RowAt(i);
    if (IsEquationRow(row) && IsComplexPointDefinition(row.expression) &&
        DefinedParameterKey(row.expression) == key) {
      return true;
    }
  }
  return false;
}

// A copy of a definition with its parameters marked; null when memory ran out (the kernel gives
// a NaN number then, which is no equation).
ExprNode* CopyDefinition(const ExprNode* item) {
  ExprNode* copy = CopyExpression(item);
  if (copy == nullptr || copy->kind != item->kind) {
    FreeExpression(copy);
    return nullptr;
  }
  MarkFunctionParameters(copy);
  return copy;
}

// A row the definition list takes: a definition (or a comma row that starts with one), but not a
// slider or complex-point definition, whose values come from the document instead of rewriting.
bool IsCollectedRow(const EquationRow& row) {
  return IsEquationRow(row) && IsDefinitionItem(row.expression) && !IsSliderDefinition(row.expression) &&
         !IsComplexPointDefinition(row.expression);
}

// Calls visit(item) for the items of the definition list, in row order: the first collected row
// whole (every item of a comma row, whatever it is), later comma rows by their definition
// equations alone (sliders and complex points among them), later plain rows as they stand.
// Returns whether the first collected row was a comma row (the result is then a list even of one).
template <typename Visit>
bool ForEachCollectedItem(const DocumentServices* document, Visit visit) {
  if (document == nullptr) return false;
  bool first = true, firstIsComma = false;
  for (int32_t i = 0; i < document->RowCount(); ++i) {
    const EquationRow& row = document->RowAt(i);
    if (!IsCollectedRow(row)) continue;
    const ExprNode* expression = row.expression;
    if (expression->kind != KindComma) {
      visit(expression);
    } else {
      for (int k = 0; k < expression->arity; ++k) {
        if (first || IsDefinitionEquation(expression->children[k])) visit(expression->children[k]);
      }
    }
    if (first) firstIsComma = expression->kind == KindComma;
    first = false;
  }
  return firstIsComma;
}

}  // namespace

// ---- Names ----

bool IsReservedName(const ExprNode* node) { return IsChar(node) && IsReservedSymbol(node->value.symbol); }

bool IsSubscriptedName(const ExprNode* node) { return IsChar(SubscriptedBase(node)); }

bool IsIntegerSubscriptedName(const ExprNode* node) {
  if (!IsSubscriptedName(node) || node->arity != 2) return false;
  const ExprNode* subscript = node->children[1];
  return subscript->kind == KindNum && subscript->value.number != nullptr &&
         IsWholeNumber(subscript->value.number->value);
}

bool IsNameOrSubscriptedName(const ExprNode* node) { return IsChar(node) || IsSubscriptedName(node); }

// ---- Row predicates ----

bool IsDefinitionEquation(const ExprNode* node) {
  if (!IsEqualOfTwo(node)) return false;
  const ExprNode* left = node->children[0];
  if (IsChar(left)) return !IsReservedSymbol(left->value.symbol);
  if (IsSubscriptedName(left)) return true;
  return left->kind == KindFunction && left->arity >= 1 && IsNameOrSubscriptedName(left->children[0]);
}

bool IsDefinitionItem(const ExprNode* node) {
  if (node != nullptr && node->kind == KindComma && node->arity >= 1) return IsDefinitionEquation(node->children[0]);
  return IsDefinitionEquation(node);
}

bool IsSliderDefinition(const ExprNode* node) {
  if (!IsEqualOfTwo(node) || !IsDefinableName(node->children[0])) return false;
  const ExprNode* slider = node->children[1];
  if (slider->kind != KindSlider || slider->arity < 1) return false;
  const ExprNode* group = slider->children[0];
  if (!IsKindOfArity(group, KindId, 1)) return false;
  const ExprNode* items = group->children[0];
  if (items->kind != KindComma || items->arity < 2 || items->arity > 3) return false;
  for (int k = 0; k < items->arity; ++k) {
    if (!IsConstantSubtree(items->children[k])) return false;
  }
  return true;
}

bool IsSliderDefinitionOfHandle(const EquationRow& row) {
  return IsEquationRow(row) && IsSliderDefinition(row.expression);
}

bool IsComplexPointDefinition(const ExprNode* node) {
  return IsEqualOfTwo(node) && IsDefinableName(node->children[0]) && IsComplexLiteral(node->children[1]);
}

bool IsSubscriptedCoordinateEquation(const ExprNode* node) {
  if (!IsEqualOfTwo(node)) return false;
  const ExprNode* left = node->children[0];
  return left->kind == KindIndexes && left->arity >= 1 && IsChar(left->children[0]) &&
         IsCoordinateSymbol(left->children[0]->value.symbol);
}

bool IsUndrawnDefinition(const ExprNode* node) {
  return IsDefinitionItem(node) && !IsComplexPointDefinition(node) && !IsSubscriptedCoordinateEquation(node);
}

// ---- Literals ----

bool IsSignedNumber(const ExprNode* node) {
  if (IsKindOfArity(node, KindMinus, 1)) node = node->children[0];
  return node != nullptr && node->kind == KindNum && node->value.number != nullptr;
}

bool IsImaginaryUnit(const ExprNode* node) { return IsChar(node) && node->value.symbol == kSymbolI; }

bool IsImaginaryTerm(const ExprNode* node) {
  if (IsKindOfArity(node, KindMinus, 1)) node = node->children[0];
  if (IsImaginaryUnit(node)) return true;
  return IsKindOfArity(node, KindTimes, 2) && IsSignedNumber(node->children[0]) && IsImaginaryUnit(node->children[1]);
}

bool IsComplexLiteral(const ExprNode* node) {
  if (IsImaginaryTerm(node)) return true;
  return IsKindOfArity(node, KindPlus, 2) && IsSignedNumber(node->children[0]) && IsImaginaryTerm(node->children[1]);
}

double SignedNumberValue(const ExprNode* node) {
  if (node->kind == KindMinus) return -SignedNumberValue(node->children[0]);
  return node->value.number->value;
}

void ComplexLiteralValue(Complex* out, const ExprNode* node) {
  double real = 0.0;
  const ExprNode* term = node;
  if (term->kind == KindPlus) {
    real = SignedNumberValue(term->children[0]);
    term = term->children[1];
  }
  double sign = 1.0;
  if (term->kind == KindMinus) {
    sign = -1.0;
    term = term->children[0];
  }
  const double imaginary = IsImaginaryUnit(term) ? 1.0 : SignedNumberValue(term->children[0]);
  *out = Complex{real, sign * imaginary};
}

// ---- Keys and values ----

int32_t NameKey(const ExprNode* node) {
  if (IsChar(node)) return node->value.symbol;
  if (IsIntegerSubscriptedName(node)) {
    return DefinedNameKey(node->children[0]->value.symbol, &node->children[1]->value.number->value);
  }
  if (IsSubscriptedName(node)) return node->children[0]->value.symbol;
  return -1;
}

int32_t DefinedParameterKey(const ExprNode* equation) {
  if (equation == nullptr || equation->kind != KindEqual || equation->arity < 1) return -1;
  const ExprNode* left = equation->children[0];
  if (left->kind == KindFunction && left->arity >= 1) left = left->children[0];
  return NameKey(left);
}

int32_t GetNodeSymbolLowByte(const ExprNode* expression) {
  const int32_t key = DefinedParameterKey(expression);
  return key < 0 ? 0 : (key & 0xFF);
}

double GetRowSliderValue(const EquationRow& row) {
  if (!row.hasSliderControl || row.sliderSteps <= 0) return row.sliderMin;
  int32_t c = row.sliderValue;
  if (c < 0) c = 0;
  if (c > row.sliderSteps) c = row.sliderSteps;
  return row.sliderMin + c * (row.sliderMax - row.sliderMin) / row.sliderSteps;
}

void GetDefinedParameterValue(Complex* out, int32_t key, const DocumentServices* document) {
  *out = Complex{1.0, 0.0};
  if (document == nullptr) return;
  for (int32_t i = 0; i < document->RowCount(); ++i) {
    const EquationRow& row = document->RowAt(i);
    if (!IsEquationRow(row) || DefinedParameterKey(row.expression) != key) continue;
    if (IsComplexPointDefinition(row.expression)) {
      ComplexLiteralValue(out, row.expression->children[1]);
      return;
    }
    if (row.hasSliderControl && IsSliderDefinition(row.expression)) {
      *out = Complex{GetRowSliderValue(row), 0.0};
      return;
    }
  }
}

bool IsNameDefinedInDocument(const ExprNode* node, const DocumentServices* document) {
  if (!IsChar(node)) return false;
  int32_t key = node->value.symbol;
  // Only a subscript names a defined value (a_1); a raised index over the letter does not.
  const ExprNode* parent = node->parent;
  if (parent != nullptr && SubscriptedBase(parent) == node && parent->arity >= 2 &&
      parent->children[1]->kind == KindNum && parent->children[1]->value.number != nullptr) {
    key = DefinedNameKey(key, &parent->children[1]->value.number->value);
  }
  return ComplexPointKeyDefined(key, document);
}

bool TreeUsesComplexPointName(const ExprNode* tree, const DocumentServices* document) {
  if (tree == nullptr || document == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (IsNameDefinedInDocument(n, document)) return true;
  }
  return false;
}

bool DocumentDefinesParameter(int32_t symbol, const DocumentServices* document) {
  if (document == nullptr) return false;
  for (int32_t i = 0; i < document->RowCount(); ++i) {
    const EquationRow& row = document->RowAt(i);
    if (IsSliderDefinitionOfHandle(row) && (DefinedParameterKey(row.expression) & 0xFF) == symbol) return true;
  }
  return false;
}

// ---- The definition list ----

void MakeSymbolDummy(ExprNode* tree, int32_t symbol) {
  if (tree == nullptr) return;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindChar && n->value.symbol == symbol) n->kind = KindDummy;
  }
}

void MarkFunctionParameters(ExprNode* equation) {
  if (!IsEqualOfTwo(equation)) return;
  ExprNode* function = equation->children[0];
  if (function->kind != KindFunction || function->arity < 1 || !IsNameOrSubscriptedName(function->children[0])) {
    return;
  }
  ExprNode* body = equation->children[1];
  for (int k = 1; k < function->arity; ++k) {
    TreeCursor cursor(function->children[k], WalkOrder::kPreOrder);
    for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
      if (n->kind != KindChar && n->kind != KindDummy) continue;
      const int32_t symbol = n->value.symbol;
      if (n->kind == KindChar && !IsGreek(symbol)) n->kind = KindDummy;
      MakeSymbolDummy(body, symbol);
    }
  }
}

ExprNode* CollectDefinitionEquations(const DocumentServices* document) {
  int32_t count = 0;
  const ExprNode* single = nullptr;
  const bool firstIsComma = ForEachCollectedItem(document, [&](const ExprNode* item) {
    single = item;
    ++count;
  });
  if (count == 0) return nullptr;
  if (count == 1 && !firstIsComma) return CopyDefinition(single);
  // More than one item is always a list (an item is never appended to an equation); one past the
  // operand limit would drop rows unseen, so none is kept and the user is told.
  if (count > kMaxArity) {
    RefuseAtOperandLimit();
    return nullptr;
  }
  ExprNode* list = NewNode(KindList, count);
  if (list == nullptr) return nullptr;
  int32_t filled = 0;
  bool failed = false;
  ForEachCollectedItem(document, [&](const ExprNode* item) {
    if (failed || filled == count) return;
    ExprNode* copy = CopyDefinition(item);
    if (copy == nullptr) {
      failed = true;
      return;
    }
    SetChild(list, filled++, copy);
  });
  if (failed) {
    FreeExpression(list);
    return nullptr;
  }
  return list;
}
