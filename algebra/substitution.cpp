// Substitution and sum folding. Each result is built apart from the tree from copies and moved into
// the node in one step, so a refusal midway changes nothing; it is simplified only then, where it
// stands, so that its sign can move out over a product around it.
#include "algebra/substitution.h"

#include "algebra/command_progress.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "editor/layout_driver.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/trees/expr_node.h"

namespace {

// Calls step(node) on every node in post-order (successor taken after the step), stopping once
// memory is short or the running command has stopped.
template <class Step>
void ForEachWhileMemoryLasts(ExprNode* root, Step step) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr && !IsMemoryShort() && !MathCommandStopped(); n = cursor.Next()) step(n);
}

ExprNode* CaretNode() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  return editor != nullptr ? editor->caretNode : nullptr;
}

}  // namespace

bool ReplaceIfEqual(ExprNode* node, const ExprNode* old, const ExprNode* value) {
  if (!ExpressionsAndShapesEqual(node, old)) return false;
  ExprNode* copy = CopyTree(value);
  if (copy == nullptr) return false;
  ReplaceExpression(copy, node);
  return true;
}

ExprNode* Substituted(const ExprNode* f, const ExprNode* var, const ExprNode* value) {
  const uint64_t reports = NodeExhaustionReports();
  ExprNode* result = CopyTree(f);
  TreeCursor cursor(result, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    ExprNode* next = cursor.Pass();  // before the change: the copy put in is never examined
    ReplaceIfEqual(n, var, value);
    n = next;
  }
  if (result == nullptr || NodeExhaustionReports() != reports) {
    FreeExpression(result);
    return nullptr;
  }
  return result;
}

void ApplySubstitutionNode(ExprNode* node) {
  if (node->kind != KindSubstitution || node->arity < 2) return;
  const ExprNode* f = node->children[0];
  ExprNode* result = nullptr;
  if (node->arity == 2 && IsShape(node->children[1], KindEqual, 2) && f->kind != KindIntegral) {
    const ExprNode* equation = node->children[1];
    result = Substituted(f, equation->children[0], equation->children[1]);
    if (result == nullptr) return;
    ReplaceExpression(result, node);
    SimplifyAndNormalizeSigns(node);
    return;
  }
  if (node->arity == 3) {
    const ExprNode* lower = node->children[1];
    const ExprNode* upper = node->children[2];
    const bool named = IsShape(lower, KindEqual, 2);
    ExprNode* top = named ? Build(KindEqual, {CopyTree(lower->children[0]), CopyTree(upper)}) : CopyTree(upper);
    result = Build(KindPlus, {Build(KindSubstitution, {CopyTree(f), top}),
                              Build(KindMinus, {Build(KindSubstitution, {CopyTree(f), CopyTree(lower)})})});
  }
  if (result != nullptr) ReplaceExpression(result, node);
}

void ApplySubstitutions(ExprNode* root) { ForEachWhileMemoryLasts(root, ApplySubstitutionNode); }

void ApplySubstitutionsInFormula() {
  if (ExprNode* caret = CaretNode()) {
    ApplySubstitutions(caret);
    InvalidateFormulaLayout();
  }
}

void PeelSumTerm(ExprNode* node, bool isSum) {
  if (node->arity != 3 || !IsShape(node->children[1], KindEqual, 2)) return;
  const ExprNode* f = node->children[0];
  const ExprNode* index = node->children[1]->children[0];
  ExprNode* a = node->children[1]->children[1];
  const ExprNode* b = node->children[2];
  if (IsNumberNode(a) && IsNumberNode(b) && !(NumberValue(a) <= NumberValue(b))) return;
  // Nested sums double at every level they peel: the copy is refused before it is made.
  if (!MathCommandHasRoomFor(CountSubtreeNodes(f))) return;
  ExprNode* term = Substituted(f, index, a);
  if (term == nullptr) return;
  if (ExpressionsAndShapesEqual(a, b)) {
    ReplaceExpression(term, node);
    SimplifyAndNormalizeSigns(node);
    return;
  }
  ExprNode* next = Build(KindPlus, {CopyTree(a), NewNumberNode(1)});
  if (next == nullptr || !WrapInBinary(node, term, 0, isSum ? KindPlus : KindTimes)) {
    FreeExpression(term);
    FreeExpression(next);
    return;
  }
  SimplifyAndNormalizeSigns(term);  // may negate the node, which keeps a where it was
  SimplifyNode(next);
  ReplaceExpression(next, a);  // a kept its place when the node's content moved down a level
}

void FoldSums(ExprNode* root) {
  ForEachWhileMemoryLasts(root, [](ExprNode* node) {
    if (node->kind == KindSum || node->kind == KindProd) PeelSumTerm(node, node->kind == KindSum);
  });
}

void FoldSumsInFormula() {
  if (ExprNode* caret = CaretNode()) {
    FoldSums(caret);
    RemoveIdWrappers(caret);
    SimplifyAndNormalizeSigns(caret);
    InvalidateFormulaLayout();
  }
}
