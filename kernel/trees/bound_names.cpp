// The scope rule of sums, products and integrals. Shapes are checked before a child is read, so
// any tree, admitted by the editor or not, may be asked.
#include "kernel/trees/bound_names.h"

namespace {

bool IsEquationOfTwo(const ExprNode* node) { return node->kind == KindEqual && node->arity == 2; }

}  // namespace

int ScopedOperand(const ExprNode* node) {
  switch (node->kind) {
    case KindSum:
    case KindProd:
    case KindInt:
    case KindOint:
    case KindIntegral: return 0;
    case KindBoundedSum: return 2;
    default: return -1;
  }
}

const ExprNode* BoundNameNode(const ExprNode* binder) {
  const ExprNode* name = nullptr;
  switch (binder->kind) {
    case KindSum:
    case KindProd:
      if (binder->arity == 3 && IsEquationOfTwo(binder->children[1])) name = binder->children[1]->children[0];
      break;
    case KindInt:
    case KindOint:
    case KindIntegral:
      if (binder->arity >= 2) {
        name = binder->children[1];
        if (IsEquationOfTwo(name)) name = name->children[0];
      }
      break;
    case KindBoundedSum:
      if (binder->arity == 3 && IsEquationOfTwo(binder->children[0])) name = binder->children[0]->children[0];
      break;
    default: break;
  }
  return name != nullptr && name->kind == KindChar ? name : nullptr;
}

int32_t BoundNameOf(const ExprNode* binder) {
  const ExprNode* name = BoundNameNode(binder);
  return name != nullptr ? name->value.symbol : 0;
}

int32_t NameBoundAt(const ExprNode* binder, const ExprNode* from, const ExprNode* node) {
  const ExprNode* name = BoundNameNode(binder);
  if (name == nullptr) return 0;
  return from == binder->children[ScopedOperand(binder)] || node == name ? name->value.symbol : 0;
}

const ExprNode* BinderScopedAt(const ExprNode* node) {
  const ExprNode* parent = node->parent;
  if (parent == nullptr || BoundNameNode(parent) == nullptr) return nullptr;
  return parent->children[ScopedOperand(parent)] == node ? parent : nullptr;
}

const ExprNode* BinderNamedBy(const ExprNode* node) {
  const ExprNode* parent = node->parent;
  if (node->kind != KindChar || parent == nullptr) return nullptr;
  if (BoundNameNode(parent) == node) return parent;  // an integral's variable
  const ExprNode* grandparent = parent->parent;      // or the left side of an index equation
  return grandparent != nullptr && BoundNameNode(grandparent) == node ? grandparent : nullptr;
}
