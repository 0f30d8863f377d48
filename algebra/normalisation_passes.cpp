// Normalisation passes before compilation: four in-place post-order walks.
// Invariants: the successor of a node is taken after the node was changed (its identity and
// position stay, so the walk continues correctly); nodes are never freed by a walk except the
// shells that the node library's MoveNodeInto releases.
#include "algebra/normalisation_passes.h"

#include "algebra/rewrite_primitives.h"

#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

bool HasChildren(const ExprNode* n) { return n->kind != KindNum && n->kind != KindString && n->arity > 0; }

}  // namespace

void FoldNegatedNumberLiterals(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    if (node->kind != KindMinus || node->arity != 1) return;
    const ExprNode* operand = node->children[0];
    if (operand->kind != KindNum || operand->value.number == nullptr) return;
    const double negated = -operand->value.number->value;
    UnwrapNode(node);
    node->value.number->value = negated;
  });
}

void UnwrapNonSmoothCalls(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    if (!IsNonSmoothKind(node->kind) || node->arity != 1) return;
    ExprNode* list = node->children[0];
    if (list->kind != KindComma || !HasChildren(list)) return;
    const uint32_t kind = node->kind;
    MoveNodeInto(list, node);  // the node takes the list's items (re-parented)
    node->kind = kind;
  });
}

void ConvertIndexedSums(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    if (node->kind != KindSum || node->arity != 3) return;
    ExprNode* body = node->children[0];
    ExprNode* equation = node->children[1];
    ExprNode* end = node->children[2];
    if (equation->kind != KindEqual || equation->arity != 2) return;
    SetChild(node, 0, equation);
    SetChild(node, 1, end);
    SetChild(node, 2, body);
    node->kind = KindBoundedSum;
  });
}

void NormaliseForCompilation(ExprNode* tree) {
  UnwrapIdNodes(tree);
  FoldNegatedNumberLiterals(tree);
  UnwrapNonSmoothCalls(tree);
  ConvertIndexedSums(tree);
}
